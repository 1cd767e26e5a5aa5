// SPDX-License-Identifier: GPL-3.0-or-later
// The receiver reads the keying's speed from the envelope along the tone it follows.
#include "bench/cwaudio.h"
#include "receiver/envelope.h"
#include "receiver/morse.h"
#include "support/referenceline.h"

#include <QTest>
#include <cmath>

using namespace orvik;

class TestEnvelope : public QObject {
    Q_OBJECT
private slots:
    void readsTheSpeed_data();
    void readsTheSpeed();
};

void TestEnvelope::readsTheSpeed_data()
{
    QTest::addColumn<double>("wpm");
    QTest::addColumn<double>("fist");
    QTest::addColumn<double>("snrDb");
    QTest::addColumn<double>("drift");  // Hz a second
    QTest::addColumn<double>("within"); // of the unit's length, as a share

    QTest::addRow("12 WPM") << 12.0 << 0.0 << 5.0 << 0.0 << 0.05;
    QTest::addRow("20 WPM") << 20.0 << 0.0 << 5.0 << 0.0 << 0.05;
    QTest::addRow("25 WPM, drifting") << 25.0 << 0.0 << 5.0 << 10.0 << 0.05;
    QTest::addRow("40 WPM") << 40.0 << 0.0 << 5.0 << 0.0 << 0.08;
    QTest::addRow("5 WPM") << 5.0 << 0.0 << 5.0 << 0.0 << 0.05;
    QTest::addRow("20 WPM, -4 dB") << 20.0 << 0.0 << -4.0 << 0.0 << 0.05;
    QTest::addRow("20 WPM, -6 dB") << 20.0 << 0.0 << -6.0 << 0.0 << 0.05;
    QTest::addRow("20 WPM, a ragged fist") << 20.0 << 0.15 << 5.0 << 0.0 << 0.1;
}

void TestEnvelope::readsTheSpeed()
{
    QFETCH(double, wpm);
    QFETCH(double, fist);
    QFETCH(double, snrDb);
    QFETCH(double, drift);
    QFETCH(double, within);
    bench::CwSignal signal;
    signal.wpm = wpm;
    signal.fist = fist;
    signal.snrDb = snrDb;
    signal.driftHzPerSecond = drift;
    // At slow speeds half a line is a long recording: the first frames are enough.
    const std::string_view text =
        std::string_view(testsupport::kReferenceText).substr(0, wpm < 10 ? 40 : 120);
    const bench::CwAudio audio = bench::keyText(text, signal);
    const receiver::Waterfall waterfall(audio.samples, signal.sampleRate);
    const receiver::TonePath tone = receiver::trackTone(waterfall);
    const receiver::Envelope envelope =
        receiver::envelopeAlong(audio.samples, signal.sampleRate, waterfall, tone);
    const double unit = receiver::unitSeconds(envelope);
    const double truth = morse::unitSeconds(wpm);
    QVERIFY2(std::abs(unit - truth) <= within * truth,
             qPrintable(QStringLiteral("a unit of %1 ms, sent %2 ms").arg(unit * 1000).arg(truth * 1000)));
}

QTEST_APPLESS_MAIN(TestEnvelope)
#include "tst_envelope.moc"
