#include "av_player.h"
#include "hx_test_exif.h"
#include "hx_test_files.h"
#include "hx_test_viewer.h"
#include "video_frame.h"
#include "video_renderer.h"
#include "vw_app.h"
#include "vw_button.h"
#include "vw_format_mov.h"
#include "vw_language.h"
#include "vw_player.h"
#include "vw_popup_capture.h"
#include "vw_settings.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"
#include "window_main.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace {

// The frame number make_card codes into the black band at the top of every
// picture: bit i is a white block of width / 16 pixels at x = block * i.
int cardFrameCode(const QImage &image)
{
    if (image.isNull())
        return -1;
    const int block = image.width() / 16;
    int code = 0;
    for (int bit = 0; bit < 12; ++bit) {
        if (qGray(image.pixel(block * bit + block / 2, block / 2)) > 128)
            code |= 1 << bit;
    }
    return code;
}

double meanDifference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    if (x.size() != y.size())
        return 255.0;
    double sum = 0.0;
    for (int row = 0; row < x.height(); ++row) {
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row);
            const QRgb q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * x.width() * x.height());
}

// Answers the modal windows of one capture in order. A step waits for the
// active modal window to be of its kind; what it does to the window runs
// from the event loop, outside the poll, because a click may open the next
// modal window and block there.
class ModalScript : public QObject
{
public:
    struct Step {
        std::function<bool(QWidget *)> accepts;
        std::function<void(QWidget *)> action;
    };

    explicit ModalScript(const QList<Step> &steps)
        : m_steps(steps)
    {
        connect(&m_poll, &QTimer::timeout, this, &ModalScript::poll);
        m_poll.start(20);
        // A step that never matches fails the test instead of leaving it in a modal loop.
        QTimer::singleShot(20000, this, &ModalScript::closeAll);
    }
    bool finished() const { return m_steps.isEmpty() && !m_pending; }

    static void closeAll()
    {
        while (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            dialog->reject();
            QCoreApplication::processEvents();
        }
    }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (m_pending || m_steps.isEmpty() || !modal || !modal->isVisible() || !m_steps.first().accepts(modal))
            return;
        m_pending = true;
        QTimer::singleShot(0, this, [this, action = m_steps.takeFirst().action, modal = QPointer<QWidget>(modal)] {
            m_pending = false;
            if (modal)
                action(modal);
        });
    }

    QTimer m_poll;
    QList<Step> m_steps;
    bool m_pending = false;
};

template <typename T>
ModalScript::Step on(const std::function<void(T *)> &action)
{
    return {[](QWidget *modal) { return qobject_cast<T *>(modal) != nullptr; },
            [action](QWidget *modal) { action(static_cast<T *>(modal)); }};
}

ModalScript::Step saveAs(const QString &name, const QString &folder = QString())
{
    return on<VwPopupCapture>([name, folder](VwPopupCapture *dialog) {
        dialog->nameEdit()->setText(name);
        if (!folder.isNull())
            dialog->folderEdit()->setText(folder);
        dialog->okButton()->click();
    });
}

ModalScript::Step cancelCapture()
{
    return on<VwPopupCapture>([](VwPopupCapture *dialog) { dialog->cancelButton()->click(); });
}

ModalScript::Step message(QString *text, const std::function<void(QWidget *)> &first = {})
{
    return on<QMessageBox>([text, first](QMessageBox *box) {
        if (first)
            first(box);
        *text = box->text();
        box->accept();
    });
}

ModalScript::Step overwrite(bool replace, const std::function<void(QWidget *)> &first = {})
{
    return {[](QWidget *modal) { return modal->inherits("VwDialogOverwriteSys"); },
            [replace, first](QWidget *modal) {
                if (first)
                    first(modal);
                static_cast<QDialog *>(modal)->done(replace ? QDialog::Accepted : QDialog::Rejected);
            }};
}

} // namespace

class TestStillCapture : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void picturesAndNames_data();
    void picturesAndNames();
    void exif_data();
    void exif();
    void failedSaveKeepsEverything_data();
    void failedSaveKeepsEverything();
    void failedGrab();
    void refusedNames_data();
    void refusedNames();
    void existingFilesAndRetry_data();
    void existingFilesAndRetry();

