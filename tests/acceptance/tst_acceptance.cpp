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

#include <algorithm>
#include <functional>

namespace {

const QString kTitle = QStringLiteral("KT-LV550N_A");
// The name the viewer gives itself, under which the accessibility tree lists it.
const QString kApplication = QStringLiteral("kt-lv550n-viewer");
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
const QRect listRows(702, 410, 380, 264);
// From the map window's top-right corner.
const QPoint mapClose(-26, 19);
} // namespace at

const QSizeF kVideoAspect(16, 9);
const QString kFirstRecording = QStringLiteral("NORM260231-120000");

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

QString describe(const QRect &rect)
{
    return QStringLiteral("%1,%2 %3x%4").arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(rect.height());
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
    void init();
    void cleanup();
    void cleanupTestCase();

    void startPlaysFirstRecording();
    void sliderMovesBothPanes();
    void pauseStepSwapMirrorZoomFullScreen();
    void telemetryFollowsPlayback();
    void mapDrawsRouteOffline();
    void stillCaptureOfBothCameras();
    void reportHoldsWindowPicture();
    void backupOverwritesAfterAsking();
    void damagedRecordingsAreSkipped();
    void englishThroughTitleBar();
    void closeButtonQuitsCleanly();

private:
    QPoint on(const QPoint &offset) const { return m_window.topLeft() + offset; }
    QRect on(const QRect &offset) const { return offset.translated(m_window.topLeft()); }
    QImage shot(const QString &name);
    Codes codes(const QImage &image) const;
    // Grabs the screen until `accept` takes the codes; the last grab is saved
    // under `name` either way.
    bool waitForCodes(const QString &name, const std::function<bool(const Codes &)> &accept,
                      Codes *seen = nullptr, int limitMs = kWaitMs);
    bool waitForWindow(const QString &title, QRect *rect = nullptr, int limitMs = kWaitMs) const;
    bool waitForWindowGone(const QString &title) const;
    HxAccessible accessible(const QString &role, const std::function<bool(const HxAccessible &)> &match) const;
    bool clickAccessible(const QString &role, const QString &name);
    QList<HxAccessible> extraWindows() const;
    QString shownFile() const;
    // The list's cell naming `recording` (its name without camera letter
    // and suffix), scrolled into view.
    HxAccessible listCell(const QString &recording);
    // Double-clicks the list row of `recording` and waits until it plays.
    void playRecording(const QString &recording);
    // Waits until both panes show moving pictures in step.
    bool waitForPlaying(const QString &name);
    // Clicks the pause button and waits until both panes stand still in step.
    bool pausePlayback(const QString &name, Codes *paused);
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
    bool m_mirroredMain = false;
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

    const QString opener = m_sandbox->home() + QStringLiteral("/bin/xdg-open");
    QVERIFY(QDir().mkpath(QFileInfo(opener).path()));
    QFile script(opener);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\necho \"$@\" >> \"$HOME/opened.txt\"\n");
    script.close();
    QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));

    // The map stays offline: no tile server is ever asked.
    m_documents = m_sandbox->home() + QStringLiteral("/Documents");
    const QString settings = m_documents + QStringLiteral("/KT-LV550N Doc/viewersetup/conf64.ini");
    QVERIFY(QDir().mkpath(QFileInfo(settings).path()));
    QFile ini(settings);
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[MAP]\nTILE_URL=none\n");
    ini.close();
}

void TstAcceptance::init()
{
    // The first case starts the viewer; every later one begins from the first
    // recording playing in the plain window, whatever the case before left.
    if (!m_viewer || m_viewer->state() != QProcess::Running)
        return;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const QList<HxAccessible> windows = extraWindows();
        if (windows.isEmpty() && m_desktop->windowRect(kTitle).size() == kWindowSize)
            break;
        // Escape ends full screen and closes dialogs; the map closes by its button.
        if (attempt < 2 || windows.isEmpty())
            m_desktop->keys({QStringLiteral("Escape")});
        else
            m_desktop->click(windows.first().rect.topRight() + at::mapClose);
        QTest::qWait(500);
    }
    QVERIFY(waitForWindow(kTitle, &m_window));
    QCOMPARE(m_window.size(), kWindowSize);
    QVERIFY(extraWindows().isEmpty());
    m_mirroredMain = false;
    playRecording(kFirstRecording);
}

