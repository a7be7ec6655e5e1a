#pragma once

#include "vw_popup_message.h"

class VwButton;

// What a damaged recording asks when it is opened: repair a copy into the
// viewer's folder of repaired copies, into a folder of the user's choice, or
// not at all. exec() returns the Choice.
class VwPopupRepair : public VwPopupMessage
{
    Q_OBJECT

public:
    enum Choice {
        CHOICE_CANCEL = 0,
        CHOICE_REPAIR = 1,
        CHOICE_CHOOSE_FOLDER = 2,
    };

    VwPopupRepair(QWidget *parent, const QString &recordingName);

    VwButton *chooseFolderButton() const { return m_chooseFolderButton; }

private:
    VwButton *m_chooseFolderButton = nullptr;
};
