// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/linesplitter.h"

#include <QTest>

using orvik::BasicLineSplitter;
using orvik::BasicSplitLine;

namespace {

struct Seen {
    QByteArray bytes;
    bool cut;
    quint64 utf16Length;
    quint64 trailingBlanks;
    bool holdsOrv;
};

// Feeds the input in chunks of `chunk` units, the first one `first` units long. As UTF-16,
// every byte of the input becomes one unit, and every unit of a line one byte again.
template <class CharT = char>
QList<Seen> split(const QByteArray& input, qsizetype first, qsizetype chunk, std::size_t held)
{
    const std::basic_string<CharT> units(input.begin(), input.end());
    QList<Seen> seen;
    BasicLineSplitter<CharT> splitter(held);
    const auto onLine = [&](const BasicSplitLine<CharT>& l) {
        QByteArray bytes;
        for (const CharT c : l.bytes)
            bytes.append(char(c));
        seen.append({bytes, l.cut, l.utf16Length, l.trailingBlanks, l.holdsOrv});
    };
    qsizetype pos = 0;
    qsizetype size = first;
    while (pos < input.size()) {
        const qsizetype n = std::min(size, input.size() - pos);
        splitter.feed({units.data() + pos, std::size_t(n)}, onLine);
        pos += n;
        size = chunk;
    }
    splitter.finish(onLine);
    return seen;
}

QByteArrayList bytesOf(const QList<Seen>& seen)
{
    QByteArrayList list;
    for (const Seen& s : seen)
        list << s.bytes;
    return list;
}

} // namespace

class TestLineSplitter : public QObject {
    Q_OBJECT
private slots:
    void lineEnds_data();
    void lineEnds();
    void longLines_data();
    void longLines();
};

void TestLineSplitter::lineEnds_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArrayList>("lines");

    QTest::addRow("empty") << QByteArray() << QByteArrayList{};
    QTest::addRow("no line end") << QByteArray("abc") << QByteArrayList{"abc"};
    QTest::addRow("CR LF") << QByteArray("ab\r\ncd\r\n") << QByteArrayList{"ab", "cd"};
    QTest::addRow("LF") << QByteArray("ab\ncd") << QByteArrayList{"ab", "cd"};
    QTest::addRow("lone CR") << QByteArray("ab\rcd\r") << QByteArrayList{"ab", "cd"};
    QTest::addRow("empty lines") << QByteArray("\r\n\n\r\r\n") << QByteArrayList{"", "", "", ""};
    QTest::addRow("CR CR LF") << QByteArray("a\r\r\nb") << QByteArrayList{"a", "", "b"};
    QTest::addRow("LF CR") << QByteArray("a\n\rb") << QByteArrayList{"a", "", "b"};
    QTest::addRow("NUL and high bytes stay")
        << QByteArray("a\0b\xff\r\n", 6) << QByteArrayList{QByteArray("a\0b\xff", 4)};
    QTest::addRow("many lone CRs") << QByteArray("x\r").repeated(300) << QByteArrayList(300, "x");
}

void TestLineSplitter::lineEnds()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArrayList, lines);
    // Every place where a chunk may end, and chunks of one byte.
    for (qsizetype first = 0; first <= input.size(); ++first)
        QCOMPARE(bytesOf(split(input, first, input.size() + 1, 64)), lines);
    QCOMPARE(bytesOf(split(input, 1, 1, 64)), lines);
    for (const Seen& s : split(input, 1, 1, 64))
        QVERIFY(!s.cut);
    for (qsizetype first = 0; first <= input.size(); ++first)
        QCOMPARE(bytesOf(split<char16_t>(input, first, input.size() + 1, 64)), lines);
}

void TestLineSplitter::longLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<quint64>("utf16Length");
    QTest::addColumn<quint64>("trailingBlanks");
    QTest::addColumn<bool>("holdsOrv");

    QTest::addRow("orv after the held part")
        << QByteArray("0123456789abcdef..ORv..") << quint64(23) << quint64(0) << true;
    QTest::addRow("orv across the held end")
        << QByteArray("0123456789abcdoRV") << quint64(17) << quint64(0) << true;
    QTest::addRow("or and v apart") << QByteArray("0123456789abcdef or v orr ovr") << quint64(29)
                                    << quint64(0) << false;
    QTest::addRow("trailing blanks and tabs")
        << QByteArray("orv 0123456789abcd \t  ") << quint64(22) << quint64(4) << true;
    QTest::addRow("all blanks") << QByteArray(40, ' ') << quint64(40) << quint64(40) << false;
    QTest::addRow("UTF-8 counted in UTF-16 units")
        << QByteArray("0123456789abcdef\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80") << quint64(16 + 1 + 1 + 2)
        << quint64(0) << false;
}

void TestLineSplitter::longLines()
{
    QFETCH(QByteArray, line);
    QFETCH(quint64, utf16Length);
    QFETCH(quint64, trailingBlanks);
    QFETCH(bool, holdsOrv);
    const std::size_t held = 16;
    const QByteArray input = "short\n" + line + "\r\nnext\r";
    for (qsizetype first = 1; first <= input.size(); ++first) {
        const QList<Seen> seen = split(input, first, 5, held);
        QCOMPARE(seen.size(), 3);
        QCOMPARE(seen[0].bytes, QByteArray("short"));
        QCOMPARE(seen[1].bytes, line.left(qsizetype(held)));
        QVERIFY(seen[1].cut);
        QCOMPARE(seen[1].utf16Length, utf16Length);
        QCOMPARE(seen[1].trailingBlanks, trailingBlanks);
        QCOMPARE(seen[1].holdsOrv, holdsOrv);
        QCOMPARE(seen[2].bytes, QByteArray("next"));
        QVERIFY(!seen[2].cut);
    }
}

QTEST_APPLESS_MAIN(TestLineSplitter)
#include "tst_linesplitter.moc"