void TstAcceptance::cleanup()
{
    if (QTest::currentTestFailed() && m_desktop)
        shot(QStringLiteral("failed-") + QString::fromLatin1(QTest::currentTestFunction()));
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
    // The desktop opens documents with xdg-open; here it notes what it was given.
    QProcessEnvironment environment = m_desktop->environment();
    environment.insert(QStringLiteral("PATH"), m_sandbox->home() + QStringLiteral("/bin:")
                                                   + environment.value(QStringLiteral("PATH")));
    m_viewer->setProcessEnvironment(environment);
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

Codes TstAcceptance::codes(const QImage &image) const
{
    Codes read;
    read.main = HxFrameCode::read(image, HxFrameCode::fittedPicture(on(at::mainPicture), kVideoAspect),
                                  m_mirroredMain);
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
    const QList<HxAccessible> tree = m_desktop->accessibleTree(kApplication);
    for (const HxAccessible &node : tree) {
        if (node.role == role && match(node))
            return node;
    }
    return HxAccessible();
}

bool TstAcceptance::clickAccessible(const QString &role, const QString &name)
{
    // Dialogs share button names (キャンセル): one in a window of its own
    // beside the main window, the dialog just opened, wins. Such a window
    // may be told to the accessibility tree where it was asked to be rather
    // than where the window manager put it: the button is found at the same
    // place in the window that has the focus.
    HxAccessible node;
    QPoint offset;
    hxWaitFor(kWaitMs, [&] {
        node = HxAccessible();
        offset = QPoint();
        QList<QRect> dialogs;
        for (const HxAccessible &n : m_desktop->accessibleTree(kApplication)) {
            if (n.depth == 1 && n.name != kTitle && !n.rect.isEmpty())
                dialogs << n.rect;
            if (n.role != role || n.name != name || n.rect.isEmpty())
                continue;
            const auto dialog = std::find_if(dialogs.cbegin(), dialogs.cend(),
                                             [&](const QRect &d) { return d.contains(n.rect.center()); });
            if (dialog != dialogs.cend()) {
                const QRect active = m_desktop->activeWindowRect();
                offset = active.size() == dialog->size() ? active.topLeft() - dialog->topLeft() : QPoint();
            }
            if (node.rect.isEmpty() || dialog != dialogs.cend())
                node = n;
        }
        return !node.rect.isEmpty();
    });
    if (node.rect.isEmpty()) {
        shot(QStringLiteral("missing-") + name);
        return false;
    }
    return m_desktop->click(node.rect.center() + offset);
}

QList<HxAccessible> TstAcceptance::extraWindows() const
{
    QList<HxAccessible> windows;
    for (const HxAccessible &node : m_desktop->accessibleTree(kApplication))
        if (node.depth == 1 && node.name != kTitle && !node.rect.isEmpty())
            windows << node;
    return windows;
}

HxAccessible TstAcceptance::listCell(const QString &recording)
{
    const QRect rows = on(at::listRows);
    HxAccessible cell;
    int attempt = 0;
    hxWaitFor(kWaitMs, [&] {
        cell = accessible(QStringLiteral("table cell"), [&](const HxAccessible &n) {
            return n.name == recording && rows.contains(n.rect.center());
        });
        if (!cell.rect.isEmpty())
            return true;
        // Out of view: the wheel scrolls the list up three times, then down.
        m_desktop->click(rows.center(), attempt++ % 6 < 3 ? 4 : 5, 5);
        return false;
    });
    return cell;
}

void TstAcceptance::playRecording(const QString &recording)
{
    const HxAccessible cell = listCell(recording);
    QVERIFY2(!cell.rect.isEmpty(), qPrintable(recording));
    QVERIFY(m_desktop->click(cell.rect.center(), 1, 2));
    QVERIFY2(hxWaitFor(kWaitMs, [&] { return QFileInfo(shownFile()).completeBaseName().startsWith(recording); }),
             qPrintable(shownFile()));
    QVERIFY(waitForPlaying(recording + QStringLiteral("-playing")));
}

bool TstAcceptance::waitForPlaying(const QString &name)
{
    Codes last;
    return waitForCodes(name, [&](const Codes &c) {
        const bool moving = c.inStep() && last.inStep() && c.main > last.main;
        last = c;
        return moving;
    });
}

bool TstAcceptance::pausePlayback(const QString &name, Codes *paused)
{
    if (!m_desktop->click(on(at::pause)))
        return false;
    Codes last;
    return waitForCodes(name, [&](const Codes &c) {
        const bool still = c.inStep() && c.main == last.main && c.sub == last.sub;
        last = c;
        return still;
    }, paused);
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
    // The first Return may only close the name field's completion list.
    bool gone = false;
    for (int attempt = 0; attempt < 3 && !gone; ++attempt) {
        QVERIFY(m_desktop->keys({QStringLiteral("Return")}));
        gone = hxWaitFor(3000, [&] { return m_desktop->windowRect(dialogTitle).isEmpty(); });
    }
    if (!gone)
        shot(QStringLiteral("folder-dialog-stays"));
    QVERIFY2(gone, qPrintable(dialogTitle));
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
        for (const HxAccessible &node : m_desktop->accessibleTree(kApplication))
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
    Codes paused;
    QVERIFY(pausePlayback(QStringLiteral("paused"), &paused));
    QTest::qWait(500);
    QCOMPARE(codes(shot(QString())).main, paused.main);

    // Mirrored, the blocks run from the right edge of the main picture.
    QVERIFY(m_desktop->click(on(at::mirrorMain)));
    m_mirroredMain = true;
    QVERIFY(waitForCodes(QStringLiteral("mirrored"), [&](const Codes &c) { return c.main == paused.main; }));
    QVERIFY(m_desktop->click(on(at::mirrorMain)));
    m_mirroredMain = false;
    QVERIFY(waitForCodes(QStringLiteral("unmirrored"), [&](const Codes &c) { return c.main == paused.main; }));

    // Swapped, the main pane shows the rear camera, whose picture is
    // hue-rotated: the left colour bar turns from red to cyan.
    const auto leftBarIsRed = [this](const QImage &image) {
        const QRectF picture = HxFrameCode::fittedPicture(on(at::mainPicture), kVideoAspect);
        int red = 0;
        for (const double y : {0.55, 0.75, 0.95}) {
            const QColor colour = image.pixelColor(int(picture.left() + 0.04 * picture.width()),
                                                   int(picture.top() + y * picture.height()));
            red += colour.red() > colour.green() + 60 && colour.red() > colour.blue() + 60 ? 1 : 0;
        }
        return red >= 2;
    };
    QVERIFY(leftBarIsRed(m_desktop->grab()));
    QVERIFY(m_desktop->click(on(at::swapMain)));
    QVERIFY(hxWaitFor(kWaitMs, [&] { return !leftBarIsRed(m_desktop->grab()); }));
    QVERIFY(waitForCodes(QStringLiteral("swapped"), [&](const Codes &c) { return c.inStep(); }));
    QVERIFY(m_desktop->click(on(at::swapMain)));
    QVERIFY(hxWaitFor(kWaitMs, [&] { return leftBarIsRed(m_desktop->grab()); }));

    // A double click zooms two-fold; dragging towards the bottom right brings
    // the top-left corner, where the code is, into view, at twice the size.
    const QRect pane = on(at::mainPicture);
    QVERIFY(m_desktop->click(pane.center(), 1, 2));
    const QRectF zoomed(pane.left(), pane.top(), 2.0 * pane.width(), 2.0 * pane.height());
    // The overview box in the top-right corner covers the higher bits.
    const int lowBits = 6;
    bool zoomOn = false;
    for (int attempt = 0; attempt < 3 && !zoomOn; ++attempt) {
        QVERIFY(m_desktop->drag(pane.center(), pane.bottomRight() - QPoint(2, 2)));
        zoomOn = hxWaitFor(3000, [&] {
            return HxFrameCode::read(m_desktop->grab(), zoomed, false, lowBits) == (paused.main & ((1 << lowBits) - 1));
        });
    }
    const QImage zoomShot = shot(QStringLiteral("zoomed-top-left"));
    QVERIFY2(zoomOn, "the zoomed picture shows the top-left corner at twice the size");
    // The overview box in the pane's corner marks the zoomed region in red.
    int marked = 0;
    for (int y = pane.top(); y < pane.top() + pane.height() / 3; ++y)
        for (int x = pane.left() + pane.width() * 2 / 3; x < pane.right(); ++x) {
            const QColor colour = zoomShot.pixelColor(x, y);
            marked += colour.red() > 180 && colour.green() < 60 && colour.blue() < 60 ? 1 : 0;
        }
    QVERIFY2(marked > 20, qPrintable(QString::number(marked)));
    QVERIFY(m_desktop->click(pane.center(), 1, 2));
    QVERIFY(waitForCodes(QStringLiteral("zoom-off"), [&](const Codes &c) { return c.main == paused.main; }));

    // Return makes the window fill the screen, Escape brings it back.
    QVERIFY(m_desktop->keys({QStringLiteral("Return")}));
    const bool filled = hxWaitFor(kWaitMs, [&] { return m_desktop->windowRect(kTitle) == QRect(QPoint(0, 0), kScreen); });
    // Paused, the screen stands still once the new layout is drawn.
    QImage previous;
    hxWaitFor(kWaitMs, [&] {
        QTest::qWait(300);
        const QImage current = m_desktop->grab();
        const bool still = current == previous;
        previous = current;
        return still;
    });
    shot(QStringLiteral("full-screen"));
    QVERIFY2(filled, qPrintable(QStringLiteral("window at %1").arg(describe(m_desktop->windowRect(kTitle)))));
    QVERIFY(m_desktop->keys({QStringLiteral("Escape")}));
    QVERIFY(hxWaitFor(kWaitMs, [&] { return m_desktop->windowRect(kTitle).size() == kWindowSize; }));
    m_window = m_desktop->windowRect(kTitle);
    QVERIFY(waitForCodes(QStringLiteral("full-screen-left"), [&](const Codes &c) { return c.main == paused.main && c.inStep(); }));

    // The file step buttons go to the next recording and back, playing.
    const QString first = shownFile();
    QVERIFY(m_desktop->click(on(at::nextFile)));
    QVERIFY(hxWaitFor(kWaitMs, [&] { return shownFile().endsWith(QLatin1String("NORM260415-081502F.MP4")); }));
    QVERIFY(waitForCodes(QStringLiteral("next-file"), [&](const Codes &c) { return c.inStep(); }));
    QVERIFY(m_desktop->click(on(at::previousFile)));
    QVERIFY(hxWaitFor(kWaitMs, [&] { return shownFile() == first; }));
    Codes playing;
    QVERIFY(waitForCodes(QStringLiteral("previous-file"), [&](const Codes &c) {
        const bool moving = c.inStep() && playing.main >= 0 && c.main > playing.main;
        playing = c;
        return moving;
    }));
}

void TstAcceptance::telemetryFollowsPlayback()
{
    // Five seconds in, the car speeds up and has a fix.
    const QRect groove = on(at::sliderGroove);
    QVERIFY(m_desktop->click(QPoint(groove.left() + groove.width() / 4, groove.center().y())));
    QVERIFY(waitForCodes(QStringLiteral("telemetry-start"), [](const Codes &c) { return c.inStep() && c.main > 100; }));
    const QImage before = shot(QStringLiteral("telemetry-before"));
    QTest::qWait(1000);
    const QImage after = shot(QStringLiteral("telemetry-after"));
    for (const QRect &panel : {at::speedDigits, at::gSensorGraph})
        QVERIFY2(before.copy(on(panel)) != after.copy(on(panel)), "speed digits and G-sensor cursor follow playback");

    Codes paused;
    QVERIFY(pausePlayback(QStringLiteral("telemetry-paused"), &paused));
    const int second = paused.main / kFps;
    const auto label = [this](const QString &description) {
        return accessible(QStringLiteral("label"), [&](const HxAccessible &n) { return n.description == description; }).name;
    };
    const QString latitude = label(QStringLiteral("Latitude"));
    const QString longitude = label(QStringLiteral("Longitude"));

    // The route as the card holds it: the telemetry track, one line a second.
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-i"),
                                            shownFile(), QStringLiteral("-map"), QStringLiteral("0:s:0"),
                                            QStringLiteral("-f"), QStringLiteral("srt"), QStringLiteral("-")});
    QVERIFY(ffmpeg.waitForFinished(30000));
    const QStringList cues = QString::fromUtf8(ffmpeg.readAllStandardOutput()).split(QStringLiteral("\n\n"), Qt::SkipEmptyParts);
    QVERIFY(cues.size() >= kRecordingSeconds);
    // The labels follow the position reports (several a second), a moment
    // behind the picture: the shown position lies on the route between the
    // second before and the second after.
    double south = 90, north = -90, west = 180, east = -180;
    for (int s = qMax(0, second - 1); s <= qMin(second + 1, cues.size() - 1); ++s) {
        for (const QString &entry : cues.at(s).split(QLatin1Char('\n')).value(2).split(QLatin1Char(','))) {
            const QStringList fields = entry.split(QLatin1Char('/'));
            const double lon = fields.value(2).toDouble();
            const double lat = fields.value(3).toDouble();
            south = qMin(south, lat);
            north = qMax(north, lat);
            west = qMin(west, lon);
            east = qMax(east, lon);
        }
    }
    // Rounding in the last printed digit.
    constexpr double kDigit = 0.000002;
    const double lat = latitude.toDouble();
    const double lon = longitude.toDouble();
    QVERIFY2(lat >= south - kDigit && lat <= north + kDigit && lon >= west - kDigit && lon <= east + kDigit,
             qPrintable(QStringLiteral("shown %1 %2 at second %3, route %4 %5 .. %6 %7")
                            .arg(latitude, longitude).arg(second).arg(south, 0, 'f', 6).arg(west, 0, 'f', 6)
                            .arg(north, 0, 'f', 6).arg(east, 0, 'f', 6)));
}

