// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/services.h"
#include "ui/channelchart.h"
#include "ui/mainwindow.h"
#include "widgets/messagebox.h"

#include <QAbstractAxis>
#include <QAction>
#include <QApplication>
#include <QChart>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolTip>
#include <memory>

using namespace orvik;

namespace {

const QString kReferenceLine = QStringLiteral("orv1 01e240 orv2 e55a0080 orv3 a0c880 orv4 0a141e28323c orv5 "
                                              "6e6f70717273 orv6 7480ff6e400000000000000000000000000000000");

// The reference line with another on-board time, so that records can be told apart.
QString beacon(int obcTime)
{
    QString line = kReferenceLine;
    line.replace(5, 6, QStringLiteral("%1").arg(obcTime, 6, 16, QLatin1Char('0')));
    return line;
}

QString log(int lines, int firstTime = 1, const QString& separator = QStringLiteral("\r\n"))
{
    QStringList out;
    for (int i = 0; i < lines; ++i)
        out << beacon(firstTime + i);
    return out.join(separator);
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void startupState();
    void channelRows_data();
    void channelRows();
    void offWindowUnitLabels();
    void accessibleNames_data();
    void accessibleNames();
    void tabOrderStartsAtTimeValue();
    void confIni_data();
    void confIni();

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

    void csvExport();
    void csvExportFailureReportsAndWritesNothing();
    void screenshotWritesBitmapAndStartsConverter();
    void screenshotWithoutConverterShowsMessage();
    void screenshotUnwritableReportsAndShowsButton();
    void canvasFollowsClientArea();
    void aboutBoxIsSingleAndOutlivesExit();

private:
    template <typename T> T* child(const QString& name) const
    {
        T* w = m_window->findChild<T*>(name);
        if (!w)
            qFatal("no child %s", qPrintable(name));
        return w;
    }
    QLineEdit* value(int channel) const { return child<QLineEdit>(QStringLiteral("Text1_%1").arg(channel)); }
    QRadioButton* option(int channel) const
    {
        return child<QRadioButton>(QStringLiteral("Option1_%1").arg(channel));
    }
    QPlainTextEdit* logBox() const { return child<QPlainTextEdit>(QStringLiteral("Text2")); }
    QWidget* client() const { return child<QWidget>(QStringLiteral("ClientArea")); }
    QScrollBar* bar() const { return child<QScrollBar>(QStringLiteral("HScroll1")); }
    QString label2() const { return child<QLabel>(QStringLiteral("Label2"))->text(); }
    QString label3() const { return child<QLabel>(QStringLiteral("Label3"))->text(); }
    ChannelChart* chart() const { return child<ChannelChart>(QStringLiteral("MSChart1")); }
    QString chartCaption() const { return child<QGroupBox>(QStringLiteral("Frame8"))->title(); }
    QList<int> selectedChannels() const
    {
        QList<int> out;
        for (int i = 0; i < 31; ++i) {
            if (option(i)->isChecked())
                out << i;
        }
        return out;
    }
    // The middle of a bar, in the chart's viewport.
    QPoint barCentre(int row) const
    {
        QChart* c = chart()->chart();
        const QPointF at = c->mapToPosition(QPointF(row, chart()->barValue(row) / 2), c->series().first());
        return chart()->mapFromScene(c->mapToScene(at));
    }
    // The bars drawn in the highlight colour.
    QList<int> markedBars() const
    {
        const QImage shown = chart()->viewport()->grab().toImage();
        QList<int> out;
        for (int row = 0; row < chart()->barCount(); ++row) {
            if (shown.pixelColor(barCentre(row)) == chart()->palette().color(QPalette::Highlight))
                out << row;
        }
        return out;
    }
    bool highlighted(int channel) const
    {
        return value(channel)->palette().color(QPalette::Base) == QColor(255, 255, 192);
    }
    void makeWindow(const QString& conf = QString());
    void paste(const QString& text);

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<MainWindow> m_window;
};

void TestMainWindow::init()
{
    // A blank in the folder name proves that paths are never split.
    m_folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/orvik test XXXXXX"));
    QVERIFY(m_folder->isValid());
    makeWindow();
}

void TestMainWindow::cleanup()
{
    setMessageBoxHandler({});
    m_window.reset();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == u"Form2")
            delete w;
    }
}

