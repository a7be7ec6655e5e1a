#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QFileDialog;
class QLabel;
class QPushButton;

// A folder chooser: the caption, an instruction line above the folder view, the
// start folder opened and selected, an optional new-folder button, and an OK
// button that stays disabled while the selection is a folder that cannot be
// used now (a removable medium that is not there).
class HxFolderDialog : public QDialog
{
    Q_OBJECT

public:
    using UnreadyTest = std::function<bool(const QString &folder)>;

    explicit HxFolderDialog(QWidget *parent = nullptr);

    void setInstruction(const QString &text);
    QString instruction() const;

    void setStartFolder(const QString &path);
    void setNewFolderAllowed(bool allowed);
    bool isNewFolderAllowed() const;
    void setUnreadyTest(const UnreadyTest &test);

    // The folder that OK would choose now.
    QString currentFolder() const;
    // Opens the folder, which makes it the selection.
    void selectFolder(const QString &path);
    bool isAcceptEnabled() const;

    // The chosen folder with native separators, after the dialog was accepted.
    QString chosenFolder() const { return m_chosen; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool isCurrentUnready() const;
    void updateAcceptButton();
    void onFilesFinished(int result);

    QLabel *m_instruction = nullptr;
    QFileDialog *m_files = nullptr;
    QPushButton *m_accept = nullptr;
    UnreadyTest m_unready;
    QString m_chosen;
    bool m_newFolderAllowed = true;
    // OK was switched off by the readiness test, not by the file dialog.
    bool m_forcedOff = false;
};
