#include "vw_web_view.h"

#include "hx_ui_log.h"
#include "hx_web_host.h"
#include "title_widget.h"
#include "vw_language.h"
#include "vw_popup_info.h"
#include "vw_video_item.h"
#include "vw_widget_drag.h"

#include <QApplication>
#include <QBoxLayout>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>

#include <utility>

namespace {
constexpr int kDragHeight = 39;
// Height of the main window's title bar: the map goes below it when it has
// to cover the main window.
constexpr int kParentTitleHeight = 43;

const QString kReadyMessage = QStringLiteral("DOMContentLoaded");
const QString kRouteDrawnMessage = QStringLiteral("routeDrawn");

bool redrawsEverything(const QString &function)
{
    return function == QLatin1String("drawPaths") || function == QLatin1String("clearPath");
}

bool movesTheCar(const QString &function)
{
    return function == QLatin1String("moveToMap") || function == QLatin1String("clearCarMarker");
}

// Arguments for a page call, quoted as JSON string literals.
QString quotedArguments(const QStringList &values)
{
    const QByteArray json = QJsonDocument(QJsonArray::fromStringList(values))
                                .toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

bool isJapanese()
{
    return VwLanguage::instance()->language == VwLanguage::LANGUAGE_JAPANESE;
}

// Labels the widget in the current language and has the language table
// re-label it when the language changes.
void setBilingualText(QLabel *label, const QString &japanese, const QString &english)
{
    label->setText(isJapanese() ? japanese : english);
    VwLanguage *language = VwLanguage::instance();
    language->registerText(VwLanguage::LANGUAGE_JAPANESE, VwLanguage::TEXT_KIND_TEXT, label, japanese);
    language->registerText(VwLanguage::LANGUAGE_ENGLISH, VwLanguage::TEXT_KIND_TEXT, label, english);
}
} // namespace

VwWebView *VwWebView::instance(QWidget *parent)
{
    static VwWebView *view = new VwWebView(parent);
    return view;
}

const QString &VwWebView::pageUrl()
{
    static const QString url = QStringLiteral("qrc:/html/gmap_kv.html");
    return url;
}

QString VwWebView::userAgent()
{
    // Tile servers (OpenStreetMap's among them) want to know which program asks.
    return QStringLiteral("KT-LV550N-Viewer/%1 (map view)").arg(VwPopupInfo::version());
}

VwWebView::VwWebView(QWidget *parent)
    : QDialog(parent)
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setModal(false);
    // Never shown until the main window's map button asks for it.
    setAttribute(Qt::WA_DontShowOnScreen);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(kWidth, kHeight);
    setStyleSheet(QStringLiteral("QDialog{ background-color: #3a3a3a; border: 1px solid #666666;}"));

    m_layout = new QBoxLayout(QBoxLayout::TopToBottom, this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);

    const QString japaneseTitle = languageText("map");
    m_titleBar = new TitleWidget(this, japaneseTitle, QString());
    setBilingualText(m_titleBar->titleLabel(), japaneseTitle, QStringLiteral("Map"));
    connect(m_titleBar->closeButton(), &QPushButton::clicked, this, &VwWebView::onClose);
    m_layout->addWidget(m_titleBar);

    m_mapContainer = new QWidget(this);
    m_mapContainer->setObjectName(QStringLiteral("map_container"));
    m_mapContainer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto *containerLayout = new QVBoxLayout(m_mapContainer);
    containerLayout->setContentsMargins(0, 0, 0, 0);
    containerLayout->setSpacing(0);
    m_layout->addWidget(m_mapContainer);

    m_messageLabel = new QLabel(this);
    setBilingualText(m_messageLabel, QStringLiteral("地図を表示できません。"),
                     QStringLiteral("The map cannot be shown."));
    m_messageLabel->setObjectName(QStringLiteral("map_message"));
    m_messageLabel->setWordWrap(true);
    m_messageLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_messageLabel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_messageLabel->setContentsMargins(12, 0, 12, 0);
    m_messageLabel->setStyleSheet(QStringLiteral("color: #DDDDDD; font-size: 13px;"));
    m_messageLabel->hide();
    m_layout->addWidget(m_messageLabel);

    m_dragHelper = new VwWidgetDrag(this, kDragHeight);

    connect(VwApp::instance(), &VwApp::appEvent, this, &VwWebView::onAppEvent);
    // However the program ends, the page must go before the engine does.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &VwWebView::release);
    connect(VwLanguage::instance(), &VwLanguage::languageChange, this, &VwWebView::applyLanguage);
}

bool VwWebView::prepareToShow()
{
    if (testAttribute(Qt::WA_DontShowOnScreen)) {
        setAttribute(Qt::WA_DontShowOnScreen, false);
        setAttribute(Qt::WA_ShowWithoutActivating, false);
        hide();
        return true;
    }
    return isHidden();
}

void VwWebView::setVisible(bool visible)
{
    if (visible && !m_placed && !testAttribute(Qt::WA_DontShowOnScreen))
        placeBesideParent();
    QDialog::setVisible(visible);
    if (!visible || isHidden() || testAttribute(Qt::WA_DontShowOnScreen))
        return;
    if (m_pageLoaded)
        applyTiles(false);
    else if (!m_pageLoading)
        startPage();
}