void TestMainWindow::makeWindow(const QString& conf)
{
    m_window.reset();
    if (!conf.isNull()) {
        QFile file(m_folder->filePath(QStringLiteral("conf.ini")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(conf.toUtf8());
    }
    m_window = std::make_unique<MainWindow>(m_folder->path());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestMainWindow::paste(const QString& text)
{
    QPlainTextEdit* box = logBox();
    box->setFocus();
    box->selectAll();
    box->insertPlainText(text);
}

void TestMainWindow::startupState()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Orvik CW Telemetry Decoder [Brannt]"));
    QCOMPARE(client()->size(), QSize(665, 705));
    QCOMPARE(option(0)->text(), QStringLiteral("OBC Time"));
    QCOMPARE(option(8)->text(), QStringLiteral("OBC Survial"));
    QCOMPARE(option(10)->text(), QStringLiteral("RSSI (orv2)"));
    QCOMPARE(option(30)->text(), QStringLiteral("RSSI (orv6)"));
    QCOMPARE(value(0)->text(), QString());
    for (int i = 1; i < 31; ++i)
        QCOMPARE(value(i)->text(), QStringLiteral("invalid"));
    QVERIFY(selectedChannels().isEmpty());
    QCOMPARE(label2(), QString());
    QCOMPARE(label3(), QString());
    QCOMPARE(chartCaption(), QString());
    QCOMPARE(bar()->value(), 1);
    QCOMPARE(bar()->minimum(), 1);
    QCOMPARE(bar()->maximum(), 1);
    QVERIFY(child<QPushButton>(QStringLiteral("Command1"))->isVisible());
    QCOMPARE(m_window->imagePath(), m_folder->path() + QDir::separator());
}

void TestMainWindow::channelRows_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<int>("top");   // pixels
    QTest::addColumn<int>("width"); // of the value box, pixels
    QTest::addRow("time") << 0 << "Frame6" << 16 << 273;
    QTest::addRow("charge status first in Status") << 7 << "Frame1" << 24 << 81;
    QTest::addRow("antenna last in Status") << 4 << "Frame1" << 152 << 81;
    QTest::addRow("rssi orv2") << 10 << "Frame4" << 24 << 49;
    QTest::addRow("rssi orv6") << 30 << "Frame4" << 40 << 49;
    QTest::addRow("battery volt*") << 11 << "Frame2" << 136 << 49;
    QTest::addRow("solararray volt") << 28 << "Frame2" << 184 << 49;
    QTest::addRow("solarcurr +x") << 14 << "Frame2" << 24 << 49;
    QTest::addRow("battery temp*") << 13 << "Frame3" << 136 << 49;
    QTest::addRow("fm tx temp") << 26 << "Frame3" << 168 << 49;
    QTest::addRow("paneltemp -z") << 25 << "Frame3" << 104 << 49;
}

void TestMainWindow::channelRows()
{
    QFETCH(int, channel);
    QFETCH(QString, panel);
    QFETCH(int, top);
    QFETCH(int, width);
    QCOMPARE(option(channel)->parentWidget()->objectName(), panel);
    QCOMPARE(value(channel)->parentWidget()->objectName(), panel);
    QCOMPARE(option(channel)->geometry(), QRect(8, top, 97, 13));
    QCOMPARE(value(channel)->geometry(), QRect(112, top, width, 19));
    // Every caption fits beside its button.
    QStyleOptionButton opt;
    opt.initFrom(option(channel));
    const int mark =
        option(channel)->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, &opt, option(channel)) +
        option(channel)->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, &opt, option(channel));
    for (int i = 0; i < 31; ++i) {
        const QFontMetrics fm(option(i)->font());
        QVERIFY2(mark + fm.horizontalAdvance(option(i)->text()) <= option(i)->width(),
                 qPrintable(option(i)->text()));
    }
}

void TestMainWindow::offWindowUnitLabels()
{
    const QRect area = client()->rect();
    for (int i = 1; i <= 9; ++i) {
        auto* label = child<QLabel>(QStringLiteral("Label1_%1").arg(i));
        QCOMPARE(label->parentWidget(), client());
        QCOMPARE(label->text(), i == 9 ? QString() : QStringLiteral("C"));
        QVERIFY(!area.intersects(label->geometry()));
        QCOMPARE(label->geometry().top(), 272 + (i - 1) * 17);
    }
    QCOMPARE(child<QLabel>(QStringLiteral("Label1_10"))->text(), QStringLiteral("dB\u00B5"));
    QVERIFY(area.contains(child<QLabel>(QStringLiteral("Label1_10"))->mapTo(client(), QPoint(0, 0))));
}

