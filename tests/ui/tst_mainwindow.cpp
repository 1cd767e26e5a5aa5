// SPDX-License-Identifier: GPL-3.0-or-later
// The window as it starts: its controls where the layout puts them, their names, the focus order and
// conf.ini.
#include "mainwindowfixture.h"

#include <QLocale>
#include <QToolTip>
#include <cmath>

using namespace orvik;
using namespace orvik::testing;

class TestMainWindow : public QObject, protected MainWindowFixture {
    Q_OBJECT
private slots:
    void init() { start(); }
    void cleanup() { stop(); }

    void startupState();
    void channelRows_data();
    void channelRows();
    void offWindowUnitLabels();
    void accessibleNames_data();
    void accessibleNames();
    void tabOrderStartsAtTimeValue();
    void doubtfulBarsStandOut_data();
    void doubtfulBarsStandOut();
    void confIni_data();
    void confIni();
};

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

void TestMainWindow::doubtfulBarsStandOut_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("position"); // of the field spoilt in record 2, from 1
    QTest::addColumn<QString>("text");
    QTest::addRow("battery temperature of zz") << 13 << 36 << "zz";
    QTest::addRow("a counter heard as a dash") << 1 << 18 << "-1";
    QTest::addRow("a time with a letter") << 0 << 6 << "01e24o";
}

// A value read from a field that is not all hex digits is marked, and does not set the scale.
void TestMainWindow::doubtfulBarsStandOut()
{
    QFETCH(int, channel);
    QFETCH(int, position);
    QFETCH(QString, text);
    const QString spoilt = QString(beacon(102)).replace(position - 1, text.size(), text);
    paste(beacon(101) + QStringLiteral("\r\n") + spoilt + QStringLiteral("\r\n") + beacon(103));
    QTest::mouseClick(option(channel), Qt::LeftButton, {}, QPoint(5, 6));
    QCOMPARE(chart()->barCount(), 3);
    const double certain = std::max(std::abs(chart()->barValue(0)), std::abs(chart()->barValue(2)));
    const double doubtful = std::abs(chart()->barValue(1));
    const QStringList labels = chart()->shownValueLabels();
    double reach = 0;
    for (QString label : labels)
        reach = std::max(reach, std::abs(QLocale::system().toDouble(label)));
    // The scale reaches the certain values, not a doubtful one far beyond them.
    QVERIFY2(reach >= certain, qPrintable(labels.join(u' ')));
    if (doubtful > 2 * certain)
        QVERIFY2(reach < doubtful, qPrintable(labels.join(u' ')));
    for (int row : {0, 1, 2}) {
        const QPoint at(barCentre(row).x(), chart()->viewport()->height() / 2);
        QTest::mouseMove(chart()->viewport(), at);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text().endsWith(QStringLiteral(", doubtful")), row == 1);
        QToolTip::hideText();
    }
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
