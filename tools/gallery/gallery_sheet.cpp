#include "gallery_sheet.h"

#include "hx_button.h"
#include "vw_button.h"
#include "vw_style.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QCursor>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>
#include <QWindow>

namespace {

struct ImageButton
{
    const char *name;
    int kind;
    int width;
    int height;
};

struct StyledButton
{
    const char *objectName;
    int width;
    int height;
    const char *property; // a style property with a picture set of its own, or null
    bool checkable;
};

enum { FOUR = 0, CHECKABLE = 1, SINGLE = 2 };

// The image buttons as the panels build them (name, template, size).
const ImageButton kImageButtons[] = {
    {"title_report", FOUR, 36, 36},      {"title_capture", FOUR, 36, 36},
    {"title_setup", FOUR, 36, 36},       {"title_info", FOUR, 36, 36},
    {"title_language", FOUR, 36, 36},    {"title_map", FOUR, 36, 36},
    {"title_minimize", FOUR, 36, 36},    {"title_maximize", CHECKABLE, 36, 36},
    {"title_close", FOUR, 36, 36},       {"play_backward", FOUR, 62, 62},
    {"play_play", CHECKABLE, 62, 62},    {"play_stop", FOUR, 62, 62},
    {"play_forward", FOUR, 62, 62},      {"open", FOUR, 121, 70},
    {"vt_flip_h", FOUR, 30, 26},         {"vt_flip_v", FOUR, 30, 26},
    {"vt_swap", FOUR, 30, 26},           {"vt_fullscreen", CHECKABLE, 30, 26},
    {"v_constrast", FOUR, 30, 30},       {"v_brightness", FOUR, 30, 30},
    {"v_volume", CHECKABLE, 30, 30},     {"v_speed", FOUR, 30, 30},
    {"backup", FOUR, 44, 24},            {"type_all", CHECKABLE, 78, 28},
    {"type_normal", CHECKABLE, 78, 28},  {"type_event", CHECKABLE, 78, 28},
    {"type_manual", CHECKABLE, 78, 28},  {"type_park", CHECKABLE, 78, 28},
    {"sensor_x", SINGLE, 30, 25},        {"sensor_y", SINGLE, 30, 25},
    {"sensor_z", SINGLE, 30, 25},        {"graph_up", FOUR, 28, 36},
    {"graph_down", FOUR, 28, 36},        {"speed_kmh", SINGLE, 87, 23},
    {"speed_mph", SINGLE, 87, 23},
};

// The buttons whose pictures come from the application style sheet.
const StyledButton kStyledButtons[] = {
    {"fullscreen_button", 30, 26, "restore", false},
    {"minimize_button", 36, 36, nullptr, false},
    {"panorama_button", 36, 36, nullptr, false},
    {"mirror_button", 30, 26, nullptr, false},
    {"map_toolbar_button", 36, 36, nullptr, false},
    {"report_button", 36, 36, nullptr, false},
    {"settings_button", 36, 36, nullptr, false},
    {"info_button", 36, 36, nullptr, false},
    {"capture_button", 36, 36, nullptr, false},
    {"popup_close_button", 38, 38, nullptr, false},
    {"frame_backward", 36, 36, nullptr, false},
    {"play_pause", 62, 62, "paused", false},
    {"stop", 62, 62, nullptr, false},
    {"frame_forward", 36, 36, nullptr, false},
    {"file_backward", 62, 62, nullptr, false},
    {"file_forward", 62, 62, nullptr, false},
    {"front_camera", 36, 36, "on", false},
    {"front_camera_inside", 36, 36, "on", false},
    {"front_camera_main", 36, 36, "on", false},
    {"front_camera_front", 36, 36, "on", false},
    {"rear_camera", 36, 36, "on", false},
    {"rear_camera_inside", 36, 36, "on", false},
    {"swap_video", 30, 26, nullptr, false},
    {"swap_video_inside", 30, 26, nullptr, false},
    {"swap_video_main", 30, 26, nullptr, false},
    {"swap_video_front", 30, 26, nullptr, false},
    {"map", 36, 36, nullptr, false},
    {"mute", 30, 30, nullptr, true},
    {"zoomin", 28, 36, nullptr, false},
    {"zoomout", 28, 36, nullptr, false},
    {"group_normal", 78, 28, nullptr, true},
    {"group_event", 78, 28, nullptr, true},
    {"group_normal_slim", 78, 24, nullptr, true},
    {"group_event_slim", 78, 24, nullptr, true},
    {"open", 121, 70, nullptr, false},
    {"backup", 44, 24, nullptr, false},
};

const char *const kPlainImages[] = {
    "title_logo_kv",       "title_video_front",   "title_video_rear",    "title_video_front_en",
    "title_video_rear_en", "title_list",          "logo_front_big_kv",   "logo_rear_big_kv",
    "logo_front_small_kv", "logo_rear_small_kv",  "num_15x25",           "speed_on",
    "speed_off",           "title_bg",            "title_popup_bg",      "play_bg",
    "video_bg",            "player_bg",           "graph_bg",            "panel_bg9",
};

QLabel *caption(const QString &text)
{
    auto *label = new QLabel(text);
    label->setStyleSheet(QStringLiteral("color: #BBBBBB; font-size: 11px;"));
    return label;
}

// The speed display as the graph panel paints it: the panel centred in
// 87 x 52, three digit cells from x = 21 at y = 21.
QPixmap speedDisplay(int value)
{
    QPixmap result(87, 52);
    result.fill(QColor(0x3A, 0x3A, 0x3A));
    QPainter painter(&result);
    const QPixmap background(value >= 0 ? QStringLiteral(":/image/speed_on.png")
                                        : QStringLiteral(":/image/speed_off.png"));
    const QPixmap digits(QStringLiteral(":/image/num_15x25.png"));
    painter.drawPixmap((87 - background.width()) / 2, (52 - background.height()) / 2, background);
    const QString text = value >= 0 ? QString::asprintf("%03d", value) : QStringLiteral("---");
    for (int i = 0; i < 3; ++i) {
        const int cell = text.at(i) == QLatin1Char('-') ? 10 : text.at(i).digitValue();
        painter.drawPixmap((87 - 45) / 2 + i * 15, 21, digits, cell * 15, 0, 15, 25);
    }
    return result;
}

} // namespace