private:
    bool playPaused(const QString &name, qint64 positionMs);
    bool capture(const QList<ModalScript::Step> &steps);
    QStringList saved() const;
    bool japanese() const { return VwLanguage::instance()->language == VwLanguage::LANGUAGE_JAPANESE; }
    QString failureHeader() const
    {
        return japanese() ? QStringLiteral("JPEGファイル生成に失敗しました。") : QStringLiteral("Unable to save file.");
    }

    QTemporaryDir m_work;
    QString m_folder;
    VwPlayer *m_player = nullptr;
    QList<QString> m_grabbed;
    QImage m_shownFront;
    QImage m_shownRear;
};

void TestStillCapture::initTestCase()
{
    // The whole sandbox lies below a folder called CH1 (see main).
    QVERIFY(VwApp::instance()->appPath(VwApp::PATH_BACKUP).contains(QLatin1String("/CH1/")));

    const QString card = m_work.filePath(QStringLiteral("card"));
    HX_MAKE_CARD({"--small", "--quiet", card});
    HX_MAKE_CARD({"--small", "--quiet", "--count", "1", "--duration", "10", card + QStringLiteral("/Long")});
    QVERIFY(hxListFolder(card));

    m_player = VwPlayer::instance();
    WindowMain *window = WindowMain::instance();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    connect(m_player, &VwPlayer::videoCaptureDone, this, [this](QList<QString> *files) {
        m_grabbed = *files;
        m_shownFront = m_player->rendererMain()->currentFrame().image();
        m_shownRear = m_player->rendererSub()->currentFrame().image();
    });
}

