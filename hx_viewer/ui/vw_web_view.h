#pragma once

#include "vw_app.h"
#include "vw_map_tiles.h"
#include "vw_map_track.h"
#include "vw_play_event.h"

#include <QDialog>
#include <QStringList>

class HxWebHost;
class QBoxLayout;
class QLabel;
class TitleWidget;
class VwVideoItem;
class VwWidgetDrag;

// The map window: a small frameless window with the route of the loaded
// recording and the car moving along it while it plays. The map is a web page
// of the resources; the web engine starts the first time the window shows.
// Until the page reports that it is ready, scripts wait in a queue.
class VwWebView : public QDialog
{
    Q_OBJECT

public:
    static VwWebView *instance(QWidget *parent = nullptr);

    // True when the caller should show the window; false when it is open.
    bool prepareToShow();
    void runScript(const QString &script);
    // Ends the page and the web engine's profile; called when the program closes.
    void release();
    void setVisible(bool visible) override;

    bool isPageLoaded() const { return m_pageLoaded; }
    // The page's host; none until the window first shows.
    HxWebHost *webHost() const { return m_host; }
    QLabel *messageLabel() const { return m_messageLabel; }
    QStringList pendingScripts() const { return m_pendingScripts; }

    static const QString &pageUrl();
    static QString userAgent();

    static constexpr int kWidth = 403;
    static constexpr int kHeight = 445;

Q_SIGNALS:
    void webviewLoading(bool done);
    // The page drew a route it was given (it says so on the frame after).
    void routeDrawn();

public Q_SLOTS:
    void onClose();
    void onAppEvent(VwApp::Event event, int param);
    void onPlayEvent(PLAY_EVENT event, VwVideoItem *item);
    void onPositionChanged(qint64 position, qint64 duration);

private:
    explicit VwWebView(QWidget *parent);
    void startPage();
    void onPageMessage(const QString &message);
    void onPageLost(const char *why);
    void applyTiles(bool always);
    void applyLanguage();
    void showMessage(bool shown);
    void placeBesideParent();

    QBoxLayout *m_layout = nullptr;
    TitleWidget *m_titleBar = nullptr;
    QWidget *m_mapContainer = nullptr;
    QLabel *m_messageLabel = nullptr;
    VwWidgetDrag *m_dragHelper = nullptr;
    HxWebHost *m_host = nullptr;
    bool m_pageLoaded = false;
    bool m_pageLoading = false;
    bool m_placed = false;
    int m_hiddenForFullScreen = 0;
    QStringList m_pendingScripts;
    VwMapTrack m_track;
    VwMapTiles m_pageTiles;
};