void TestMainWindow::accessibleNames_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("name");
    QTest::addRow("time") << 0 << "OBC Time";
    QTest::addRow("battery") << 11 << "Battery Volt* V";
    QTest::addRow("rssi") << 10 << "RSSI (orv2) dB\u00B5";
    QTest::addRow("tnc without unit") << 9 << "TNC Survival";
    QTest::addRow("counter") << 1 << "Uplink Counter C";
}

void TestMainWindow::accessibleNames()
{
    QFETCH(int, channel);
    QFETCH(QString, name);
    QCOMPARE(value(channel)->accessibleName(), name);
}

void TestMainWindow::tabOrderStartsAtTimeValue()
{
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTRY_COMPARE(QApplication::focusWidget(), value(0));
    QStringList visited;
    for (int i = 0; i < 7; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    // Option buttons without a selection in their panel take the focus one by one.
    QCOMPARE(visited.mid(0, 5), (QStringList{"Option1_0", "MSChart1", "HScroll1", "Text2", "Command1"}));
    QVERIFY(visited.at(5) == u"Option1_7");
}

void TestMainWindow::confIni_data()
{
    QTest::addColumn<QString>("conf");
    QTest::addColumn<QString>("imagePath"); // "@" stands for the default
    QTest::addColumn<bool>("button");
    QTest::addRow("absent") << QString() << "@" << true;
    QTest::addRow("empty") << ""
                           << "@" << true;
    QTest::addRow("path keeps case, no separator added") << "image_path = /Data/Shots"
                                                         << "/Data/Shots" << true;
    QTest::addRow("screenshot no") << "SCREENSHOT=no"
                                   << "@" << false;
    QTest::addRow("screenshot yes any case") << "# c\r\n\r\nScreenshot= yEs "
                                             << "@" << true;
    QTest::addRow("later lines win, LF ends")
        << "SCREENSHOT=NO\nIMAGE_PATH=/a/\nIMAGE_PATH=/b/\nSCREENSHOT=yes\n"
        << "/b/" << true;
    QTest::addRow("binary junk") << QString::fromLatin1("\x01\x02\xff=\x00\x7f", 6) << "@" << true;
}

void TestMainWindow::confIni()
{
    QFETCH(QString, conf);
    QFETCH(QString, imagePath);
    QFETCH(bool, button);
    bool boxShown = false;
    setMessageBoxHandler(
        [&](QWidget*, const QString&, const QString&, QMessageBox::Icon) { boxShown = true; });
    makeWindow(conf);
    QCOMPARE(m_window->imagePath(), imagePath == u"@" ? m_folder->path() + QDir::separator() : imagePath);
    QCOMPARE(child<QPushButton>(QStringLiteral("Command1"))->isVisible(), button);
    QVERIFY(!boxShown);
    QCOMPARE(option(0)->text(), QStringLiteral("OBC Time"));
}

void TestMainWindow::typingAddsRecordAtExactly120Characters()
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

void TestMainWindow::pastingShowsFirstRecordAndChart()
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

void TestMainWindow::lineFeedSeparatedPasteDecodesLineByLine()
{
    for (const QString& sep : {QStringLiteral("\n"), QStringLiteral("\r"), QStringLiteral("\r\n")}) {
        paste(log(4, 1, sep) + sep);
        QCOMPARE(m_window->records().count(), 4);
    }
}

void TestMainWindow::positionKept()
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

void TestMainWindow::positionMovedWritesBothLabelForms()
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

void TestMainWindow::emptyLogRestartsAtFirstRecord_data()
{
    QTest::addColumn<int>("moves"); // to the right, before the log is cleared
    QTest::addColumn<QString>("cleared");
    QTest::addColumn<int>("pasted");
    QTest::addColumn<QString>("shown");
    QTest::addRow("from record 3") << 2 << "0/0" << 5 << "1/5";
    QTest::addRow("from the last record") << 4 << "0/0" << 2 << "1/2";
    QTest::addRow("from record 1, kept") << 0 << "#1 / 0" << 5 << "#1 / 5";
}

void TestMainWindow::emptyLogRestartsAtFirstRecord()
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

void TestMainWindow::logBoxWrapsAtBlanks_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("atBlanks");
    QTest::addRow("reference line") << kReferenceLine << true;
    QTest::addRow("beacon with another time") << beacon(0xabcdef) << true;
    QTest::addRow("no blank to break at") << QString(300, u'7') << false;
}

void TestMainWindow::logBoxWrapsAtBlanks()
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

void TestMainWindow::emptyLogKeepsChart()
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

void TestMainWindow::selectionIsExclusiveAcrossPanels()
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

