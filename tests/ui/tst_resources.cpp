#include <QDirIterator>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace {

enum Kind { FourState, Checkable, Single };

QStringList variantsOf(const QString &name, Kind kind)
{
    QStringList names = {name};
    if (kind == Single)
        return names;
    for (const char *suffix : {"_1", "_2", "_3"})
        names << name + QLatin1String(suffix);
    if (kind == Checkable) {
        for (const char *suffix : {"_checked", "_checked_1", "_checked_2", "_checked_3"})
            names << name + QLatin1String(suffix);
    }
    return names;
}

QString imagePath(const QString &name)
{
    return QStringLiteral(":/image/%1.png").arg(name);
}

QString styleSheet()
{
    QFile file(QStringLiteral(":/stylesheet/style.qss"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

} // namespace

Q_DECLARE_METATYPE(Kind)

class TestResources : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void buttonImages_data();
    void buttonImages();
    void styleSheetImages();
    void styleSheetObjectNames();
    void imagesNamedInSources();
    void digitFont();
};

void TestResources::buttonImages_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QSize>("size");

    const struct
    {
        const char *name;
        Kind kind;
        QSize size;
    } buttons[] = {
        {"title_report", FourState, {36, 36}},   {"title_capture", FourState, {36, 36}},
        {"title_setup", FourState, {36, 36}},    {"title_info", FourState, {36, 36}},
        {"title_language", FourState, {36, 36}}, {"title_map", FourState, {36, 36}},
        {"title_minimize", FourState, {36, 36}}, {"title_maximize", Checkable, {36, 36}},
        {"title_close", FourState, {36, 36}},    {"play_backward", FourState, {62, 62}},
        {"play_play", Checkable, {62, 62}},      {"play_stop", FourState, {62, 62}},
        {"play_forward", FourState, {62, 62}},   {"open", FourState, {121, 70}},
        {"vt_flip_h", FourState, {30, 26}},      {"vt_flip_v", FourState, {30, 26}},
        {"vt_swap", FourState, {30, 26}},        {"vt_fullscreen", Checkable, {30, 26}},
        {"v_constrast", FourState, {30, 30}},    {"v_brightness", FourState, {30, 30}},
        {"v_volume", Checkable, {30, 30}},       {"v_speed", FourState, {30, 30}},
        {"backup", FourState, {44, 24}},         {"type_all", Checkable, {78, 28}},
        {"type_normal", Checkable, {78, 28}},    {"type_event", Checkable, {78, 28}},
        {"type_manual", Checkable, {78, 28}},    {"type_park", Checkable, {78, 28}},
        {"sensor_x", Single, {30, 25}},          {"sensor_y", Single, {30, 25}},
        {"sensor_z", Single, {30, 25}},          {"graph_up", FourState, {28, 36}},
        {"graph_down", FourState, {28, 36}},     {"speed_kmh", Single, {87, 23}},
        {"speed_mph", Single, {87, 23}},         {"slider_knob", FourState, {}},
        {"slider_knob_small", FourState, {}},
    };
    for (const auto &button : buttons)
        QTest::newRow(button.name) << QString::fromLatin1(button.name) << button.kind << button.size;
}

void TestResources::buttonImages()
{
    QFETCH(QString, name);
    QFETCH(Kind, kind);
    QFETCH(QSize, size);

    const QImage base(imagePath(name));
    QVERIFY2(!base.isNull(), qPrintable(imagePath(name)));
    // The template draws the picture in the button: it must not be larger.
    if (size.isValid())
        QVERIFY2(base.width() <= size.width() && base.height() <= size.height(), qPrintable(name));
    for (const QString &variant : variantsOf(name, kind)) {
        const QImage image(imagePath(variant));
        QVERIFY2(!image.isNull(), qPrintable(imagePath(variant)));
        QCOMPARE(image.size(), base.size());
    }
}

void TestResources::styleSheetImages()
{
    const QString sheet = styleSheet();
    QVERIFY(!sheet.isEmpty());
    static const QRegularExpression url(QStringLiteral("url\\((:/[^)]+)\\)"));
    int count = 0;
    for (auto it = url.globalMatch(sheet); it.hasNext(); ++count) {
        const QString path = it.next().captured(1);
        QVERIFY2(!QImage(path).isNull(), qPrintable(path));
    }
    QVERIFY(count > 100);
}

