#include "vw_popup_content_background.h"

VwPopupContentBackground::VwPopupContentBackground(QWidget *parent)
    : QWidget(parent)
{
    // Style sheets paint the background of a QWidget subclass only when asked to.
    setAttribute(Qt::WA_StyledBackground, true);
}