GallerySheet::GallerySheet(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("gallery"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("QWidget#gallery{background-color: #3A3A3A;}"));

    auto *page = new QVBoxLayout(this);
    auto *columns = new QHBoxLayout;
    page->addLayout(columns);

    auto *left = new QGridLayout;
    auto *right = new QGridLayout;
    for (QGridLayout *grid : {left, right}) {
        grid->setHorizontalSpacing(10);
        grid->setVerticalSpacing(4);
        columns->addLayout(grid);
        columns->addSpacing(24);
    }
    columns->addStretch();

    m_grid = left;
    m_row = 0;
    addHeader(QStringLiteral("Image buttons (HxButton templates)"));
    for (const ImageButton &button : kImageButtons)
        addImageButtonRow(QLatin1String(button.name), Kind(button.kind),
                          QSize(button.width, button.height));

    m_grid = right;
    m_row = 0;
    addHeader(QStringLiteral("Buttons styled by object name (application style sheet)"));
    addTextButtonRow(QStringLiteral("button"), QSize(100, 24));
    addTextButtonRow(QStringLiteral("popup_button"), QSize(120, 30));
    for (const StyledButton &button : kStyledButtons)
        addStyledButtonRow(QLatin1String(button.objectName), QSize(button.width, button.height),
                           button.property, button.checkable);

    auto *bottom = new QGridLayout;
    bottom->setHorizontalSpacing(10);
    bottom->setVerticalSpacing(6);
    page->addLayout(bottom);
    m_grid = bottom;
    m_row = 0;
    addOtherWidgets();
    addPlainImages();
    page->addStretch();
}

void GallerySheet::addHeader(const QString &title)
{
    auto *label = new QLabel(title);
    label->setStyleSheet(QStringLiteral("color: white; font-size: 14px; font-weight: bold;"));
    m_grid->addWidget(label, m_row++, 0, 1, 9);
    const State states[] = {Normal, Hover, Pressed, Disabled, Checked, CheckedHover, CheckedPressed,
                            CheckedDisabled};
    int column = 1;
    for (State state : states)
        m_grid->addWidget(caption(stateName(state)), m_row, column++, Qt::AlignCenter);
    ++m_row;
}

void GallerySheet::checkImage(const QString &name)
{
    const QString path = QStringLiteral(":/image/%1.png").arg(name);
    if (!QFile::exists(path) && !m_missing.contains(name))
        m_missing.append(name);
}

