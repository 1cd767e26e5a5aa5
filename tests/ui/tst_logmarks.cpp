// SPDX-License-Identifier: GPL-3.0-or-later
// Marks in the log box: lines that look like beacon lines but are none, and doubtful fields
// of records, carry a wave underline that follows every edit; hovering over one tells why.
#include "ui/logmarks.h"
#include "widgets/textbox.h"

#include <QApplication>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QToolTip>
#include <algorithm>

using orvik::LogMarks;
using orvik::TextBox;

namespace {

const QString kBeacon =
    QStringLiteral("orv1 000001 orv2 e55a0080 orv3 a0c880 orv4 0a141e28323c orv5 6e6f70717273 "
                   "orv6 7480ff6e400000000000000000000000000000000");

// The beacon line with text written over it from column on.
QString beaconWith(int column, const QString& text)
{
    return QString(kBeacon).replace(column, text.size(), text);
}

QStringList beacons(int count) { return QStringList(qsizetype(count), kBeacon); }

// The wave underlines over a line of the box, as (start, length) pairs counted within the line.
QList<int> marksOf(const TextBox& box, int line)
{
    QList<int> out;
    int at = -1;
    int column = 0;
    for (QTextBlock block = box.document()->firstBlock(); block.isValid(); block = block.next()) {
        if (!TextBox::continuesLine(block)) {
            ++at;
            column = 0;
        }
        if (at == line) {
            for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
                if (range.format.underlineStyle() == QTextCharFormat::WaveUnderline)
                    out << column + range.start << range.length;
            }
        }
        column += block.length() - 1;
    }
    return out;
}

// The position of a line and column in a box without long lines.
int positionOf(const TextBox& box, int line, int column)
{
    return box.document()->findBlockByNumber(line).position() + column;
}

// What the tooltip shows, as plain text.
QString shownText(const QString& tip)
{
    if (!Qt::mightBeRichText(tip))
        return tip;
    QTextDocument document;
    document.setHtml(tip);
    return document.toPlainText();
}

} // namespace

class TestLogMarks : public QObject {
    Q_OBJECT
private slots:
    void marks_data();
    void marks();
    void toolTips_data();
    void toolTips();
};

void TestLogMarks::marks_data()
{
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<int>("editLine"); // -1: no edit
    QTest::addColumn<int>("editColumn");
    QTest::addColumn<int>("deletes"); // Delete keys, then the typed text
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("line");
    QTest::addColumn<QList<int>>("marks");

    const QString zz = beaconWith(35, "zz");
    QTest::addRow("clean beacon line")
        << QStringList{kBeacon} << -1 << 0 << 0 << QString() << 0 << QList<int>{};
    QTest::addRow("one trailing blank")
        << QStringList{kBeacon + ' '} << -1 << 0 << 0 << QString() << 0 << QList<int>{0, 121};
    QTest::addRow("one character short")
        << QStringList{"x", kBeacon.left(119)} << -1 << 0 << 0 << QString() << 1 << QList<int>{0, 119};
    QTest::addRow("frame tag misspelt")
        << QStringList{beaconWith(40, "w")} << -1 << 0 << 0 << QString() << 0 << QList<int>{0, 120};
    QTest::addRow("short line naming orv")
        << QStringList{"ORV is here"} << -1 << 0 << 0 << QString() << 0 << QList<int>{0, 11};
    QTest::addRow("no beacon attempt")
        << QStringList{"73 de DL1ABC"} << -1 << 0 << 0 << QString() << 0 << QList<int>{};
    QTest::addRow("120 blanks") << QStringList{QString(120, ' ')} << -1 << 0 << 0 << QString() << 0
                                << QList<int>{};
    QTest::addRow("doubtful field") << QStringList{kBeacon, zz} << -1 << 0 << 0 << QString() << 1
                                    << QList<int>{35, 2};
    QTest::addRow("two doubtful fields, upper case")
        << QStringList{beaconWith(35, "zz").replace(43, 2, "g ").toUpper()} << -1 << 0 << 0 << QString() << 0
        << QList<int>{35, 2, 43, 2};
    QTest::addRow("doubtful 100th record")
        << beacons(99) + QStringList{"", zz} << -1 << 0 << 0 << QString() << 100 << QList<int>{35, 2};
    QTest::addRow("doubtful beacon line left out")
        << beacons(100) + QStringList{zz} << -1 << 0 << 0 << QString() << 100 << QList<int>{};
    QTest::addRow("line over a display block") << QStringList{kBeacon, kBeacon + QString(9000, 'x')} << -1
                                               << 0 << 0 << QString() << 1 << QList<int>{};

    QTest::addRow("trailing blank removed")
        << QStringList{kBeacon + ' '} << 0 << 120 << 1 << QString() << 0 << QList<int>{};
    QTest::addRow("character typed") << QStringList{kBeacon} << 0 << 120 << 0 << "x" << 0
                                     << QList<int>{0, 121};
    QTest::addRow("field fixed") << QStringList{kBeacon, zz} << 1 << 35 << 2 << "80" << 1 << QList<int>{};
    QTest::addRow("field spoilt") << QStringList{kBeacon, zz} << 0 << 5 << 1 << "q" << 0 << QList<int>{5, 6};
    QTest::addRow("first line emptied, left out record taken in")
        << beacons(100) + QStringList{zz} << 0 << 0 << 120 << QString() << 100 << QList<int>{35, 2};
    QTest::addRow("first line fixed, record pushed out")
        << QStringList{kBeacon + ' '} + beacons(99) + QStringList{zz} << 0 << 120 << 1 << QString() << 100
        << QList<int>{};
}

