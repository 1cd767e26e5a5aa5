// SPDX-License-Identifier: GPL-3.0-or-later
// What the window tells of each decode: the status line's account of the log, the export's
// count of what it left out, doubtful values in the panels, and the look of no record.
#include "support/referenceline.h"
#include "ui/channelchart.h"
#include "ui/mainwindow.h"
#include "widgets/statuslabel.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace orvik;

namespace {

const QString kReferenceLine = testsupport::referenceLine();
using testsupport::beacon;

// Beacon lines 1 to n, with the given lines (counted from 1) replaced.
QString logWith(int n, const QList<QPair<int, QString>>& replaced = {})
{
    QStringList lines;
    for (int i = 1; i <= n; ++i)
        lines << beacon(i);
    for (const auto& [line, text] : replaced)
        lines[line - 1] = text;
    return lines.join(QStringLiteral("\r\n"));
}

} // namespace

class TestStatusLine : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void summary_data();
    void summary();
    void exportCountsLinesLeftOut();
    void longMessageKeepsItsEnd();
    void doubtfulValues();
    void noRecordLooksGreyed();
    void checkLogFollowsEditsAndFindsLines();

private:
    void paste(const QString& text);
    template <typename T> T* child(const QString& name) const { return m_window->findChild<T*>(name); }
    QLineEdit* value(int channel) const { return child<QLineEdit>(QStringLiteral("Text1_%1").arg(channel)); }
    QLabel* label3() const { return child<QLabel>(QStringLiteral("Label3")); }

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<MainWindow> m_window;
};

void TestStatusLine::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_window = std::make_unique<MainWindow>(m_folder->path());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestStatusLine::cleanup() { m_window.reset(); }

void TestStatusLine::paste(const QString& text)
{
    auto* box = child<QPlainTextEdit>(QStringLiteral("Text2"));
    box->setFocus();
    QApplication::clipboard()->setText(text);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(box, Qt::Key_Delete);
    else
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
}

void TestStatusLine::summary_data()
{
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("tooltipEnd"); // the whole account ends so

    const QString badTag = QString(kReferenceLine).replace(38, 4, QStringLiteral("orw4"));
    QTest::addRow("37 lines, 4 not decoded")
        << logWith(
               37,
               {
                   {17, beacon(17) + u' '   },
                   {21, beacon(21).left(100)},
                   {34, badTag              },
                   {37, "73 de DL1ABC"      }
    })
        << "33 records from 37 lines; not decoded: lines 17, 21, 34"
        << "17, 21, 34";
    // Only what the log underlines is counted: a header and chatter are no beacons gone wrong.
    QTest::addRow("a header and chatter") << logWith(4,
                                                     {
                                                         {1, "# Orvik pass 2026-12-08"},
                                                         {3, "73 de DL0XYZ"           }
    })
                                          << "2 records from 4 lines"
                                          << "2 records from 4 lines";
    QTest::addRow("130 beacon lines") << logWith(130)
                                      << "100 records shown; 30 more beacon lines left out (at most 100 are "
                                         "kept); orvik-tlm decodes them all"
                                      << "orvik-tlm decodes them all";
    QTest::addRow("one miscopied tag") << badTag << "No beacon line in the log; not decoded: line 1"
                                       << "not decoded: line 1";
    QTest::addRow("empty log") << QString() << "No beacon line in the log"
                               << "No beacon line in the log";
    QTest::addRow("one record") << beacon(5) << "1 record from 1 line"
                                << "1 record from 1 line";
    QList<QPair<int, QString>> junk;
    for (int line = 2; line <= 20; line += 2)
        junk.append({line, beacon(line).left(100)});
    QTest::addRow("many lines not decoded")
        << logWith(20, junk) << "10 records from 20 lines; not decoded: lines 2, 4, 6, 8, 10, 12, … (4 more)"
        << "2, 4, 6, 8, 10, 12, 14, 16, 18, 20";
    QTest::addRow("a field of zz") << logWith(
                                          3,
                                          {
                                              {2, QString(beacon(2)).replace(35, 2, QStringLiteral("zz"))}
    })
                                   << "3 records from 3 lines; doubtful values: record 2"
                                   << "doubtful values: record 2";
}

void TestStatusLine::summary()
{
    QFETCH(QString, log);
    QFETCH(QString, status);
    QFETCH(QString, tooltipEnd);
    paste(beacon(1)); // so that even an empty log is a change
    paste(log);
    QCOMPARE(label3()->text(), status);
    QVERIFY2(label3()->toolTip().endsWith(tooltipEnd), qPrintable(label3()->toolTip()));
}

// The export says what it left out, and screen readers hear the message itself.
void TestStatusLine::exportCountsLinesLeftOut()
{
    paste(logWith(130));
    m_window->findChild<QAction*>(QStringLiteral("WriteCSVFile"))->trigger();

    const QString path = m_folder->path() + QDir::separator() + QStringLiteral("orvik_telemetry.csv");
    const QString expected =
        path + QStringLiteral(" has been written: 100 records; 30 beacon lines left out");
    QCOMPARE(label3()->text(), expected);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count('\n'), 101);

    QAccessibleInterface* status = QAccessible::queryAccessibleInterface(label3());
    QVERIFY(status);
    QCOMPARE(status->text(QAccessible::Name), expected);
    QCOMPARE(status->text(QAccessible::Description), expected);
}

