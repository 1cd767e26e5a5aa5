// SPDX-License-Identifier: GPL-3.0-or-later
// The log decoded as it changes: records, the record bar, the panels, the chart and the status line.
#include "mainwindowfixture.h"

using namespace orvik;
using namespace orvik::testing;

class TestMainWindowLog : public QObject, protected MainWindowFixture {
    Q_OBJECT
private slots:
    void init() { start(); }
    void cleanup() { stop(); }

    void typingAddsRecordAtExactly120Characters();
    void pastingShowsFirstRecordAndChart();
    void lineFeedSeparatedPasteDecodesLineByLine();
    void positionKept();
    void positionMovedWritesBothLabelForms();
    void emptyLogRestartsAtFirstRecord_data();
    void emptyLogRestartsAtFirstRecord();
    void logBoxWrapsAtBlanks_data();
    void logBoxWrapsAtBlanks();
    void emptyLogKeepsChart();
    void selectionIsExclusiveAcrossPanels();
    void chartCaptionWithUnit_data();
    void chartCaptionWithUnit();
    void hundredRecordsGiveLegibleLabels();
    void chartValueAxis_data();
    void chartValueAxis();
    void chartBars_data();
    void chartBars();
    void navigationShowsRecord();
    void statusWords_data();
    void statusWords();
    void regionalDecimalSeparator();
};

void TestMainWindowLog::typingAddsRecordAtExactly120Characters()
{
    QPlainTextEdit* box = logBox();
    box->setFocus();
    const QString line = beacon(42);
    QTest::keyClicks(box, line.left(119));
    QCOMPARE(m_window->records().count(), 0);
    QCOMPARE(label2(), QStringLiteral("#1 / 0"));
    QTest::keyClick(box, line.at(119).toLatin1());
    QCOMPARE(m_window->records().count(), 1);
    QCOMPARE(label2(), QStringLiteral("#1 / 1"));
    QCOMPARE(value(0)->text(), QStringLiteral("42 => 0d 00:00:42"));
    QTest::keyClick(box, 'x');
    QCOMPARE(m_window->records().count(), 0);
    QCOMPARE(label2(), QStringLiteral("#1 / 0"));
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(m_window->records().count(), 1);
}

void TestMainWindowLog::pastingShowsFirstRecordAndChart()
{
    paste(log(3, 100));
    QCOMPARE(m_window->records().count(), 3);
    QCOMPARE(label2(), QStringLiteral("#1 / 3"));
    QCOMPARE(value(0)->text(), QStringLiteral("100 => 0d 00:01:40"));
    QCOMPARE(selectedChannels(), QList<int>{11});
    QVERIFY(highlighted(11));
    for (int i = 0; i < 31; ++i) {
        if (i != 11)
            QVERIFY2(!highlighted(i), qPrintable(QString::number(i)));
    }
    QCOMPARE(chart()->barCount(), 3);
    QCOMPARE(chartCaption(), QStringLiteral("Battery Volt*  [ V ]"));
    QCOMPARE(chart()->barValue(0), 160 * 0.0752884);
}

void TestMainWindowLog::lineFeedSeparatedPasteDecodesLineByLine()
{
    for (const QString& sep : {QStringLiteral("\n"), QStringLiteral("\r"), QStringLiteral("\r\n")}) {
        paste(log(4, 1, sep) + sep);
        QCOMPARE(m_window->records().count(), 4);
    }
}

void TestMainWindowLog::positionKept()
{
    paste(log(6, 1));
    bar()->setFocus();
    QTest::keyClick(bar(), Qt::Key_Right);
    QTest::keyClick(bar(), Qt::Key_Right);
    QCOMPARE(bar()->value(), 3);
    QCOMPARE(label2(), QStringLiteral("3/6"));
    paste(log(5, 500));
    QCOMPARE(label2(), QStringLiteral("#3 / 5"));
    QCOMPARE(bar()->value(), 3);
    QCOMPARE(value(0)->text(), QStringLiteral("502 => 0d 00:08:22"));
}

void TestMainWindowLog::positionMovedWritesBothLabelForms()
{
    paste(log(8, 1));
    bar()->setFocus();
    for (int i = 0; i < 6; ++i)
        QTest::keyClick(bar(), Qt::Key_Right);
    QCOMPARE(bar()->value(), 7);

    // What the label reads at the moment the lowered maximum moves the bar.
    QStringList seen;
    const auto probe = connect(bar(), &QScrollBar::valueChanged, this, [&] { seen << label2(); });
    paste(log(5, 300));
    disconnect(probe);

    QCOMPARE(seen, QStringList{QStringLiteral("#7 / 5")});
    QCOMPARE(label2(), QStringLiteral("5/5"));
    QCOMPARE(bar()->value(), 5);
    QCOMPARE(value(0)->text(), QStringLiteral("304 => 0d 00:05:04"));
}

