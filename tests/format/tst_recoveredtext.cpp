// SPDX-License-Identifier: GPL-3.0-or-later
// How a recovered record is written and told: the lines of copies wrapped over several lines,
// and a record that stands alone beside a lookalike.
#include "format/recoveredtext.h"
#include "support/referenceline.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

using Copies = QList<QList<int>>; // input, line and last line of each copy

const QStringList kInputs{"a.log", "b.log"};

// A record of the good line, every value certain, from these copies.
orvik::RecoveredRecord recordOf(const Copies& copies)
{
    orvik::RecoveredRecord record;
    record.line = testsupport::referenceBytes().toStdString();
    for (const QList<int>& c : copies)
        record.copies.push_back({std::uint32_t(c[0]), std::uint64_t(c[1]), std::uint64_t(c[2])});
    return record;
}

QStringList sourcesOf(const orvik::RecoveredText& text, const orvik::RecoveredRecord& record)
{
    QStringList sources;
    for (const orvik::CopySource& s : record.copies)
        sources << text.sourceName(s);
    return sources;
}

} // namespace

class TestRecoveredText : public QObject {
    Q_OBJECT
private slots:
    void jsonLinesNameEveryLine_data();
    void jsonLinesNameEveryLine();
    void checkNamesEveryLine_data();
    void checkNamesEveryLine();
};

void TestRecoveredText::jsonLinesNameEveryLine_data()
{
    QTest::addColumn<Copies>("copies");
    QTest::addColumn<bool>("withFile");
    QTest::addColumn<QList<int>>("lines");
    QTest::addColumn<QStringList>("files");
    QTest::addRow("one line") << Copies{{0, 7, 0}} << false << QList<int>{7} << QStringList();
    QTest::addRow("last line the first") << Copies{{0, 4, 4}} << false << QList<int>{4} << QStringList();
    QTest::addRow("a copy wrapped over three lines")
        << Copies{{0, 3, 5}} << false << QList<int>{3, 4, 5} << QStringList();
    QTest::addRow("two copies sharing a line")
        << Copies{{0, 3, 4}, {0, 4, 5}} << false << QList<int>{3, 4, 5} << QStringList();
    QTest::addRow("a wrapped copy, then one on a line before")
        << Copies{{0, 5, 6}, {0, 2, 0}} << false << QList<int>{2, 5, 6} << QStringList();
    QTest::addRow("wrapped copies in two files")
        << Copies{{0, 9, 10}, {1, 2, 3}} << true << QList<int>{9, 10, 2, 3}
        << QStringList{"a.log", "a.log", "b.log", "b.log"};
    QTest::addRow("the same line in two files")
        << Copies{{0, 2, 0}, {1, 2, 0}} << true << QList<int>{2, 2} << QStringList{"a.log", "b.log"};
}

// "lines" names every line that a record took, once; "line" stays the first.
void TestRecoveredText::jsonLinesNameEveryLine()
{
    QFETCH(Copies, copies);
    QFETCH(bool, withFile);
    QFETCH(QList<int>, lines);
    QFETCH(QStringList, files);
    orvik::RecoveredText text(orvik::TlmFormat::JsonLines, ".", kInputs, withFile);
    orvik::TextBlock block;
    text.append(block, recordOf(copies), 3);
    const std::string out(block.view());
    QVERIFY(out.ends_with("}\n"));
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(out), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(o.value("record").toInt(), 3);
    QCOMPARE(o.value("line").toInt(), copies.first()[1]);
    QCOMPARE(o.value("copies").toInt(), copies.size());
    QJsonArray expectedLines;
    for (const int line : lines)
        expectedLines.append(line);
    QCOMPARE(o.value("lines").toArray(), expectedLines);
    QCOMPARE(o.value("files").toVariant().toStringList(), files);
    QCOMPARE(o.value("file").toString(), withFile ? kInputs[copies.first()[0]] : QString());
    QCOMPARE(o.value("left_out").toArray(), QJsonArray());
    QCOMPARE(o.value("OBC Time").toInt(), 0x01e240);
}

void TestRecoveredText::checkNamesEveryLine_data()
{
    QTest::addColumn<Copies>("copies");
    QTest::addColumn<QList<int>>("lookalike"); // input, line, last line; line 0 for none
    QTest::addColumn<bool>("voteChanged");     // the second copy's "8" at position 36
    QTest::addColumn<QByteArray>("told");
    const QList<int> none{0, 0, 0};
    QTest::addRow("one copy on one line, written whole") << Copies{{0, 2, 0}} << none << false << QByteArray();
    QTest::addRow("one copy wrapped over two lines")
        << Copies{{0, 3, 4}} << none << false << QByteArray("a.log:3-4: recovered record 2 from a.log:3-4\n");
    QTest::addRow("a vote on a wrapped copy")
        << Copies{{0, 3, 0}, {1, 7, 9}} << none << true
        << QByteArray("a.log:3: recovered record 2 from a.log:3, b.log:7-9; vote changed b.log:7-9 position 36 "
                      "\"9\" to \"8\"\n");
    const QByteArray alone =
        "a.log:2: record 2 stands alone: it could be a copy of the record at b.log:5-6 or "
        "the beacon next to it, so what the two disagree on is left out\n";
    QTest::addRow("a lookalike") << Copies{{0, 2, 0}} << QList<int>{1, 5, 6} << false << alone;
    QTest::addRow("a lookalike, and two copies")
        << Copies{{0, 2, 0}, {1, 2, 0}} << QList<int>{1, 5, 6} << false
        << "a.log:2: recovered record 2 from a.log:2, b.log:2\n" + alone;
}

void TestRecoveredText::checkNamesEveryLine()
{
    QFETCH(Copies, copies);
    QFETCH(QList<int>, lookalike);
    QFETCH(bool, voteChanged);
    QFETCH(QByteArray, told);
    orvik::RecoveredText text(orvik::TlmFormat::Csv, ".", kInputs, true);
    orvik::RecoveredRecord record = recordOf(copies);
    record.lookalike = {std::uint32_t(lookalike[0]), std::uint64_t(lookalike[1]),
                        std::uint64_t(lookalike[2])};
    if (voteChanged)
        record.changes.push_back({1, 36, u'9', u'8'});
    QCOMPARE(QByteArray::fromStdString(text.told(record, 2, sourcesOf(text, record))), told);
}

QTEST_GUILESS_MAIN(TestRecoveredText)
#include "tst_recoveredtext.moc"
