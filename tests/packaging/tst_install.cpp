#include "hx_test_sandbox.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The viewer as a user gets it: installed with `cmake --install` into a
// temporary root, and packed as scripts/package packs it, then looked at with
// the tools a desktop and Debian use.
class TstInstall : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void installedFiles_data();
    void installedFiles();
    void nothingNamesTheBuild();
    void desktopEntry();
    void metainfo();
    void installedViewerShowsItsWindow();
    void package();

private:
    struct Result
    {
        int exitCode = -1;
        QByteArray output;
    };
    // Runs a program to its end (stdout and stderr together); exit code -1
    // when it could not start, crashed or took longer than timeoutMs.
    static Result run(const QString &program, const QStringList &arguments,
                      const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
                      int timeoutMs = 300000);
    QString installed(const QString &relative) const { return m_root.path() + QStringLiteral("/usr/") + relative; }
    QStringList installedTree() const;
    // The keys of the installed desktop entry's main group.
    QHash<QString, QString> desktopEntryKeys() const;

    QString m_build;
    QString m_source;
    QTemporaryDir m_root;
};

namespace {
const QString kName = QStringLiteral("kt-lv550n-viewer");

QString environmentPath(const char *name)
{
    return QFile::decodeName(qgetenv(name));
}
} // namespace

TstInstall::Result TstInstall::run(const QString &program, const QStringList &arguments,
                                   const QProcessEnvironment &environment, int timeoutMs)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Result result;
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        result.output = process.readAll() + process.errorString().toUtf8();
        return result;
    }
    result.exitCode = process.exitCode();
    result.output = process.readAll();
    return result;
}

void TstInstall::initTestCase()
{
    m_build = environmentPath("HX_BUILD_DIR");
    m_source = environmentPath("HX_SOURCE_DIR");
    if (m_build.isEmpty() || qEnvironmentVariableIsEmpty("HX_CMAKE"))
        QSKIP("HX_BUILD_DIR and HX_CMAKE are set by ctest");
    QVERIFY(m_root.isValid());

    // As a user installs it, stripped as the package is.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DESTDIR"), m_root.path());
    const Result install = run(environmentPath("HX_CMAKE"),
                               {QStringLiteral("--install"), m_build, QStringLiteral("--prefix"),
                                QStringLiteral("/usr"), QStringLiteral("--strip")},
                               environment);
    QVERIFY2(install.exitCode == 0, install.output.constData());
}

QStringList TstInstall::installedTree() const
{
    QStringList files;
    QDirIterator it(m_root.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(m_root.path()).relativeFilePath(it.next());
    files.sort();
    return files;
}

void TstInstall::installedFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("iconSize");

    // Programs are checked for running elsewhere; icons are PNGs of their size.
    QStringList programs = {kName, QStringLiteral("kt-lv550n-make-card")};
    if (qgetenv("HX_HAS_REPAIR") == "1")
        programs << QStringLiteral("kt-lv550n-repair");
    for (const QString &program : programs) {
        QTest::newRow(qPrintable(program)) << QStringLiteral("bin/") + program << -1;
        QTest::newRow(qPrintable(program + QStringLiteral(".1")))
            << QStringLiteral("share/man/man1/%1.1.gz").arg(program) << 0;
    }
    QTest::newRow("scalable icon") << QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(kName) << 0;
    for (int size : {48, 64, 128, 256}) {
        QTest::newRow(qPrintable(QStringLiteral("icon %1").arg(size)))
            << QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kName) << size;
    }
    QTest::newRow("copyright") << QStringLiteral("share/doc/%1/copyright").arg(kName) << 0;
}

void TstInstall::installedFiles()
{
    QFETCH(QString, path);
    QFETCH(int, iconSize);

    const QFileInfo info(installed(path));
    QVERIFY2(info.isFile() && info.size() > 0, qPrintable(path));
    QCOMPARE(info.isExecutable(), iconSize < 0);
    if (iconSize > 0)
        QCOMPARE(QImage(info.filePath()).size(), QSize(iconSize, iconSize));
}

void TstInstall::nothingNamesTheBuild()
{
    // A path into the build or source tree would work on this machine only.
    for (const QString &relative : installedTree()) {
        QFile file(m_root.filePath(relative));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY2(!bytes.contains(QFile::encodeName(m_build)), qPrintable(relative));
        QVERIFY2(!bytes.contains(QFile::encodeName(m_source)), qPrintable(relative));
    }
}

