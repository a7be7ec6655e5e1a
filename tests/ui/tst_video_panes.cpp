#include "hx_button.h"
#include "hx_logo_widget.h"
#include "hx_test_files.h"
#include "hx_test_viewer.h"

#include "av_player.h"
#include "video_renderer.h"
#include "vw_app.h"
#include "vw_frame_video_main.h"
#include "vw_frame_video_sub.h"
#include "vw_language.h"
#include "vw_play_process.h"
#include "vw_player.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"
#include "vw_widget_zoom_pos.h"

#include <QApplication>
#include <QFileInfo>
#include <QShortcut>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

const QString kPair = QStringLiteral("NORM260415-082502");
const QString kFrontOnly = QStringLiteral("NORM260415-083502");
const QString kRearOnly = QStringLiteral("NORM260415-084502");

QString title(bool front, bool english = false)
{
    return QStringLiteral(":/image/title_video_%1%2.png").arg(front ? "front" : "rear", english ? "_en" : "");
}

void doubleClick(QWidget *widget, const QPoint &pos)
{
    QMouseEvent event(QEvent::MouseButtonDblClick, pos, widget->mapToGlobal(pos), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace

// The two video panes on a real player playing a generated memory card.
class TestVideoPanes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void logoOrVideo_data();
    void logoOrVideo();
    void titlesFollowSwapAndLanguage();
    void autoSwap();
    void fullScreenButton();
    void zoom();
    void panesGiveWidgetsBack();

private:
    VwVideoItem *listed(const QString &name) const;
    bool play(const QString &name);
    // A load must wait for the end of the stop before it.
    bool stop();

    QTemporaryDir m_dir;
    QWidget m_window;
    VwPlayer *m_player = nullptr;
    VwPlayProcess *m_process = nullptr;
    VwFrameVideoMain *m_main = nullptr;
    VwFrameVideoSub *m_sub = nullptr;
};

void TestVideoPanes::initTestCase()
{
    const QString card = m_dir.filePath(QStringLiteral("card"));
    HX_MAKE_CARD({"--small", "--quiet", card});
    QVERIFY(hxListFolder(card + QStringLiteral("/Normal")));

    // F9 and F10 belong to the main window.
    VwApp::instance()->mainWindow = &m_window;
    VwApp::instance()->installShortcuts();
    m_player = new VwPlayer(this);
    m_process = new VwPlayProcess(m_player, this);
    m_main = new VwFrameVideoMain(m_player, m_process);
    m_main->resize(688, 413);
    m_main->show();
    m_sub = new VwFrameVideoSub(m_player, m_process);
    m_sub->resize(390, 246);
    m_sub->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_sub));
}

void TestVideoPanes::cleanup()
{
    if (!m_player)
        return;
    QVERIFY(stop());
    if (m_player->isSwapped())
        m_player->toggleSwap(true);
    VwLanguage::instance()->setLanguage(VwLanguage::LANGUAGE_JAPANESE);
}

VwVideoItem *TestVideoPanes::listed(const QString &name) const
{
    for (const VwVideoItemPtr &item : VwVideoFileList::instance()->visibleItems()) {
        if (QFileInfo(item->primaryPath()).fileName().startsWith(name))
            return item.data();
    }
    return nullptr;
}

bool TestVideoPanes::play(const QString &name)
{
    VwVideoItem *item = listed(name);
    return item && hxRunUntil(m_player, [&] { m_player->onLoad(item); }, PLAY_EVENT_FIRST_FRAME);
}

bool TestVideoPanes::stop()
{
    return hxRunUntil(m_player, [this] { m_player->stop(); }, PLAY_EVENT_STOPPED);
}

void TestVideoPanes::logoOrVideo_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("subVideo");
    QTest::addColumn<bool>("mainTitleFront");
    QTest::addColumn<bool>("swapEnabled");
    QTest::newRow("pair") << kPair << true << true << true;
    QTest::newRow("front only") << kFrontOnly << false << true << false;
    // The rear file plays on the front player, in the main pane, titled as the rear camera.
    QTest::newRow("rear only") << kRearOnly << false << false << false;
}