void TestMainWindowLog::emptyLogRestartsAtFirstRecord_data()
{
    QTest::addColumn<int>("moves"); // to the right, before the log is cleared
    QTest::addColumn<QString>("cleared");
    QTest::addColumn<int>("pasted");
    QTest::addColumn<QString>("shown");
    QTest::addRow("from record 3") << 2 << "0/0" << 5 << "1/5";
    QTest::addRow("from the last record") << 4 << "0/0" << 2 << "1/2";
    QTest::addRow("from record 1, kept") << 0 << "#1 / 0" << 5 << "#1 / 5";
}

void TestMainWindowLog::emptyLogRestartsAtFirstRecord()
{
    QFETCH(int, moves);
    QFETCH(QString, cleared);
    QFETCH(int, pasted);
    QFETCH(QString, shown);
    paste(log(5, 1));
    bar()->setFocus();
    for (int i = 0; i < moves; ++i)
        QTest::keyClick(bar(), Qt::Key_Right);
    logBox()->setFocus();
    QTest::keyClick(logBox(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(logBox(), Qt::Key_Delete);
    QCOMPARE(label2(), cleared);

    paste(log(pasted, 50));
    QCOMPARE(label2(), shown);
    QCOMPARE(bar()->value(), 1);
    QCOMPARE(value(0)->text(), QStringLiteral("50 => 0d 00:00:50"));
    QCOMPARE(markedBars(), QList<int>{0});
}

void TestMainWindowLog::logBoxWrapsAtBlanks_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("atBlanks");
    QTest::addRow("reference line") << kReferenceLine << true;
    QTest::addRow("beacon with another time") << beacon(0xabcdef) << true;
    QTest::addRow("no blank to break at") << QString(300, u'7') << false;
}

void TestMainWindowLog::logBoxWrapsAtBlanks()
{
    QFETCH(QString, line);
    QFETCH(bool, atBlanks);
    paste(line);
    const QTextLayout* layout = logBox()->document()->firstBlock().layout();
    QTRY_VERIFY(layout->lineCount() > 1);
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine shown = layout->lineAt(i);
        QVERIFY(shown.naturalTextWidth() <= logBox()->viewport()->width());
        if (i > 0 && atBlanks)
            QCOMPARE(line.at(shown.textStart() - 1), u' ');
    }
}

void TestMainWindowLog::emptyLogKeepsChart()
{
    paste(log(3, 1));
    QTest::mouseClick(option(10), Qt::LeftButton, {}, QPoint(5, 6));
    QCOMPARE(chartCaption(), QStringLiteral("RSSI (orv2)  [ dB\u00B5 ]"));
    const double bar0 = chart()->barValue(0);

    logBox()->clear();
    QCOMPARE(label2(), QStringLiteral("#1 / 0"));
    QCOMPARE(m_window->records().count(), 0);
    QCOMPARE(chartCaption(), QStringLiteral("RSSI (orv2)  [ dB\u00B5 ]"));
    QCOMPARE(chart()->barCount(), 3);
    QCOMPARE(chart()->barValue(0), bar0);
    QCOMPARE(selectedChannels(), QList<int>{11});
    // Position 1 still shows row 1, which a parse never clears.
    QCOMPARE(value(0)->text(), QStringLiteral("1 => 0d 00:00:01"));
}

void TestMainWindowLog::selectionIsExclusiveAcrossPanels()
{
    QTest::mouseClick(option(14), Qt::LeftButton, {}, QPoint(5, 6)); // Power
    QCOMPARE(selectedChannels(), QList<int>{14});
    QTest::mouseClick(option(20), Qt::LeftButton, {}, QPoint(5, 6)); // Temperatures
    QCOMPARE(selectedChannels(), QList<int>{20});
    QVERIFY(highlighted(20));
    QVERIFY(!highlighted(14));
    // No records yet: the chart keeps its empty caption.
    QCOMPARE(chartCaption(), QString());

    QTest::keyClicks(logBox(), QStringLiteral("x"));
    QCOMPARE(selectedChannels(), QList<int>{11});
    QVERIFY(highlighted(11));
    QVERIFY(!highlighted(20));
}