QString GallerySheet::stateName(State state)
{
    switch (state) {
    case Normal:
        return QStringLiteral("normal");
    case Hover:
        return QStringLiteral("hover");
    case Pressed:
        return QStringLiteral("pressed");
    case Disabled:
        return QStringLiteral("disabled");
    case Checked:
        return QStringLiteral("checked");
    case CheckedHover:
        return QStringLiteral("checked hover");
    case CheckedPressed:
        return QStringLiteral("checked pressed");
    case CheckedDisabled:
        return QStringLiteral("checked disabled");
    }
    return QString();
}

void GallerySheet::putInState(QPushButton *button, State state)
{
    if (state == Hover || state == CheckedHover)
        m_hoverButtons.append(button);
    if (state >= Checked) {
        button->setCheckable(true);
        button->setChecked(true);
    }
    switch (state) {
    case Pressed:
    case CheckedPressed:
        button->setDown(true);
        break;
    case Disabled:
    case CheckedDisabled:
        button->setEnabled(false);
        break;
    default:
        break;
    }
}

void GallerySheet::addImageButtonRow(const QString &name, Kind kind, const QSize &size)
{
    m_grid->addWidget(caption(name), m_row, 0);
    const int states = kind == Checkable ? 8 : 4;
    for (int i = 0; i < states; ++i) {
        HxButton *button = nullptr;
        switch (kind) {
        case FourState:
            button = HxButton::createImageButton(this, nullptr, name, QString(), size);
            break;
        case Checkable:
            button = HxButton::createCheckableImageButton(this, nullptr, name, QString(), size);
            break;
        case Single:
            button = HxButton::createSingleImageButton(this, nullptr, name, QString(), size);
            break;
        }
        putInState(button, State(i));
        m_grid->addWidget(button, m_row, i + 1, Qt::AlignCenter);
    }
    if (kind == Single) {
        checkImage(name);
    } else {
        for (const char *suffix : {"", "_1", "_2", "_3"})
            checkImage(name + QLatin1String(suffix));
        if (kind == Checkable) {
            for (const char *suffix : {"_checked", "_checked_1", "_checked_2", "_checked_3"})
                checkImage(name + QLatin1String(suffix));
        }
    }
    ++m_row;
}

void GallerySheet::addStyledButtonRow(const QString &objectName, const QSize &size,
                                      const char *property, bool checkable)
{
    const int rows = property ? 2 : 1;
    for (int row = 0; row < rows; ++row) {
        QString title = objectName;
        if (row == 1)
            title += QStringLiteral(" [%1=true]").arg(QLatin1String(property));
        m_grid->addWidget(caption(title), m_row, 0);
        const int states = checkable ? 8 : 4;
        for (int i = 0; i < states; ++i) {
            VwButton *button = VwButton::create(this, nullptr, objectName, QString(), size);
            if (row == 1)
                setStyleProperty(button, property, true);
            putInState(button, State(i));
            m_grid->addWidget(button, m_row, i + 1, Qt::AlignCenter);
        }
        ++m_row;
    }
}

void GallerySheet::addTextButtonRow(const QString &objectName, const QSize &size)
{
    m_grid->addWidget(caption(objectName), m_row, 0);
    for (int i = 0; i < 4; ++i) {
        VwButton *button = VwButton::create(this, nullptr, objectName, QString(), size);
        button->setText(i % 2 ? QStringLiteral("OK") : QStringLiteral("キャンセル"));
        putInState(button, State(i));
        m_grid->addWidget(button, m_row, i + 1, Qt::AlignCenter);
    }
    ++m_row;
}

void GallerySheet::addWidgetRow(const QString &title, const QList<QWidget *> &widgets)
{
    m_grid->addWidget(caption(title), m_row, 0);
    auto *row = new QHBoxLayout;
    row->setSpacing(12);
    for (QWidget *widget : widgets)
        row->addWidget(widget, 0, Qt::AlignVCenter);
    row->addStretch();
    m_grid->addLayout(row, m_row++, 1);
}