QHash<QString, QString> TstInstall::desktopEntryKeys() const
{
    QHash<QString, QString> keys;
    QFile file(installed(QStringLiteral("share/applications/%1.desktop").arg(kName)));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    bool mainGroup = false;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('[')))
            mainGroup = line == QLatin1String("[Desktop Entry]");
        const int equals = line.indexOf(QLatin1Char('='));
        if (mainGroup && equals > 0)
            keys.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return keys;
}

void TstInstall::desktopEntry()
{
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        QSKIP("desktop-file-validate is missing (Debian package desktop-file-utils)");
    const QString entry = installed(QStringLiteral("share/applications/%1.desktop").arg(kName));
    const Result result = run(validator, {entry});
    QVERIFY2(result.exitCode == 0 && result.output.isEmpty(), result.output.constData());

    // What the menu starts and shows must be installed beside it; a folder
    // from the file manager arrives as the one argument.
    const QHash<QString, QString> keys = desktopEntryKeys();
    const QStringList exec = keys.value(QStringLiteral("Exec")).split(QLatin1Char(' '));
    QCOMPARE(exec, QStringList({kName, QStringLiteral("%f")}));
    QVERIFY(QFileInfo(installed(QStringLiteral("bin/") + exec.first())).isExecutable());
    const QString icon = keys.value(QStringLiteral("Icon"));
    QVERIFY(QFile::exists(installed(QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(icon))));
    QVERIFY(QFile::exists(installed(QStringLiteral("share/icons/hicolor/48x48/apps/%1.png").arg(icon))));
}

void TstInstall::metainfo()
{
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("appstreamcli"));
    if (validator.isEmpty())
        QSKIP("appstreamcli is missing (Debian package appstream)");
    const QStringList files = QDir(installed(QStringLiteral("share/metainfo")))
                                  .entryList({QStringLiteral("*.metainfo.xml")}, QDir::Files);
    QCOMPARE(files.size(), 1);
    const QString path = installed(QStringLiteral("share/metainfo/") + files.first());
    const Result result = run(validator, {QStringLiteral("validate"), QStringLiteral("--no-net"), path});
    QVERIFY2(result.exitCode == 0, result.output.constData());

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    const QRegularExpression launchable(QStringLiteral("<launchable type=\"desktop-id\">([^<]+)</launchable>"));
    QVERIFY(QFile::exists(installed(QStringLiteral("share/applications/") + launchable.match(text).captured(1))));
    // The screenshot is one the screenshot test writes.
    const QRegularExpression image(QStringLiteral("<image>[^<]*/([^/<]+\\.png)</image>"));
    const QString screenshot = image.match(text).captured(1);
    QVERIFY(!screenshot.isEmpty());
    QVERIFY2(QFile::exists(environmentPath("HX_SCREENSHOT_DIR") + QLatin1Char('/') + screenshot),
             qPrintable(screenshot));
}

void TstInstall::installedViewerShowsItsWindow()
{
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    const QString xprop = QStandardPaths::findExecutable(QStringLiteral("xprop"));
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X display: run the tests under xvfb-run");
    if (xdotool.isEmpty() || xprop.isEmpty())
        QSKIP("xdotool or xprop is missing (Debian packages xdotool, x11-utils)");

    // An empty working folder and no trace of the build in the environment.
    HxTestSandbox sandbox;
    QTemporaryDir workingFolder;
    QTemporaryDir runtime;
    QVERIFY(sandbox.isValid() && workingFolder.isValid() && runtime.isValid());
    QProcessEnvironment environment;
    for (const char *name : {"PATH", "DISPLAY", "XAUTHORITY", "LANG", "HX_AUDIO_OUTPUT"}) {
        if (qEnvironmentVariableIsSet(name))
            environment.insert(QLatin1String(name), QString::fromLocal8Bit(qgetenv(name)));
    }
    environment.insert(QStringLiteral("HOME"), sandbox.home());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));

    QProcess viewer;
    viewer.setProcessEnvironment(environment);
    viewer.setWorkingDirectory(workingFolder.path());
    viewer.setProcessChannelMode(QProcess::ForwardedChannels);
    viewer.start(installed(QStringLiteral("bin/") + kName), QStringList());
    QVERIFY(viewer.waitForStarted());
    const QString pid = QString::number(viewer.processId());
    QByteArray window;
    QElapsedTimer elapsed;
    elapsed.start();
    while (window.isEmpty() && viewer.state() == QProcess::Running && elapsed.elapsed() < 60000) {
        QTest::qWait(250);
        window = run(xdotool, {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                               pid, QStringLiteral("--name"), QStringLiteral("^KT-LV550N_A$")})
                     .output.trimmed();
    }
    QVERIFY2(!window.isEmpty(), "the installed viewer showed no window");
    window = window.split('\n').first();

    // The menu entry finds its running window by the class, and the task bar
    // shows the icon the window carries.
    const QByteArray windowClass =
        run(xprop, {QStringLiteral("-id"), QString::fromLatin1(window), QStringLiteral("WM_CLASS")}).output;
    QVERIFY2(windowClass.trimmed().endsWith(
                 "\"" + desktopEntryKeys().value(QStringLiteral("StartupWMClass")).toUtf8() + "\""),
             windowClass.constData());
    const QByteArray icon = run(xprop, {QStringLiteral("-id"), QString::fromLatin1(window),
                                        QStringLiteral("-notype"), QStringLiteral("_NET_WM_ICON")})
                                .output;
    QVERIFY2(icon.contains("Icon (48 x 48)"), icon.left(200).constData());

    viewer.terminate();
    QVERIFY(viewer.waitForFinished(30000));
}

