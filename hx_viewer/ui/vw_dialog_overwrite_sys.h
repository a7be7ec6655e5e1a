#pragma once

#include <QDialog>

class QPushButton;

// The plain file-exists question of the still capture: exec() is Accepted
// for Overwrite, Rejected for Skip, Cancel and a close.
class VwDialogOverwriteSys : public QDialog
{
    Q_OBJECT

public:
    VwDialogOverwriteSys(QWidget *parent, const QString &fileName);

    QPushButton *skipButton() const { return m_skipButton; }
    QPushButton *overwriteButton() const { return m_overwriteButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }

private:
    QPushButton *m_skipButton = nullptr;
    QPushButton *m_overwriteButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};
