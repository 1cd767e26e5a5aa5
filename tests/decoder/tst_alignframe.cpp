// SPDX-License-Identifier: GPL-3.0-or-later
// Aligning a damaged frame with a reference: a character is placed only where the cheapest
// alignments leave no doubt, a letter lost or doubled in a run of it is still certain, and a
// copy too far off, or a reference too short, places nothing.
#include "decoder/alignframe.h"

#include <QTest>

class TestAlignFrame : public QObject {
    Q_OBJECT
private slots:
    void places_data();
    void places();
};

void TestAlignFrame::places_data()
{
    QTest::addColumn<QString>("ref");
    QTest::addColumn<QString>("copy");
    QTest::addColumn<QString>("expected"); // '.' where nothing is placed

    // Frame 3 after its tag: a blank, six field characters, a blank.
    QTest::addRow("as sent") << " a0c880 "
                             << " a0c880 "
                             << "a0c880";
    QTest::addRow("a character lost") << " a0c880 "
                                      << " a0880 "
                                      << "a0.880";
    QTest::addRow("a character gained after the fields") << " a0c880 "
                                                         << " a0c8801 "
                                                         << "a0c880";
    QTest::addRow("a letter lost in a run of it") << " a0c880 "
                                                  << " a0c80 "
                                                  << "a0c880";
    QTest::addRow("a letter doubled in a run of it") << " a0c880 "
                                                     << " a0c8880 "
                                                     << "a0c880";
    QTest::addRow("a blank lost before the fields") << " a0c880 "
                                                    << "a0c880 "
                                                    << "a0c880";
    QTest::addRow("lost and heard wrong, no single way") << " a0c880 "
                                                         << " a0d80 "
                                                         << "a0..80";
    QTest::addRow("too far off") << " a0c880 "
                                 << " x0y8z "
                                 << "......";
    QTest::addRow("a reference too short") << " a0c"
                                           << " a0c880 "
                                           << "......";
}

void TestAlignFrame::places()
{
    QFETCH(QString, ref);
    QFETCH(QString, copy);
    QFETCH(QString, expected);
    const orvik::FrameLayout& layout = orvik::kLayout[2];
    QCOMPARE(expected.size(), layout.fieldLength);
    std::u16string readings(std::size_t(layout.fieldLength), u'\0');
    orvik::alignFrame(
        std::u16string_view(reinterpret_cast<const char16_t*>(ref.utf16()), std::size_t(ref.size())),
        std::u16string_view(reinterpret_cast<const char16_t*>(copy.utf16()), std::size_t(copy.size())),
        layout, readings.data());
    QString got;
    for (const char16_t c : readings)
        got += c == 0 ? QChar(u'.') : QChar(c);
    QCOMPARE(got, expected);
}

QTEST_APPLESS_MAIN(TestAlignFrame)
#include "tst_alignframe.moc"