void TstInstall::package()
{
    const QString cpack = environmentPath("HX_CPACK");
    const QString dpkgDeb = QStandardPaths::findExecutable(QStringLiteral("dpkg-deb"));
    if (dpkgDeb.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("dpkg-shlibdeps")).isEmpty())
        QSKIP("dpkg-deb or dpkg-shlibdeps is missing (Debian package dpkg-dev)");

    // The package holds what the install does.
    QTemporaryDir output;
    QVERIFY(output.isValid());
    const Result packed = run(cpack, {QStringLiteral("--config"), m_build + QStringLiteral("/CPackConfig.cmake"),
                                      QStringLiteral("-B"), output.path()});
    QVERIFY2(packed.exitCode == 0, packed.output.constData());
    const QStringList debs = QDir(output.path()).entryList({QStringLiteral("*.deb")}, QDir::Files);
    QCOMPARE(debs.size(), 1);
    const QString deb = output.filePath(debs.first());

    const Result contents = run(dpkgDeb, {QStringLiteral("--contents"), deb});
    QCOMPARE(contents.exitCode, 0);
    QStringList packaged;
    for (const QByteArray &line : contents.output.split('\n')) {
        if (!line.startsWith('-'))
            continue;
        packaged << QString::fromUtf8(line.mid(line.indexOf(" ./") + 3));
    }
    packaged.sort();
    QCOMPARE(packaged, installedTree());

    // Libraries as dpkg-shlibdeps computes them, the programs the viewer starts by hand.
    const Result info = run(dpkgDeb, {QStringLiteral("--field"), deb, QStringLiteral("Depends"),
                                      QStringLiteral("Recommends")});
    QCOMPARE(info.exitCode, 0);
    const QString fields = QString::fromUtf8(info.output);
    for (const char *expected : {"Depends: .*libqt5widgets5 \\(>= 5\\.15", "Depends: .*libavcodec59",
                                 "Depends: .*libportaudio2", "Depends: .*python3",
                                 "Recommends: .*libreoffice-calc-nogui \\| libreoffice-calc.*python3-uno"}) {
        QVERIFY2(QRegularExpression(QLatin1String(expected)).match(fields).hasMatch(),
                 qPrintable(QLatin1String(expected) + QLatin1Char('\n') + fields));
    }

    const QString lintian = QStandardPaths::findExecutable(QStringLiteral("lintian"));
    if (lintian.isEmpty())
        QSKIP("lintian is missing (Debian package lintian)");
    QElapsedTimer elapsed;
    elapsed.start();
    const Result lint = run(lintian, {QStringLiteral("--fail-on"),
                                      QStringLiteral("error"), deb});
    qInfo("lintian took %.1f s", elapsed.elapsed() / 1000.0);
    QVERIFY2(lint.exitCode == 0, lint.output.constData());
    // Every warning left is explained in the README.
    QFile readme(m_source + QStringLiteral("/README.md"));
    QVERIFY(readme.open(QIODevice::ReadOnly));
    const QByteArray explained = readme.readAll();
    static const QRegularExpression warning(QStringLiteral("^W: [^:]+: ([a-z0-9-]+)"),
                                            QRegularExpression::MultilineOption);
    for (auto it = warning.globalMatch(QString::fromUtf8(lint.output)); it.hasNext();) {
        const QString tag = it.next().captured(1);
        QVERIFY2(explained.contains("`" + tag.toUtf8() + "`"), qPrintable(tag));
    }
}

QTEST_MAIN(TstInstall)
#include "tst_install.moc"
