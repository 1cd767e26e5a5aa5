// SPDX-License-Identifier: GPL-3.0-or-later
// The bench's corpora: sent lines are beacon lines of their true values, separators and tails
// vary as the format allows, streams rejoin to their beacons.
#include "bench/seasoncorpus.h"

#include <QTest>
#include <algorithm>
#include <bit>
#include <cctype>
#include <functional>

using namespace orvik;
using namespace orvik::bench;

Q_DECLARE_METATYPE(orvik::bench::Layout)

namespace {

std::string lower(std::string s)
{
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::u16string wide(std::string_view s) { return std::u16string(s.begin(), s.end()); }

bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

char at(const std::string& line, int pos) { return line[std::size_t(pos - 1)]; }

bool anySeparator(const std::string& line, const std::function<bool(char)>& test)
{
    return std::any_of(kSeparatorPositions.begin(), kSeparatorPositions.end(),
                       [&](int pos) { return test(at(line, pos)); });
}

std::string tailOf(const std::string& line) { return line.substr(std::size_t(kTailFirst - 1)); }

// The log's lines joined again where a line break only wrapped the text.
std::vector<std::string> rejoined(const Corpus& c)
{
    std::vector<std::string> out(1);
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
        out.back() += c.lines[i];
        if (c.breaks[i] == Break::JoinedBlank)
            out.back() += ' ';
        else if (c.breaks[i] == Break::End)
            out.emplace_back();
    }
    out.pop_back();
    return out;
}

} // namespace

class TestCorpus : public QObject {
    Q_OBJECT
private slots:
    void sentLinesAreBeaconLinesOfTheirValues_data();
    void sentLinesAreBeaconLinesOfTheirValues();
    void whereNoFieldIsRead_data();
    void whereNoFieldIsRead();
    void cleanCopiesAreTheSentLines_data();
    void cleanCopiesAreTheSentLines();
    void streamRejoinsToTheSentBeacons_data();
    void streamRejoinsToTheSentBeacons();
    void streamHoldsEveryLayout_data();
    void streamHoldsEveryLayout();
    void miscopiedTimeStaysInItsField_data();
    void miscopiedTimeStaysInItsField();
};

void TestCorpus::sentLinesAreBeaconLinesOfTheirValues_data()
{
    QTest::addColumn<Corpus>("corpus");
    for (const std::uint64_t seed : {1, 2, 3}) {
        QTest::addRow("blank, seed %d", int(seed)) << makeCorpus({Layout::Blank, 2000, 0.02, 1, seed});
        QTest::addRow("varied, seed %d", int(seed)) << makeCorpus({Layout::Varied, 2000, 0.02, 1, seed});
    }
    QTest::addRow("stream") << makeCorpus({Layout::Stream, 2000, 0.02, 1, 4});
    for (const bool varied : {false, true}) {
        for (const int period : {30, 64, 120})
            QTest::addRow("season %s %d s", varied ? "varied" : "blank", period)
                << makeSeason({period, 2000, 0.02, 1, Merge::Interleave, varied, 5});
    }
}

void TestCorpus::sentLinesAreBeaconLinesOfTheirValues()
{
    QFETCH(Corpus, corpus);
    QCOMPARE(corpus.truth.size(), corpus.sent.size());
    for (std::size_t b = 0; b < corpus.sent.size(); ++b) {
        const std::string& line = corpus.sent[b];
        QVERIFY2(isBeaconLine(std::string_view(line)), line.c_str());
        QVERIFY2(isBeaconLine(wide(line)), line.c_str());
        Record values{};
        decodeBeaconLine(wide(line), values);
        for (int ch = 0; ch < kChannelCount; ++ch) {
            const auto c = std::size_t(ch);
            if (std::bit_cast<std::uint64_t>(values[c]) != std::bit_cast<std::uint64_t>(corpus.truth[b][c]))
                QFAIL(qPrintable(QStringLiteral("%1: channel %2 decodes to %3, sent %4")
                                     .arg(line.c_str())
                                     .arg(ch)
                                     .arg(values[c])
                                     .arg(corpus.truth[b][c])));
        }
    }
}

