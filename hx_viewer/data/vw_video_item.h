#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

class VwSensorInfo;

// One recording: the front and rear files of the same moment, its type, the
// start time from the file name, its duration and, once loaded, its
// telemetry.
class VwVideoItem : public QObject
{
    Q_OBJECT

public:
    enum RecordingType {
        TYPE_NORMAL = 0,
        TYPE_EVENT = 1,
        TYPE_MANUAL = 2,
        TYPE_PARKING = 3,
        TYPE_PARKING_EVENT = 4,
        TYPE_NONE = 9999,
    };
    Q_ENUM(RecordingType)

    // The file is read at once; a path that is not an existing file leaves
    // the record with duration 0.
    VwVideoItem(const QString &path, bool isRear, const QDateTime *dateTime,
                QObject *parent = nullptr);
    ~VwVideoItem() override;

    static QString parseRecordingName(const QString &path, int *type);
    static QDateTime parseRecordingDateTime(const QString &text);
    static int recordingTypeAndTime(const QString &path, QDateTime *dateTime = nullptr);
    static QString pairKey(const QString &path);
    static QString timeText(int ms);

    QString primaryPath() const { return frontPath.isEmpty() ? rearPath : frontPath; }

    bool readDuration(bool rear);
    // Whether the record still holds a recording once the file that
    // findPartner attached is checked: checkRear for the rear file beside a
    // front one, checkFront for the front file beside a rear one. A partner
    // that is no recording itself is dropped; the front file, when kept,
    // gives the duration.
    bool checkRear();
    bool checkFront();
    void loadSensorInfo();
    QDateTime dateTimeAt(double ratio) const;
    QString captureName(qint64 positionMs) const;
    QString displayName() const;
    QString dateTimeText() const;
    QString durationText() const;
    QString sizeText();
    QString typeLabel() const;
    bool isDamaged() const { return frontDamaged || rearDamaged; }

    // Shorter recordings are not recordings: the recorder leaves such stubs
    // when it is switched off at once.
    static constexpr quint32 kMinDurationMs = 300;

    int type = TYPE_NORMAL;
    bool checked = false;
    QString frontPath;
    QString rearPath;
    QDateTime dateTime;
    quint64 sizeBytes = 0;
    quint32 durationMs = 0;
    VwSensorInfo *sensorInfo = nullptr;
    // A power loss cut the file's index off (see VwMovDamage): the record is
    // listed so that it can be repaired, but the file gives it no duration.
    bool frontDamaged = false;
    bool rearDamaged = false;

private:
    bool isMovieFile() const;
};