void VwWebView::placeBesideParent()
{
    m_placed = true;
    QWidget *main = parentWidget() ? parentWidget()->window() : nullptr;
    if (!main)
        return;
    const QRect mainFrame = main->frameGeometry();
    const QRect screen = main->screen()->availableGeometry();
    QPoint topLeft(mainFrame.right() + 1, mainFrame.top());
    if (topLeft.x() + width() - 1 > screen.right())
        topLeft = QPoint(mainFrame.right() + 1 - width(), mainFrame.top() + kParentTitleHeight);
    topLeft.setX(qBound(screen.left(), topLeft.x(), qMax(screen.left(), screen.right() + 1 - width())));
    topLeft.setY(qBound(screen.top(), topLeft.y(), qMax(screen.top(), screen.bottom() + 1 - height())));
    move(topLeft);
}

void VwWebView::startPage()
{
    if (!m_host) {
        HxWebHost::Profile profile;
        profile.storageName = QStringLiteral("map");
        profile.cachePath = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation))
                                .filePath(QStringLiteral("kt-lv550n-viewer/map"));
        profile.userAgent = userAgent();
        qCInfo(lcHxUi) << "VwWebView::startPage starting the web engine";
        m_host = new HxWebHost(profile, m_mapContainer, this);
        connect(m_host, &HxWebHost::consoleMessage, this, &VwWebView::onPageMessage);
        connect(m_host, &HxWebHost::loadFinished, this, [this](bool ok) {
            qCDebug(lcHxUi) << "VwWebView::startPage load finished" << ok;
            if (!ok && m_pageLoading)
                onPageLost("the page did not load");
        });
        connect(m_host, &HxWebHost::renderProcessEnded, this,
                [this] { onPageLost("the page's process ended"); });
    }
    showMessage(false);
    m_pageLoading = true;
    // A new page knows nothing: it gets the route and the car as they are now.
    m_pendingScripts = m_track.restoreScripts();
    Q_EMIT webviewLoading(false);
    m_host->load(QUrl(pageUrl()));
}

void VwWebView::onPageLost(const char *why)
{
    qCWarning(lcHxUi) << "VwWebView::onPageLost" << why;
    m_pageLoaded = false;
    m_pageLoading = false;
    m_track.forgetCar();
    showMessage(true);
}

void VwWebView::showMessage(bool shown)
{
    m_messageLabel->setVisible(shown);
    m_mapContainer->setVisible(!shown);
}

void VwWebView::onPageMessage(const QString &message)
{
    if (message == kRouteDrawnMessage) {
        Q_EMIT routeDrawn();
        return;
    }
    if (m_pageLoaded || !m_pageLoading || !message.contains(kReadyMessage))
        return;
    m_pageLoaded = true;
    m_pageLoading = false;
    applyTiles(true);
    applyLanguage();
    // The engine runs scripts in the order given, so the queue goes at once.
    const QStringList pending = std::exchange(m_pendingScripts, QStringList());
    for (const QString &script : pending)
        m_host->runJavaScript(script);
    Q_EMIT webviewLoading(true);
}

void VwWebView::applyTiles(bool always)
{
    const VwMapTiles tiles = VwMapTiles::fromSettings();
    if (!always && tiles == m_pageTiles)
        return;
    m_pageTiles = tiles;
    m_host->setAllowedServer(tiles.server());
    runScript(QStringLiteral("setTiles(") + quotedArguments({tiles.url, tiles.attribution})
              + QStringLiteral(");"));
}

void VwWebView::applyLanguage()
{
    if (!m_pageLoaded)
        return;
    runScript(QStringLiteral("setLanguage(") + quotedArguments({isJapanese() ? QStringLiteral("ja")
                                                                            : QStringLiteral("en")})
              + QStringLiteral(");"));
}

void VwWebView::runScript(const QString &script)
{
    if (script.isEmpty())
        return;
    if (m_pageLoaded) {
        m_host->runJavaScript(script);
        return;
    }
    // While the page loads, a script that makes earlier ones moot replaces
    // them: a route redraws the whole map, and the car is in one place only.
    const QString function = VwMapTrack::functionOf(script);
    if (redrawsEverything(function))
        m_pendingScripts.clear();
    else if (movesTheCar(function) && !m_pendingScripts.isEmpty()
             && movesTheCar(VwMapTrack::functionOf(m_pendingScripts.constLast())))
        m_pendingScripts.removeLast();
    m_pendingScripts.append(script);
}

void VwWebView::release()
{
    if (!m_host)
        return;
    qCDebug(lcHxUi) << "VwWebView::release";
    m_host->disconnect(this);
    delete m_host;
    m_host = nullptr;
    m_pageLoaded = false;
    m_pageLoading = false;
    m_track.forgetCar();
}

void VwWebView::onClose()
{
    m_hiddenForFullScreen = 0;
    hide();
    close();
    if (QWidget *main = parentWidget() ? parentWidget()->window() : nullptr) {
        main->activateWindow();
        main->setFocus();
    }
}

void VwWebView::onAppEvent(VwApp::Event event, int param)
{
    if (event == VwApp::EVENT_FULLSCREEN_ENTER && isVisible() && param != 1) {
        m_hiddenForFullScreen = 1;
        hide();
    } else if (event == VwApp::EVENT_FULLSCREEN_LEAVE && m_hiddenForFullScreen && isHidden()
               && param != 1) {
        m_hiddenForFullScreen = 0;
        show();
    }
}

void VwWebView::onPlayEvent(PLAY_EVENT event, VwVideoItem *item)
{
    if (event == PLAY_EVENT_STOPPED)
        runScript(m_track.unload());
    else if (event == PLAY_EVENT_LOADED)
        runScript(m_track.load(item ? item->sensorInfo : nullptr));
}

void VwWebView::onPositionChanged(qint64 position, qint64 duration)
{
    runScript(m_track.scriptForPosition(position, duration));
}