void TestCorpus::whereNoFieldIsRead_data()
{
    QTest::addColumn<std::function<bool(const std::string&)>>("holds");
    QTest::addColumn<bool>("inBlank"); // whether the blank corpus has such lines too
    const auto separator = [](std::function<bool(char)> test) {
        return std::function<bool(const std::string&)>(
            [test](const std::string& line) { return anySeparator(line, test); });
    };
    QTest::addRow("a blank between fields") << separator([](char c) { return c == ' '; }) << true;
    QTest::addRow("a dot between fields") << separator([](char c) { return c == '.'; }) << false;
    QTest::addRow("a dash between fields") << separator([](char c) { return c == '-'; }) << false;
    QTest::addRow("a slash between fields") << separator([](char c) { return c == '/'; }) << false;
    QTest::addRow("a letter beyond f between fields")
        << separator([](char c) { return c >= 'g' && c <= 'z'; }) << false;
    QTest::addRow("a hex digit between fields") << separator(isHex) << false;
    QTest::addRow("every separator a blank")
        << std::function<bool(const std::string&)>(
               [](const std::string& l) { return !anySeparator(l, [](char c) { return c != ' '; }); })
        << true;
    QTest::addRow("a frame tag's text in the tail")
        << std::function<bool(const std::string&)>(
               [](const std::string& l) { return tailOf(l).find("orv") != std::string::npos; })
        << false;
    QTest::addRow("a blank at position 120")
        << std::function<bool(const std::string&)>([](const std::string& l) { return l.back() == ' '; })
        << false;
    QTest::addRow("a tail that is not all hex digits")
        << std::function<bool(const std::string&)>([](const std::string& l) {
               const std::string t = tailOf(l);
               return !std::all_of(t.begin(), t.end(), isHex);
           })
        << false;
    QTest::addRow("a tail of hex digits")
        << std::function<bool(const std::string&)>([](const std::string& l) {
               const std::string t = tailOf(l);
               return std::all_of(t.begin(), t.end(), isHex);
           })
        << true;
}

void TestCorpus::whereNoFieldIsRead()
{
    QFETCH(std::function<bool(const std::string&)>, holds);
    QFETCH(bool, inBlank);
    const Corpus varied = makeCorpus({Layout::Varied, 3000, 0, 1, 11});
    const Corpus blank = makeCorpus({Layout::Blank, 3000, 0, 1, 11});
    const auto count = [&](const Corpus& c) { return std::count_if(c.sent.begin(), c.sent.end(), holds); };
    QVERIFY2(count(varied) > 0, "no varied line holds it");
    // Lines of a varied corpus are drawn line by line, so no feature holds for them all.
    QVERIFY2(count(varied) < long(varied.sent.size()), "every varied line holds it");
    QCOMPARE(count(blank) > 0, inBlank);
}

void TestCorpus::cleanCopiesAreTheSentLines_data()
{
    QTest::addColumn<Layout>("layout");
    QTest::addColumn<int>("copies");
    for (int copies = 1; copies <= 3; ++copies) {
        QTest::addRow("blank, %d copies", copies) << Layout::Blank << copies;
        QTest::addRow("varied, %d copies", copies) << Layout::Varied << copies;
    }
}

void TestCorpus::cleanCopiesAreTheSentLines()
{
    QFETCH(Layout, layout);
    QFETCH(int, copies);
    const Corpus c = makeCorpus({layout, 500, 0, copies, 3});
    QCOMPARE(c.lines.size(), c.sent.size() * std::size_t(copies));
    std::vector<int> seen(c.sent.size());
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
        QCOMPARE(c.spansOf(i).size(), std::size_t(1));
        const Span& s = c.spansOf(i).front();
        QCOMPARE(lower(c.lines[i]), c.sent[s.beacon]);
        QCOMPARE(s.length, std::uint32_t(c.lines[i].size()));
        ++seen[s.beacon];
    }
    QVERIFY(std::all_of(seen.begin(), seen.end(), [&](int n) { return n == copies; }));
}

void TestCorpus::streamRejoinsToTheSentBeacons_data()
{
    QTest::addColumn<int>("copies");
    QTest::addColumn<int>("seed");
    for (int copies = 1; copies <= 3; ++copies) {
        for (const int seed : {1, 2})
            QTest::addRow("%d copies, seed %d", copies, seed) << copies << seed;
    }
}

void TestCorpus::streamRejoinsToTheSentBeacons()
{
    QFETCH(int, copies);
    QFETCH(int, seed);
    const Corpus c = makeCorpus({Layout::Stream, 600, 0, copies, std::uint64_t(seed)});
    // Every span is the text of its beacon that it says it is.
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
        for (const Span& s : c.spansOf(i))
            QCOMPARE(lower(c.lines[i].substr(s.offset, s.length)), c.sent[s.beacon].substr(s.from, s.length));
    }
    // Joined again where only wrapped, the text holds each station's copies of a pass in turn.
    std::vector<std::size_t> expected;
    for (std::size_t pass = 0; pass < c.sent.size(); pass += kPassBeacons) {
        for (int k = 0; k < copies; ++k) {
            for (std::size_t b = pass; b < std::min(c.sent.size(), pass + kPassBeacons); ++b)
                expected.push_back(b);
        }
    }
    std::size_t next = 0;
    for (const std::string& text : rejoined(c)) {
        const std::string t = lower(text);
        std::size_t from = 0;
        while (next < expected.size() && (from = t.find(c.sent[expected[next]], from)) != std::string::npos) {
            from += c.sent[expected[next]].size();
            ++next;
        }
    }
    QCOMPARE(next, expected.size());
}