void TestMainWindowLog::chartCaptionWithUnit_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<double>("firstBar");
    QTest::addRow("rssi") << 10 << QStringLiteral("RSSI (orv2)  [ dB\u00B5 ]") << 128 * 4.8011718 / 255;
    QTest::addRow("time without unit") << 0 << QStringLiteral("OBC Time  [  ]") << 1.0;
    QTest::addRow("cw duty plots raw value") << 5 << QStringLiteral("CW Duty  [ C ]") << 1.0;
    QTest::addRow("start cause plots 64") << 6 << QStringLiteral("Start Cause  [ C ]") << 64.0;
}

void TestMainWindowLog::chartCaptionWithUnit()
{
    QFETCH(int, channel);
    QFETCH(QString, caption);
    QFETCH(double, firstBar);
    paste(log(2, 1));
    QTest::mouseClick(option(channel), Qt::LeftButton, {}, QPoint(5, 6));
    QCOMPARE(chartCaption(), caption);
    QCOMPARE(chart()->barCount(), 2);
    QCOMPARE(chart()->barValue(0), firstBar);
}

void TestMainWindowLog::hundredRecordsGiveLegibleLabels()
{
    paste(log(101, 1));
    QCOMPARE(m_window->records().count(), 100);
    QCOMPARE(chart()->barCount(), 100);
    const auto labels = chart()->shownRowLabels();
    QVERIFY(labels.size() >= 5);
    QVERIFY(labels.size() < 100);
    QCOMPARE(labels.last().second, QStringLiteral("100"));
    const QFontMetrics fm(chart()->font());
    const double perBar = chart()->chart()->plotArea().width() / 100.0;
    for (qsizetype i = 0; i < labels.size(); ++i) {
        QCOMPARE(labels[i].second, QString::number(labels[i].first + 1));
        if (i > 0)
            QVERIFY(double(labels[i].first - labels[i - 1].first) * perBar >=
                    fm.horizontalAdvance(QStringLiteral("100")));
    }
    paste(log(1, 1));
    QCOMPARE(chart()->barCount(), 1);
    QCOMPARE(chart()->shownRowLabels().value(0).second, QStringLiteral("1"));
}

void TestMainWindowLog::chartValueAxis_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("rssi"); // the raw byte of RSSI (orv2)
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QStringList>("labels"); // bottom to top, "." for the user's separator
    // clang-format off
    QTest::addRow("time in whole numbers")          << 0  << "80" << ""
                                                    << QStringList{"0", "50000", "100000", "150000", "200000"};
    QTest::addRow("counter ticks at whole numbers") << 4  << "80" << "C" << QStringList{"0", "1"};
    QTest::addRow("status word")                    << 6  << "80" << "C" << QStringList{"0", "20", "40", "60", "80"};
    QTest::addRow("volts")                          << 11 << "80" << "V" << QStringList{"0", "5", "10", "15"};
    QTest::addRow("fractions")                      << 10 << "20" << "dB\u00B5"
                                                    << QStringList{"0.0", "0.2", "0.4", "0.6", "0.8"};
    QTest::addRow("below zero")                     << 20 << "80" << "C"
                                                    << QStringList{"-0.8", "-0.6", "-0.4", "-0.2", "0.0"};
    // clang-format on
}

void TestMainWindowLog::chartValueAxis()
{
    QFETCH(int, channel);
    QFETCH(QString, rssi);
    QFETCH(QString, unit);
    QFETCH(QStringList, labels);
    paste(beacon(150000).replace(23, 2, rssi) + QStringLiteral("\r\n") + beacon(150001).replace(23, 2, rssi));
    QTest::mouseClick(option(channel), Qt::LeftButton, {}, QPoint(5, 6));
    labels.replaceInStrings(QStringLiteral("."), QLocale::system().decimalPoint());
    QTRY_COMPARE(chart()->shownValueLabels(), labels);
    QCOMPARE(chart()->chart()->axes(Qt::Vertical).first()->titleText(), unit);
}

void TestMainWindowLog::chartBars_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("row");       // the bar hovered over and clicked
    QTest::addColumn<QString>("hover"); // "." for the user's separator
    QTest::addRow("volts") << 11 << 3 << "record 4: 12.05 V";
    QTest::addRow("rssi") << 10 << 4 << "record 5: 2.41 dB\u00B5";
    QTest::addRow("time without unit") << 0 << 1 << "record 2: 101";
    QTest::addRow("counter") << 1 << 2 << "record 3: 5 C";
}