void TestStillCapture::init()
{
    m_folder = m_work.filePath(QStringLiteral("saved/%1/%2").arg(QTest::currentTestFunction(), QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(m_folder));
    VwSettings::instance()->setBackupPath(m_folder);
    m_grabbed.clear();
}

void TestStillCapture::cleanup()
{
    ModalScript::closeAll();
    for (const QString &path : qAsConst(m_grabbed))
        QVERIFY2(!QFile::exists(path), qPrintable(path + QStringLiteral(" was left behind")));
}

bool TestStillCapture::playPaused(const QString &name, qint64 positionMs)
{
    VwVideoItem *item = nullptr;
    for (const auto &listed : VwVideoFileList::instance()->visibleItems()) {
        if (listed->displayName() == name)
            item = listed.data();
    }
    if (!item)
        return false;
    const auto load = [&] {
        m_player->onUserStop();
        m_player->onLoad(item);
    };
    if (!hxRunUntil(m_player, load, PLAY_EVENT_LOADED))
        return false;
    if (positionMs < 1000) {
        // Before the first key frame after the start a seek would go back to
        // 0, where nothing can be captured: pause on the way instead.
        if (!QTest::qWaitFor([&] { return m_player->playerF()->position() >= positionMs; }, 5000))
            return false;
        m_player->onPlayOrPause();
        return QTest::qWaitFor([&] { return m_player->playerF()->isPaused(); }, 3000);
    }
    m_player->onPlayOrPause();
    m_player->onSliderMove(int(positionMs));
    m_player->onSliderRelease();
    // Key frames every second: the picture settles on the frame at the position.
    const int frame = int(positionMs / 1000 * 30);
    return QTest::qWaitFor([&] {
        return m_player->playerF()->isPaused()
            && cardFrameCode(m_player->rendererMain()->currentFrame().image()) == frame;
    }, 5000);
}

bool TestStillCapture::capture(const QList<ModalScript::Step> &steps)
{
    ModalScript script(steps);
    WindowMain::instance()->onStartCapture();
    return QTest::qWaitFor([&] { return script.finished() && !QApplication::activeModalWidget(); }, 25000);
}

QStringList TestStillCapture::saved() const
{
    return QDir(m_folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

void TestStillCapture::picturesAndNames_data()
{
    QTest::addColumn<QString>("recording");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QList<QSize>>("sizes");
    QTest::newRow("front and rear") << "NORM260415-081502" << QStringList{"pic_前方.jpg", "pic_後方.jpg"}
                                    << QList<QSize>{{320, 180}, {256, 144}};
    QTest::newRow("front only") << "NORM260415-083502" << QStringList{"pic_前方.jpg"} << QList<QSize>{{320, 180}};
    QTest::newRow("rear only") << "NORM260415-084502" << QStringList{"pic_後方.jpg"} << QList<QSize>{{256, 144}};
}

void TestStillCapture::picturesAndNames()
{
    QFETCH(QString, recording);
    QFETCH(QStringList, files);
    QFETCH(QList<QSize>, sizes);
    QVERIFY(playPaused(recording, 1000));

    QString proposed;
    QVERIFY(capture({on<VwPopupCapture>([&proposed](VwPopupCapture *dialog) {
        proposed = dialog->nameEdit()->text();
        dialog->nameEdit()->setText(QStringLiteral("pic"));
        dialog->okButton()->click();
    })}));
    QCOMPARE(m_grabbed.size(), files.size());
    // Paused one second after the start written in the recording's name.
    const QDateTime start = QDateTime::fromString(recording.mid(4), QStringLiteral("yyMMdd-HHmmss"));
    QCOMPARE(proposed, recording + QLatin1Char('_') + start.addSecs(1).toString(QStringLiteral("yyMMdd-HHmmss")));
    QCOMPARE(saved(), files);

    // The rear-only recording plays on the front player, in the main pane.
    const QList<QImage> shown = {m_shownFront, files.size() == 2 ? m_shownRear : QImage()};
    for (int i = 0; i < files.size(); ++i) {
        const QImage still(QDir(m_folder).filePath(files.at(i)), "JPG");
        QCOMPARE(still.size(), sizes.at(i));
        QCOMPARE(cardFrameCode(still), cardFrameCode(shown.at(i)));
        QVERIFY2(meanDifference(still, shown.at(i)) < 4.0, qPrintable(QString::number(meanDifference(still, shown.at(i)))));
    }
}

void TestStillCapture::exif_data()
{
    QTest::addColumn<QString>("recording");
    QTest::addColumn<qint64>("position");
    QTest::addColumn<bool>("fix");
    QTest::newRow("fix at 3 s") << "NORM260415-081502" << qint64(3000) << true;
    // Ten-second drives lose the fix in their first two seconds.
    QTest::newRow("no fix at 0.5 s") << "NORM260415-060002" << qint64(500) << false;
}

void TestStillCapture::exif()
{
    QFETCH(QString, recording);
    QFETCH(qint64, position);
    QFETCH(bool, fix);
    QVERIFY(playPaused(recording, position));

    QString proposed;
    QVERIFY(capture({on<VwPopupCapture>([&proposed](VwPopupCapture *dialog) {
        proposed = dialog->nameEdit()->text();
        dialog->okButton()->click();
    })}));
    const VwSensorInfo *info = m_player->currentItem()->sensorInfo;
    QVERIFY(info);
    const qint64 index = VwSensorInfo::recordIndex(m_player->playerF()->position(), m_player->playerF()->duration(),
                                                   info->gpsCount);
    QCOMPARE(saved().size(), 2);
    for (const QString &file : saved()) {
        const QMap<QString, QString> tags = hxExifTagsOfFile(QDir(m_folder).filePath(file));
        QCOMPARE(tags.value("Exif.Image.Model"), QStringLiteral("KT-LV550N"));
        const QDateTime named = QDateTime::fromString(proposed.section('_', 1), QStringLiteral("yyMMdd-HHmmss")).addYears(100);
        QCOMPARE(tags.value("Exif.Photo.DateTimeOriginal"), named.toString(QStringLiteral("yyyy:MM:dd HH:mm:ss")));
        if (!fix) {
            QVERIFY(tags.keys().filter(QStringLiteral("Exif.GPSInfo.")).isEmpty());
            continue;
        }
        const VwGpsRecord &record = info->gpsRecords.at(int(index));
        QVERIFY(record.valid);
        QCOMPARE(tags.value("Exif.GPSInfo.GPSLatitudeRef"), QStringLiteral("N"));
        QCOMPARE(tags.value("Exif.GPSInfo.GPSLongitudeRef"), QStringLiteral("E"));
        QVERIFY(std::fabs(hxExifDegrees(tags.value("Exif.GPSInfo.GPSLatitude")) - record.latitude) < 1e-5);
        QVERIFY(std::fabs(hxExifDegrees(tags.value("Exif.GPSInfo.GPSLongitude")) - record.longitude) < 1e-5);
        QVERIFY(std::fabs(hxExifRational(tags.value("Exif.GPSInfo.GPSSpeed")) - record.speed) <= 0.1);
    }
}

void TestStillCapture::failedSaveKeepsEverything_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("vanished folder") << "vanished";
    QTest::newRow("folder is a file") << "file";
    QTest::newRow("disk full") << "full";
}

void TestStillCapture::failedSaveKeepsEverything()
{
    QFETCH(QString, kind);
    QString folder = m_folder;
    const QString old = QDir(m_folder).filePath(QStringLiteral("full_前方.jpg"));
    if (kind == QLatin1String("file")) {
        folder = m_folder + QStringLiteral("/plain.txt");
        QVERIFY(hxWriteFile(folder, QByteArray()));
    } else if (kind == QLatin1String("full")) {
        QVERIFY(hxWriteFile(old, "old still"));
    }
    VwSettings::instance()->setBackupPath(folder);
    QVERIFY(playPaused(QStringLiteral("NORM260415-081502"), 1000));

    // A file may grow to 1000 bytes only, as on a full disk; the signal that
    // would end the process is ignored so that the write fails instead.
    rlimit normal{};
    getrlimit(RLIMIT_FSIZE, &normal);
    const auto restore = [normal](QWidget * = nullptr) { setrlimit(RLIMIT_FSIZE, &normal); };
    std::signal(SIGXFSZ, SIG_IGN);

    QString text;
    QStringList grabbedWhileOpen;
    QList<ModalScript::Step> steps;
    steps << on<VwPopupCapture>([&](VwPopupCapture *dialog) {
        dialog->nameEdit()->setText(QStringLiteral("full"));
        if (kind == QLatin1String("vanished"))
            QDir(m_folder).removeRecursively();
        if (kind == QLatin1String("full")) {
            rlimit small = normal;
            small.rlim_cur = 1000;
            setrlimit(RLIMIT_FSIZE, &small);
        }
        dialog->okButton()->click();
    });
    if (kind == QLatin1String("full"))
        steps << overwrite(true);
    steps << message(&text, restore) << on<VwPopupCapture>([&](VwPopupCapture *dialog) {
        for (const QString &path : qAsConst(m_grabbed)) {
            if (QFile::exists(path))
                grabbedWhileOpen << path;
        }
        dialog->cancelButton()->click();
    });
    const bool finished = capture(steps);
    restore();
    QVERIFY(finished);

    const QStringList lines = text.split('\n');
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0), failureHeader());
    QCOMPARE(lines.at(1), folder);
    QVERIFY(!lines.at(2).isEmpty());
    QCOMPARE(grabbedWhileOpen, m_grabbed);
    if (kind == QLatin1String("vanished"))
        QVERIFY(!QFileInfo::exists(m_folder));
    else if (kind == QLatin1String("file"))
        QCOMPARE(saved(), QStringList{"plain.txt"});
    else
        QCOMPARE(saved().join(','), QStringLiteral("full_前方.jpg"));
    if (kind == QLatin1String("full"))
        QCOMPARE(hxReadFile(old), QByteArray("old still"));
}

