// SPDX-License-Identifier: GPL-3.0-or-later
// The receiver finds the beacon's tone and follows it through drift, fading, noise and a
// carrier beside it.
#include "bench/cwaudio.h"
#include "receiver/tonetrack.h"
#include "receiver/waterfall.h"
#include "support/referenceline.h"

#include <QTest>
#include <cmath>

using namespace orvik;

class TestToneTrack : public QObject {
    Q_OBJECT
private slots:
    void followsTheTone_data();
    void followsTheTone();
};

void TestToneTrack::followsTheTone_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("sampleRate");
    QTest::addColumn<double>("toneHz");
    QTest::addColumn<double>("drift"); // Hz a second
    QTest::addColumn<double>("snrDb");
    QTest::addColumn<double>("fadeDb");
    QTest::addColumn<double>("carrierOffsetHz");
    QTest::addColumn<double>("fist");
    QTest::addColumn<double>("least"); // share of key-down time on the tone

    const QByteArray line(testsupport::kReferenceText);
    const QByteArray start = line.left(25);
    QTest::addRow("a steady tone") << line << 48000.0 << 700.0 << 0.0 << 20.0 << 0.0 << 0.0 << 0.0 << 0.99;
    QTest::addRow("at 8 kHz") << line << 8000.0 << 700.0 << 0.0 << 10.0 << 0.0 << 0.0 << 0.0 << 0.98;
    QTest::addRow("weak, -10 dB") << line << 48000.0 << 900.0 << 0.0 << -10.0 << 0.0 << 0.0 << 0.0 << 0.98;
    QTest::addRow("where CW decoders give up, -14 dB")
        << line << 48000.0 << 900.0 << 0.0 << -14.0 << 0.0 << 0.0 << 0.0 << 0.95;
    QTest::addRow("weak and drifting, -10 dB at 8 kHz")
        << line << 8000.0 << 500.0 << 10.0 << -10.0 << 0.0 << 0.0 << 0.0 << 0.95;
    QTest::addRow("10 Hz a second across the line")
        << line << 48000.0 << 500.0 << 10.0 << 0.0 << 0.0 << 0.0 << 0.0 << 0.95;
    QTest::addRow("40 Hz a second near closest approach")
        << start << 48000.0 << 1800.0 << -40.0 << 5.0 << 0.0 << 0.0 << 0.0 << 0.95;
    QTest::addRow("20 dB fading") << line << 48000.0 << 700.0 << 0.0 << 0.0 << 20.0 << 0.0 << 0.0 << 0.98;
    QTest::addRow("20 dB fading, weak")
        << line << 48000.0 << 700.0 << 0.0 << -6.0 << 20.0 << 0.0 << 0.0 << 0.95;
    QTest::addRow("a carrier 60 Hz away, as strong")
        << line << 48000.0 << 700.0 << 0.0 << 10.0 << 0.0 << 60.0 << 0.0 << 0.95;
    QTest::addRow("drifting through a carrier")
        << line << 48000.0 << 600.0 << 3.0 << 10.0 << 0.0 << 100.0 << 0.0 << 0.95;
    QTest::addRow("a ragged fist") << line << 48000.0 << 700.0 << 0.0 << 0.0 << 0.0 << 0.0 << 0.25 << 0.95;
}

void TestToneTrack::followsTheTone()
{
    QFETCH(QByteArray, text);
    QFETCH(double, sampleRate);
    QFETCH(double, toneHz);
    QFETCH(double, drift);
    QFETCH(double, snrDb);
    QFETCH(double, fadeDb);
    QFETCH(double, carrierOffsetHz);
    QFETCH(double, fist);
    QFETCH(double, least);
    bench::CwSignal signal;
    signal.sampleRate = sampleRate;
    signal.toneHz = toneHz;
    signal.driftHzPerSecond = drift;
    signal.snrDb = snrDb;
    signal.fadeDb = fadeDb;
    signal.carrierOffsetHz = carrierOffsetHz;
    signal.fist = fist;
    const bench::CwAudio audio =
        bench::keyText(std::string_view(text.constData(), std::size_t(text.size())), signal);
    const receiver::Waterfall waterfall(audio.samples, sampleRate);
    const receiver::TonePath path = receiver::trackTone(waterfall);
    QCOMPARE(path.hz.size(), waterfall.frames());
    // Over the frames that lie within a key-down element, the share on the tone within a bin.
    int inside = 0;
    int onTone = 0;
    std::size_t e = 0;
    for (std::size_t t = 0; t < waterfall.frames(); ++t) {
        const double centre = waterfall.frameCentre(t);
        while (e < audio.elements.size() && audio.elements[e].end < centre)
            ++e;
        if (e == audio.elements.size() || centre < audio.elements[e].start)
            continue;
        ++inside;
        const double hz = toneHz + drift * centre;
        onTone += std::abs(path.hz[t] - hz) <= waterfall.binHz();
    }
    QVERIFY(inside > 100);
    const double share = double(onTone) / inside;
    QVERIFY2(share >= least, qPrintable(QStringLiteral("%1 of key-down frames on the tone").arg(share)));
}

QTEST_APPLESS_MAIN(TestToneTrack)
#include "tst_tonetrack.moc"
