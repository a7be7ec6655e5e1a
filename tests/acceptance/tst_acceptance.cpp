// The viewer as a person uses it: the real program on a desktop of its own,
// driven by X input events and read back from the screen, the accessibility
// tree, the files it writes, its log and its exit status. The cases run in
// order on one running viewer, each going on from where the last one left it.

#include "hx_desktop_session.h"
#include "hx_frame_code.h"
#include "hx_test_sandbox.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

const QString kTitle = QStringLiteral("KT-LV550N_A");
const QSize kScreen(1280, 800);
const QSize kWindowSize(1094, 687);
constexpr int kFps = 30;
constexpr int kKeyFrameInterval = 30;
constexpr int kRecordingSeconds = 20;
// Seeks stop this far short of the end of a recording.
constexpr int kSeekEndMarginMs = 2000;
constexpr int kWaitMs = 20000;

// Where things are in the main window, which has a fixed size: offsets from
// its top-left corner, taken from its layout.
namespace at {
const QRect mainPicture(5, 74, 688, 387);
const QRect subPicture(699, 100, 390, 220);
const QRect sliderGroove(75, 468, 548, 15);
const QRect speedDigits(6, 496, 87, 52);
const QRect gSensorGraph(160, 500, 501, 70);
const QPoint pause(125, 641);
const QPoint previousFile(53, 641);
const QPoint nextFile(269, 641);
const QPoint mirrorMain(564, 61);
const QPoint swapMain(636, 61);
const QPoint zoomIn(677, 516);
const QPoint zoomOut(677, 553);
const QPoint report(790, 21);
const QPoint capture(828, 21);
const QPoint language(906, 21);
const QPoint map(944, 21);
const QPoint close(1068, 21);
const QPoint backup(1061, 346);
} // namespace at

const QSizeF kVideoAspect(16, 9);

struct Codes
{
    int main = -1;
    int sub = -1;
    bool inStep() const { return main >= 0 && sub >= 0 && qAbs(main - sub) <= 1; }
};

QString describe(const Codes &codes)
{
    return QStringLiteral("main %1, sub %2").arg(codes.main).arg(codes.sub);
}

QByteArray fileHash(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

// Descendants of `pid`, from /proc.
QList<qint64> descendants(qint64 pid)
{
    QMultiHash<qint64, qint64> children;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 child = entry.toLongLong(&number);
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(child));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // pid (name) state ppid ...: the name may hold spaces.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            children.insert(fields.at(1).toLongLong(), child);
    }
    QList<qint64> found;
    QList<qint64> queue{pid};
    while (!queue.isEmpty()) {
        const QList<qint64> next = children.values(queue.takeFirst());
        found += next;
        queue += next;
    }
    return found;
}

} // namespace

class TstAcceptance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void startPlaysFirstRecording();
    void sliderMovesBothPanes();
    void pauseStepSwapMirrorZoomFullScreen();
    void telemetryFollowsPlayback();
    void mapDrawsRouteOffline();
    void stillCaptureOfBothCameras();
    void reportHoldsWindowPicture();
    void backupOverwritesAfterAsking();
    void englishThroughTitleBar();
    void damagedRecordingsDoNotStopPlayback();
    void closeButtonQuitsCleanly();

private:
    QPoint on(const QPoint &offset) const { return m_window.topLeft() + offset; }
    QRect on(const QRect &offset) const { return offset.translated(m_window.topLeft()); }
    QImage shot(const QString &name);
    Codes codes(const QImage &image, bool mirroredMain = false) const;
    // Grabs the screen until `accept` takes the codes; the last grab is saved
    // under `name` either way.
    bool waitForCodes(const QString &name, const std::function<bool(const Codes &)> &accept,
                      Codes *seen = nullptr, int limitMs = kWaitMs);
    bool waitForWindow(const QString &title, QRect *rect = nullptr, int limitMs = kWaitMs) const;
    bool waitForWindowGone(const QString &title) const;
    HxAccessible accessible(const QString &role, const std::function<bool(const HxAccessible &)> &match) const;
    bool clickAccessible(const QString &role, const QString &name);
    QString shownFile() const;
    void chooseFolder(const QString &dialogTitle, const QString &folder);
    bool startViewer(const QStringList &arguments);
    QString viewerLog() const;

    std::unique_ptr<HxTestSandbox> m_sandbox;
    std::unique_ptr<HxDesktopSession> m_desktop;
    std::unique_ptr<QProcess> m_viewer;
    QString m_card;
    QString m_output;
    QString m_documents;
    QRect m_window;
    int m_listed = 0;
    int m_shotNumber = 0;
    QString m_logPath;
};