void TestVideoPanes::logoOrVideo()
{
    QFETCH(QString, name);
    QFETCH(bool, subVideo);
    QFETCH(bool, mainTitleFront);
    QFETCH(bool, swapEnabled);
    QVERIFY(!m_main->showsVideo());
    QVERIFY(play(name));
    QVERIFY(m_main->showsVideo());
    QCOMPARE(m_sub->showsVideo(), subVideo);
    QCOMPARE(m_main->titleImage(), title(mainTitleFront));
    QCOMPARE(m_sub->titleImage(), title(!mainTitleFront));
    QCOMPARE(m_sub->logo()->showsFront(), !mainTitleFront);
    QCOMPARE(m_main->swapButton()->isEnabled(), swapEnabled);

    m_player->onUserStop();
    QTRY_VERIFY(!m_main->showsVideo());
    QVERIFY(!m_sub->showsVideo());
    QCOMPARE(m_main->titleImage(), title(true));
    QCOMPARE(m_sub->titleImage(), title(false));
}

void TestVideoPanes::titlesFollowSwapAndLanguage()
{
    QVERIFY(play(kPair));
    m_player->toggleSwap();
    QCOMPARE(m_main->titleImage(), title(false));
    QCOMPARE(m_sub->titleImage(), title(true));
    QVERIFY(m_main->showsVideo() && m_sub->showsVideo());
    m_player->toggleSwap(true);

    // A rear camera alone keeps its title through a swap and a language change.
    QVERIFY(stop());
    QVERIFY(play(kRearOnly));
    m_player->toggleSwap(true);
    VwLanguage::instance()->setLanguage(VwLanguage::LANGUAGE_ENGLISH);
    QCOMPARE(m_sub->titleImage(), title(false, true));
    QCOMPARE(m_main->titleImage(), title(true, true));
    QVERIFY(m_sub->showsVideo());
    QVERIFY(!m_main->showsVideo());
}

void TestVideoPanes::autoSwap()
{
    // The user swaps (200 ms after the last swap of the user, or it is
    // dropped) just before a recording without a rear file loads.
    QTest::qWait(250);
    m_player->toggleSwap();
    QVERIFY(m_player->isSwapped());
    QVERIFY(play(kFrontOnly));
    QVERIFY(!m_player->isSwapped());
    QVERIFY(m_sub->isAutoSwapped());
    QVERIFY(m_main->showsVideo());

    QVERIFY(stop());
    QVERIFY(play(kPair));
    QVERIFY(m_player->isSwapped());
    QVERIFY(!m_sub->isAutoSwapped());

    QVERIFY(stop());
    QVERIFY(play(kFrontOnly));
    QVERIFY(!m_player->isSwapped());
    m_player->onUserStop();
    QVERIFY(m_player->isSwapped());
    QVERIFY(!m_sub->isAutoSwapped());
}

void TestVideoPanes::fullScreenButton()
{
    HxButton *button = m_main->fullScreenButton();
    VwApp *app = VwApp::instance();
    for (int param : {0, 1}) {
        Q_EMIT app->appEvent(VwApp::EVENT_FULLSCREEN_ENTER, param);
        QVERIFY(button->isChecked());
        QCOMPARE(button->isVisible(), param == 0);
        QCOMPARE(m_sub->fullScreenButton()->toolTip(), languageText("restore_window"));
        Q_EMIT app->appEvent(VwApp::EVENT_FULLSCREEN_LEAVE, 0);
        QVERIFY(!button->isChecked());
        QVERIFY(button->isVisible());
        QCOMPARE(button->toolTip(), languageText("fullscreen"));
    }
}