void TestMainWindow::chartCaptionWithUnit_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<double>("firstBar");
    QTest::addRow("rssi") << 10 << QStringLiteral("RSSI (orv2)  [ dB\u00B5 ]") << 128 * 4.8011718 / 255;
    QTest::addRow("time without unit") << 0 << QStringLiteral("OBC Time  [  ]") << 1.0;
    QTest::addRow("cw duty plots raw value") << 5 << QStringLiteral("CW Duty  [ C ]") << 1.0;
    QTest::addRow("start cause plots 64") << 6 << QStringLiteral("Start Cause  [ C ]") << 64.0;
}

void TestMainWindow::chartCaptionWithUnit()
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

void TestMainWindow::hundredRecordsGiveLegibleLabels()
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

void TestMainWindow::chartValueAxis_data()
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

void TestMainWindow::chartValueAxis()
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

void TestMainWindow::chartBars_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("row");       // the bar hovered over and clicked
    QTest::addColumn<QString>("hover"); // "." for the user's separator
    QTest::addRow("volts") << 11 << 3 << "record 4: 12.05 V";
    QTest::addRow("rssi") << 10 << 4 << "record 5: 2.41 dB\u00B5";
    QTest::addRow("time without unit") << 0 << 1 << "record 2: 101";
    QTest::addRow("counter") << 1 << 2 << "record 3: 5 C";
}

void TestMainWindow::chartBars()
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

void TestMainWindow::navigationShowsRecord()
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

void TestMainWindow::statusWords_data()
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

void TestMainWindow::statusWords()
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

void TestMainWindow::regionalDecimalSeparator()
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

