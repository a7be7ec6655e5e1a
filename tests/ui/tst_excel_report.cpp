#include "hx_test_files.h"
#include "hx_test_viewer.h"
#include "vw_app.h"
#include "vw_button.h"
#include "vw_dialog_progress.h"
#include "vw_excel_report.h"
#include "vw_language.h"
#include "vw_play_event.h"
#include "vw_player.h"
#include "vw_popup_message.h"
#include "vw_report_command.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"
#include "window_main.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <signal.h>

Q_DECLARE_METATYPE(VwLanguage::LANGUAGE_TYPE)

// The report command from the title bar to the workbook on disk: the form
// templates, real reports through LibreOffice read back independently, and
// the ways a report can fail.
class TestExcelReport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void fitRect_data();
    void fitRect();
    void proposedPath();
    void saveDialogCancelled();
    void refusedBeforeOffice_data();
    void refusedBeforeOffice();
    void officeFailure_data();
    void officeFailure();
    void endOfProgramEndsOffice();
    void reports();

private:
    void answerModals();
    QString fakeOffice(const QString &name, const QString &body);
    qint64 startedOffice(const QString &name) const;
    static bool groupGone(qint64 group);
    void saveShot(QWidget *widget, const QString &name);
    void checkWorkbook(const QJsonObject &result, const QJsonObject &form, const QString &language);
    QStringList leftovers(const QString &folder) const;

    QTemporaryDir m_dir;
    QDir m_shots;
    QString m_reportFolder;
    WindowMain *m_window = nullptr;
    VwReportCommand *m_command = nullptr;
    // What the modal dialogs said since init(); each is answered at once.
    QStringList m_messages;
    QString m_messageShot;
    QStringList m_fileDialogs;
};

void TestExcelReport::initTestCase()
{
    qRegisterMetaType<VwLanguage::LANGUAGE_TYPE>();
    QVERIFY(m_dir.isValid());
    m_shots = QDir(qEnvironmentVariable("HX_SCREENSHOT_DIR", m_dir.filePath(QStringLiteral("shots"))));
    QVERIFY(m_shots.mkpath(QStringLiteral(".")));
    m_reportFolder = VwApp::instance()->appPath(VwApp::PATH_REPORT);
    QVERIFY(QDir(m_reportFolder).exists());

    m_window = WindowMain::instance();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    m_command = m_window->reportCommand();

    const QString card = m_dir.filePath(QStringLiteral("card"));
    HX_MAKE_CARD({"--small", "--count", "1", "--quiet", card});
    QVERIFY(hxListFolder(card));
    VwVideoFileList *list = VwVideoFileList::instance();
    QVERIFY(!list->visibleItems().isEmpty());
    VwPlayer *player = VwPlayer::instance();
    QVERIFY(hxRunUntil(player, [&] { player->onLoad(list->visibleItems().first().data()); }, PLAY_EVENT_LOADED));
    answerModals();
}

void TestExcelReport::init()
{
    VwExcelReport::programs() = VwExcelReport::Programs();
    VwLanguage::instance()->setLanguage(VwLanguage::LANGUAGE_JAPANESE);
    m_messages.clear();
    m_fileDialogs.clear();
    m_messageShot.clear();
    m_command->choosePath = nullptr;
    m_command->openReport = [](const QString &) { return true; };
}

// Every modal dialog is answered as soon as it shows: a message is read
// (and photographed when a test asks), a file dialog described and cancelled.
void TestExcelReport::answerModals()
{
    auto *timer = new QTimer(this);
    timer->setInterval(20);
    connect(timer, &QTimer::timeout, this, [this] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *message = qobject_cast<VwPopupMessage *>(modal)) {
            m_messages << message->textLabel()->text();
            if (!m_messageShot.isEmpty())
                saveShot(message, m_messageShot);
            message->accept();
        } else if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            m_fileDialogs << dialog->windowTitle() << dialog->nameFilters().join(QLatin1Char(';'))
                          << dialog->selectedFiles().value(0);
            dialog->reject();
        }
    });
    timer->start();
}

// A stand-in for soffice that writes its process id to `name`.pid and then runs `body`.
QString TestExcelReport::fakeOffice(const QString &name, const QString &body)
{
    const QString path = m_dir.filePath(name);
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly))
        return QString();
    script.write(QStringLiteral("#!/bin/sh\necho $$ > '%1.pid'\n%2\n").arg(path, body).toUtf8());
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    QFile::remove(path + QStringLiteral(".pid"));
    return path;
}