void TestMainWindowLog::chartBars()
{
    QFETCH(int, channel);
    QFETCH(int, row);
    QFETCH(QString, hover);
    paste(log(5, 100));
    QTest::mouseClick(option(channel), Qt::LeftButton, {}, QPoint(5, 6));
    QCOMPARE(markedBars(), QList<int>{0});

    QTest::mouseMove(chart()->viewport(), barCentre(row));
    QCOMPARE(QToolTip::text(), hover.replace(u'.', QLocale::system().decimalPoint()));
    QTest::mouseClick(chart()->viewport(), Qt::LeftButton, {}, barCentre(row));
    QCOMPARE(label2(), QStringLiteral("%1/5").arg(row + 1));
    QCOMPARE(value(0)->text().section(u' ', 0, 0), QString::number(100 + row));
    QCOMPARE(markedBars(), QList<int>{row});

    // The mark follows the scroll bar and every edit.
    bar()->setFocus();
    QTest::keyClick(bar(), Qt::Key_Home);
    QCOMPARE(markedBars(), QList<int>{0});
    QTest::keyClick(bar(), Qt::Key_End);
    QCOMPARE(markedBars(), QList<int>{4});
    paste(log(3, 100));
    QCOMPARE(label2(), QStringLiteral("3/3"));
    QCOMPARE(markedBars(), QList<int>{2});

    QTest::mouseMove(chart()->viewport(), QPoint(1, 1));
    QTRY_VERIFY(!QToolTip::isVisible());
}

void TestMainWindowLog::navigationShowsRecord()
{
    paste(log(7, 10));
    bar()->setFocus();
    QTest::keyClick(bar(), Qt::Key_End);
    QCOMPARE(label2(), QStringLiteral("7/7"));
    QCOMPARE(value(0)->text(), QStringLiteral("16 => 0d 00:00:16"));
    QTest::keyClick(bar(), Qt::Key_Left);
    QCOMPARE(label2(), QStringLiteral("6/7"));
    QCOMPARE(value(0)->text(), QStringLiteral("15 => 0d 00:00:15"));
    QTest::keyClick(bar(), Qt::Key_Home);
    QCOMPARE(label2(), QStringLiteral("1/7"));
    QCOMPARE(chart()->barCount(), 7);
}

void TestMainWindowLog::statusWords_data()
{
    QTest::addColumn<QString>("byte18");
    QTest::addColumn<QString>("byte20");
    QTest::addColumn<QString>("byte22");
    QTest::addColumn<QStringList>("texts"); // channels 1 to 9
    // clang-format off
    QTest::addRow("reference")    << "e5" << "5a" << "00"
        << QStringList{"5", "7", "2", "DEPLOYED", "SMALLER", "TIMER", "QUICK", "ALIVE", "WAITING"};
    QTest::addRow("all set")      << "ff" << "ff" << "01"
        << QStringList{"31", "7", "7", "DEPLOYED", "LARGER", "TIMER", "STOP", "?", "?"};
    QTest::addRow("all clear")    << "00" << "00" << "00"
        << QStringList{"0", "0", "0", "UNDEPLOYED", "NORMAL", "NORMAL", "QUICK", "ALIVE", "WAITING"};
    QTest::addRow("duty default") << "00" << "20" << "80"
        << QStringList{"0", "0", "0", "UNDEPLOYED", "DEFAULT", "NORMAL", "QUICK", "?", "?"};
    // clang-format on
}

void TestMainWindowLog::statusWords()
{
    QFETCH(QString, byte18);
    QFETCH(QString, byte20);
    QFETCH(QString, byte22);
    QFETCH(QStringList, texts);
    QString line = kReferenceLine;
    line.replace(17, 2, byte18).replace(19, 2, byte20).replace(21, 2, byte22);
    paste(line);
    QCOMPARE(m_window->records().count(), 1);
    for (int i = 1; i <= 9; ++i)
        QCOMPARE(value(i)->text(), texts.at(i - 1));
}

void TestMainWindowLog::regionalDecimalSeparator()
{
    const QString dp = qEnvironmentVariable("ORVIK_EXPECT_DECIMAL", QStringLiteral("."));
    QCOMPARE(QLocale::system().decimalPoint(), dp);
    paste(kReferenceLine);
    QCOMPARE(value(0)->text(), QStringLiteral("123456 => 1d 10:17:36"));
    QCOMPARE(value(10)->text(), QStringLiteral("2") + dp + QStringLiteral("41"));
    QCOMPARE(value(11)->text(), QStringLiteral("12") + dp + QStringLiteral("05"));
    QCOMPARE(value(13)->text(), QStringLiteral("13") + dp + QStringLiteral("90"));
    QCOMPARE(value(20)->text(), QStringLiteral("-0") + dp + QStringLiteral("76"));
    QCOMPARE(value(27)->text(), QStringLiteral("2") + dp + QStringLiteral("26"));
}

QTEST_MAIN(TestMainWindowLog)
#include "tst_mainwindowlog.moc"