void GallerySheet::addOtherWidgets()
{
    auto *header = new QLabel(QStringLiteral("Labels, sliders, check boxes and panels"));
    header->setStyleSheet(QStringLiteral("color: white; font-size: 14px; font-weight: bold;"));
    m_grid->addWidget(header, m_row++, 0, 1, 2);

    QList<QWidget *> labels;
    const std::pair<const char *, QString> named[] = {
        {"title_label", QStringLiteral("言語選択")},
        {"text", QStringLiteral("言語を選択してください")},
        {"text_header_label", QStringLiteral("Viewer S/W バージョン情報")},
        {"text_normal_label", QStringLiteral("    Version : 1.0.4")},
        {"duration_label", QStringLiteral("00:42")},
        {"kmh_label", QStringLiteral("km/h")},
        {"LCD", QStringLiteral("062")},
    };
    for (const auto &entry : named) {
        auto *label = new QLabel(entry.second);
        label->setObjectName(QLatin1String(entry.first));
        labels.append(label);
    }
    addWidgetRow(QStringLiteral("QLabel by object name"), labels);

    auto *lonlat = new QLabel(QStringLiteral("緯度"));
    lonlat->setFixedSize(50, 18);
    lonlat->setAlignment(Qt::AlignCenter);
    applyBadgeLabelStyle(lonlat, QStringLiteral("lonlat_title"), QStringLiteral("MS PGothic"),
                         0xC59433, 12, false, 0x3C3C3C);
    auto *value = new QLabel(QStringLiteral("35.681236"));
    applyLabelStyle(value, QStringLiteral("lonlat_label"), QStringLiteral("Arial"), 0xF5F5F5, 13,
                    false);
    auto *time = new QLabel(QStringLiteral("00:00"));
    applyLabelStyle(time, QStringLiteral("current_time"), QStringLiteral("Arial"), 0xC59433, 14,
                    false);
    auto *badge = new QLabel(QStringLiteral("1x"));
    badge->setFixedSize(25, 16);
    badge->setAlignment(Qt::AlignCenter);
    applyBadgeLabelStyle(badge, QStringLiteral("speed_label"), QStringLiteral("Arial"), 0xF5F5F5,
                         11, false, 0x262626);
    QList<QWidget *> axes;
    for (const auto &axis : {std::make_pair("sensor_x", 0x00FF00), std::make_pair("sensor_y", 0xFFFF00),
                             std::make_pair("sensor_z", 0xFF0000)}) {
        auto *label = new QLabel(QStringLiteral("-0.00"));
        applyLabelStyle(label, QLatin1String(axis.first), QStringLiteral("Arial"), axis.second, 12,
                        false);
        axes.append(label);
    }
    addWidgetRow(QStringLiteral("label templates"), QList<QWidget *>{lonlat, value, time, badge} + axes);

    QList<QWidget *> sliders;
    const struct
    {
        const char *name;
        bool small;
        bool enabled;
        int width;
    } templated[] = {{"play_slider", false, true, 220}, {"play_slider", false, false, 120},
                     {"small_slider", true, true, 114}, {"small_slider", true, false, 114}};
    for (const auto &entry : templated) {
        auto *slider = new QSlider(Qt::Horizontal);
        slider->setRange(0, 100);
        slider->setValue(40);
        slider->setFixedSize(entry.width, 29);
        applySliderStyle(slider, QLatin1String(entry.name), 0xCC9933, 0x666666, entry.small);
        slider->setEnabled(entry.enabled);
        sliders.append(slider);
    }
    addWidgetRow(QStringLiteral("slider templates (large, small; enabled, disabled)"), sliders);

    QList<QWidget *> sheetSliders;
    for (const char *name : {"play", "normal"}) {
        for (bool enabled : {true, false}) {
            auto *slider = new QSlider(Qt::Horizontal);
            slider->setObjectName(QLatin1String(name));
            slider->setRange(0, 100);
            slider->setValue(60);
            slider->setFixedSize(160, 34);
            slider->setEnabled(enabled);
            sheetSliders.append(slider);
        }
    }
    addWidgetRow(QStringLiteral("QSlider play, normal"), sheetSliders);

    for (const char *name : {"normal", "list", "listAll", "popup"}) {
        QList<QWidget *> boxes;
        const Qt::CheckState states[] = {Qt::Unchecked, Qt::Checked, Qt::PartiallyChecked};
        for (int i = 0; i < 5; ++i) {
            auto *box = new QCheckBox(qstrcmp(name, "popup") == 0 ? QStringLiteral("同じ処理を次の3個の競合に適用")
                                                                : QString());
            box->setObjectName(QLatin1String(name));
            box->setTristate(true);
            box->setCheckState(states[i < 3 ? i : i - 3]);
            box->setEnabled(i < 3);
            boxes.append(box);
        }
        addWidgetRow(QStringLiteral("QCheckBox %1 (unchecked, checked, partial, disabled)")
                         .arg(QLatin1String(name)),
                     boxes);
    }

    auto *group = new QGroupBox(QStringLiteral("設定"));
    group->setObjectName(QStringLiteral("settings"));
    auto *groupLayout = new QHBoxLayout(group);
    for (int i = 0; i < 4; ++i) {
        auto *radio = new QRadioButton(i == 0 ? QStringLiteral("日本語") : QStringLiteral("English"));
        radio->setObjectName(QStringLiteral("settings"));
        radio->setAutoExclusive(false);
        radio->setChecked(i % 2 == 0);
        radio->setEnabled(i < 2);
        groupLayout->addWidget(radio);
    }
    auto *combo = new QComboBox;
    combo->setObjectName(QStringLiteral("settings"));
    combo->addItems({QStringLiteral("自動"), QStringLiteral("日本語"), QStringLiteral("English")});
    combo->setFixedWidth(200);
    auto *comboOff = new QComboBox;
    comboOff->setObjectName(QStringLiteral("settings"));
    comboOff->addItem(QStringLiteral("Auto"));
    comboOff->setEnabled(false);
    addWidgetRow(QStringLiteral("settings group, radio, combo"), {group, combo, comboOff});

    QList<QWidget *> panels;
    for (const char *name : {"bg_dark_widget", "top_border", "top_border_5A", "bottom_border",
                             "all_border_dark", "player_bg", "graph_widget"}) {
        auto *panel = new QWidget;
        panel->setObjectName(QLatin1String(name));
        panel->setAttribute(Qt::WA_StyledBackground);
        panel->setFixedSize(70, 40);
        panels.append(panel);
    }
    auto *templated1 = new QWidget;
    templated1->setAttribute(Qt::WA_StyledBackground);
    templated1->setFixedSize(70, 40);
    applyBorderBackgroundStyle(templated1, QStringLiteral("border_back"), 0x3A3A3A, 0x666666);
    panels.append(templated1);
    addWidgetRow(QStringLiteral("panels by object name, border template"), panels);

    QList<QWidget *> logos;
    for (const char *name : {"video_main_logo", "video_sub_logo"}) {
        for (bool swapped : {false, true}) {
            auto *frame = new QFrame;
            frame->setObjectName(QLatin1String(name));
            frame->setFixedSize(qstrcmp(name, "video_main_logo") == 0 ? QSize(250, 150)
                                                                     : QSize(160, 96));
            frame->setStyleSheet(QStringLiteral(
                "QFrame{background-image: url(:/image/video_bg.png);}"));
            if (swapped)
                setStyleProperty(frame, qstrcmp(name, "video_main_logo") == 0 ? "rear" : "front", true);
            logos.append(frame);
        }
    }
    addWidgetRow(QStringLiteral("video logos (idle, swapped)"), logos);
}

