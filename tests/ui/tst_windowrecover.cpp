// SPDX-License-Identifier: GPL-3.0-or-later
// The window with Recover Damaged Lines on: the same records as orvik-tlm --recover, values
// left out shown as such, and the switch as conf.ini and the user leave it.
#include "mainwindowfixture.h"
#include "support/tlmrun.h"

#include <QListWidget>
#include <cmath>

using namespace orvik;
using namespace orvik::testing;

namespace {

const QString kBreak = QStringLiteral("\r\n");
// Where the reference line has blanks between its fields, counted from 0.
constexpr std::array<int, 11> kSeparators{4, 11, 16, 25, 30, 37, 42, 55, 60, 73, 78};

QString dropAt(QString line, int at) { return line.remove(at, 1); }
QString setAt(QString line, int at, QChar c)
{
    line[at] = c;
    return line;
}
// The separators of a line replaced, in turn, by the characters of `with`, and its tail by `tail`.
QString withSeparators(QString line, const QString& with, const QString& tail)
{
    for (std::size_t i = 0; i < kSeparators.size(); ++i)
        line[kSeparators[i]] = with[qsizetype(i) % with.size()];
    return line.left(89) + tail.leftJustified(31, u' ').left(31);
}

} // namespace

class TestWindowRecover : public QObject, protected MainWindowFixture {
    Q_OBJECT
private slots:
    void init() { start(); }
    void cleanup() { stop(); }

    void sameRecordsAsTool_data();
    void sameRecordsAsTool();
    void leftOutValuesShown();
    void switchOffIsStrict();
    void marksFollowTheRecovery();
    void switchKept_data();
    void switchKept();

private:
    QAction* switchAction() const { return child<QAction>(QStringLiteral("MnuRecover")); }
    QByteArray exported() const;
    // The log box's lines that carry a mark, from 0.
    QList<int> markedLines() const
    {
        QList<int> out;
        for (QTextBlock b = logBox()->document()->firstBlock(); b.isValid(); b = b.next()) {
            if (!b.layout()->formats().isEmpty())
                out << b.blockNumber();
        }
        return out;
    }
};

QByteArray TestWindowRecover::exported() const
{
    child<QAction>(QStringLiteral("WriteCSVFile"))->trigger();
    QFile file(m_folder->filePath(QStringLiteral("orvik_telemetry.csv")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestWindowRecover::sameRecordsAsTool_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("records");

    const QString b1 = beacon(1);
    const QString b7 = beacon(7);
    QTest::addRow("a damaged copy beside a clean one")
        << b1 + kBreak + dropAt(b1, 50) + kBreak + beacon(2) << 2;
    QTest::addRow("three beacons on one line, as a decoder writes them")
        << b1 + QStringLiteral(" = ") + beacon(2) + QStringLiteral(" bt ") + beacon(3) << 3;
    QTest::addRow("a beacon wrapped at 80 columns")
        << beacon(4).left(80) + kBreak + beacon(4).mid(80) + kBreak + beacon(5) << 2;
    QTest::addRow("separators of every kind, chatter in the tail")
        << withSeparators(b1, QStringLiteral("/.x-k9 "), QStringLiteral("73 de dl0xyz k")) + kBreak +
               withSeparators(beacon(2), QStringLiteral("e"), QStringLiteral("orv3 tlm"))
        << 2;
    QTest::addRow("two copies that disagree on a digit")
        << b7 + kBreak + setAt(b7, 44, u'9') + kBreak + beacon(8) << 2;
    QTest::addRow("a fragment that makes no value certain")
        << b1 + kBreak + QStringLiteral("orv1 zzzz orv2 qq") + kBreak + beacon(2).left(30) << 2;
    QTest::addRow("neighbours 64 s apart") << beacon(0x1e240) + kBreak + beacon(0x1e280) << 2;
    QTest::addRow("a header and chatter around copies")
        << QStringLiteral("# Orvik pass 2026-12-08") + kBreak + b1 + kBreak + QStringLiteral("73 de DL0XYZ") +
               kBreak + dropAt(b1, 20)
        << 1;
    // The copy without its time stands alone: it could be a neighbour's.
    QTest::addRow("a copy in capitals and one that lost its time")
        << b1.toUpper() + kBreak + b1.mid(4) + kBreak + dropAt(b1, 70) << 2;
    QStringList many;
    for (int i = 0; i < 150; ++i)
        many << beacon(1000 + 60 * i) << dropAt(beacon(1000 + 60 * i), 30 + i % 50);
    QTest::addRow("150 beacons, two copies each") << many.join(kBreak) << 100;
}

// The window and orvik-tlm --recover write the same records for the same text: the window's
// first hundred.
void TestWindowRecover::sameRecordsAsTool()
{
    QFETCH(QString, text);
    QFETCH(int, records);
    switchAction()->trigger();
    QVERIFY(switchAction()->isChecked());
    paste(text);
    QCOMPARE(m_window->records().count(), records);
    const QByteArray window = exported();
    QVERIFY(!window.isEmpty());

    const testsupport::TlmResult run = testsupport::runTlmOn(text.toUtf8(), {"--recover"});
    QCOMPARE(run.code, 0);
    const QList<QByteArray> tool = run.out.split('\n');
    QCOMPARE(window, tool.mid(0, records + 1).join('\n') + '\n');
}

// A value left out shows a dash, says why to the eye and to a screen reader, draws no bar, and
// is counted in the status line and listed in Check Log.
void TestWindowRecover::leftOutValuesShown()
{
    switchAction()->trigger();
    const QString b7 = beacon(7);
    paste(b7 + kBreak + setAt(b7, 44, u'9'));
    QCOMPARE(m_window->records().count(), 1);
    int left = -1;
    for (int c = 0; c < 31; ++c) {
        const bool missing = std::isnan(m_window->records().value(1, c));
        QCOMPARE(value(c)->text() == QStringLiteral("\u2013"), missing);
        QCOMPARE(value(c)->toolTip(), missing ? QStringLiteral("Left out: no majority") : QString());
        QCOMPARE(value(c)->accessibleDescription(), value(c)->toolTip());
        if (missing) {
            QCOMPARE(left, -1); // one digit, one value
            left = c;
        }
    }
    QVERIFY(left >= 0);
    QVERIFY2(label3().contains(QStringLiteral("1 copy merged, 1 value left out")), qPrintable(label3()));

    QTest::mouseClick(option(left), Qt::LeftButton, {}, QPoint(5, 6));
    QCOMPARE(chart()->barCount(), 1);
    QCOMPARE(chart()->barValue(0), 0.0);
    QTest::mouseMove(chart()->viewport(), QPoint(barCentre(0).x(), chart()->viewport()->height() / 2));
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), QStringLiteral("record 1: left out, no majority"));
    QToolTip::hideText();

    child<QAction>(QStringLiteral("MnuCheckLog"))->trigger();
    QListWidget* list = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == u"CheckLog")
            list = w->findChild<QListWidget*>();
    }
    QVERIFY(list);
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->text(),
             QStringLiteral("Line 1, record 1: merged with line 2; left out %1 (no majority)")
                 .arg(option(left)->text()));

    // Records past the hundredth are counted as records, from the line of the first.
    QStringList many;
    for (int i = 0; i < 103; ++i)
        many << beacon(1000 + 60 * i) << dropAt(beacon(1000 + 60 * i), 40);
    paste(many.join(kBreak));
    QTRY_COMPARE(list->item(0)->text(),
                 QStringLiteral("Line 201: 3 more records from this line on left out, at most 100 records "
                                "are kept; orvik-tlm decodes them all"));
    paste(b7 + kBreak + setAt(b7, 44, u'9'));

    // The export leaves its field empty, as the tool does.
    const QList<QByteArray> fields = exported().split('\n').value(1).split(';');
    QCOMPARE(fields.value(left), QByteArray());
    QVERIFY(!fields.value(left == 0 ? 1 : 0).isEmpty());
}

