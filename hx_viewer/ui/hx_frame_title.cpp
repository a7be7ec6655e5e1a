#include "hx_frame_title.h"

#include "hx_button.h"
#include "vw_language.h"
#include "vw_play_process.h"
#include "vw_player.h"
#include "vw_popup.h"
#include "vw_video_item.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QShortcut>
#include <QSpacerItem>

namespace {
const QSize kButtonSize(36, 36);

HxButton *addTitleButton(QWidget *area, QHBoxLayout *layout, const QString &name,
                         const QString &japanese, const QString &english, int spacerAfter,
                         bool checkable = false)
{
    HxButton *button = checkable
        ? HxButton::createCheckableImageButton(area, layout, name, japanese, kButtonSize)
        : HxButton::createImageButton(area, layout, name, japanese, kButtonSize, -1);
    if (!english.isEmpty())
        VwLanguage::instance()->registerText(VwLanguage::LANGUAGE_ENGLISH,
                                             VwLanguage::TEXT_KIND_TOOLTIP, button, english);
    addFixedSpacer(layout, spacerAfter, 0);
    return button;
}

QShortcut *addShortcut(QWidget *owner, Qt::Key key)
{
    auto *shortcut = new QShortcut(QKeySequence(key), owner);
    shortcut->setContext(Qt::ApplicationShortcut);
    return shortcut;
}
} // namespace

HxFrameTitle::HxFrameTitle(QWidget *parent, const QString &title, const QString &logo)
    : VwWidgetBase(parent, true)
{
    setFixedHeight(43);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setStyleSheet(QStringLiteral(
        "HxFrameTitle{border-image: url(:/image/title_bg.png) 0 0 0 0 repeat stretch;}"));

    titleLayout = new QHBoxLayout(this);
    titleLayout->setContentsMargins(0, 0, 0, 0);
    titleLayout->setSpacing(0);
    titleLayout->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    addFixedSpacer(titleLayout, 8, 0);
    logoLabel = new QLabel(this);
    if (!logo.isEmpty())
        logoLabel->setPixmap(QPixmap(QStringLiteral(":/image/") + logo));
    else
        logoLabel->setText(title);
    logoLabel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    logoLabel->setStyleSheet(QStringLiteral(
        "font-family: Arial; font-size: 16px; font-weight: bold; color : #BBBBBB"));
    titleLayout->addWidget(logoLabel);
    addFixedSpacer(titleLayout, 10, 0);
    addFixedSpacer(titleLayout, 10, 0);

    fileLabel = new QLabel(this);
    fileLabel->setObjectName(QStringLiteral("file_label"));
    fileLabel->setStyleSheet(QStringLiteral("font-family: Arial; font-size: 13px; color : #BBBBBB"));
    titleLayout->addWidget(fileLabel);

    auto *buttonArea = new QWidget(this);
    buttonArea->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto *buttons = new QHBoxLayout(buttonArea);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(0);
    buttons->setAlignment(Qt::AlignRight);
    titleLayout->addWidget(buttonArea);

    title_report = addTitleButton(buttonArea, buttons, QStringLiteral("title_report"),
                                  languageText("report"), QStringLiteral("Report"), 2);
    title_capture = addTitleButton(buttonArea, buttons, QStringLiteral("title_capture"),
                                   languageText("capture"), QStringLiteral("Capture"), 2);
    title_setup = addTitleButton(buttonArea, buttons, QStringLiteral("title_setup"),
                                 QStringLiteral("設定"), QStringLiteral("Settings"), 2);
    title_info = addTitleButton(buttonArea, buttons, QStringLiteral("title_info"),
                                languageText("viewer_info"), QStringLiteral("Info"), 2);
    title_language = addTitleButton(buttonArea, buttons, QStringLiteral("title_language"),
                                    languageText("language"), QStringLiteral("Language"), 2);
    title_map = addTitleButton(buttonArea, buttons, QStringLiteral("title_map"),
                               languageText("map"), QStringLiteral("Map"), 12);
    title_minimize = addTitleButton(buttonArea, buttons, QStringLiteral("title_minimize"),
                                    languageText("minimize"), QStringLiteral("Minimize"), 2);
    title_maximize = addTitleButton(buttonArea, buttons, QStringLiteral("title_maximize"),
                                    languageText("maximize"), QStringLiteral("Maximize"), 2, true);
    title_close = addTitleButton(buttonArea, buttons, QStringLiteral("title_close"),
                                 languageText("close"), QStringLiteral("Exit"), 8);

    title_report->setEnabled(false);
    title_capture->setEnabled(false);
    title_setup->hide();
    title_maximize->setChecked(false);

    reportShortcut = addShortcut(this, Qt::Key_F3);
    infoShortcut = addShortcut(this, Qt::Key_F7);
    captureShortcut = addShortcut(this, Qt::Key_F5);
    captureShortcut->setEnabled(false);

    connect(title_language, &QPushButton::clicked, this, &HxFrameTitle::onLanguage);
    connect(VwPlayer::instance(), &VwPlayerBase::playEvent, this, &HxFrameTitle::onPlayEvent);
}

void HxFrameTitle::setOutputCommandsEnabled(bool on)
{
    title_report->setEnabled(on);
    title_capture->setEnabled(on);
    reportShortcut->setEnabled(on);
    captureShortcut->setEnabled(on);
}

void HxFrameTitle::setMaximizeTooltip(const QString &japanese, const QString &english)
{
    title_maximize->setToolTips(japanese, english);
}

void HxFrameTitle::onAppEvent(VwApp::Event event, int param)
{
    if (event == VwApp::EVENT_FULLSCREEN_ENTER) {
        setMaximizeTooltip(languageText("restore_window"), QStringLiteral("Restore Down"));
        if (param == 1)
            title_maximize->setChecked(true);
        else
            hide();
    } else if (event == VwApp::EVENT_FULLSCREEN_LEAVE) {
        setMaximizeTooltip(languageText("maximize"), QStringLiteral("Maximize"));
        title_maximize->setChecked(false);
        show();
    }
}

void HxFrameTitle::onPlayEvent(PLAY_EVENT event, VwVideoItem *item)
{
    switch (event) {
    case PLAY_EVENT_LOADED:
        if (item)
            fileLabel->setText(item->primaryPath());
        setOutputCommandsEnabled(true);
        break;
    case PLAY_EVENT_STOPPED:
        fileLabel->clear();
        // A stop on the way to another recording keeps the commands: they
        // would otherwise flicker off until that recording has loaded.
        if (!item && !VwPlayProcess::instance()->pendingItem())
            setOutputCommandsEnabled(false);
        break;
    case PLAY_EVENT_USER_STOP:
        setOutputCommandsEnabled(false);
        break;
    default:
        break;
    }
}

void HxFrameTitle::onLanguage()
{
    const bool japanese = VwLanguage::instance()->language == VwLanguage::LANGUAGE_JAPANESE;
    VwPopup chooser(window(),
                    japanese ? QStringLiteral("言語選択") : QStringLiteral("Select a language"),
                    QString(), Qt::WindowFlags());
    chooser.setupLanguageChooser();
    if (chooser.exec() == QDialog::Accepted)
        VwLanguage::instance()->applyChoice(VwPopup::languageChoice);
}