// A failure in a deep folder: the status line shows the start and the reason, elided in the
// middle, and keeps the whole message for its tooltip.
void TestStatusLine::longMessageKeepsItsEnd()
{
    const QString deep =
        m_folder->filePath(QString(12, u'x') + QStringLiteral("/gone/") + QString(120, u'y'));
    m_window = std::make_unique<MainWindow>(deep);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    paste(beacon(1));
    m_window->findChild<QAction*>(QStringLiteral("WriteCSVFile"))->trigger();
    auto* status = m_window->findChild<StatusLabel*>(QStringLiteral("Label3"));
    QVERIFY(status->text().endsWith(QStringLiteral("' cannot be written: No such file or directory")));
    QCOMPARE(status->toolTip(), status->text());
    const QString shown = status->shownText();
    QVERIFY2(shown.contains(QChar(0x2026)), qPrintable(shown));
    QVERIFY2(shown.endsWith(QStringLiteral("No such file or directory")), qPrintable(shown));
    QVERIFY(shown.startsWith(status->text().left(8)));
    QVERIFY(status->fontMetrics().horizontalAdvance(shown) <= status->contentsRect().width());
}

void TestStatusLine::doubtfulValues()
{
    QString zz = beacon(2);
    zz.replace(35, 2, QStringLiteral("zz"));
    paste(logWith(3, {
                         {2, zz}
    }));
    const QColor normal = value(13)->palette().color(QPalette::Text);
    QCOMPARE(value(13)->toolTip(), QString());

    auto* bar = child<QScrollBar>(QStringLiteral("HScroll1"));
    bar->setFocus();
    QTest::keyClick(bar, Qt::Key_Right);
    const QString reason = QStringLiteral(
        "Doubtful: positions 36-37 (channel 13 \"Battery Temp*\") hold \"zz\", not hexadecimal digits");
    QCOMPARE(value(13)->toolTip(), reason);
    QCOMPARE(value(13)->accessibleDescription(), reason);
    QVERIFY(value(13)->palette().color(QPalette::Text) != normal);
    QVERIFY(!value(13)->text().isEmpty()); // the value itself stays
    QCOMPARE(value(12)->toolTip(), QString());
    QCOMPARE(value(12)->palette().color(QPalette::Text), normal);

    QTest::keyClick(bar, Qt::Key_Right);
    QCOMPARE(value(13)->toolTip(), QString());
    QCOMPARE(value(13)->accessibleDescription(), QString());
    QCOMPARE(value(13)->palette().color(QPalette::Text), normal);
}

void TestStatusLine::noRecordLooksGreyed()
{
    const QColor grey = QApplication::palette().color(QPalette::Disabled, QPalette::Text);
    auto* chart = child<ChannelChart>(QStringLiteral("MSChart1"));
    // Before the first record, "invalid" is no stale value: it reads in the text colour.
    for (int channel : {1, 11, 30})
        QCOMPARE(value(channel)->palette().color(QPalette::Text), QColor(Qt::black));
    paste(beacon(1));
    QVERIFY(value(11)->palette().color(QPalette::Text) != grey);
    QVERIFY(!chart->graphicsEffect());

    paste(QString(kReferenceLine).replace(38, 4, QStringLiteral("orw4")));
    for (int channel : {0, 4, 11, 30})
        QCOMPARE(value(channel)->palette().color(QPalette::Text), grey);
    QVERIFY(chart->graphicsEffect());
    QCOMPARE(value(11)->text(), QStringLiteral("12.05").replace(u'.', QLocale::system().decimalPoint()));

    paste(beacon(1));
    QVERIFY(value(11)->palette().color(QPalette::Text) != grey);
    QVERIFY(!chart->graphicsEffect());
}

// TLM File > Check Log lists what was not decoded, follows each edit, and an entry
// activated with Enter selects its line in the log box.
void TestStatusLine::checkLogFollowsEditsAndFindsLines()
{
    const QString badTag = QString(kReferenceLine).replace(38, 4, QStringLiteral("orw4"));
    paste(logWith(4, {
                         {3, badTag}
    }));
    child<QAction>(QStringLiteral("MnuCheckLog"))->trigger();
    auto* checkLog = child<QWidget>(QStringLiteral("CheckLog"));
    QVERIFY(checkLog->isVisible());
    auto* list = checkLog->findChild<QListWidget*>(QStringLiteral("CheckLogList"));
    const auto entries = [list] {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out.join(u'|');
    };
    QVERIFY2(entries().contains(QStringLiteral("Line 3: \"orv4\" missing at position 39")),
             qPrintable(entries()));

    paste(logWith(5, {
                         {5, beacon(5) + u' '}
    }));
    QVERIFY2(!entries().contains(QStringLiteral("Line 3")), qPrintable(entries()));
    QVERIFY2(entries().contains(QStringLiteral("Line 5: 121 characters instead of 120")),
             qPrintable(entries()));

    list->setFocus();
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Return);
    auto* box = child<QPlainTextEdit>(QStringLiteral("Text2"));
    QCOMPARE(box->textCursor().selectedText(), beacon(5) + u' ');

    // It closes with the window, once the pasted log may go.
    QTimer::singleShot(0, [] {
        auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(question);
        question->button(QMessageBox::Discard)->click();
    });
    child<QAction>(QStringLiteral("MnuExit"))->trigger();
    QVERIFY(!checkLog->isVisible());
}

QTEST_MAIN(TestStatusLine)
#include "tst_statusline.moc"