void TestCorpus::streamHoldsEveryLayout_data()
{
    QTest::addColumn<std::function<bool(const Corpus&, std::size_t)>>("holds"); // of a line
    using Test = std::function<bool(const Corpus&, std::size_t)>;
    QTest::addRow("several whole beacons on a line") << Test([](const Corpus& c, std::size_t i) {
        return std::count_if(c.spansOf(i).begin(), c.spansOf(i).end(), [&](const Span& s) {
                   return s.from == 0 && s.length == c.sent[s.beacon].size();
               }) >= 2;
    });
    QTest::addRow("a line cut hard at 80 columns") << Test([](const Corpus& c, std::size_t i) {
        return c.breaks[i] == Break::Joined && c.lines[i].size() == 80;
    });
    QTest::addRow("a line wrapped at a blank") << Test([](const Corpus& c, std::size_t i) {
        return c.breaks[i] == Break::JoinedBlank && c.lines[i].size() <= 80;
    });
    QTest::addRow("a beacon alone over two lines") << Test([](const Corpus& c, std::size_t i) {
        return i + 1 < c.lines.size() && c.spansOf(i).size() == 1 && c.spansOf(i + 1).size() == 1 &&
               c.spansOf(i)[0].from == 0 && c.breaks[i] == Break::Joined && c.breaks[i + 1] == Break::End &&
               c.spansOf(i + 1)[0].beacon == c.spansOf(i)[0].beacon;
    });
    QTest::addRow("a beacon alone over three lines") << Test([](const Corpus& c, std::size_t i) {
        return i + 2 < c.lines.size() && c.spansOf(i).size() == 1 && c.spansOf(i + 2).size() == 1 &&
               c.spansOf(i)[0].from == 0 && c.breaks[i] == Break::Joined &&
               c.breaks[i + 1] == Break::Joined && c.spansOf(i + 2)[0].beacon == c.spansOf(i)[0].beacon;
    });
    QTest::addRow("text between two beacons that is not a blank") << Test([](const Corpus& c, std::size_t i) {
        const auto s = c.spansOf(i);
        for (std::size_t k = 1; k < s.size(); ++k) {
            const std::string gap = c.lines[i].substr(s[k - 1].offset + s[k - 1].length,
                                                      s[k].offset - s[k - 1].offset - s[k - 1].length);
            if (gap.find_first_not_of(' ') != std::string::npos)
                return true;
        }
        return false;
    });
}

void TestCorpus::streamHoldsEveryLayout()
{
    QFETCH(std::function<bool(const Corpus&, std::size_t)>, holds);
    const Corpus c = makeCorpus({Layout::Stream, 3000, 0.01, 2, 9});
    std::size_t n = 0;
    for (std::size_t i = 0; i < c.lines.size(); ++i)
        n += holds(c, i);
    QVERIFY(n > 0);
}

void TestCorpus::miscopiedTimeStaysInItsField_data()
{
    QTest::addColumn<std::uint64_t>("seed");
    for (const std::uint64_t seed : {1, 2, 3, 4})
        QTest::addRow("seed %d", int(seed)) << seed;
}

void TestCorpus::miscopiedTimeStaysInItsField()
{
    QFETCH(std::uint64_t, seed);
    Random random(seed);
    const Corpus c = makeCorpus({Layout::Varied, 200, 0, 1, seed});
    std::size_t swapped = 0;
    std::size_t changed = 0;
    for (const std::string& sent : c.sent) {
        const std::string copy = withTimeMiscopied(sent, random);
        QCOMPARE(copy.size(), sent.size());
        std::vector<std::size_t> at;
        for (std::size_t i = 0; i < sent.size(); ++i) {
            if (copy[i] != sent[i])
                at.push_back(i + 1);
        }
        QVERIFY2(!at.empty() && at.size() <= 2, copy.c_str());
        QVERIFY2(at.front() >= 6 && at.back() <= 11, copy.c_str());
        QVERIFY(std::all_of(at.begin(), at.end(), [&](std::size_t pos) { return isHex(copy[pos - 1]); }));
        if (at.size() == 2) {
            QCOMPARE(at.back(), at.front() + 1);
            QCOMPARE(copy[at.front() - 1], sent[at.back() - 1]);
            QCOMPARE(copy[at.back() - 1], sent[at.front() - 1]);
        }
        (at.size() == 2 ? swapped : changed) += 1;
    }
    QVERIFY(swapped > 0 && changed > 0);
}

QTEST_APPLESS_MAIN(TestCorpus)
#include "tst_corpus.moc"