void TestLogMarks::marks()
{
    QFETCH(QStringList, log);
    QFETCH(int, editLine);
    QFETCH(int, editColumn);
    QFETCH(int, deletes);
    QFETCH(QString, typed);
    QFETCH(int, line);
    QFETCH(QList<int>, marks);

    TextBox box(nullptr);
    new LogMarks(&box);
    box.setText(log.join("\r\n"));
    if (editLine >= 0) {
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QTextCursor cursor = box.textCursor();
        cursor.setPosition(positionOf(box, editLine, editColumn));
        box.setTextCursor(cursor);
        for (int i = 0; i < deletes; ++i)
            QTest::keyClick(&box, Qt::Key_Delete);
        QTest::keyClicks(&box, typed);
    }
    QCOMPARE(marksOf(box, line), marks);
}

void TestLogMarks::toolTips_data()
{
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");  // past the line's end: right of it
    QTest::addColumn<QString>("tip"); // empty: none

    const QString trailing =
        QStringLiteral("121 characters instead of 120: one trailing blank too many, remove it");
    const QString temp =
        QStringLiteral("positions 36-37 (channel 13 \"Battery Temp*\") hold \"zz\", not hexadecimal digits");
    const QString zz = beaconWith(35, "zz");
    QTest::addRow("whole line") << QStringList{kBeacon, kBeacon + ' '} << 1 << 3 << trailing;
    QTest::addRow("two reasons") << QStringList{beaconWith(40, "w") + ' '} << 0 << 100
                                 << trailing + "\n\"orv4\" missing at position 39: \"orw4\" stands there";
    QTest::addRow("markup in a reason") << QStringList{beaconWith(0, "<b>1")} << 0 << 50
                                        << "\"orv1\" missing at position 1: \"<b>1\" stands there";
    QTest::addRow("doubtful field") << QStringList{zz} << 0 << 36 << temp;
    QTest::addRow("one of two fields")
        << QStringList{beaconWith(35, "zz").replace(43, 2, "g ")} << 0 << 35 << temp;
    QTest::addRow("break character in a field")
        << QStringList{beaconWith(35, QString::fromUtf16(u"z\u2029"))} << 0 << 35
        << "positions 36-37 (channel 13 \"Battery Temp*\") hold \"z\\u2029\", not hexadecimal digits";
    QTest::addRow("unmarked part of a record") << QStringList{zz} << 0 << 34 << QString();
    QTest::addRow("clean line") << QStringList{kBeacon} << 0 << 10 << QString();
    QTest::addRow("no beacon attempt") << QStringList{"73 de DL1ABC"} << 0 << 2 << QString();
    QTest::addRow("right of a marked line") << QStringList{"orv", kBeacon} << 0 << 10 << QString();
}

void TestLogMarks::toolTips()
{
    QFETCH(QStringList, log);
    QFETCH(int, line);
    QFETCH(int, column);
    QFETCH(QString, tip);

    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());
    TextBox box(nullptr);
    new LogMarks(&box);
    box.resize(700, 300);
    box.setText(log.join("\r\n"));
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));

    QTextCursor cursor = box.textCursor();
    const int length = box.document()->findBlockByNumber(line).length() - 1;
    cursor.setPosition(positionOf(box, line, std::min(column, length)));
    const QRect caret = box.cursorRect(cursor);
    // Inside the character's cell, or well right of the line's end.
    const QPoint point = caret.center() + QPoint(column < length ? 2 : 40, 0);
    QHelpEvent event(QEvent::ToolTip, point, box.viewport()->mapToGlobal(point));
    QApplication::sendEvent(box.viewport(), &event);

    if (tip.isEmpty()) {
        QVERIFY(!QToolTip::isVisible());
    } else {
        QVERIFY(QToolTip::isVisible());
        QCOMPARE(shownText(QToolTip::text()), tip);
    }
}

QTEST_MAIN(TestLogMarks)
#include "tst_logmarks.moc"