void TstAcceptance::initTestCase()
{
    const QStringList missing = HxDesktopSession::missingPrograms();
    if (!missing.isEmpty())
        QSKIP(qPrintable(QStringLiteral("not installed: ") + missing.join(QStringLiteral(", "))));
    const QString makeCard = hxToolPath(QStringLiteral("make_card/make_card"));
    if (makeCard.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        QSKIP("make_card or ffmpeg is not available");

    m_sandbox = std::make_unique<HxTestSandbox>();
    QVERIFY(m_sandbox->isValid());
    m_output = QString::fromLocal8Bit(qgetenv("HX_ACCEPTANCE_DIR"));
    QVERIFY(!m_output.isEmpty());
    QDir(m_output).removeRecursively();
    QVERIFY(QDir().mkpath(m_output));
    m_logPath = m_output + QStringLiteral("/viewer.log");

    // Recordings long enough for every step of a case to happen in one.
    m_card = m_sandbox->home() + QStringLiteral("/card");
    const QString manifest = m_sandbox->home() + QStringLiteral("/card.json");
    QCOMPARE(QProcess::execute(makeCard, {QStringLiteral("--small"), QStringLiteral("--duration"),
                                          QString::number(kRecordingSeconds), QStringLiteral("--quiet"),
                                          QStringLiteral("--manifest"), manifest, m_card}),
             0);
    QFile manifestFile(manifest);
    QVERIFY(manifestFile.open(QIODevice::ReadOnly));
    for (const QJsonValue &recording :
         QJsonDocument::fromJson(manifestFile.readAll()).object().value(QStringLiteral("recordings")).toArray())
        m_listed += recording.toObject().value(QStringLiteral("listed")).toBool() ? 1 : 0;

    // Damaged recordings, dated last in the list: a pair of garbage, and a pair
    // whose movie header comes first but whose data stops halfway.
    const QString source = m_card + QStringLiteral("/Normal/NORM260415-082502");
    for (const QString &camera : {QStringLiteral("F"), QStringLiteral("R")}) {
        QFile garbage(m_card + QStringLiteral("/Normal/NORM260415-235002") + camera + QStringLiteral(".MP4"));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        QByteArray bytes(200000, '\0');
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char((i * 7919) >> 3);
        garbage.write(bytes);
        garbage.close();
        const QString truncated = m_card + QStringLiteral("/Normal/NORM260415-235502") + camera + QStringLiteral(".MP4");
        QCOMPARE(QProcess::execute(QStringLiteral("ffmpeg"),
                                   {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-i"),
                                    source + camera + QStringLiteral(".MP4"), QStringLiteral("-map"),
                                    QStringLiteral("0"), QStringLiteral("-c"), QStringLiteral("copy"),
                                    QStringLiteral("-movflags"), QStringLiteral("+faststart"), truncated}),
                 0);
        QFile cut(truncated);
        QVERIFY(cut.resize(cut.size() / 2));
    }

    m_desktop = std::make_unique<HxDesktopSession>(m_sandbox->home(), kScreen);
    QString error;
    QVERIFY2(m_desktop->start(&error), qPrintable(error));

    // The map stays offline: no tile server is ever asked.
    m_documents = m_sandbox->home() + QStringLiteral("/Documents");
    const QString settings = m_documents + QStringLiteral("/KT-LV550N Doc/viewersetup/conf64.ini");
    QVERIFY(QDir().mkpath(QFileInfo(settings).path()));
    QFile ini(settings);
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[MAP]\nTILE_URL=none\n");
    ini.close();
}

void TstAcceptance::cleanupTestCase()
{
    if (m_viewer && m_viewer->state() != QProcess::NotRunning) {
        m_viewer->kill();
        m_viewer->waitForFinished(5000);
    }
    m_viewer.reset();
    m_desktop.reset();
}

bool TstAcceptance::startViewer(const QStringList &arguments)
{
    m_viewer = std::make_unique<QProcess>();
    m_viewer->setProcessEnvironment(m_desktop->environment());
    m_viewer->setProcessChannelMode(QProcess::MergedChannels);
    m_viewer->setStandardOutputFile(m_logPath, QIODevice::Append);
    m_viewer->setWorkingDirectory(m_sandbox->home());
    m_viewer->start(QStringLiteral(HX_VIEWER_PATH), arguments);
    return m_viewer->waitForStarted(10000) && waitForWindow(kTitle, &m_window);
}

QString TstAcceptance::viewerLog() const
{
    QFile log(m_logPath);
    return log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll()) : QString();
}

