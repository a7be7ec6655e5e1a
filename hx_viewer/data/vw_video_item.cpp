#include "vw_video_item.h"

#include "hx_data_log.h"
#include "vw_card_file.h"
#include "vw_format_mov.h"
#include "vw_mov_damage.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>
#include <cstdio>

#include <unistd.h>

namespace {

struct TypePrefix
{
    const char *prefix;
    int type;
    const char *label;
};

// Tested in this order against the start of the upper-cased base name.
const TypePrefix kTypePrefixes[] = {
    {"NORM", VwVideoItem::TYPE_NORMAL, "常時"},
    {"EVEN", VwVideoItem::TYPE_EVENT, "衝撃検知"},
    {"MANU", VwVideoItem::TYPE_MANUAL, "手動"},
    {"PARK", VwVideoItem::TYPE_PARKING, "パーキング"},
    {"PNOR", VwVideoItem::TYPE_PARKING, "駐車監視"},
    {"PEVE", VwVideoItem::TYPE_PARKING_EVENT, "駐車衝撃"},
};

const char kDefaultLabel[] = "常時";

const TypePrefix *findPrefix(const QString &upperBaseName)
{
    for (const TypePrefix &entry : kTypePrefixes) {
        if (upperBaseName.startsWith(QLatin1String(entry.prefix)))
            return &entry;
    }
    return nullptr;
}

bool isRecordingBaseName(const QString &upperBaseName)
{
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(QStringLiteral(
        "[N,E,M,P][O,V,A,E,N][R,E,N,V,O][M,N,U,K,E,R][0-9]{6}-[0-9]{6}[F,R]")));
    return pattern.match(upperBaseName).hasMatch();
}

FILE *openForReading(const QString &path)
{
    if (path.isEmpty())
        return nullptr;
    const int fd = VwCardFile::openForReading(path);
    if (fd < 0)
        return nullptr;
    FILE *file = ::fdopen(fd, "rb");
    if (!file)
        ::close(fd);
    return file;
}

} // namespace

VwVideoItem::VwVideoItem(const QString &path, bool isRear, const QDateTime *dateTime,
                         QObject *parent)
    : QObject(parent)
    , frontPath(path)
{
    if (!QFileInfo(path).isFile())
        return;
    if (dateTime)
        this->dateTime = *dateTime;
    if (isRear) {
        rearPath = frontPath;
        frontPath.clear();
    }
    readDuration(isRear);
}

VwVideoItem::~VwVideoItem()
{
    delete sensorInfo;
}

QString VwVideoItem::parseRecordingName(const QString &path, int *type)
{
    const QString baseName = QFileInfo(path.toUpper()).baseName();
    if (!isRecordingBaseName(baseName)) {
        if (type)
            *type = TYPE_NONE;
        return QString();
    }
    if (type) {
        const TypePrefix *prefix = findPrefix(baseName);
        *type = prefix ? prefix->type : TYPE_NORMAL;
    }
    return baseName.mid(4, 13);
}

// Two-digit years parse into 1900-1999, so a century is added. A day that the
// month does not have (the recorder's clock can write 230231) counts on from
// the first of the month: 230231 is 2023-03-03.
QDateTime VwVideoItem::parseRecordingDateTime(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('-'));
    if (parts.size() != 2)
        return QDateTime();

    const QString joined = parts.join(QLatin1Char('-'));
    const QString format = QStringLiteral("yyMMdd-HHmmss");
    QDateTime result = QDateTime::fromString(joined, format).addYears(100);
    if (result.date().year() >= 1900)
        return result;

    const QString firstOfMonth = joined.left(4) + QLatin1String("01-") + parts.at(1);
    result = QDateTime::fromString(firstOfMonth, format);
    if (!result.isValid())
        return QDateTime();
    const int day = joined.mid(4, 2).toInt();
    return result.addYears(100).addDays(qMax(0, day - 1));
}

int VwVideoItem::recordingTypeAndTime(const QString &path, QDateTime *dateTime)
{
    if (!QFileInfo(path).isFile())
        return TYPE_NONE;
    int type = TYPE_NONE;
    const QString text = parseRecordingName(path, &type);
    if (type == TYPE_NONE)
        return TYPE_NONE;
    const QDateTime parsed = parseRecordingDateTime(text);
    if (!parsed.isValid())
        return TYPE_NONE;
    if (dateTime)
        *dateTime = parsed;
    return type;
}

QString VwVideoItem::pairKey(const QString &path)
{
    QString key = QFileInfo(path).baseName();
    if (key.endsWith(QLatin1Char('R')) || key.endsWith(QLatin1Char('F')))
        key.chop(1);
    return key;
}