void TstAcceptance::mapDrawsRouteOffline()
{
    // The map is a window of its own beside the main window.
    const auto mapWindow = [this] {
        return accessible(QStringLiteral("dialog"), [](const HxAccessible &n) { return n.depth == 1 && !n.rect.isEmpty(); });
    };
    QVERIFY(m_desktop->click(on(at::map)));
    HxAccessible window;
    QVERIFY(hxWaitFor(60000, [&] {
        window = mapWindow();
        return !window.rect.isEmpty();
    }));
    // The route is a red line on the page, longer than the red car marker.
    QRect red;
    QImage image;
    const bool drawn = hxWaitFor(60000, [&] {
        image = m_desktop->grab().copy(window.rect);
        red = QRect();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor colour = image.pixelColor(x, y);
                if (colour.red() > 170 && colour.green() < 110 && colour.blue() < 110)
                    red |= QRect(x, y, 1, 1);
            }
        return qMax(red.width(), red.height()) > 40;
    });
    image.save(QStringLiteral("%1/%2-map.png").arg(m_output).arg(++m_shotNumber, 2, 10, QLatin1Char('0')));
    QVERIFY2(drawn, qPrintable(QStringLiteral("red pixels over %1").arg(describe(red))));
    // The close button at the right of the map's own title bar.
    QVERIFY(m_desktop->click(window.rect.topRight() + at::mapClose));
    QVERIFY(hxWaitFor(kWaitMs, [&] { return mapWindow().rect.isEmpty(); }));
}

