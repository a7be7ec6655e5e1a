#include "hx_test_sandbox.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
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
    QString installed(const QString &relative) const { return m_root.path() + QStringLiteral("/usr/") + relative; }
    QStringList installedTree() const;
    // A key of the installed desktop entry (its main group comes first).
    QString desktopKey(const QString &key) const;

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

QStringList words(const char *text)
{
    return QString::fromUtf8(text).split(QLatin1Char(' '));
}

// Runs a program to its end and gives its output, stdout and stderr together;
// the exit code is -1 when it did not start, crashed or took too long.
QByteArray run(const QString &program, const QStringList &arguments, int *exitCode = nullptr,
               const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(300000) && process.exitStatus() == QProcess::NormalExit;
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }
    if (exitCode)
        *exitCode = finished ? process.exitCode() : -1;
    return process.readAll() + (finished ? QByteArray() : process.errorString().toUtf8());
}

QString findProgram(const char *name)
{
    return QStandardPaths::findExecutable(QLatin1String(name));
}
} // namespace

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
    int exitCode = -1;
    const QByteArray output = run(environmentPath("HX_CMAKE"),
                                  QStringList{QStringLiteral("--install"), m_build} + words("--prefix /usr --strip"),
                                  &exitCode, environment);
    QVERIFY2(exitCode == 0, output.constData());
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

QString TstInstall::desktopKey(const QString &key) const
{
    QFile file(installed(QStringLiteral("share/applications/%1.desktop").arg(kName)));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QRegularExpression line(QStringLiteral("^%1=(.*)$").arg(QRegularExpression::escape(key)),
                                  QRegularExpression::MultilineOption);
    return line.match(QString::fromUtf8(file.readAll())).captured(1).trimmed();
}

void TstInstall::installedFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("iconSize");

    // Programs (-1) are executable; icons are PNGs of their size.
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

void TstInstall::desktopEntry()
{
    const QString validator = findProgram("desktop-file-validate");
    if (validator.isEmpty())
        QSKIP("desktop-file-validate is missing (Debian package desktop-file-utils)");
    int exitCode = -1;
    const QByteArray output =
        run(validator, {installed(QStringLiteral("share/applications/%1.desktop").arg(kName))}, &exitCode);
    QVERIFY2(exitCode == 0 && output.isEmpty(), output.constData());

    // What the menu starts and shows is installed beside it; a folder from
    // the file manager arrives as the one argument.
    QCOMPARE(desktopKey(QStringLiteral("Exec")), kName + QStringLiteral(" %f"));
    const QString icon = desktopKey(QStringLiteral("Icon"));
    QVERIFY(QFile::exists(installed(QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(icon))));
    QVERIFY(QFile::exists(installed(QStringLiteral("share/icons/hicolor/48x48/apps/%1.png").arg(icon))));
}

void TstInstall::metainfo()
{
    const QString validator = findProgram("appstreamcli");
    if (validator.isEmpty())
        QSKIP("appstreamcli is missing (Debian package appstream)");
    const QStringList files = QDir(installed(QStringLiteral("share/metainfo")))
                                  .entryList({QStringLiteral("*.metainfo.xml")}, QDir::Files);
    QCOMPARE(files.size(), 1);
    const QString path = installed(QStringLiteral("share/metainfo/") + files.first());
    int exitCode = -1;
    const QByteArray output = run(validator, words("validate --no-net") << path, &exitCode);
    QVERIFY2(exitCode == 0, output.constData());

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    const QRegularExpression launchable(QStringLiteral("<launchable type=\"desktop-id\">([^<]+)<"));
    QVERIFY(QFile::exists(installed(QStringLiteral("share/applications/") + launchable.match(text).captured(1))));
    // The screenshot is one the screenshot test writes.
    const QString screenshot =
        QRegularExpression(QStringLiteral("<image>[^<]*/([^/<]+\\.png)</image>")).match(text).captured(1);
    QVERIFY(!screenshot.isEmpty());
    QVERIFY2(QFile::exists(environmentPath("HX_SCREENSHOT_DIR") + QLatin1Char('/') + screenshot),
             qPrintable(screenshot));
}

