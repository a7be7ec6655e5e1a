#pragma once

#include "vw_popup.h"

// The viewer's version, opened from the title bar's information button.
class VwPopupInfo : public VwPopup
{
    Q_OBJECT

public:
    // The title and text are not shown; the popup makes its own.
    VwPopupInfo(QWidget *parent, const QString &title, const QString &text);

    static QString versionLine();
    // The version alone, "1.0.4".
    static QString version();
};