QWidget *GallerySheet::imageLabel(const QString &name)
{
    checkImage(name);
    auto *box = new QWidget;
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    auto *picture = new QLabel;
    picture->setPixmap(QPixmap(QStringLiteral(":/image/%1.png").arg(name)));
    layout->addWidget(picture);
    layout->addWidget(caption(name));
    return box;
}

void GallerySheet::addPlainImages()
{
    QList<QWidget *> row;
    int width = 0;
    QString title = QStringLiteral("images");
    for (const char *name : kPlainImages) {
        QWidget *image = imageLabel(QLatin1String(name));
        width += image->sizeHint().width() + 12;
        row.append(image);
        if (width > 900) {
            addWidgetRow(title, row);
            title.clear();
            row.clear();
            width = 0;
        }
    }
    if (!row.isEmpty())
        addWidgetRow(title, row);

    QList<QWidget *> speeds;
    for (int value : {-1, 0, 62, 188, 499}) {
        auto *label = new QLabel;
        label->setPixmap(speedDisplay(value));
        speeds.append(label);
    }
    addWidgetRow(QStringLiteral("speed display (---, 000, 062, 188, 499)"), speeds);
}

QPixmap GallerySheet::render()
{
    show();
    for (int i = 0; i < 10 && !windowHandle()->isExposed(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    // Only the widget under the pointer is hovered, so each hover cell is left
    // out of the sheet's picture and painted into it with the pointer on it.
    for (QPushButton *button : qAsConst(m_hoverButtons)) {
        QSizePolicy policy = button->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        button->setSizePolicy(policy);
        button->hide();
    }
    QPixmap sheet = grab();
    QPainter painter(&sheet);
    for (QPushButton *button : qAsConst(m_hoverButtons)) {
        button->show();
        QCursor::setPos(button->mapToGlobal(button->rect().center()));
        QCoreApplication::processEvents();
        button->render(&painter, button->mapTo(this, QPoint(0, 0)), QRegion(),
                       QWidget::DrawChildren);
    }
    QCursor::setPos(mapToGlobal(QPoint(0, 0)) - QPoint(10, 10));
    return sheet;
}