void TstAcceptance::stillCaptureOfBothCameras()
{
    Codes shown;
    QVERIFY(pausePlayback(QStringLiteral("capture-shown"), &shown));
    const QString folder = m_sandbox->home() + QStringLiteral("/stills");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(m_desktop->click(on(at::capture)));
    QVERIFY(clickAccessible(QStringLiteral("push button"), QStringLiteral("変更")));
    chooseFolder(QStringLiteral("フォルダー変更"), folder);
    shot(QStringLiteral("capture-dialog"));
    QVERIFY(clickAccessible(QStringLiteral("push button"), QStringLiteral("保存")));
    QStringList stills;
    QVERIFY(hxWaitFor(kWaitMs, [&] {
        stills = QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name);
        return stills.size() == 2;
    }));
    for (const QString &name : stills) {
        const QImage still(folder + QLatin1Char('/') + name);
        QVERIFY2(!still.isNull(), qPrintable(name));
        const int code = HxFrameCode::read(still, QRectF(QPointF(0, 0), QSizeF(still.size())));
        const int expected = name.endsWith(QStringLiteral("_前方.jpg")) ? shown.main : shown.sub;
        QVERIFY2(name.endsWith(QStringLiteral("_前方.jpg")) || name.endsWith(QStringLiteral("_後方.jpg")), qPrintable(name));
        QVERIFY2(qAbs(code - expected) <= 1, qPrintable(QStringLiteral("%1: %2, shown %3").arg(name).arg(code).arg(expected)));
    }
}

