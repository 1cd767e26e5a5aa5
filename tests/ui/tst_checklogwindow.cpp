// SPDX-License-Identifier: GPL-3.0-or-later
// The Check Log window: one entry for each line not decoded and each record with doubtful
// fields, in the words of the line's diagnosis, and activating an entry hands on its line.
#include "decoder/recordtable.h"
#include "ui/checklogwindow.h"
#include "widgets/textbox.h"

#include <QListWidget>
#include <QSignalSpy>
#include <QTest>

using orvik::CheckLogWindow;
using orvik::TextBox;

namespace {

const QString kBeacon =
    QStringLiteral("orv1 000001 orv2 e55a0080 orv3 a0c880 orv4 0a141e28323c orv5 6e6f70717273 "
                   "orv6 7480ff6e400000000000000000000000000000000");
const QString kTemp =
    QStringLiteral("positions 36-37 (channel 13 \"Battery Temp*\") hold \"zz\", not hexadecimal digits");

QStringList beacons(int count) { return QStringList(qsizetype(count), kBeacon); }

QStringList junk(int count) { return QStringList(qsizetype(count), QStringLiteral("73 de DL1ABC")); }

// The window after a decode of the log, as the main window hands it on.
void showLog(CheckLogWindow& window, const QStringList& lines)
{
    TextBox box(nullptr);
    box.setText(lines.join("\r\n"));
    const TextBox::Lines log = box.lines();
    orvik::RecordTable table;
    orvik::LogReport report;
    orvik::parseLogLines(log.lines, table, &report);
    window.setLog(log, report);
}

QStringList entriesOf(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

} // namespace

class TestCheckLogWindow : public QObject {
    Q_OBJECT
private slots:
    void entries_data();
    void entries();
    void longEntriesWrap();
    void activation_data();
    void activation();
};

void TestCheckLogWindow::entries_data()
{
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QStringList>("entries");

    const QString zz = QString(kBeacon).replace(35, 2, "zz");
    QTest::addRow("empty log") << QStringList{} << QStringList{"The log is empty"};
    QTest::addRow("blank lines only") << QStringList{"", "  \t"} << QStringList{"The log is empty"};
    QTest::addRow("clean log") << beacons(3) + QStringList{""} << QStringList{"Every line was decoded"};
    QTest::addRow("lines not decoded and a doubtful record")
        << QStringList{kBeacon,
                       "73 de DL1ABC",
                       kBeacon + ' ',
                       zz,
                       "",
                       QString(kBeacon).replace(40, 1, "w").left(119)}
        << QStringList{
               "Line 2: no beacon line",
               "Line 3: 121 characters instead of 120: one trailing blank too many, remove it",
               "Line 4, record 2: " + kTemp,
               "Line 6: 119 characters instead of 120: 1 missing; \"orv4\" missing at position 39: \"orw4\" "
               "stands there"};
    const QString counters = QStringLiteral("positions 18-19 (channels 1-2 \"Uplink Counter\", \"Camera "
                                            "Counter\") hold \"x-\", not hexadecimal digits");
    QTest::addRow("two doubtful fields") << QStringList{QString(zz).replace(17, 2, "x-")}
                                         << QStringList{"Line 1, record 1: " + counters + "; " + kTemp};
    QTest::addRow("line over a display block")
        << QStringList{kBeacon, kBeacon + QString(9880, 'x'), "73 de DL1ABC"}
        << QStringList{"Line 2: 10000 characters instead of 120: 9880 too many", "Line 3: no beacon line"};
    QTest::addRow("beacon lines left out")
        << beacons(100) + QStringList{kBeacon, "73 de DL1ABC", zz, kBeacon}
        << QStringList{
               "3 beacon lines from line 101 on left out, at most 100 records are kept; orvik-tlm decodes "
               "them all",
               "Line 102: no beacon line"};
    QTest::addRow("one beacon line left out")
        << beacons(101)
        << QStringList{"Line 101: 1 beacon line left out, at most 100 records are kept; orvik-tlm "
                       "decodes them all"};

    QStringList capped;
    for (int i = 1; i <= CheckLogWindow::kMaxEntries; ++i)
        capped << QStringLiteral("Line %1: no beacon line").arg(i);
    QTest::addRow("more lines than entries")
        << junk(CheckLogWindow::kMaxEntries + 5) << capped + QStringList{"5 more lines not listed"};
    capped.last() = "Line 1000, record 1: " + kTemp;
    QTest::addRow("one line more than entries")
        << junk(CheckLogWindow::kMaxEntries - 1) + QStringList{zz, "orv"}
        << capped + QStringList{"1 more line not listed"};
}

void TestCheckLogWindow::entries()
{
    QFETCH(QStringList, log);
    QFETCH(QStringList, entries);

    CheckLogWindow window;
    auto* list = window.findChild<QListWidget*>("CheckLogList");
    QVERIFY(list);
    // A longer log first: the entries of the one before must all give way.
    showLog(window, junk(3) + QStringList{kBeacon + ' '});
    showLog(window, log);
    QCOMPARE(entriesOf(list), entries);
}

// A reason longer than the window is wide is read whole, on several rows.
void TestCheckLogWindow::longEntriesWrap()
{
    CheckLogWindow window;
    window.resize(320, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* list = window.findChild<QListWidget*>("CheckLogList");
    showLog(window, {QString(kBeacon).replace(40, 1, "w").replace(12, 4, "orw2").left(119)});
    QCOMPARE(list->count(), 1);
    const QString text = list->item(0)->text();
    QVERIFY(list->fontMetrics().horizontalAdvance(text) > list->viewport()->width());
    const QRect shown = list->visualItemRect(list->item(0));
    QVERIFY2(shown.height() >= 2 * list->fontMetrics().lineSpacing(),
             qPrintable(QString::number(shown.height())));
    QVERIFY(shown.width() <= list->viewport()->width());
}

void TestCheckLogWindow::activation_data()
{
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QList<int>>("lines"); // handed on by lineActivated

    const QStringList mixed{kBeacon, "73 de DL1ABC", kBeacon, "orv?"};
    QTest::addRow("enter") << mixed << 1 << "enter" << QList<int>{3};
    QTest::addRow("double click") << mixed << 0 << "double click" << QList<int>{1};
    QTest::addRow("single click") << mixed << 0 << "click" << QList<int>{};
    QTest::addRow("enter on the clean log entry") << beacons(2) << 0 << "enter" << QList<int>{};
    QTest::addRow("double click on the count of the rest")
        << junk(CheckLogWindow::kMaxEntries + 1) << CheckLogWindow::kMaxEntries << "double click"
        << QList<int>{};
    QTest::addRow("enter on the lines left out")
        << QStringList{"x"} + beacons(102) << 0 << "enter" << QList<int>{101};
    QTest::addRow("escape closes") << mixed << 0 << "escape" << QList<int>{};
}

void TestCheckLogWindow::activation()
{
    QFETCH(QStringList, log);
    QFETCH(int, entry);
    QFETCH(QString, action);
    QFETCH(QList<int>, lines);

    CheckLogWindow window;
    showLog(window, log);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* list = window.findChild<QListWidget*>("CheckLogList");
    QVERIFY(list);
    QVERIFY(!list->accessibleName().isEmpty());
    QSignalSpy spy(&window, &CheckLogWindow::lineActivated);

    list->setFocus();
    list->setCurrentRow(entry);
    QListWidgetItem* item = list->item(entry);
    list->scrollToItem(item);
    const QPoint centre = list->visualItemRect(item).center();
    if (action == "enter") {
        QTest::keyClick(list, Qt::Key_Return);
    } else if (action == "double click") {
        // A double click arrives as a click followed by the double-click event.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
    } else if (action == "click") {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
    } else if (action == "escape") {
        QTest::keyClick(list, Qt::Key_Escape);
    }

    QList<int> seen;
    for (const QList<QVariant>& signal : spy)
        seen << signal.at(0).toInt();
    QCOMPARE(seen, lines);
    QCOMPARE(window.isVisible(), action != "escape");
}

QTEST_MAIN(TestCheckLogWindow)
#include "tst_checklogwindow.moc"
