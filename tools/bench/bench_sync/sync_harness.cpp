#include "sync_harness.h"

#include "audio_output.h"
#include "av_player.h"
#include "hx_test_media.h"
#include "video_frame.h"
#include "video_renderer.h"
#include "vw_play_process.h"
#include "vw_play_slider.h"
#include "vw_slider.h"
#include "vw_video_file_list.h"
#include "vw_video_item.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMouseEvent>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <cmath>

using namespace av;

namespace hxsync {

namespace {

QElapsedTimer &harnessClock()
{
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer;
}

// Stands in for the file list panel: selects what the list finds and hands
// it to the play process.
class ListPanel : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
Q_SIGNALS:
    void listSelected(VwVideoItem *item);
};

// The play slider's press comes from the slider itself.
class PressSlider : public QSlider
{
    Q_OBJECT
public:
    using QSlider::QSlider;
    void press() { Q_EMIT pressedWithKnob(true); }
Q_SIGNALS:
    void pressedWithKnob(bool knob);
};

} // namespace

// An output without a widget that reads the frame number of every picture
// it is given.
class CodeRenderer : public VideoRenderer
{
public:
    VideoRendererId id() const override { return VideoRendererId_Widget; }

    int code = -1;
    qint64 shownAt = 0;

protected:
    void onUpdate() override
    {
        const VideoFrame frame = currentFrame();
        code = frame.isValid() ? hxReadFrameCode(frame.image()) : -1;
        shownAt = now();
    }
};

static CodeRenderer *codeRenderer(VideoRenderer *renderer)
{
    return static_cast<CodeRenderer *>(renderer);
}

qint64 now()
{
    return harnessClock().elapsed();
}

void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &pos)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

int Result::percentile(double p) const
{
    if (offsets.isEmpty())
        return -1;
    QVector<int> sorted;
    for (int offset : offsets)
        sorted << std::abs(offset);
    std::sort(sorted.begin(), sorted.end());
    const int index = qBound(0, int(std::ceil(p / 100.0 * sorted.size())) - 1, sorted.size() - 1);
    return sorted.at(index);
}

int Result::maxOffset() const
{
    return percentile(100.0);
}

double Result::meanOffset() const
{
    if (offsets.isEmpty())
        return 0.0;
    double sum = 0.0;
    for (int offset : offsets)
        sum += std::abs(offset);
    return sum / offsets.size();
}

double Result::seekPercentile(double p) const
{
    if (seekToFrameMs.isEmpty())
        return -1.0;
    QVector<double> sorted = seekToFrameMs;
    std::sort(sorted.begin(), sorted.end());
    const int index = qBound(0, int(std::ceil(p / 100.0 * sorted.size())) - 1, sorted.size() - 1);
    return sorted.at(index);
}

CodePlayer::CodePlayer(QObject *parent)
    : VwPlayer(parent)
{
    _playerF->clearVideoRenderers();
    _playerR->clearVideoRenderers();
    delete _rendererMain;
    delete _rendererSub;
    _rendererMain = new CodeRenderer;
    _rendererSub = new CodeRenderer;
    _playerF->setRenderer(_rendererMain, true);
    _playerR->setRenderer(_rendererSub, true);
}

CodePlayer::~CodePlayer()
{
    _playerF->clearVideoRenderers();
    _playerR->clearVideoRenderers();
    delete _rendererMain;
    delete _rendererSub;
    _rendererMain = nullptr;
    _rendererSub = nullptr;
}

VideoRenderer *CodePlayer::paneOf(bool front) const
{
    return front != _swapped ? _rendererMain : _rendererSub;
}

int CodePlayer::frontCode() const { return codeRenderer(paneOf(true))->code; }
int CodePlayer::rearCode() const { return codeRenderer(paneOf(false))->code; }
qint64 CodePlayer::frontShownAt() const { return codeRenderer(paneOf(true))->shownAt; }
qint64 CodePlayer::rearShownAt() const { return codeRenderer(paneOf(false))->shownAt; }

void CodePlayer::applySpeed(double speed)
{
    _speed = speed;
    setPlaySpeed(speed);
}