void TstAcceptance::reportHoldsWindowPicture()
{
    if (QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty())
        QSKIP("LibreOffice (soffice) is not installed: no report");
    const QString reports = m_documents + QStringLiteral("/KT-LV550N Doc/report");
    QVERIFY(m_desktop->click(on(at::report)));
    // The save dialog proposes report_<date>.xls in the report folder.
    QVERIFY(waitForWindow(QStringLiteral("レポート保存")));
    shot(QStringLiteral("report-save-dialog"));
    QVERIFY(m_desktop->keys({QStringLiteral("Return")}));
    QStringList workbooks;
    QVERIFY(hxWaitFor(180000, [&] {
        workbooks = QDir(reports).entryList({QStringLiteral("*.xls")}, QDir::Files);
        return !workbooks.isEmpty() && QFileInfo::exists(m_sandbox->home() + QStringLiteral("/opened.txt"));
    }));
    shot(QStringLiteral("report-done"));
    QFile workbook(reports + QLatin1Char('/') + workbooks.first());
    QVERIFY(workbook.open(QIODevice::ReadOnly));
    const QByteArray bytes = workbook.readAll();
    // A compound document (the .xls format) with the window's picture, a JPEG, inside.
    QVERIFY(bytes.startsWith(QByteArray::fromHex("d0cf11e0a1b11ae1")));
    // The picture as python3-xlrd finds it in the workbook's drawing group.
    const QString pictureFile = m_sandbox->home() + QStringLiteral("/report-picture.jpg");
    const QString extract = QStringLiteral(
        "import sys\n"
        "sys.path.insert(0, sys.argv[1])\n"
        "import report_check\n"
        "from xlrd import compdoc\n"
        "stream = compdoc.CompDoc(open(sys.argv[2], 'rb').read(), logfile=open('/dev/null', 'w'))"
        ".get_named_stream('Workbook')\n"
        "open(sys.argv[3], 'wb').write(report_check.jpegs(report_check.drawing_group(stream))[0])\n");
    QCOMPARE(QProcess::execute(QStringLiteral("/usr/bin/python3"),
                               {QStringLiteral("-c"), extract,
                                QString::fromLocal8Bit(qgetenv("HX_SOURCE_DIR")) + QStringLiteral("/tests/ui"),
                                workbook.fileName(), pictureFile}),
             0);
    QImage picture(pictureFile);
    QVERIFY(!picture.isNull());
    QVERIFY2(qAbs(double(picture.width()) / picture.height() - double(kWindowSize.width()) / kWindowSize.height()) < 0.05,
             qPrintable(QStringLiteral("%1x%2").arg(picture.width()).arg(picture.height())));
    picture.save(QStringLiteral("%1/%2-report-picture.png").arg(m_output).arg(++m_shotNumber, 2, 10, QLatin1Char('0')));
}

