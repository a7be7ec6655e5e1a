#pragma once

#include "vw_language.h"
#include "vw_play_event.h"
#include "vw_widget_base.h"
#include "vw_widget_zoom_pos.h"

#include <QPointer>

class HxButton;
class HxLogoWidget;
class QLabel;
class QHBoxLayout;
class QTimer;
class QVBoxLayout;
class VwPlayProcess;
class VwPlayer;
class VwVideoItem;

// A video pane: a title bar with the camera's title and the mirror, swap and
// full-screen buttons over the player's video widget, or the camera's logo
// while that camera has nothing to show. A double-click zooms the pane two
// times; the overview of the whole picture sits in a small box in a top
// corner (F9 moves it, F10 shows or hides it) and a drag in the pane moves
// the zoomed region.
//
// The video widget stays the player's: the pane adopts it for display and
// gives it back, with a zoom overview, when it is destroyed first.
class VwFrameVideoBase : public VwWidgetBase
{
    Q_OBJECT

public:
    ~VwFrameVideoBase() override;

    bool showsFront() const { return _showsFront; }
    bool showsVideo() const;
    bool isZoomOn() const { return _zoomOn; }
    bool isPipRight() const { return _pipRight; }
    QWidget *videoWidget() const { return _videoWidget; }
    QWidget *pipBox() const { return _pipBox; }
    HxLogoWidget *logo() const { return _logo; }
    VwWidgetZoomPos *zoomPos() const { return _zoomPos; }
    // Resource name of the title image shown.
    QString titleImage() const { return _titleImage; }
    int titleHeight() const;
    HxButton *flipHButton() const { return _flipHButton; }
    HxButton *flipVButton() const { return _flipVButton; }
    HxButton *swapButton() const { return _swapButton; }
    HxButton *fullScreenButton() const { return _fullScreenButton; }

Q_SIGNALS:
    void modeZoomChange(bool zoom);
    void fullScreenRequested();

public Q_SLOTS:
    virtual void onPlayEvent(PLAY_EVENT event, VwVideoItem *item);
    void onAppEvent(VwApp::Event event, int param) override;
    void onUpdateZoom();
    void onForceUpdateZoom();
    void onToggleZoom();
    void onTogglePIPLocation();
    void onToggleShowHidePIP();
    void onHidePIPForCapture(bool hide);
    void onLanguageChange(VwLanguage::LANGUAGE_TYPE language);

protected:
    VwFrameVideoBase(VwPlayer *player, VwPlayProcess *process, bool isMain, QWidget *parent);

    // Adopts the player's video widget for this pane; null keeps the logo.
    void setVideoWidget(QWidget *widget);
    void applyPipGeometry();
    void showVideo(bool show);
    void updateVideoVisibility();
    void updateTitle();

    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

    QPointer<VwPlayer> _player;
    VwPlayProcess *_process = nullptr;
    bool _isMain = false;
    bool _showsFront = false;
    // A recording of the rear camera alone plays on the front player: the
    // pane of the front camera shows it, titled as the rear camera.
    bool _invertTitle = false;
    QVBoxLayout *_layout = nullptr;
    QPointer<QWidget> _videoWidget;
    QWidget *_titleBar = nullptr;
    QLabel *_titleLabel = nullptr;
    QString _titleImage;
    HxButton *_flipHButton = nullptr;
    HxButton *_flipVButton = nullptr;
    HxButton *_swapButton = nullptr;
    HxButton *_fullScreenButton = nullptr;
    HxLogoWidget *_logo = nullptr;
    QWidget *_pipBox = nullptr;
    QHBoxLayout *_pipLayout = nullptr;
    QRect _pipRect;
    bool _pipRight = true;
    bool _zoomOn = false;
    // What a capture's hide found, to put back when it un-hides.
    bool _pipWasHidden = false;
    bool _zoomHiddenForCapture = false;
    float _zoomXBeforeCapture = 0.25f;
    float _zoomYBeforeCapture = 0.25f;
    QPointer<QWidget> _overview;
    QPointer<VwWidgetZoomPos> _zoomPos;
    QTimer *_zoomTimer = nullptr;
    bool _dragging = false;
    QPoint _pressPoint;
    QPoint _movePoint;

private:
    void setZoomRegion(float x, float y);
};