void TestMainWindow::csvExport()
{
    paste(log(2, 7) + QStringLiteral("\r\nnot a beacon"));
    child<QAction>(QStringLiteral("WriteCSVFile"))->trigger();
    const QString path = m_folder->path() + QDir::separator() + QStringLiteral("orvik_telemetry.csv");
    QCOMPARE(label3(), path + QStringLiteral(" has been written"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 4); // header, two records, and the empty rest after the last CR LF
    QVERIFY(lines[0].startsWith("OBC Time;Uplink Counter;Camera Counter;"));
    QVERIFY(lines[0].endsWith("RSSI (orv6);\r"));
    const QString dp = QLocale::system().decimalPoint();
    QVERIFY(lines[1].startsWith("7;5;7;2;1;1;64;0;0;0;"));
    QVERIFY(QString::fromLatin1(lines[1]).contains(QStringLiteral(";12") + dp + QStringLiteral("046144;")));
    QVERIFY(lines[2].startsWith("8;5;7;"));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(lines[i].count(';'), 31);
    QCOMPARE(lines[3], QByteArray());
}

void TestMainWindow::csvExportFailureReportsAndWritesNothing()
{
    paste(log(2, 7));
    // A folder that is gone: the export cannot be written, and says so.
    const QString gone = m_folder->filePath(QStringLiteral("gone"));
    m_window = std::make_unique<MainWindow>(gone);
    paste(log(2, 7));
    child<QAction>(QStringLiteral("WriteCSVFile"))->trigger();
    const QString path =
        QDir::toNativeSeparators(gone) + QDir::separator() + QStringLiteral("orvik_telemetry.csv");
    QVERIFY2(label3().startsWith(path + QStringLiteral(" could not be written: ")), qPrintable(label3()));
    QVERIFY(!label3().contains(QStringLiteral("has been written")));
    QVERIFY(!QFile::exists(path));
    // The window goes on working.
    paste(log(3, 1));
    QCOMPARE(m_window->records().count(), 3);
}

void TestMainWindow::screenshotWritesBitmapAndStartsConverter()
{
    // A stand-in converter on the search path records the arguments it was given.
    QTemporaryDir bin;
    const QString argsFile = bin.filePath(QStringLiteral("args"));
    QFile script(bin.filePath(QStringLiteral("nconvert")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '%1'\n")
                     .arg(argsFile)
                     .toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", bin.path().toUtf8() + ':' + oldPath);
    bool boxShown = false;
    setMessageBoxHandler(
        [&](QWidget*, const QString&, const QString&, QMessageBox::Icon) { boxShown = true; });

    paste(log(3, 1));
    auto* button = child<QPushButton>(QStringLiteral("Command1"));
    QTest::mouseClick(button, Qt::LeftButton);
    qputenv("PATH", oldPath);

    const QString path = m_folder->path() + QDir::separator() + QStringLiteral("orv_") +
                         QDate::currentDate().toString(QStringLiteral("ddMMyyyy")) + QStringLiteral(".bmp");
    QCOMPARE(label3(), path + QStringLiteral(" saved"));
    QVERIFY(button->isVisible());
    QVERIFY(!boxShown);

    QImage shot(path, "BMP");
    QVERIFY(!shot.isNull());
    QCOMPARE(shot.size(), QSize(665, 705));
    // Where the button stands the picture holds only the window background.
    const QRect where = button->geometry();
    for (int y = where.top() + 2; y < where.bottom() - 1; y += 3) {
        for (int x = where.left() + 2; x < where.right() - 1; x += 3)
            QCOMPARE(shot.pixelColor(x, y), QColor(240, 240, 240));
    }
    // The panels are in it: the highlighted battery value box is pale yellow inside.
    const QPoint inBox = value(11)->mapTo(client(), QPoint(value(11)->width() - 4, 4));
    QCOMPARE(shot.pixelColor(inBox), QColor(255, 255, 192));

    QTRY_VERIFY(QFile::exists(argsFile));
    QFile args(argsFile);
    QVERIFY(args.open(QIODevice::ReadOnly));
    QTRY_VERIFY(args.size() > 0 || (args.close(), args.open(QIODevice::ReadOnly), args.size() > 0));
    const QStringList got = QString::fromUtf8(args.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(got, (QStringList{"-out", "png", "-transpcolor", "240", "240", "240", "-colors", "256", "-crop",
                               "1", "116", "660", "560", "-quiet", "-D", path}));

    // A second capture of the run goes to the same name.
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(label3(), path + QStringLiteral(" saved"));
}

void TestMainWindow::screenshotWithoutConverterShowsMessage()
{
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", m_folder->path().toUtf8());
    QStringList shown;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    setMessageBoxHandler([&](QWidget*, const QString& text, const QString& title, QMessageBox::Icon i) {
        shown << text << title;
        icon = i;
    });
    QTest::mouseClick(child<QPushButton>(QStringLiteral("Command1")), Qt::LeftButton);
    qputenv("PATH", oldPath);
    QCOMPARE(shown, (QStringList{"nconvert.exe not found", "Error"}));
    QCOMPARE(icon, QMessageBox::Information);
    QVERIFY(label3().endsWith(QStringLiteral(".bmp saved")));
}

void TestMainWindow::screenshotUnwritableReportsAndShowsButton()
{
    const QString missing = m_folder->filePath(QStringLiteral("no such folder/"));
    makeWindow(QStringLiteral("IMAGE_PATH=%1\r\n").arg(missing));
    bool boxShown = false;
    setMessageBoxHandler(
        [&](QWidget*, const QString&, const QString&, QMessageBox::Icon) { boxShown = true; });
    auto* button = child<QPushButton>(QStringLiteral("Command1"));
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY2(label3().startsWith(missing + QStringLiteral("orv_")), qPrintable(label3()));
    QVERIFY(label3().contains(QStringLiteral(" could not be written: ")));
    QVERIFY(button->isVisible());
    QVERIFY(!boxShown); // the converter was never asked for
}

void TestMainWindow::canvasFollowsClientArea()
{
    auto* canvas = child<QWidget>(QStringLiteral("Picture2"));
    QVERIFY(!canvas->isVisible());
    QCOMPARE(canvas->geometry(), QRect(QPoint(0, 0), client()->size()));
    m_window->showMinimized();
    m_window->showNormal();
    QVERIFY(!canvas->isVisible());
    QCOMPARE(canvas->geometry(), QRect(QPoint(0, 0), client()->size()));
}

void TestMainWindow::aboutBoxIsSingleAndOutlivesExit()
{
    auto aboutBoxes = [] {
        QList<QWidget*> out;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == u"Form2" && w->isVisible())
                out << w;
        }
        return out;
    };
    QAction* info = child<QAction>(QStringLiteral("MnuInfo"));
    info->trigger();
    info->trigger();
    QCOMPARE(aboutBoxes().size(), 1);
    QWidget* box = aboutBoxes().first();
    QCOMPARE(box->windowTitle(), QStringLiteral(" Info"));
    QVERIFY(box->parentWidget() == nullptr);
    auto* version = box->findChild<QLabel*>(QStringLiteral("Label2"));
    QCOMPARE(version->text(), QStringLiteral("Version Ver. 2.0    (05 February 2014)"));
    QCOMPARE(version->alignment(), Qt::AlignCenter);

    child<QAction>(QStringLiteral("MnuExit"))->trigger();
    QVERIFY(!m_window->isVisible());
    QCOMPARE(aboutBoxes().size(), 1);
    box->close();
    QTRY_COMPARE(aboutBoxes().size(), 0);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