void TstAcceptance::backupOverwritesAfterAsking()
{
    const QString front = shownFile();
    QVERIFY(front.endsWith(QLatin1String("F.MP4")));
    const QString rear = front.left(front.size() - 5) + QStringLiteral("R.MP4");
    const QString folder = m_sandbox->home() + QStringLiteral("/backup");
    QVERIFY(QDir().mkpath(folder));
    const QString oldCopy = folder + QLatin1Char('/') + QFileInfo(front).fileName();
    QFile old(oldCopy);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("an older copy");
    old.close();

    QVERIFY(m_desktop->click(on(at::backup)));
    chooseFolder(QStringLiteral("保存"), folder);
    HxAccessible question;
    QVERIFY(hxWaitFor(kWaitMs, [&] {
        question = accessible(QStringLiteral("label"), [](const HxAccessible &n) {
            return n.name == QStringLiteral("この場所に同じ名前のファイルがあります。");
        });
        return !question.rect.isEmpty();
    }));
    shot(QStringLiteral("backup-question"));
    QVERIFY(clickAccessible(QStringLiteral("push button"), QStringLiteral("置き換える")));
    for (const QString &source : {front, rear}) {
        const QString copy = folder + QLatin1Char('/') + QFileInfo(source).fileName();
        QVERIFY2(hxWaitFor(kWaitMs, [&] { return fileHash(copy) == fileHash(source); }), qPrintable(copy));
    }
    shot(QStringLiteral("backup-done"));
}