void TestStillCapture::failedGrab()
{
    QVERIFY(playPaused(QStringLiteral("NORM260415-081502"), 1000));
    const QString backup = VwApp::instance()->appPath(VwApp::PATH_BACKUP);
    QVERIFY(QDir(backup).removeRecursively());
    QVERIFY(hxWriteFile(backup, QByteArray()));

    QSignalSpy done(m_player, &VwPlayer::videoCaptureDone);
    QSignalSpy failed(m_player, &VwPlayer::videoCaptureFailed);
    QString text;
    const bool finished = capture({message(&text)});
    QVERIFY(QFile::remove(backup));
    QVERIFY(QDir().mkpath(backup));
    QVERIFY(finished);

    QCOMPARE(failed.count(), 1);
    QCOMPARE(done.count(), 0);
    QVERIFY(!QGuiApplication::overrideCursor());
    QVERIFY(text.startsWith(failureHeader()));
    QCOMPARE(saved().join(','), QString());
    QVERIFY(m_player->capturePaths()->isEmpty());
}

void TestStillCapture::refusedNames_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    const int ja = VwLanguage::LANGUAGE_JAPANESE;
    const int en = VwLanguage::LANGUAGE_ENGLISH;
    QTest::newRow("empty") << ja << "" << "ファイル名を入れてください。";
    QTest::newRow("blank, English") << en << "   " << "Please enter a file name.";
    QTest::newRow("separator") << ja << "a/b" << "ファイル名に「/」は使えません。";
    QTest::newRow("separator, English") << en << "a/b" << "A file name cannot contain \"/\".";
}