qint64 TestExcelReport::startedOffice(const QString &name) const
{
    QFile pid(m_dir.filePath(name) + QStringLiteral(".pid"));
    return pid.open(QIODevice::ReadOnly) ? pid.readAll().trimmed().toLongLong() : 0;
}

bool TestExcelReport::groupGone(qint64 group)
{
    return ::kill(pid_t(-group), 0) != 0 && errno == ESRCH;
}

void TestExcelReport::saveShot(QWidget *widget, const QString &name)
{
    const QImage image = widget->grab().toImage();
    QVERIFY(!image.isNull());
    QVERIFY(image.save(m_shots.filePath(name)));
    qInfo("%s", qPrintable(m_shots.filePath(name)));
}

QStringList TestExcelReport::leftovers(const QString &folder) const
{
    return QDir(folder).entryList({QStringLiteral(".report_*"), QStringLiteral(".~lock.*")}, QDir::Files | QDir::Hidden);
}

void TestExcelReport::fitRect_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("1280x800, width-limited") << QSize(1280, 800) << QRect(781, 409, 480, 300);
    QTest::newRow("1000x1000, height-limited") << QSize(1000, 1000) << QRect(870, 409, 301, 301);
    QTest::newRow("1920x1080") << QSize(1920, 1080) << QRect(781, 424, 480, 270);
    QTest::newRow("main window 1094x687") << QSize(1094, 687) << QRect(781, 409, 479, 301);
    QTest::newRow("no picture") << QSize(0, 0) << VwExcelReport::pictureArea;
}

void TestExcelReport::fitRect()
{
    QFETCH(QSize, source);
    QFETCH(QRect, expected);
    QCOMPARE(VwExcelReport::fitRect(source, VwExcelReport::pictureArea), expected);
}

void TestExcelReport::proposedPath()
{
    QTemporaryDir folder;
    const QDate date(2023, 4, 15);
    QCOMPARE(VwReportCommand::proposedPath(folder.path() + QStringLiteral("/"), date),
             folder.filePath(QStringLiteral("report_20230415.xls")));
    for (const char *name : {"report_20230415.xls", "report_20230415_1.xls"})
        QVERIFY(hxWriteFile(folder.filePath(QLatin1String(name)), QByteArray()));
    QCOMPARE(VwReportCommand::proposedPath(folder.path(), date),
             folder.filePath(QStringLiteral("report_20230415_2.xls")));
}

// The real save dialog proposes the name; cancelling it ends the command
// without a file and gives the zoom overview back.
void TestExcelReport::saveDialogCancelled()
{
    QSignalSpy hide(VwApp::instance(), &VwApp::hidePIPForCapture);
    const QStringList before = QDir(m_reportFolder).entryList(QDir::Files | QDir::Hidden);
    m_window->onStartReport();
    QCOMPARE(m_fileDialogs, (QStringList{QStringLiteral("レポート保存"), QStringLiteral("Excel files (*.xls)"),
                                         m_reportFolder + QStringLiteral("/report_20260415.xls")}));
    QCOMPARE(hide.count(), 2);
    QCOMPARE(hide.at(0).at(0).toBool(), true);
    QCOMPARE(hide.at(1).at(0).toBool(), false);
    QCOMPARE(QDir(m_reportFolder).entryList(QDir::Files | QDir::Hidden), before);
    QVERIFY(m_messages.isEmpty());
}

void TestExcelReport::refusedBeforeOffice_data()
{
    QTest::addColumn<VwLanguage::LANGUAGE_TYPE>("language");
    QTest::addColumn<QString>("problem");
    QTest::addColumn<QString>("shot");
    for (auto language : {VwLanguage::LANGUAGE_JAPANESE, VwLanguage::LANGUAGE_ENGLISH}) {
        const QString suffix = language == VwLanguage::LANGUAGE_JAPANESE ? QStringLiteral("ja") : QStringLiteral("en");
        QTest::addRow("no soffice, %s", qPrintable(suffix))
            << language << QStringLiteral("no soffice") << QStringLiteral("report_no_office_%1.png").arg(suffix);
        QTest::addRow("folder vanished, %s", qPrintable(suffix))
            << language << QStringLiteral("vanished") << QStringLiteral("report_save_failed_%1.png").arg(suffix);
    }
    QTest::newRow("folder is a file") << VwLanguage::LANGUAGE_ENGLISH << QStringLiteral("file") << QString();
}