void TstAcceptance::damagedRecordingsAreSkipped()
{
    // The card's cut-off recordings are marked in the list's type column.
    QList<HxAccessible> marked;
    for (const HxAccessible &node : m_desktop->accessibleTree(kApplication))
        if (node.role == QLatin1String("table cell") && node.name == QStringLiteral("破損"))
            marked << node;
    QVERIFY2(marked.size() >= 2, qPrintable(QString::number(marked.size())));

    // Stepping on from the recording before two damaged ones plays the next
    // sound one. That recording is a .MOV front file without a partner.
    const HxAccessible before = listCell(QStringLiteral("NORM260415-091002"));
    QVERIFY(!before.rect.isEmpty());
    QVERIFY(m_desktop->click(before.rect.center(), 1, 2));
    QVERIFY2(hxWaitFor(kWaitMs, [&] { return QFileInfo(shownFile()).fileName().startsWith(QLatin1String("NORM260415-091002")); }),
             qPrintable(shownFile()));
    QVERIFY(m_desktop->click(on(at::nextFile)));
    QVERIFY2(hxWaitFor(kWaitMs, [&] { return QFileInfo(shownFile()).fileName().startsWith(QLatin1String("EVEN260415-100002")); }),
             qPrintable(shownFile()));
    QVERIFY(waitForPlaying(QStringLiteral("damaged-passed-over")));

    // Double-clicked, a damaged recording is offered for repair instead of
    // played; declined, playback goes on.
    QVERIFY(m_desktop->click(marked.first().rect.center(), 1, 2));
    QVERIFY(hxWaitFor(kWaitMs, [&] { return !extraWindows().isEmpty(); }));
    shot(QStringLiteral("damaged-repair-offer"));
    // The accessibility tree may give the popup's buttons where the popup
    // was asked to be rather than where the window manager put it: Escape,
    // the popup's own key for Cancel, answers where the click missed.
    QVERIFY(clickAccessible(QStringLiteral("push button"), QStringLiteral("キャンセル")));
    if (!hxWaitFor(5000, [&] { return extraWindows().isEmpty(); }))
        QVERIFY(m_desktop->keys({QStringLiteral("Escape")}));
    QVERIFY(hxWaitFor(kWaitMs, [&] { return extraWindows().isEmpty(); }));
    QCOMPARE(m_viewer->state(), QProcess::Running);

    // A pair of garbage files is no recording: it is not listed, and the
    // viewer goes on playing what is asked for.
    for (const HxAccessible &node : m_desktop->accessibleTree(kApplication))
        QVERIFY2(node.name != QLatin1String("NORM260415-235002"), "garbage listed");
    playRecording(kFirstRecording);
}

