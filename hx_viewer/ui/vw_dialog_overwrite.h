#pragma once

#include "vw_popup.h"

class QCheckBox;
class VwButton;

// Asks what to do about a backup file that already exists: skip it,
// overwrite it or cancel the backup. With two or more recordings still to go,
// a check box applies the answer to the following conflicts as well.
//
// exec() gives the backup's decision word: 2 skip, 4 overwrite, each plus 16
// when the check box is checked; 0 for cancel, a close or Escape.
class VwDialogOverwrite : public VwPopup
{
    Q_OBJECT

public:
    VwDialogOverwrite(QWidget *parent, const QString &conflictName, int remainingCount);

    QCheckBox *applyToAllBox() const { return m_applyToAll; }
    VwButton *skipButton() const { return m_skipButton; }
    VwButton *overwriteButton() const { return m_overwriteButton; }

public Q_SLOTS:
    void onSkip();
    void onOverwrite();

private:
    int decision(int action) const;

    QCheckBox *m_applyToAll = nullptr;
    VwButton *m_skipButton = nullptr;
    VwButton *m_overwriteButton = nullptr;
};