void TestResources::styleSheetObjectNames()
{
    const QString sheet = styleSheet();
    const char *const buttons[] = {
        "button", "popup_button", "fullscreen_button", "minimize_button", "panorama_button",
        "mirror_button", "map_toolbar_button", "report_button", "settings_button", "info_button",
        "capture_button", "popup_close_button", "frame_backward", "play_pause", "stop",
        "frame_forward", "file_backward", "file_forward", "front_camera", "front_camera_inside",
        "front_camera_main", "front_camera_front", "rear_camera", "rear_camera_inside", "swap_video",
        "swap_video_inside", "swap_video_main", "swap_video_front", "map", "mute", "zoomin", "zoomout",
        "group_normal", "group_event", "group_normal_slim", "group_event_slim", "open", "backup",
    };
    for (const char *name : buttons) {
        // The plain rule and the three states, each selected by the name.
        for (const char *state : {"", ":pressed", ":hover:!pressed"}) {
            const QRegularExpression rule(QStringLiteral("VwButton#%1%2\\s*[{,]")
                                              .arg(QLatin1String(name),
                                                   QRegularExpression::escape(QLatin1String(state))));
            QVERIFY2(rule.match(sheet).hasMatch(), qPrintable(QLatin1String(name) + QLatin1String(state)));
        }
    }
    for (const char *selector : {"VwButton#fullscreen_button[restore=true]", "VwButton#play_pause[paused=true]",
                                 "VwButton#front_camera[on=true]:disabled", "VwButton#rear_camera[on=true]:disabled",
                                 "VwButton#mute:checked", "VwButton#group_event_slim:checked",
                                 "TitleWidget#popup_title", "VwPopupContentBackground", "QLabel#LCD",
                                 "QSlider#play::handle:horizontal", "QSlider#normal::handle:horizontal",
                                 "QCheckBox#listAll::indicator", "QRadioButton#settings::indicator:checked",
                                 "QComboBox#settings", "QGroupBox#settings", "QFrame#video_main_logo[rear=true]",
                                 "QFrame#video_sub_logo[front=true]", "QWidget#player_bg", "QWidget#graph_widget"})
        QVERIFY2(sheet.contains(QLatin1String(selector)), selector);
}

void TestResources::imagesNamedInSources()
{
    const QByteArray root = qgetenv("HX_SOURCE_DIR");
    if (root.isEmpty())
        QSKIP("HX_SOURCE_DIR is not set (run through ctest)");
    static const QRegularExpression literal(QStringLiteral(":/image/([A-Za-z0-9_]+)\\.png"));
    // An image button made with a literal image name: the factory, then parent,
    // layout and the name as the third argument.
    static const QRegularExpression factory(QStringLiteral(
        "create(Image|CheckableImage|SingleImage|Color)Button\\s*\\(\\s*[^,;]+,\\s*[^,;]+,\\s*"
        "(?:QStringLiteral\\(|QLatin1String\\()?\"([A-Za-z0-9_]+)\""));
    QSet<QString> checked;
    int files = 0;
    QDirIterator it(QFile::decodeName(root) + QStringLiteral("/hx_viewer"),
                    {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        ++files;
        for (auto match = literal.globalMatch(text); match.hasNext();) {
            const QString name = match.next().captured(1);
            QVERIFY2(!QImage(imagePath(name)).isNull(),
                     qPrintable(it.fileName() + QStringLiteral(": ") + imagePath(name)));
            checked.insert(name);
        }
        for (auto match = factory.globalMatch(text); match.hasNext();) {
            const QRegularExpressionMatch call = match.next();
            const QString kind = call.captured(1);
            const QString name = call.captured(2);
            QStringList needed;
            if (kind == QLatin1String("Color"))
                needed = QStringList{name, name + QStringLiteral("_3")};
            else
                needed = variantsOf(name, kind == QLatin1String("Image")           ? FourState
                                              : kind == QLatin1String("CheckableImage") ? Checkable
                                                                                        : Single);
            for (const QString &variant : needed) {
                QVERIFY2(!QImage(imagePath(variant)).isNull(),
                         qPrintable(it.fileName() + QStringLiteral(": ") + imagePath(variant)));
                checked.insert(variant);
            }
        }
    }
    QVERIFY(files > 0);
    qDebug() << "images named in" << files << "source files:" << checked.size();
}

void TestResources::digitFont()
{
    const int id = QFontDatabase::addApplicationFont(QStringLiteral(":/font/dseg7-classic.ttf"));
    QVERIFY(id >= 0);
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    QCOMPARE(families, QStringList{QStringLiteral("DSEG7 Classic")});
    // The "LCD" rule names the family the font registers.
    QVERIFY(styleSheet().contains(QStringLiteral("font-family: \"DSEG7 Classic\";")));

    QFile licence(QStringLiteral(":/font/dseg-copyright.txt"));
    QVERIFY(licence.open(QIODevice::ReadOnly));
    const QByteArray text = licence.readAll();
    QVERIFY(text.contains("OFL-1.1"));
    QVERIFY(text.contains("DSEG"));
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
