#include "audio_buffer.h"
#include "audio_output.h"
#include "av_clock.h"

#include <QSignalSpy>
#include <QTest>

#include <vector>

using namespace av;

class TestAVSupport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lifecycle();
    void pauseFreezes();
    void speedScales();
    void externalUpdates();
    void audioBufferOrder();
    void audioBufferGain_data();
    void audioBufferGain();
    void audioBufferPauseAndFlush();
    void nullOutputConsumes();
};

void TestAVSupport::lifecycle()
{
    AVClock clock(AVClock::ExternalClock);
    QCOMPARE(clock.clockType(), AVClock::ExternalClock);
    clock.setClockAuto(false);
    QVERIFY(!clock.isClockAuto());
    QVERIFY(!clock.isActive());
    QCOMPARE(clock.value(), 0.0);
    QSignalSpy started(&clock, &AVClock::started);
    clock.start();
    QVERIFY(clock.isActive());
    QCOMPARE(started.count(), 1);
    QTRY_VERIFY(clock.value() > 0.0);
    clock.pause(true);
    QVERIFY(clock.isActive());
    clock.reset();
    QVERIFY(!clock.isActive());
    QVERIFY(!clock.isPaused());
    QCOMPARE(clock.value(), 0.0);
}

void TestAVSupport::pauseFreezes()
{
    AVClock clock;
    clock.start();
    QTest::qWait(20);
    QSignalSpy paused(&clock, &AVClock::paused);
    clock.pause(true);
    clock.pause(true);
    QCOMPARE(paused.count(), 1);
    const double frozen = clock.value();
    QTest::qWait(30);
    QCOMPARE(clock.value(), frozen);
    clock.pause(false);
    QTRY_VERIFY(clock.value() > frozen);
    // Resuming continues from the frozen value rather than jumping ahead.
    QVERIFY(clock.value() < frozen + 0.025);
}

void TestAVSupport::speedScales()
{
    AVClock normal;
    AVClock fast;
    fast.setSpeed(2.0);
    fast.setSpeed(0.0); // refused
    QCOMPARE(fast.speed(), 2.0);
    normal.start();
    fast.start();
    fast.setSpeed(2.0);
    QTest::qWait(200);
    const double n = normal.value();
    const double f = fast.value();
    QVERIFY2(f > 1.8 * n && f < 2.2 * n, qPrintable(QStringLiteral("%1 vs %2").arg(f).arg(n)));
    // A change of speed keeps the value continuous.
    const double before = fast.value();
    fast.setSpeed(0.5);
    QVERIFY(fast.value() >= before);
    QVERIFY(fast.value() < before + 0.01);
}

void TestAVSupport::externalUpdates()
{
    AVClock shared(AVClock::ExternalClock);
    AVClock follower(AVClock::ExternalClock);
    shared.start();
    shared.updateExternalClock(5000);
    QVERIFY(shared.value() >= 5.0 && shared.value() < 5.05);
    follower.start();
    follower.pause(true);
    follower.updateExternalClock(shared);
    QVERIFY(qAbs(follower.value() - shared.value()) < 0.05);
    // Taking a value does not change running or paused.
    QVERIFY(follower.isPaused());
    follower.updateExternalClock(follower);
    QVERIFY(follower.value() >= 5.0);
}

void TestAVSupport::audioBufferOrder()
{
    AudioBuffer buffer(4);
    QCOMPARE(buffer.freeFrames(), 4);
    const float in[] = {1, -1, 2, -2, 3, -3, 4, -4, 5, -5, 6, -6};
    QCOMPARE(buffer.write(in, 6), 4); // bounded: never overwrites unplayed sound
    QCOMPARE(buffer.bufferedFrames(), 4);
    float out[6] = {};
    buffer.render(out, 3);
    QCOMPARE(std::vector<float>(out, out + 6), (std::vector<float>{1, -1, 2, -2, 3, -3}));
    QCOMPARE(buffer.write(in + 8, 2), 2);
    buffer.render(out, 3);
    // Wraps around; the frame missing at the end is silence.
    QCOMPARE(std::vector<float>(out, out + 6), (std::vector<float>{4, -4, 5, -5, 6, -6}));
    buffer.render(out, 1);
    QCOMPARE(out[0], 0.0f);
}

void TestAVSupport::audioBufferGain_data()
{
    QTest::addColumn<float>("gain");
    QTest::addColumn<bool>("muted");
    QTest::addColumn<float>("expected");

    QTest::newRow("unity") << 1.0f << false << 0.5f;
    QTest::newRow("amplified") << 1.5f << false << 0.75f;
    QTest::newRow("half") << 0.5f << false << 0.25f;
    QTest::newRow("muted") << 1.5f << true << 0.0f;
}

void TestAVSupport::audioBufferGain()
{
    QFETCH(float, gain);
    QFETCH(bool, muted);
    QFETCH(float, expected);

    AudioBuffer buffer(64);
    buffer.setGain(gain);
    buffer.setMuted(muted);
    std::vector<float> in(64 * 2, 0.5f);
    buffer.write(in.data(), 64);
    std::vector<float> out(32 * 2);
    buffer.render(out.data(), 32); // ramps to the new gain
    buffer.render(out.data(), 32);
    for (float sample : out)
        QCOMPARE(sample, expected);
    // Muted output still consumes, so sound stays in step.
    QCOMPARE(buffer.bufferedFrames(), 0);
}

void TestAVSupport::audioBufferPauseAndFlush()
{
    AudioBuffer buffer(16);
    std::vector<float> in(16 * 2, 0.25f);
    buffer.write(in.data(), 10);
    buffer.setPaused(true);
    std::vector<float> out(4 * 2, 1.0f);
    buffer.render(out.data(), 4);
    QCOMPARE(out, std::vector<float>(8, 0.0f));
    QCOMPARE(buffer.bufferedFrames(), 10);
    buffer.setPaused(false);
    buffer.requestFlush();
    buffer.write(in.data(), 2);
    buffer.render(out.data(), 4);
    // Only what came after the flush plays.
    QCOMPARE(out, (std::vector<float>{0.25f, 0.25f, 0.25f, 0.25f, 0, 0, 0, 0}));
}

void TestAVSupport::nullOutputConsumes()
{
    // Tests run with HX_AUDIO_OUTPUT=null, which no back-end list overrides.
    AudioOutput output;
    output.setBackends({QStringLiteral("PortAudio")});
    QCOMPARE(output.backends(), QStringList{QStringLiteral("null")});
    QVERIFY(output.open(8000));
    QCOMPARE(output.backendName(), QStringLiteral("null"));
    QCOMPARE(output.sampleRate(), 8000);
    std::vector<float> in(1000 * 2, 0.1f);
    QCOMPARE(output.write(in.data(), 1000), 1000);
    QTRY_VERIFY_WITH_TIMEOUT(output.bufferedFrames() < 1000, 2000);
    output.setPaused(true);
    QTest::qWait(30);
    const int held = output.bufferedFrames();
    QTest::qWait(50);
    QCOMPARE(output.bufferedFrames(), held);
    output.close();
    QVERIFY(!output.isOpen());

    AudioOutput none;
    none.setBackends({});
    QVERIFY(!none.hasBackends());
    QVERIFY(!none.open(48000));
}

QTEST_MAIN(TestAVSupport)
#include "tst_av_support.moc"
