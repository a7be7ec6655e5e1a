#pragma once

#include "vw_popup.h"
#include "vw_still_files.h"

#include <QList>
#include <QString>

class QLineEdit;

// Asks for the name and the folder under which the stills of one capture are
// saved. The caller runs it modally and, once it is accepted, calls save().
class VwPopupCapture : public VwPopup
{
    Q_OBJECT

public:
    // The list is copied: the player replaces its own at the next capture.
    VwPopupCapture(QWidget *parent, QList<QString> *files);

    QLineEdit *nameEdit() const { return _nameEdit; }
    QLineEdit *folderEdit() const { return _folderEdit; }

    // Puts the stills in place under the chosen name. A failure is shown to
    // the user and leaves the grabbed stills, so that the dialog can be run
    // again with another folder.
    bool save();
    bool targetExists() const;
    // Deletes the grabbed stills (the capture was cancelled).
    void discard();

    // The modal warning of the capture, with an empty title.
    static void showWarning(QWidget *parent, const QString &text);
    // "The file could not be saved", the folder and, when known, why.
    static QString failureText(const QString &folder, const QString &reason);

public Q_SLOTS:
    void onChangeFolder();
    void onOK();

private:
    VwStillFiles _files;
    QLineEdit *_nameEdit = nullptr;
    QLineEdit *_folderEdit = nullptr;
};