QString VwVideoItem::timeText(int ms)
{
    const int s = qMax(0, ms) / 1000;
    if (s < 60)
        return QString::asprintf("00:%02d", s);
    if (s < 3600)
        return QString::asprintf("%02d:%02d", s / 60, s % 60);
    return QString::asprintf("%02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
}

bool VwVideoItem::isMovieFile() const
{
    const QString suffix = QFileInfo(primaryPath()).suffix().toUpper();
    return suffix == QLatin1String("MOV") || suffix == QLatin1String("MP4");
}

bool VwVideoItem::readDuration(bool rear)
{
    const QString path = rear ? rearPath : primaryPath();
    FILE *file = openForReading(path);
    if (!file)
        return true;

    quint32 read = 0;
    if (isMovieFile()) {
        MOVFormat::durationRecord record;
        MOVFormat::readMovieDuration(file, &record);
        const bool damaged = !record.indexLast && VwMovDamage::isDamaged(file, record.found == 1);
        (rear || frontPath.isEmpty() ? rearDamaged : frontDamaged) = damaged;
        read = damaged ? 0 : record.durationMs;
    }
    std::fclose(file);
    // The recording lasts as long as its front file; the length of a rear
    // file beside it only decides whether the rear file is kept. A damaged
    // front file has no length of its own: the rear file's stands in.
    if (!rear || frontPath.isEmpty() || frontDamaged)
        durationMs = read;

    qCDebug(lcHxData) << "VwVideoItem::readDuration" << path << read;
    return read > kMinDurationMs;
}

// A rear camera that failed leaves stubs beside every front file of the
// drive: they are dropped, and the recordings play with the front camera.
bool VwVideoItem::checkRear()
{
    if (rearPath.isEmpty())
        return false;
    if (!readDuration(true) && !rearDamaged)
        rearPath.clear();
    return durationMs > kMinDurationMs;
}

bool VwVideoItem::checkFront()
{
    if (frontPath.isEmpty() || rearPath.isEmpty())
        return false;
    if (!readDuration(false)) {
        // A damaged front file stays for the repair.
        if (!frontDamaged)
            frontPath.clear();
        readDuration(true);
    }
    return durationMs > kMinDurationMs;
}

void VwVideoItem::loadSensorInfo()
{
    if (sensorInfo)
        return;
    FILE *file = openForReading(primaryPath());
    if (!file) {
        sensorInfo = new VwSensorInfo;
        return;
    }
    sensorInfo = new VwSensorInfo(file, isMovieFile() ? VwSensorInfo::KIND_MOV
                                                      : VwSensorInfo::KIND_OTHER);
    sensorInfo->fitToDuration(durationMs);
    std::fclose(file);
}

// The recorder's GPS records carry no fix date, so the time of a record falls
// back to the name's start time plus the elapsed seconds, as it does for a
// recording without GPS.
QDateTime VwVideoItem::dateTimeAt(double ratio) const
{
    if (!std::isfinite(ratio))
        return QDateTime();
    const auto fromName = [this, ratio] {
        return dateTime.addSecs(qint64(std::floor(durationMs / 1000.0 * ratio)));
    };

    if (!sensorInfo || !sensorInfo->hasGps || sensorInfo->gpsCount == 0
        || sensorInfo->gpsRecords.isEmpty())
        return fromName();

    const quint32 count = quint32(sensorInfo->gpsRecords.size());
    const double index = std::trunc(double(count) * ratio);
    if (!(index >= 0.0 && index < double(count)))
        return QDateTime();

    const VwGpsRecord &record = sensorInfo->gpsRecords.at(int(index));
    if (record.year == 0)
        return fromName();
    QDateTime fix(QDate(record.year, record.month, record.day),
                  QTime(record.hour, record.minute, record.second, 0));
    if (primaryPath().endsWith(QLatin1String(".MOV"), Qt::CaseInsensitive))
        fix = fix.addSecs(32400);
    return fix;
}

QString VwVideoItem::captureName(qint64 positionMs) const
{
    const QDateTime t = dateTime.addMSecs(positionMs);
    const QString prefix = displayName().section(QLatin1Char('_'), 0, 0);
    const QDate date = t.date();
    const QTime time = t.time();
    return prefix + QLatin1Char('_')
        + QString::asprintf("%02d%02d%02d-%02d%02d%02d", date.year() - 2000, date.month(),
                            date.day(), time.hour(), time.minute(), time.second());
}

QString VwVideoItem::displayName() const
{
    QString name = QFileInfo(primaryPath()).baseName();
    name.chop(1);
    return name;
}

QString VwVideoItem::dateTimeText() const
{
    if (!dateTime.isValid())
        return QStringLiteral("---------- --:--:--");
    return dateTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString VwVideoItem::durationText() const
{
    const quint32 s = durationMs / 1000;
    return QString::asprintf("%02u:%02u", s / 60, s % 60);
}

QString VwVideoItem::sizeText()
{
    if (sizeBytes == 0) {
        for (const QString &path : {frontPath, rearPath}) {
            const QFileInfo info(path);
            if (!path.isEmpty() && info.isFile())
                sizeBytes += quint64(info.size());
        }
    }
    return QString::number(sizeBytes / 1048576) + QLatin1String("MB");
}

QString VwVideoItem::typeLabel() const
{
    const TypePrefix *prefix = findPrefix(QFileInfo(primaryPath().toUpper()).baseName());
    return QString::fromUtf8(prefix ? prefix->label : kDefaultLabel);
}
