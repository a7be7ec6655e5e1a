#pragma once

#include "vw_popup.h"

class QLabel;

// A message with an OK button, as wide as its text in the popup's bold
// 16-point face, wrapping when it has to.
class VwPopupMessage : public VwPopup
{
    Q_OBJECT

public:
    VwPopupMessage(QWidget *parent, const QString &title, const QString &text);

    QLabel *textLabel() const { return m_textLabel; }

    // Width of the widest line of `text` in the message face, without the frame's margin.
    static int textWidth(const QString &text);

private:
    QLabel *m_textLabel = nullptr;
};