void TstAcceptance::englishThroughTitleBar()
{
    QVERIFY(m_desktop->click(on(at::language)));
    HxAccessible combo;
    QVERIFY(hxWaitFor(kWaitMs, [&] {
        combo = accessible(QStringLiteral("combo box"), [](const HxAccessible &n) { return !n.rect.isEmpty(); });
        return !combo.rect.isEmpty();
    }));
    // The drop-down list opens; its English entry is clicked.
    HxAccessible english;
    for (int attempt = 0; attempt < 3 && english.rect.isEmpty(); ++attempt) {
        QVERIFY(m_desktop->click(combo.rect.center()));
        hxWaitFor(5000, [&] {
            english = accessible(QStringLiteral("list item"), [](const HxAccessible &n) {
                return n.name == QLatin1String("English") && !n.rect.isEmpty();
            });
            return !english.rect.isEmpty();
        });
    }
    QVERIFY(!english.rect.isEmpty());
    QVERIFY(m_desktop->click(english.rect.center()));
    QVERIFY(hxWaitFor(kWaitMs, [&] {
        return accessible(QStringLiteral("combo box"), [](const HxAccessible &n) { return n.name == QLatin1String("English"); }).name == QLatin1String("English");
    }));
    shot(QStringLiteral("language-chooser"));
    QVERIFY(clickAccessible(QStringLiteral("push button"), QStringLiteral("確認")));

    // The title bar's tooltips, and the dialogs opened from now on.
    QStringList tooltips;
    QVERIFY(hxWaitFor(kWaitMs, [&] {
        tooltips.clear();
        for (const HxAccessible &node : m_desktop->accessibleTree(kApplication))
            if (node.role == QLatin1String("push button") && !node.description.isEmpty())
                tooltips << node.description;
        return tooltips.contains(QStringLiteral("Report")) && tooltips.contains(QStringLiteral("Map"));
    }));
    for (const QString &tooltip : qAsConst(tooltips))
        QVERIFY2(!tooltip.contains(QRegularExpression(QStringLiteral("[\\x{3040}-\\x{30ff}\\x{4e00}-\\x{9fff}]"))), qPrintable(tooltip));
    QVERIFY(m_desktop->click(on(at::capture)));
    QVERIFY(hxWaitFor(kWaitMs, [&] {
        return !accessible(QStringLiteral("label"), [](const HxAccessible &n) { return n.name == QLatin1String("Save capture file in JPEG"); }).rect.isEmpty();
    }));
    shot(QStringLiteral("english-capture-dialog"));
    QVERIFY(clickAccessible(QStringLiteral("push button"), QStringLiteral("Cancel")));
}

void TstAcceptance::closeButtonQuitsCleanly()
{
    const QList<qint64> helpers = descendants(m_viewer->processId());
    QVERIFY(m_desktop->click(on(at::close)));
    QVERIFY(m_viewer->waitForFinished(30000));
    QCOMPARE(m_viewer->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_viewer->exitCode(), 0);
    QStringList left;
    hxWaitFor(10000, [&] {
        left.clear();
        for (const qint64 pid : helpers) {
            QFile command(QStringLiteral("/proc/%1/cmdline").arg(pid));
            if (command.open(QIODevice::ReadOnly))
                left << QStringLiteral("%1 %2").arg(pid).arg(QString::fromLocal8Bit(command.readAll().replace('\0', ' ')));
        }
        return left.isEmpty();
    });
    QVERIFY2(left.isEmpty(), qPrintable(left.join(QStringLiteral("; "))));

    QSettings settings(m_documents + QStringLiteral("/KT-LV550N Doc/viewersetup/conf64.ini"), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("APP/LANGUAGE")).toInt(), 2);

    // The lock is free: a new copy starts at once, and closes as cleanly.
    QVERIFY(startViewer({}));
    shot(QStringLiteral("second-start"));
    QVERIFY(m_desktop->click(on(at::close)));
    QVERIFY(m_viewer->waitForFinished(30000));
    QCOMPARE(m_viewer->exitCode(), 0);
}

QTEST_MAIN(TstAcceptance)
#include "tst_acceptance.moc"