void TestVideoPanes::zoom()
{
    const QPoint below(300, 200);
    doubleClick(m_main, below);
    QVERIFY(!m_main->isZoomOn());
    QVERIFY(play(kFrontOnly));
    doubleClick(m_sub, QPoint(100, 100));
    QVERIFY(!m_sub->isZoomOn());

    QVERIFY(stop());
    QVERIFY(play(kPair));
    doubleClick(m_main, QPoint(300, 10));
    QVERIFY(!m_main->isZoomOn());
    // Clicks on the video reach the pane.
    QWidget *video = m_main->videoWidget();
    doubleClick(video, QPoint(video->width() / 2, video->height() / 2));
    QVERIFY(m_main->isZoomOn());
    QVERIFY(m_main->pipBox()->isVisible());
    QWidget *box = m_main->pipBox();
    QTRY_COMPARE(box->geometry(), QRect(video->width() - 18 - 166, 17, 166, 94));

    VwApp *app = VwApp::instance();
    Q_EMIT app->pipLocationShortcut->activated();
    QVERIFY(!m_main->isPipRight());
    QVERIFY(!m_sub->isPipRight());
    QTRY_COMPARE(box->geometry(), QRect(18, 17, 166, 94));
    Q_EMIT app->pipVisibilityShortcut->activated();
    QVERIFY(box->isHidden());
    Q_EMIT app->pipVisibilityShortcut->activated();
    QVERIFY(box->isVisible());

    // A drag moves the region against the mouse, at half the distance.
    const int dx = video->width() / 5;
    QTest::mousePress(m_main, Qt::LeftButton, Qt::NoModifier, below);
    QTest::mouseRelease(m_main, Qt::LeftButton, Qt::NoModifier, below - QPoint(dx, 0));
    const float x = m_main->zoomPos()->posX();
    QCOMPARE(x, 0.25f + float(dx) / float(video->width()) * 0.5f);
    const double roiX = m_player->rendererMain()->regionOfInterest().x();
    QCOMPARE(roiX, double(std::trunc(x * 100.0f) / 100.0f));

    // A capture's picture shows the whole frame; the zoom comes back after it.
    Q_EMIT app->hidePIPForCapture(true);
    QVERIFY(!m_main->isZoomOn());
    QVERIFY(!m_player->rendererMain()->regionOfInterest().isValid());
    Q_EMIT app->hidePIPForCapture(false);
    QVERIFY(m_main->isZoomOn());
    QVERIFY(box->isVisible());
    QCOMPARE(m_main->zoomPos()->posX(), x);
    QCOMPARE(m_player->rendererMain()->regionOfInterest().x(), roiX);

    Q_EMIT app->appEvent(VwApp::EVENT_FULLSCREEN_ENTER, 0);
    QVERIFY(!m_main->isZoomOn());
    Q_EMIT app->appEvent(VwApp::EVENT_FULLSCREEN_LEAVE, 0);
    Q_EMIT app->pipLocationShortcut->activated();
}

void TestVideoPanes::panesGiveWidgetsBack()
{
    QVERIFY(play(kPair));
    m_main->onToggleZoom();
    QVERIFY(m_main->isZoomOn());
    delete m_main;
    delete m_sub;
    for (av::VideoRenderer *renderer : {m_player->rendererMain(), m_player->rendererSub()}) {
        QVERIFY(!renderer->widget()->parent());
        QVERIFY(!renderer->widget()->layout());
    }
    QCOMPARE(m_player->playerF()->videoOutputs().size(), 1);

    // Adopted again; this time the player goes first.
    m_main = new VwFrameVideoMain(m_player, m_process);
    QCOMPARE(m_main->videoWidget()->parentWidget(), static_cast<QWidget *>(m_main));
    m_main->onToggleZoom();
    QVERIFY(m_main->isZoomOn());
    delete m_player;
    m_player = nullptr;
    delete m_main;
}

HX_TEST_VIEWER_MAIN(TestVideoPanes)

#include "tst_video_panes.moc"
