// SPDX-License-Identifier: GPL-3.0-or-later
#include "decoder/diagnose.h"
#include "support/referenceline.h"

#include <QTest>

namespace {

const QString kGood = testsupport::referenceLine();

std::u16string_view view(const QString& s)
{
    return {reinterpret_cast<const char16_t*>(s.utf16()), std::size_t(s.size())};
}

// The good line with text written over it from position pos, counted from 1.
QString over(int pos, const QString& text)
{
    QString line = kGood;
    return line.replace(pos - 1, text.size(), text);
}

QStringList reasonsOf(const std::vector<std::string>& reasons)
{
    QStringList list;
    for (const std::string& r : reasons)
        list << QString::fromStdString(r);
    return list;
}

} // namespace

class TestDiagnose : public QObject {
    Q_OBJECT
private slots:
    void reasons_data();
    void reasons();
    void lineTooLongToHold();
    void attempt_data();
    void attempt();
};

void TestDiagnose::reasons_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("expected");

    QTest::addRow("clean") << kGood << QStringList{};
    QTest::addRow("clean in capitals") << kGood.toUpper() << QStringList{};
    QTest::addRow("one trailing blank")
        << kGood + " "
        << QStringList{"121 characters instead of 120: one trailing blank too many, remove it"};
    QTest::addRow("trailing blanks and a tab")
        << kGood + " \t "
        << QStringList{"123 characters instead of 120: 3 trailing blanks too many, remove them"};
    QTest::addRow("blank at 120 and one more")
        << kGood.left(119) + "  "
        << QStringList{"121 characters instead of 120: one trailing blank too "
                       "many, remove it"};
    QTest::addRow("extra character before the blank")
        << kGood + "0 " << QStringList{"122 characters instead of 120: 2 too many, 1 of them trailing blank"};
    QTest::addRow("character missing at the end")
        << kGood.left(119) << QStringList{"119 characters instead of 120: 1 missing"};
    QTest::addRow("orv4 missing") << over(39, "orb4")
                                  << QStringList{"\"orv4\" missing at position 39: \"orb4\" stands there"};
    QTest::addRow("zz in battery temperature")
        << over(36, "zz")
        << QStringList{"positions 36-37 (channel 13 \"Battery Temp*\") hold \"zz\", not hexadecimal digits"};
    QTest::addRow("blank in a shared field")
        << over(20, " 8")
        << QStringList{
               "positions 20-21 (channels 3-7 \"SEL Counter\", \"Antenna\", \"CW Duty\", \"Start Cause\", "
               "\"Charge Status\") hold \" 8\", not hexadecimal digits"};
    QTest::addRow("character dropped in frame 4")
        << QString(kGood).remove(45, 1)
        << QStringList{
               "119 characters instead of 120: 1 missing",
               "\"orv5\" missing at position 57: \"rv5 \" stands there, \"orv5\" found at position 56",
               "\"orv6\" missing at position 75: \"rv6 \" stands there, \"orv6\" found at position 74",
               "positions 54-55 (channel 19 \"SolarCurr -Z\") hold \"c \", not hexadecimal digits"};
    QTest::addRow("line ends before the last frame")
        << kGood.left(76)
        << QStringList{"76 characters instead of 120: 44 missing",
                       "\"orv6\" missing at position 75: only \"or\" stands there before the line ends"};
    QTest::addRow("control characters shown as escapes")
        << over(1, QString(QChar(0x1B)) + "[2J")
        << QStringList{"\"orv1\" missing at position 1: \"\\x1B[2J\" stands there"};
    QTest::addRow("quote and backslash escaped")
        << over(13, "o\"\\2")
        << QStringList{"\"orv2\" missing at position 13: \"o\\\"\\\\2\" stands "
                       "there"};
}

void TestDiagnose::reasons()
{
    QFETCH(QString, line);
    QFETCH(QStringList, expected);
    QCOMPARE(reasonsOf(orvik::diagnoseLine(view(line))), expected);
}

void TestDiagnose::lineTooLongToHold()
{
    const QString head = kGood.left(100);
    const orvik::LineShape shape{view(head), 5000000, 4999880};
    QCOMPARE(reasonsOf(orvik::diagnoseLine(shape)),
             QStringList{"5000000 characters instead of 120: 4999880 trailing blanks too many, remove them"});
}

void TestDiagnose::attempt_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("attempt");
    QTest::addRow("empty") << "" << false;
    QTest::addRow("orv alone") << "orv" << true;
    QTest::addRow("ORV in capitals") << "xxORVxx" << true;
    QTest::addRow("o r v apart") << "o r v" << false;
    QTest::addRow("99 characters") << QString(99, u'x') << false;
    QTest::addRow("100 characters") << QString(100, u'x') << true;
    QTest::addRow("140 characters") << QString(140, u'x') << true;
    QTest::addRow("141 characters") << QString(141, u'x') << false;
    // The satellite's name is no tag heard wrong; a tag that lost its digit is.
    QTest::addRow("a header naming the satellite") << "# Orvik pass 2026-12-08" << false;
    QTest::addRow("the tool's name") << "orvik-tlm --recover pass.txt" << false;
    QTest::addRow("a tag heard with a letter") << "orvi 01e240 orv2 e55a0080" << true;
    QTest::addRow("a tag before a field's letters") << "orvfe 01e240" << true;
    QTest::addRow("ORV inside a word") << "xxORVik" << true;
}

void TestDiagnose::attempt()
{
    QFETCH(QString, line);
    QFETCH(bool, attempt);
    QCOMPARE(orvik::looksLikeBeaconAttempt(view(line)), attempt);
}

QTEST_APPLESS_MAIN(TestDiagnose)
#include "tst_diagnose.moc"