// Without LibreOffice there is no save dialog; a folder that takes no file is
// refused before LibreOffice starts. Either way nothing is written.
void TestExcelReport::refusedBeforeOffice()
{
    QFETCH(VwLanguage::LANGUAGE_TYPE, language);
    QFETCH(QString, problem);
    QFETCH(QString, shot);
    VwLanguage::instance()->setLanguage(language);
    m_messageShot = shot;
    VwExcelReport::programs().soffice = fakeOffice(QStringLiteral("office_refused"), QStringLiteral("exit 0"));
    QString folder = m_dir.filePath(QStringLiteral("vanished"));
    if (problem == QLatin1String("no soffice")) {
        VwExcelReport::programs().soffice = m_dir.filePath(QStringLiteral("nowhere/soffice"));
        folder = m_reportFolder;
    } else if (problem == QLatin1String("file")) {
        folder = m_dir.filePath(QStringLiteral("plain_file"));
        QVERIFY(hxWriteFile(folder, QByteArray()));
    }
    int asked = 0;
    m_command->choosePath = [&](const QString &) {
        ++asked;
        return folder + QStringLiteral("/report.xls");
    };
    const QStringList before = QDir(m_reportFolder).entryList(QDir::Files | QDir::Hidden);

    QSignalSpy ended(m_command, &VwReportCommand::ended);
    m_window->onStartReport();
    QVERIFY(ended.count() > 0 || ended.wait(10000));
    QCOMPARE(m_messages.size(), 1);
    if (problem == QLatin1String("no soffice")) {
        QCOMPARE(asked, 0);
        QVERIFY2(m_messages.first().contains(VwExcelReport::programs().soffice), qPrintable(m_messages.first()));
    } else {
        QCOMPARE(asked, 1);
        QVERIFY2(m_messages.first().contains(folder), qPrintable(m_messages.first()));
        QCOMPARE(startedOffice(QStringLiteral("office_refused")), qint64(0));
    }
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("vanished"))));
    QCOMPARE(QDir(m_reportFolder).entryList(QDir::Files | QDir::Hidden), before);
}

void TestExcelReport::officeFailure_data()
{
    QTest::addColumn<QString>("ending");
    QTest::addColumn<QString>("message");
    QTest::newRow("no answer") << QStringLiteral("connect") << QStringLiteral("LibreOffice Calc does not answer.");
    QTest::newRow("too slow") << QStringLiteral("job") << QStringLiteral("LibreOffice Calc did not finish in time.");
    QTest::newRow("cancelled") << QStringLiteral("cancel") << QString();
}

