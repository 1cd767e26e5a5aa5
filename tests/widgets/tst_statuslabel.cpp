// SPDX-License-Identifier: GPL-3.0-or-later
// The status label: a long message is cut between words, its start and its end in view.
#include "widgets/statuslabel.h"

#include <QTest>

using orvik::StatusLabel;

class TestStatusLabel : public QObject {
    Q_OBJECT
private slots:
    void cutBetweenWords_data();
    void cutBetweenWords();
};

void TestStatusLabel::cutBetweenWords_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("width");
    QTest::addRow("the window's account of a long log")
        << QStringLiteral(
               "100 records shown; 30 more beacon lines left out (at most 100 are kept); orvik-tlm "
               "decodes them all")
        << 260;
    QTest::addRow("a failure and its reason")
        << QStringLiteral(
               "The CSV file could not be written to /home/ham/Documents/passes/2026-12-09: could not "
               "be written: No such file or directory")
        << 300;
    QTest::addRow("many line numbers")
        << QStringLiteral(
               "10 records from 20 lines; 10 lines not decoded: 2, 4, 6, 8, 10, 12, 14, 16, 18, 20")
        << 200;
}

void TestStatusLabel::cutBetweenWords()
{
    QFETCH(QString, message);
    QFETCH(int, width);
    StatusLabel label(nullptr);
    label.resize(width, 20);
    label.setMessage(message);
    const QString shown = label.shownText();
    QVERIFY(label.fontMetrics().horizontalAdvance(shown) <= label.contentsRect().width());
    const qsizetype cut = shown.indexOf(QStringLiteral(" \u2026 "));
    QVERIFY2(cut > 0, qPrintable(shown));
    const QString head = shown.left(cut);
    const QString tail = shown.mid(cut + 3);
    // Whole words at both sides of the cut, the start and the end of the message.
    QVERIFY2(message.startsWith(head + u' '), qPrintable(shown));
    QVERIFY2(message.endsWith(u' ' + tail), qPrintable(shown));
    QCOMPARE(label.toolTip(), message);
}

QTEST_MAIN(TestStatusLabel)
#include "tst_statuslabel.moc"