void TstInstall::installedViewerShowsItsWindow()
{
    const QString xdotool = findProgram("xdotool");
    const QString xprop = findProgram("xprop");
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
    // Other suites show windows of the same title on the shared display: the
    // window must be this process's and carry the title (xdotool ORs by default).
    const QStringList search = words("search --all --onlyvisible --name --pid")
                               << QString::number(viewer.processId()) << QStringLiteral("^KT-LV550N_A$");
    QByteArray window;
    QElapsedTimer elapsed;
    elapsed.start();
    while (window.isEmpty() && viewer.state() == QProcess::Running && elapsed.elapsed() < 60000) {
        QTest::qWait(250);
        window = run(xdotool, search).split('\n').first().trimmed();
    }
    QVERIFY2(!window.isEmpty(), "the installed viewer showed no window");

    // The menu entry finds its running window by the class, and the task bar
    // shows the icon the window carries.
    const QByteArray windowClass = run(xprop, words("-id") << QString::fromLatin1(window) << QStringLiteral("WM_CLASS")).trimmed();
    QVERIFY2(windowClass.endsWith('"' + desktopKey(QStringLiteral("StartupWMClass")).toUtf8() + '"'),
             windowClass.constData());
    const QByteArray icon =
        run(xprop, words("-notype -id") << QString::fromLatin1(window) << QStringLiteral("_NET_WM_ICON"));
    QVERIFY2(icon.contains("Icon (48 x 48)"), icon.left(200).constData());

    viewer.terminate();
    QVERIFY(viewer.waitForFinished(30000));
}

void TstInstall::package()
{
    const QString dpkgDeb = findProgram("dpkg-deb");
    if (dpkgDeb.isEmpty() || findProgram("dpkg-shlibdeps").isEmpty())
        QSKIP("dpkg-deb or dpkg-shlibdeps is missing (Debian package dpkg-dev)");

    // The package holds what the install does.
    QTemporaryDir output;
    QVERIFY(output.isValid());
    int exitCode = -1;
    const QByteArray packed = run(environmentPath("HX_CPACK"),
                                  {QStringLiteral("--config"), m_build + QStringLiteral("/CPackConfig.cmake"),
                                   QStringLiteral("-B"), output.path()},
                                  &exitCode);
    QVERIFY2(exitCode == 0, packed.constData());
    const QStringList debs = QDir(output.path()).entryList({QStringLiteral("*.deb")}, QDir::Files);
    QCOMPARE(debs.size(), 1);
    const QString deb = output.filePath(debs.first());

    QStringList packaged;
    for (const QByteArray &line : run(dpkgDeb, {QStringLiteral("--contents"), deb}).split('\n')) {
        if (line.startsWith('-'))
            packaged << QString::fromUtf8(line.mid(line.indexOf(" ./") + 3));
    }
    packaged.sort();
    QCOMPARE(packaged, installedTree());

    // Libraries as dpkg-shlibdeps computes them, the programs the viewer starts by hand.
    const QString fields = QString::fromUtf8(run(dpkgDeb, words("--field") << deb << words("Depends Recommends")));
    for (const char *expected : {"Depends: .*libqt5widgets5 \\(>= 5\\.15", "Depends: .*libavcodec59",
                                 "Depends: .*libportaudio2", "Depends: .*python3",
                                 "Recommends: .*libreoffice-calc-nogui \\| libreoffice-calc.*python3-uno"}) {
        QVERIFY2(QRegularExpression(QLatin1String(expected)).match(fields).hasMatch(),
                 qPrintable(QLatin1String(expected) + QLatin1Char('\n') + fields));
    }

    const QString lintian = findProgram("lintian");
    if (lintian.isEmpty())
        QSKIP("lintian is missing (Debian package lintian)");
    QElapsedTimer elapsed;
    elapsed.start();
    const QByteArray lint = run(lintian, words("--fail-on error") << deb, &exitCode);
    qInfo("lintian took %.1f s", elapsed.elapsed() / 1000.0);
    QVERIFY2(exitCode == 0, lint.constData());
    // Every warning left is explained in the README.
    QFile readme(m_source + QStringLiteral("/README.md"));
    QVERIFY(readme.open(QIODevice::ReadOnly));
    const QByteArray explained = readme.readAll();
    static const QRegularExpression warning(QStringLiteral("^W: [^:]+: ([a-z0-9-]+)"),
                                            QRegularExpression::MultilineOption);
    for (auto it = warning.globalMatch(QString::fromUtf8(lint)); it.hasNext();) {
        const QString tag = it.next().captured(1);
        QVERIFY2(explained.contains("`" + tag.toUtf8() + "`"), qPrintable(tag));
    }
}

QTEST_MAIN(TstInstall)
#include "tst_install.moc"
