#pragma once

#include <QDialog>
#include <QPointer>

class QProgressBar;
class VwButton;
class VwVideoFileList;

// The frameless progress window of long operations: a bar from 0 to 364 and,
// when the operation can be stopped, a Cancel button. At most one is shown at
// a time, through showProgress() and closeProgress().
//
// Cancel (the button, Escape or a close from the window system) works once:
// it disables the button, turns the cursor into the wait cursor until the
// dialog is closed, and emits cancelled(); the caller stops its operation. A
// dialog that cannot be cancelled ignores Escape and close requests.
class VwDialogProgress : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kRange = 364;

    VwDialogProgress(QWidget *parent, const QString &title, bool cancellable);
    ~VwDialogProgress() override;

    // Replaces the dialog shown, if any, by a new one over the main window and
    // feeds it the progress of `list` (the program's list when null).
    static VwDialogProgress *showProgress(const QString &title, bool cancellable,
                                          VwVideoFileList *list = nullptr);
    static void closeProgress();
    // The dialog shown by showProgress(), or null.
    static VwDialogProgress *current();

    bool isCancellable() const { return m_cancelButton != nullptr; }
    bool isCancelled() const { return m_cancelled; }
    int value() const;
    VwButton *cancelButton() const { return m_cancelButton; }

public Q_SLOTS:
    void onUpdateValue(int value);
    void onCancel();
    void reject() override;

Q_SIGNALS:
    void cancelled();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void releaseCursor();

    QProgressBar *m_bar = nullptr;
    VwButton *m_cancelButton = nullptr;
    bool m_cancelled = false;
    bool m_holdsCursor = false;

    static QPointer<VwDialogProgress> s_current;
};
