#pragma once

#include <QApplication>

class HxSingleInstance;

// The viewer's application object. It holds the per-user single-instance lock;
// the copy that holds it brings its main window forward when a later copy asks.
class VwApplication : public QApplication
{
    Q_OBJECT

public:
    // Name of the single-instance lock (the user id is appended).
    static const QString &instanceKey();

    // The lock lives in the user's runtime folder ($XDG_RUNTIME_DIR).
    VwApplication(int &argc, char **argv);
    ~VwApplication() override;

    // False when another copy holds the lock; true when this process now holds
    // it, and also when the lock cannot be used at all (logged).
    bool isOnlyInstance();
    // Asks the running copy to bring its main window to the front, after
    // opening folder when one is given. True when it answered.
    bool activateRunningInstance(const QString &folder = QString());

Q_SIGNALS:
    // The main window was brought forward at the request of a later copy.
    void activated();

private:
    void onOpenRequested(const QString &path);
    void onActivationRequested();

    HxSingleInstance *m_singleInstance = nullptr;
};
