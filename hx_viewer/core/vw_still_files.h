#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The stills of one capture, as the player grabbed them, and the names they
// are saved under: the chosen name, "_", the camera word and ".jpg".
class VwStillFiles
{
public:
    explicit VwStillFiles(const QList<QString> &grabbed);

    const QList<QString> &grabbed() const { return m_grabbed; }

    // "前方" for a still of the front camera, "後方" for the rear one. Only
    // the file name is looked at: a folder may be called anything.
    static QString cameraWord(const QString &grabbedPath);
    // The first two "_" parts of the first still's base name: the recording
    // and the moment of the capture.
    QString proposedName() const;
    QStringList targets(const QString &folder, const QString &name) const;
    bool anyTargetExists(const QString &folder, const QString &name) const;

    // Writes every still to a temporary file in `folder` and only when all
    // are complete renames them over their names, so that an old still is
    // replaced by a whole new one or not at all. On success the grabbed
    // files are gone; on failure nothing in `folder` has changed, the
    // grabbed files are kept and `reason` says what the system refused.
    bool save(const QString &folder, const QString &name, QString *reason) const;
    // Deletes the grabbed files; a file that cannot be deleted stays.
    void discard() const;

private:
    QList<QString> m_grabbed;
};