Harness::Harness(const Config &config, QObject *parent)
    : QObject(parent)
    , m_config(config)
{
    now();
    m_player = new CodePlayer(this);
    m_process = new VwPlayProcess(m_player, this);
    auto *panel = new ListPanel(this);
    m_listPanel = panel;
    m_process->attach(panel);

    auto *slider = new PressSlider;
    slider->setParent(nullptr);
    slider->setObjectName(QStringLiteral("harness_slider"));
    m_player->setPositionSlider(slider);
    connect(slider, &PressSlider::pressedWithKnob, m_player, &VwPlayer::onSliderPress);

    VwVideoFileList *list = VwVideoFileList::instance();
    connect(list, &VwVideoFileList::playItemFound, panel, [list, panel](VwVideoItem *item, int) {
        list->setCurrentItem(item);
        Q_EMIT panel->listSelected(item);
    });

    m_sampler = new QTimer(this);
    m_sampler->setTimerType(Qt::PreciseTimer);
    m_sampler->setInterval(5);
    connect(m_sampler, &QTimer::timeout, this, &Harness::sample);
}

Harness::~Harness()
{
    m_player->stop();
    wait(50);
    delete m_player->positionSlider();
}

void Harness::wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool Harness::waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    const qint64 end = now() + timeoutMs;
    while (!condition()) {
        if (now() >= end)
            return false;
        wait(5);
    }
    return true;
}

bool Harness::prepare(const QString &folder, QString *error)
{
    QDir().mkpath(folder);
    for (int i = 0; i < m_config.recordings; ++i) {
        const QString stem = QStringLiteral("%1/NORM260415-08%2002").arg(folder).arg(10 + i, 2, 10, QLatin1Char('0'));
        for (bool front : {true, false}) {
            HxTestVideoSpec spec;
            spec.width = front ? m_config.frontWidth : m_config.rearWidth;
            spec.height = front ? m_config.frontHeight : m_config.rearHeight;
            spec.fps = m_config.fps;
            spec.seconds = m_config.seconds;
            spec.keyInterval = m_config.keyInterval;
            spec.audio = front && m_config.frontAudio;
            spec.bitrateKbps = front ? 4000 : 2000;
            const QString path = stem + (front ? QStringLiteral("F.MP4") : QStringLiteral("R.MP4"));
            if (!QFile::exists(path) && !hxMakeCodedVideo(path, spec, error))
                return false;
            m_files << path;
        }
    }
    VwVideoFileList *list = VwVideoFileList::instance();
    QSignalSpy ended(list, &VwVideoFileList::listUpdateEnd);
    if (!list->loadFolder(folder) || !(ended.count() > 0 || ended.wait(60000))) {
        if (error)
            *error = QStringLiteral("the recording list did not load");
        return false;
    }
    if (list->visibleItems().size() < m_config.recordings) {
        if (error)
            *error = QStringLiteral("%1 recordings listed").arg(list->visibleItems().size());
        return false;
    }
    return true;
}

bool Harness::start(int index)
{
    VwVideoFileList *list = VwVideoFileList::instance();
    VwVideoItem *item = list->visibleItems().value(index).data();
    if (!item)
        return false;
    QSignalSpy events(m_player, &VwPlayerBase::playEvent);
    select(item);
    const bool loaded = waitFor([&] {
        for (const QList<QVariant> &event : events) {
            if (event.at(0).value<PLAY_EVENT>() == PLAY_EVENT_LOADED)
                return true;
        }
        return false;
    }, 20000);
    return loaded && waitFor([this] { return m_player->frontCode() >= 0 && m_player->rearCode() >= 0; }, 5000);
}

void Harness::select(VwVideoItem *item)
{
    VwVideoFileList::instance()->setCurrentItem(item);
    Q_EMIT static_cast<ListPanel *>(m_listPanel)->listSelected(item);
}

void Harness::sample()
{
    if (!m_current)
        return;
    const int front = m_probeF ? m_probeF->code : m_player->frontCode();
    const int rear = m_probeR ? m_probeR->code : m_player->rearCode();
    if (front >= 0 && rear >= 0) {
        m_current->offsets << front - rear;
        if (front != rear && qEnvironmentVariableIsSet("HX_SYNC_TRACE"))
            qDebug("%lld %s F %d R %d", now(), qPrintable(m_current->name), front, rear);
    }
}

void Harness::measureFor(Result *result, int ms)
{
    m_current = result;
    m_sampler->start();
    wait(ms);
    m_sampler->stop();
    m_current = nullptr;
}

Result Harness::playAt1x(int seconds)
{
    Result result;
    result.name = QStringLiteral("1x playback %1 s").arg(seconds);
    const AVPlayer::Statistics f0 = m_player->playerF()->statistics();
    const AVPlayer::Statistics r0 = m_player->playerR()->statistics();
    measureFor(&result, seconds * 1000);
    const AVPlayer::Statistics f1 = m_player->playerF()->statistics();
    const AVPlayer::Statistics r1 = m_player->playerR()->statistics();
    result.droppedFrames = (f1.dropped - f0.dropped) + (r1.dropped - r0.dropped);
    return result;
}