QImage TstAcceptance::shot(const QString &name)
{
    const QImage image = m_desktop->grab();
    if (!name.isEmpty())
        image.save(QStringLiteral("%1/%2-%3.png").arg(m_output).arg(++m_shotNumber, 2, 10, QLatin1Char('0')).arg(name));
    return image;
}

Codes TstAcceptance::codes(const QImage &image, bool mirroredMain) const
{
    Codes read;
    read.main = HxFrameCode::read(image, HxFrameCode::fittedPicture(on(at::mainPicture), kVideoAspect),
                                  mirroredMain);
    read.sub = HxFrameCode::read(image, HxFrameCode::fittedPicture(on(at::subPicture), kVideoAspect));
    return read;
}

bool TstAcceptance::waitForCodes(const QString &name, const std::function<bool(const Codes &)> &accept,
                                 Codes *seen, int limitMs)
{
    Codes last;
    QImage image;
    const bool met = hxWaitFor(limitMs, [&] {
        image = m_desktop->grab();
        last = codes(image);
        return accept(last);
    });
    image.save(QStringLiteral("%1/%2-%3.png").arg(m_output).arg(++m_shotNumber, 2, 10, QLatin1Char('0')).arg(name));
    if (seen)
        *seen = last;
    if (!met)
        qWarning() << name << "last seen" << describe(last);
    return met;
}

bool TstAcceptance::waitForWindow(const QString &title, QRect *rect, int limitMs) const
{
    QRect found;
    const bool shown = hxWaitFor(limitMs, [&] {
        found = m_desktop->windowRect(title);
        return !found.isEmpty();
    });
    if (rect)
        *rect = found;
    return shown;
}

bool TstAcceptance::waitForWindowGone(const QString &title) const
{
    return hxWaitFor(kWaitMs, [&] { return m_desktop->windowRect(title).isEmpty(); });
}

HxAccessible TstAcceptance::accessible(const QString &role,
                                       const std::function<bool(const HxAccessible &)> &match) const
{
    const QList<HxAccessible> tree = m_desktop->accessibleTree(QStringLiteral("hx_viewer"));
    for (const HxAccessible &node : tree) {
        if (node.role == role && match(node))
            return node;
    }
    return HxAccessible();
}

bool TstAcceptance::clickAccessible(const QString &role, const QString &name)
{
    HxAccessible node;
    hxWaitFor(kWaitMs, [&] {
        node = accessible(role, [&](const HxAccessible &n) { return n.name == name && !n.rect.isEmpty(); });
        return !node.rect.isEmpty();
    });
    if (node.rect.isEmpty()) {
        shot(QStringLiteral("missing-") + name);
        return false;
    }
    return m_desktop->click(node.rect.center());
}