void TestStillCapture::refusedNames()
{
    QFETCH(int, language);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    VwLanguage::instance()->setLanguage(VwLanguage::LANGUAGE_TYPE(language));
    // With this folder there, "a/b" could be saved: it must be refused all the same.
    QVERIFY(QDir(m_folder).mkdir(QStringLiteral("a")));
    QVERIFY(playPaused(QStringLiteral("NORM260415-081502"), 1000));
    QString text;
    QVERIFY(capture({saveAs(name), message(&text), cancelCapture()}));
    QCOMPARE(text, expected);
    QVERIFY(saved().isEmpty());
    QVERIFY(QDir(m_folder + QStringLiteral("/a")).isEmpty());
}

void TestStillCapture::existingFilesAndRetry_data()
{
    QTest::addColumn<int>("language");
    QTest::newRow("ja") << int(VwLanguage::LANGUAGE_JAPANESE);
    QTest::newRow("en") << int(VwLanguage::LANGUAGE_ENGLISH);
}

// Renders the dialog, the question and the failure message on the way.
void TestStillCapture::existingFilesAndRetry()
{
    QFETCH(int, language);
    VwLanguage::instance()->setLanguage(VwLanguage::LANGUAGE_TYPE(language));
    const QString shots = QFile::decodeName(qgetenv("HX_SCREENSHOT_DIR"));
    const auto shoot = [&](const QString &name) {
        return [shots, name](QWidget *widget) {
            if (!shots.isEmpty())
                QVERIFY(QDir().mkpath(shots) && widget->grab().save(
                    QDir(shots).filePath(name + QLatin1Char('_') + QTest::currentDataTag() + QStringLiteral(".png"))));
        };
    };
    const QStringList names = {"shot_前方.jpg", "shot_後方.jpg"};
    for (const QString &name : names) {
        QVERIFY(hxWriteFile(QDir(m_folder).filePath(name), "old"));
    }
    QVERIFY(playPaused(QStringLiteral("NORM260415-081502"), 1000));

    QByteArray kept;
    QString text;
    QVERIFY(capture({on<VwPopupCapture>([&](VwPopupCapture *dialog) {
                         shoot(QStringLiteral("capture_dialog"))(dialog);
                         saveAs(QStringLiteral("shot")).action(dialog);
                     }),
                     overwrite(false, shoot(QStringLiteral("capture_overwrite"))),
                     // Refused: the dialog is back and the old stills are as they were.
                     on<VwPopupCapture>([&](VwPopupCapture *dialog) {
                         for (const QString &name : names)
                             kept += hxReadFile(QDir(m_folder).filePath(name));
                         saveAs(QStringLiteral("shot"), m_folder + QStringLiteral("/missing")).action(dialog);
                     }),
                     message(&text, shoot(QStringLiteral("capture_failed"))),
                     // After the failure the dialog is back once more, for another folder.
                     saveAs(QStringLiteral("shot"), m_folder), overwrite(true)}));
    QCOMPARE(kept, QByteArray("oldold"));
    QVERIFY(text.startsWith(failureHeader()));
    QCOMPARE(saved(), names);
    for (const QString &name : names)
        QVERIFY(!QImage(QDir(m_folder).filePath(name), "JPG").isNull());
}

int main(int argc, char **argv)
{
    // Every path of the test, the sandbox's Documents folder among them, lies
    // below a folder called CH1: the camera of a still must not be read from
    // its folder.
    QTemporaryDir base;
    if (!base.isValid() || !QDir(base.path()).mkdir(QStringLiteral("CH1")))
        return 1;
    qputenv("TMPDIR", QFile::encodeName(base.path() + QStringLiteral("/CH1")));
    HxTestSandbox sandbox;
    QApplication application(argc, argv);
    VwApp::instance()->initialize(&application);
    TestStillCapture test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_still_capture.moc"
