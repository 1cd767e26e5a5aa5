// SPDX-License-Identifier: GPL-3.0-or-later
#include "decoder/chars.h"
#include "decoder/words.h"

#include <QRandomGenerator>
#include <QTest>
#include <array>
#include <vector>

namespace {

using Word = std::array<char, 8>;

std::uint64_t wordOf(const Word& bytes) { return orvik::words::load(bytes.data()); }

Word bytesOf(std::uint64_t word)
{
    Word bytes;
    orvik::words::store(bytes.data(), word);
    return bytes;
}

// Every byte value of `values` at every place of a word, beside neighbours drawn from `values`.
std::vector<Word> everyPlace(const std::vector<unsigned char>& values, quint32 seed)
{
    QRandomGenerator random(seed);
    std::vector<Word> out;
    for (const unsigned char v : values) {
        for (std::size_t place = 0; place < 8; ++place) {
            Word w;
            for (char& c : w)
                c = char(values[random.bounded(quint32(values.size()))]);
            w[place] = char(v);
            out.push_back(w);
        }
    }
    return out;
}

std::vector<unsigned char> range(int from, int to)
{
    std::vector<unsigned char> values;
    for (int v = from; v < to; ++v)
        values.push_back(static_cast<unsigned char>(v));
    return values;
}

} // namespace

Q_DECLARE_METATYPE(std::vector<Word>)

class TestWords : public QObject {
    Q_OBJECT

private slots:
    void eachByteAsItsCharacterRule_data();
    void eachByteAsItsCharacterRule();
};

void TestWords::eachByteAsItsCharacterRule_data()
{
    QTest::addColumn<std::vector<Word>>("words");
    QTest::addColumn<bool>("ascii"); // only bytes below 0x80, which foldCase takes
    QTest::addRow("every ASCII byte at every place") << everyPlace(range(0, 128), 1) << true;
    QTest::addRow("the edges of digits and letters, packed")
        << everyPlace({'/', '0', '9', ':', '@', 'A', 'F', 'G', 'Z', '[', '`', 'a', 'f', 'g', 'z', '{', 0x7F},
                      2)
        << true;
    QTest::addRow("every byte at every place") << everyPlace(range(0, 256), 3) << false;
    QTest::addRow("bytes with the top bit beside hex digits")
        << everyPlace({0x80, 0xB0, 0xB9, 0xC1, 0xE1, 0xE6, 0xFF, '0', '9', 'a', 'F'}, 4) << false;
}

// A word's rule gives for each byte what the one-character rule gives, whatever its neighbours.
void TestWords::eachByteAsItsCharacterRule()
{
    QFETCH(std::vector<Word>, words);
    QFETCH(bool, ascii);
    for (const Word& w : words) {
        const std::uint64_t word = wordOf(w);
        const Word folded = bytesOf(orvik::words::foldCase(word));
        const Word lettered = bytesOf(orvik::words::withLetterBits(word));
        const std::uint64_t hex = orvik::words::hexDigits(word);
        const std::uint64_t high = orvik::words::nonAscii(word);
        for (std::size_t i = 0; i < 8; ++i) {
            const auto c = static_cast<unsigned char>(w[i]);
            const bool isHex = c < 0x80 && orvik::isHexDigit(char16_t(c));
            QCOMPARE(bool(hex >> (8 * i + 7) & 1), isHex);
            QCOMPARE(bool(high >> (8 * i + 7) & 1), c >= 0x80);
            if (ascii)
                QCOMPARE(folded[i], orvik::foldCase(w[i]));
            if (isHex)
                QCOMPARE(lettered[i], orvik::foldCase(w[i]));
        }
    }
}

QTEST_GUILESS_MAIN(TestWords)
#include "tst_words.moc"