QString TstAcceptance::shownFile() const
{
    // The title bar names the front file of the recording being played.
    return accessible(QStringLiteral("label"), [this](const HxAccessible &node) {
               return node.name.startsWith(m_card);
           }).name;
}

void TstAcceptance::chooseFolder(const QString &dialogTitle, const QString &folder)
{
    QVERIFY2(waitForWindow(dialogTitle), qPrintable(dialogTitle));
    shot(QStringLiteral("folder-dialog"));
    // The folder browser starts with its name field focused.
    QVERIFY(m_desktop->keys({QStringLiteral("ctrl+a")}));
    QVERIFY(m_desktop->typeText(folder));
    QVERIFY(m_desktop->keys({QStringLiteral("Return")}));
    QVERIFY(waitForWindowGone(dialogTitle));
}

void TstAcceptance::startPlaysFirstRecording()
{
    QVERIFY(startViewer({m_card}));
    QCOMPARE(m_window.size(), kWindowSize);
    QVERIFY2(waitForCodes(QStringLiteral("start-playing"), [](const Codes &c) { return c.inStep() && c.main > 0; }),
             "both panes show the first recording in step");

    QList<HxAccessible> rows;
    QVERIFY(hxWaitFor(kWaitMs, [&] {
        rows.clear();
        for (const HxAccessible &node : m_desktop->accessibleTree(QStringLiteral("hx_viewer")))
            if (node.role == QLatin1String("table row header"))
                rows << node;
        return rows.size() >= m_listed;
    }));
    QVERIFY2(shownFile().endsWith(QLatin1String("NORM260231-120000F.MP4")), qPrintable(shownFile()));

    // Only the viewer's own lines: no sound library probing noise.
    const QString log = viewerLog();
    QVERIFY2(!log.contains(QLatin1String("ALSA lib")), qPrintable(log.left(2000)));
    QVERIFY2(!log.contains(QLatin1String("jack server"), Qt::CaseInsensitive), qPrintable(log.left(2000)));
}

void TstAcceptance::sliderMovesBothPanes()
{
    const int frames = kRecordingSeconds * kFps;
    const double lastFraction = double(kRecordingSeconds * 1000 - kSeekEndMarginMs) / (kRecordingSeconds * 1000);
    for (const double fraction : {0.75, 0.25, 0.5}) {
        QVERIFY(fraction < lastFraction);
        const QRect groove = on(at::sliderGroove);
        const QPoint click(groove.left() + int(fraction * groove.width()), groove.center().y());
        QVERIFY(m_desktop->click(click));
        const int target = int(fraction * frames);
        const QString name = QStringLiteral("slider-%1").arg(int(fraction * 100));
        // The pictures land on a key frame near the click and play on from there.
        Codes landed;
        QVERIFY2(waitForCodes(name, [&](const Codes &c) {
                     return c.inStep() && c.main >= target - kKeyFrameInterval
                         && c.main <= target + kKeyFrameInterval;
                 }, &landed),
                 qPrintable(QStringLiteral("%1: %2, wanted near %3").arg(name, describe(landed)).arg(target)));
        Codes later;
        QVERIFY2(waitForCodes(name + QStringLiteral("-later"), [&](const Codes &c) {
                     return c.inStep() && c.main > landed.main;
                 }, &later),
                 qPrintable(describe(later)));
    }
}

void TstAcceptance::pauseStepSwapMirrorZoomFullScreen()
{
}

void TstAcceptance::telemetryFollowsPlayback()
{
}

void TstAcceptance::mapDrawsRouteOffline()
{
}

void TstAcceptance::stillCaptureOfBothCameras()
{
}

void TstAcceptance::reportHoldsWindowPicture()
{
}

void TstAcceptance::backupOverwritesAfterAsking()
{
}

void TstAcceptance::englishThroughTitleBar()
{
}

void TstAcceptance::damagedRecordingsDoNotStopPlayback()
{
}

void TstAcceptance::closeButtonQuitsCleanly()
{
}

QTEST_MAIN(TstAcceptance)
#include "tst_acceptance.moc"