// A soffice that never answers: the report ends by the connection limit, the
// job limit or the progress dialog's Cancel, and leaves neither a process nor
// a file; a report already under the chosen name keeps its bytes.
void TestExcelReport::officeFailure()
{
    QFETCH(QString, ending);
    QFETCH(QString, message);
    VwLanguage::instance()->setLanguage(VwLanguage::LANGUAGE_ENGLISH);
    VwExcelReport::Programs &programs = VwExcelReport::programs();
    programs.soffice = fakeOffice(QStringLiteral("office_silent"), QStringLiteral("exec sleep 600"));
    programs.connectTimeoutMs = ending == QLatin1String("connect") ? 1000 : 600000;
    programs.jobTimeoutMs = ending == QLatin1String("job") ? 2000 : 600000;

    const QString folder = m_dir.filePath(QStringLiteral("failure"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/report.xls");
    QVERIFY(hxWriteFile(path, "filled-in report"));
    m_command->choosePath = [&](const QString &) { return path; };
    int opened = 0;
    m_command->openReport = [&](const QString &) { return ++opened, true; };

    QSignalSpy ended(m_command, &VwReportCommand::ended);
    m_window->onStartReport();
    QVERIFY(m_command->isRunning());
    QTRY_VERIFY_WITH_TIMEOUT(startedOffice(QStringLiteral("office_silent")) > 0, 30000);
    if (ending == QLatin1String("cancel")) {
        VwDialogProgress *dialog = VwDialogProgress::current();
        QVERIFY(dialog && dialog->isVisible() && dialog->cancelButton());
        QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
    }
    QVERIFY(ended.count() > 0 || ended.wait(60000));
    QCOMPARE(ended.first().at(0).toBool(), false);
    QCOMPARE(opened, 0);
    QCOMPARE(m_messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QVERIFY2(m_messages.first().startsWith(message), qPrintable(m_messages.first()));
    QVERIFY(groupGone(startedOffice(QStringLiteral("office_silent"))));
    QVERIFY(!VwDialogProgress::current());

    QFile existing(path);
    QVERIFY(existing.open(QIODevice::ReadOnly));
    QCOMPARE(existing.readAll(), QByteArray("filled-in report"));
    QCOMPARE(leftovers(folder), QStringList());
}

// The program ending in the middle of a report takes LibreOffice and the
// unfinished file with it.
void TestExcelReport::endOfProgramEndsOffice()
{
    VwExcelReport::programs().soffice = fakeOffice(QStringLiteral("office_exit"), QStringLiteral("exec sleep 600"));
    const QString folder = m_dir.filePath(QStringLiteral("exit"));
    QVERIFY(QDir().mkpath(folder));
    QImage picture(64, 40, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QVERIFY(picture.save(m_dir.filePath(QStringLiteral("exit.jpg"))));
    auto *report = new VwExcelReport;
    QVERIFY(report->generate(folder + QStringLiteral("/report.xls"), m_dir.filePath(QStringLiteral("exit.jpg"))));
    QCOMPARE(leftovers(folder).size(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(startedOffice(QStringLiteral("office_exit")) > 0, 30000);
    delete report;
    QVERIFY(groupGone(startedOffice(QStringLiteral("office_exit"))));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestExcelReport::checkWorkbook(const QJsonObject &result, const QJsonObject &form, const QString &language)
{
    const QString file = result.value(QStringLiteral("file")).toString();
    QCOMPARE(result.value(QStringLiteral("sheets")).toArray(), QJsonArray{form.value(QStringLiteral("sheet"))});
    QJsonObject labels;
    QStringList spans;
    for (const QJsonValue &value : form.value(QStringLiteral("cells")).toArray()) {
        const QJsonObject cell = value.toObject();
        labels.insert(cell.value(QStringLiteral("at")).toString(), cell.value(language));
        if (cell.contains(QStringLiteral("span")))
            spans << cell.value(QStringLiteral("span")).toString();
    }
    QVERIFY2(result.value(QStringLiteral("cells")).toObject() == labels, qPrintable(file));
    QStringList merges;
    for (const QJsonValue &merge : result.value(QStringLiteral("merges")).toArray())
        merges << merge.toString();
    spans.sort();
    merges.sort();
    QCOMPARE(merges, spans);

    QProcess pdfinfo;
    pdfinfo.start(QStringLiteral("pdfinfo"), {result.value(QStringLiteral("pdf")).toString()});
    QVERIFY(pdfinfo.waitForFinished(30000));
    const QString info = QString::fromUtf8(pdfinfo.readAllStandardOutput());
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))), qPrintable(info));
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+1190\\.55 x 841\\.89 pts"))), qPrintable(info));
}

// One report in each language on the loaded recording, then the templates
// and both reports read back by xlrd and by a fresh LibreOffice.
void TestExcelReport::reports()
{
    if (!VwExcelReport::missingPrograms().isEmpty())
        QSKIP("LibreOffice Calc is not installed (scripts/setup)");
    for (const char *tool : {"pdfinfo", "pdftoppm"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            QSKIP("poppler-utils is not installed (scripts/setup)");
    }
    // A loaded machine can take long to start LibreOffice; the limits here
    // only stop a test that would otherwise hang.
    VwExcelReport::programs().connectTimeoutMs = 300000;
    VwExcelReport::programs().jobTimeoutMs = 600000;

    QStringList reports;
    QStringList opened;
    m_command->choosePath = [](const QString &proposed) { return proposed; };
    m_command->openReport = [&](const QString &path) {
        opened << path;
        return opened.size() == 1;
    };
    for (auto language : {VwLanguage::LANGUAGE_JAPANESE, VwLanguage::LANGUAGE_ENGLISH}) {
        const QString suffix = language == VwLanguage::LANGUAGE_JAPANESE ? QStringLiteral("ja") : QStringLiteral("en");
        VwLanguage::instance()->setLanguage(language);
        reports << VwReportCommand::proposedPath(m_reportFolder, QDate(2026, 4, 15));
        QSignalSpy ended(m_command, &VwReportCommand::ended);
        m_window->onStartReport();
        QTRY_VERIFY(m_command->report());
        QSignalSpy progress(m_command->report(), &VwExcelReport::progress);
        VwDialogProgress *dialog = VwDialogProgress::current();
        QVERIFY(dialog && dialog->isVisible());
        // Photographed from the progress signal itself, while the dialog surely exists.
        bool shot = false;
        connect(m_command->report(), &VwExcelReport::progress, this, [&](int value) {
            if (value < 200 || std::exchange(shot, true))
                return;
            dialog->onUpdateValue(value);
            saveShot(dialog, QStringLiteral("report_progress_%1.png").arg(suffix));
        });
        QVERIFY(ended.count() > 0 || ended.wait(600000));
        QVERIFY(shot);
        QVERIFY2(ended.first().at(0).toBool(), qPrintable(m_messages.join(QLatin1Char('\n'))));
        QVERIFY(progress.count() > 1);
        QCOMPARE(progress.last().at(0).toInt(), 364);
        QCOMPARE(opened.last(), reports.last());
    }
    QCOMPARE(reports.last(), m_reportFolder + QStringLiteral("/report_20260415_1.xls"));
    // The second report could not be opened: the message says where it is.
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().contains(reports.last()), qPrintable(m_messages.first()));
    QCOMPARE(leftovers(m_reportFolder), QStringList());

    const QString templates = m_dir.filePath(QStringLiteral("templates"));
    QVERIFY(QDir().mkpath(templates));
    QStringList files;
    for (const char *name : {"report.xls", "report_en.xls"}) {
        files << templates + QLatin1Char('/') + QLatin1String(name);
        QVERIFY(QFile::copy(QStringLiteral(":/report/") + QLatin1String(name), files.last()));
    }
    files << reports;
    QProcess check;
    check.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    check.start(QStringLiteral("/usr/bin/python3"),
                QStringList{qEnvironmentVariable("HX_SOURCE_DIR") + QStringLiteral("/tests/ui/report_check.py"),
                            QStringLiteral("--source"), qEnvironmentVariable("HX_SOURCE_DIR"),
                            QStringLiteral("--profile"), m_dir.filePath(QStringLiteral("check-profile")),
                            QStringLiteral("--out"), m_dir.filePath(QStringLiteral("check")),
                            QStringLiteral("--scene"), QStringLiteral("AT19:CD31")}
                    + files);
    QVERIFY(check.waitForFinished(600000));
    QCOMPARE(check.exitCode(), 0);
    QList<QJsonObject> results;
    for (const QByteArray &line : check.readAllStandardOutput().split('\n')) {
        if (line.startsWith("result "))
            results << QJsonDocument::fromJson(line.mid(7)).object();
    }
    QCOMPARE(results.size(), 4);

    QFile formFile(qEnvironmentVariable("HX_SOURCE_DIR") + QStringLiteral("/tools/report_template/form.json"));
    QVERIFY(formFile.open(QIODevice::ReadOnly));
    const QJsonObject form = QJsonDocument::fromJson(formFile.readAll()).object();
    const QRect expected = VwExcelReport::fitRect(m_window->size(), VwExcelReport::pictureArea);
    for (int i = 0; i < results.size(); ++i) {
        const QJsonObject &result = results.at(i);
        const QString file = result.value(QStringLiteral("file")).toString();
        const QString language = i % 2 == 0 ? QStringLiteral("ja") : QStringLiteral("en");
        checkWorkbook(result, form, language);
        const QJsonArray jpegs = result.value(QStringLiteral("jpegs")).toArray();
        const QJsonArray shapes = result.value(QStringLiteral("shapes")).toArray();
        if (i < 2) {
            QVERIFY(jpegs.isEmpty() && shapes.isEmpty());
            // The picture must land in the scene box, below its label.
            const QJsonArray scene = result.value(QStringLiteral("scene")).toArray();
            const QRectF box(scene.at(0).toDouble(), scene.at(1).toDouble(), scene.at(2).toDouble(),
                             scene.at(3).toDouble());
            QVERIFY2(box.contains(QRectF(VwExcelReport::pictureArea)), qPrintable(file));
            continue;
        }
        QCOMPARE(jpegs.size(), 1);
        QCOMPARE(QImage(jpegs.first().toString()).size(), m_window->size());
        QCOMPARE(shapes.size(), 1);
        const QJsonArray shape = shapes.first().toArray();
        const QList<int> want = {expected.left(), expected.top(), expected.width(), expected.height()};
        for (int k = 0; k < 4; ++k)
            QVERIFY2(qAbs(shape.at(k).toDouble() - want.at(k)) <= 3.0, qPrintable(file));

        const QString pdf = result.value(QStringLiteral("pdf")).toString();
        const QString png = m_shots.filePath(QStringLiteral("report_page_%1").arg(language));
        QVERIFY(QProcess::execute(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("60"),
                                                               QStringLiteral("-png"), QStringLiteral("-singlefile"),
                                                               pdf, png}) == 0);
        QVERIFY(!QImage(png + QStringLiteral(".png")).isNull());
        qInfo("%s.png", qPrintable(png));
    }
}

HX_TEST_VIEWER_MAIN(TestExcelReport)

#include "tst_excel_report.moc"