void Harness::seekTo(qint64 target, Result *result)
{
    auto *slider = static_cast<PressSlider *>(m_player->positionSlider());
    const int keyFrame = int(target * m_config.fps / 1000) / m_config.keyInterval * m_config.keyInterval;
    const int targetFrame = int(target * m_config.fps / 1000);
    const qint64 t0 = now();
    slider->press();
    slider->setValue(int(target));
    m_player->onSliderMove(int(target));
    m_player->onSliderRelease();
    const bool arrived = waitFor([&] {
        const int code = m_player->frontCode();
        return m_player->frontShownAt() >= t0 && code >= keyFrame && code <= targetFrame + m_config.fps;
    }, 3000);
    if (arrived)
        result->seekToFrameMs << double(m_player->frontShownAt() - t0);
    else
        ++result->failedSeeks;
    const qint64 settle = t0 + 500 - now();
    if (settle > 0)
        wait(int(settle));
    const int front = m_player->frontCode();
    const int rear = m_player->rearCode();
    if (front >= 0 && rear >= 0)
        result->offsets << front - rear;
}

void Harness::rewind()
{
    Result ignored;
    seekTo(2000, &ignored);
    wait(1000);
}

Result Harness::seeks(int count, bool paused, quint32 seed)
{
    Result result;
    result.name = QStringLiteral("%1 slider seeks, %2").arg(count).arg(paused ? "paused" : "playing");
    if (paused && !m_player->playerF()->isPaused())
        m_player->onPlayOrPause();
    QRandomGenerator random(seed);
    const qint64 duration = m_player->playerF()->duration();
    for (int i = 0; i < count; ++i) {
        // Far enough from where the picture is to tell the new frame apart.
        const qint64 current = m_player->playerF()->position();
        qint64 target = 0;
        do {
            target = 1000 + qint64(random.bounded(quint32(qMax<qint64>(duration - 4000, 1))));
        } while (std::llabs(target - current) < 3000 && duration > 8000);
        seekTo(target, &result);
    }
    if (paused)
        m_player->onPlayOrPause();
    return result;
}

Result Harness::pauseResume(int cycles)
{
    rewind();
    Result result;
    result.name = QStringLiteral("%1 pause/resume cycles").arg(cycles);
    for (int i = 0; i < cycles; ++i) {
        m_player->onPlayOrPause();
        measureFor(&result, 300);
        m_player->onPlayOrPause();
        measureFor(&result, 700);
    }
    return result;
}

Result Harness::speed(double speed, int seconds)
{
    rewind();
    Result result;
    result.name = QStringLiteral("speed %1 for %2 s").arg(speed).arg(seconds);
    m_player->applySpeed(speed);
    measureFor(&result, seconds * 1000);
    m_player->applySpeed(1.0);
    return result;
}

Result Harness::swapWhilePlaying(int seconds)
{
    rewind();
    Result result;
    result.name = QStringLiteral("swap while playing, %1 s").arg(seconds);
    m_player->toggleSwap();
    measureFor(&result, seconds * 1000);
    wait(250);
    m_player->toggleSwap();
    return result;
}

Result Harness::advanceToNext(int secondsAfter)
{
    Result result;
    result.name = QStringLiteral("advance to the next recording");
    VwVideoFileList *list = VwVideoFileList::instance();
    VwVideoItem *first = list->currentItem();
    const qint64 duration = m_player->playerF()->duration();
    // Close to the end, then let the recording run out.
    seekTo(qMax<qint64>(duration - 3000, 0), &result);
    result.offsets.clear();
    result.seekToFrameMs.clear();
    QSignalSpy events(m_player, &VwPlayerBase::playEvent);
    const qint64 t0 = now();
    const bool advanced = waitFor([&] {
        return list->currentItem() != first && m_player->currentItem() == list->currentItem()
            && m_player->frontShownAt() > t0 && m_player->frontCode() >= 0 && m_player->frontCode() < 30
            && m_player->rearCode() >= 0 && m_player->rearCode() < 30;
    }, int(duration) + 20000);
    if (!advanced) {
        ++result.failedSeeks;
        return result;
    }
    measureFor(&result, secondsAfter * 1000);
    return result;
}

double Stalls::median() const
{
    if (longestMs.isEmpty())
        return -1.0;
    QVector<double> sorted = longestMs;
    std::sort(sorted.begin(), sorted.end());
    return sorted.at(sorted.size() / 2);
}