// Switched off, every edit decodes as without recovery: a damaged copy gives nothing.
void TestWindowRecover::switchOffIsStrict()
{
    const QString text = beacon(1) + kBreak + dropAt(beacon(2), 40) + kBreak + beacon(3);
    paste(text);
    QCOMPARE(m_window->records().count(), 2);
    const QByteArray strict = exported();
    switchAction()->trigger();
    QCOMPARE(m_window->records().count(), 3);
    QVERIFY(label3().contains(QStringLiteral("recovered")));
    switchAction()->trigger();
    QCOMPARE(m_window->records().count(), 2);
    QCOMPARE(exported(), strict);
    QVERIFY(!label3().contains(QStringLiteral("recovered")));
}

// Under recovery a line merged into a record is no damaged line: only what no record took is
// marked, through edits too, and switching off brings back the marks of each line alone.
void TestWindowRecover::marksFollowTheRecovery()
{
    const QString b1 = beacon(1);
    paste(b1 + kBreak + dropAt(b1, 50) + kBreak + QStringLiteral("orv1 zzzz orv2 qq") + kBreak +
          QStringLiteral("73 de DL0XYZ"));
    QCOMPARE(markedLines(), (QList<int>{1, 2}));
    switchAction()->trigger();
    QCOMPARE(markedLines(), (QList<int>{2}));
    logBox()->moveCursor(QTextCursor::End);
    QTest::keyClicks(logBox(), QStringLiteral(" k"));
    QCOMPARE(markedLines(), (QList<int>{2}));
    QTest::keyClick(logBox(), Qt::Key_Return);
    // A damaged copy alone still gives its certain values.
    QTest::keyClicks(logBox(), dropAt(beacon(2), 60));
    QCOMPARE(markedLines(), (QList<int>{2}));
    switchAction()->trigger();
    QCOMPARE(markedLines(), (QList<int>{1, 2, 4}));
}

void TestWindowRecover::switchKept_data()
{
    QTest::addColumn<QString>("conf");
    QTest::addColumn<bool>("atStart");
    QTest::addColumn<bool>("flip"); // by the user, then an exit and a new start
    QTest::addRow("off by default") << QString() << false << false;
    QTest::addRow("RECOVER=YES") << QStringLiteral("RECOVER=YES\r\n") << true << false;
    QTest::addRow("recover = yes, any case") << QStringLiteral("recover = yes\r\n") << true << false;
    QTest::addRow("RECOVER=NO") << QStringLiteral("RECOVER=NO\r\n") << false << false;
    QTest::addRow("switched on by the user") << QString() << false << true;
    QTest::addRow("switched off by the user against conf.ini")
        << QStringLiteral("RECOVER=YES\r\n") << true << true;
}

// conf.ini sets the switch at start until the user turns it; from then on the user's choice
// is kept, and conf.ini is never written.
void TestWindowRecover::switchKept()
{
    QFETCH(QString, conf);
    QFETCH(bool, atStart);
    QFETCH(bool, flip);
    makeWindow(conf.isEmpty() ? QString() : conf);
    QCOMPARE(switchAction()->isChecked(), atStart);
    if (flip)
        switchAction()->trigger();
    child<QAction>(QStringLiteral("MnuExit"))->trigger();
    makeWindow();
    QCOMPARE(switchAction()->isChecked(), atStart != flip);
    QFile file(m_folder->filePath(QStringLiteral("conf.ini")));
    if (!conf.isEmpty()) {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), conf);
    }
}

QTEST_MAIN(TestWindowRecover)
#include "tst_windowrecover.moc"