double Stalls::max() const
{
    return longestMs.isEmpty() ? -1.0 : *std::max_element(longestMs.cbegin(), longestMs.cend());
}

Stalls Harness::interfaceStalls(const QString &name, int runs, int windowMs,
                                const std::function<void()> &prepare,
                                const std::function<void()> &operation)
{
    Stalls result;
    result.name = name;
    // A 1 ms beat: the longest gap between two beats is the longest time the
    // event loop was not turning.
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    beat.setInterval(1);
    QElapsedTimer sinceBeat;
    double longest = 0.0;
    connect(&beat, &QTimer::timeout, &beat, [&] {
        longest = qMax(longest, double(sinceBeat.nsecsElapsed()) / 1e6);
        sinceBeat.restart();
    });
    for (int run = 0; run < runs; ++run) {
        if (prepare)
            prepare();
        longest = 0.0;
        sinceBeat.start();
        beat.start();
        if (operation)
            QTimer::singleShot(0, &beat, operation);
        wait(windowMs);
        beat.stop();
        result.longestMs << longest;
    }
    return result;
}

Result Harness::sliderDrag(int moves, int intervalMs, Result *afterRelease)
{
    rewind();
    Result result;
    result.name = QStringLiteral("slider drag, %1 moves").arg(moves);
    QSlider *own = m_player->positionSlider();
    VwPlaySlider panel(m_player);
    panel.resize(688, 29);
    panel.show();
    QCoreApplication::processEvents();
    VwSlider *slider = panel.slider();
    slider->setRange(own->minimum(), own->maximum());
    slider->setValue(own->value());
    panel.setEnabled(true);

    auto xAt = [slider](double fraction) { return QPoint(int(slider->width() * fraction), slider->height() / 2); };
    sendMouse(slider, QEvent::MouseButtonPress, xAt(0.05));
    for (int i = 1; i <= moves; ++i) {
        sendMouse(slider, QEvent::MouseMove, xAt(0.05 + 0.85 * i / moves));
        const qint64 t0 = now();
        const int frame = int(qint64(slider->value()) * m_config.fps / 1000);
        const int keyFrame = frame / m_config.keyInterval * m_config.keyInterval;
        auto inGroup = [&](int code) { return code >= keyFrame && code <= frame; };
        const bool arrived = waitFor([&] {
            return m_player->frontShownAt() >= t0 && m_player->rearShownAt() >= t0
                && inGroup(m_player->frontCode()) && inGroup(m_player->rearCode());
        }, intervalMs > 0 ? intervalMs : 3000);
        if (arrived)
            result.seekToFrameMs << double(qMax(m_player->frontShownAt(), m_player->rearShownAt()) - t0);
        else
            ++result.failedSeeks;
        const qint64 rest = t0 + intervalMs - now();
        if (rest > 0)
            wait(int(rest));
        if (m_player->frontCode() >= 0 && m_player->rearCode() >= 0)
            result.offsets << m_player->frontCode() - m_player->rearCode();
    }
    sendMouse(slider, QEvent::MouseButtonRelease, xAt(0.9));
    wait(500);
    if (afterRelease) {
        afterRelease->name = QStringLiteral("  after the release");
        measureFor(afterRelease, 1000);
    }
    m_player->setPositionSlider(own);
    return result;
}

Result Harness::unsyncedPair(int seconds)
{
    Result result;
    result.name = QStringLiteral("peer: two players, own clocks");
    AVPlayer front;
    AVPlayer rear;
    CodeRenderer frontOut;
    CodeRenderer rearOut;
    front.setRenderer(&frontOut);
    rear.setRenderer(&rearOut);
    rear.audio()->setBackends(QStringList());
    front.setFile(m_files.value(0));
    rear.setFile(m_files.value(1));
    front.load();
    rear.load();
    if (!waitFor([&] { return front.isLoaded() && rear.isLoaded(); }, 20000))
        return result;
    const AVPlayer::Statistics f0 = front.statistics();
    front.play();
    rear.play();
    if (waitFor([&] { return frontOut.code >= 0 && rearOut.code >= 0; }, 5000)) {
        m_probeF = &frontOut;
        m_probeR = &rearOut;
        measureFor(&result, seconds * 1000);
        m_probeF = nullptr;
        m_probeR = nullptr;
        result.droppedFrames = front.statistics().dropped - f0.dropped + rear.statistics().dropped;
    }
    front.stop();
    rear.stop();
    front.clearVideoRenderers();
    rear.clearVideoRenderers();
    wait(50);
    return result;
}

} // namespace hxsync

#include "sync_harness.moc"
