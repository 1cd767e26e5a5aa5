// SPDX-License-Identifier: GPL-3.0-or-later
// The three number texts: whole numbers (ties to even), the "0.00" format and the general
// conversion (up to 15 significant digits), with a given decimal separator.
#include "decoder/numbertext.h"

#include <QTest>
#include <cmath>
#include <limits>
#include <string>

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

} // namespace

class TestNumberText : public QObject {
    Q_OBJECT
private slots:
    void wholeText_data();
    void wholeText();
    void wholeTextTiesToEven();
    void wholeTextLargeValues_data();
    void wholeTextLargeValues();
    void wholeTextLowestDouble();
    void fixed2Text_data();
    void fixed2Text();
    void generalText_data();
    void generalText();
    void appendGeneralText();
};

void TestNumberText::wholeText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    // Ties to even.
    QTest::addRow("2.5") << 2.5 << "2";
    QTest::addRow("3.5") << 3.5 << "4";
    QTest::addRow("-2.5") << -2.5 << "-2";
    QTest::addRow("-3.5") << -3.5 << "-4";
    QTest::addRow("0.5") << 0.5 << "0";
    QTest::addRow("1.5") << 1.5 << "2";
    QTest::addRow("-1.5") << -1.5 << "-2";
    QTest::addRow("-0.5 is 0, no sign") << -0.5 << "0";
    QTest::addRow("64.5") << 64.5 << "64";
    QTest::addRow("127.5") << 127.5 << "128";

    // Nearest otherwise.
    QTest::addRow("2.4999") << 2.4999 << "2";
    QTest::addRow("2.5000000000000004") << 2.5000000000000004 << "3";
    QTest::addRow("0.49999999999999994") << 0.49999999999999994 << "0";
    QTest::addRow("-0.4") << -0.4 << "0";
    QTest::addRow("-0.6") << -0.6 << "-1";
    QTest::addRow("7.0000001") << 7.0000001 << "7";
    QTest::addRow("6.9999999") << 6.9999999 << "7";

    // Whole values: no padding, no grouping, no separator.
    QTest::addRow("0") << 0.0 << "0";
    QTest::addRow("-0.0") << -0.0 << "0";
    QTest::addRow("17") << 17.0 << "17";
    QTest::addRow("128") << 128.0 << "128";
    QTest::addRow("-75") << -75.0 << "-75";
    QTest::addRow("123456") << 123456.0 << "123456";
    QTest::addRow("16777215") << 16777215.0 << "16777215";
    QTest::addRow("INT32_MAX") << 2147483647.0 << "2147483647";
    QTest::addRow("INT32_MIN") << -2147483648.0 << "-2147483648";
}

void TestNumberText::wholeText()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(q(orvik::wholeText(value)), expected);
}

// Every half from -1000.5 to 1000.5 goes to the even neighbour; values just off a half go
// to the nearer one.
void TestNumberText::wholeTextTiesToEven()
{
    for (int i = -2001; i <= 2001; i += 2) {
        const double half = i / 2.0; // n + 0.5
        const long long lo = static_cast<long long>(std::floor(half));
        const long long even = lo % 2 == 0 ? lo : lo + 1;
        QCOMPARE(q(orvik::wholeText(half)), QString::number(even == 0 ? 0 : even));
        const long long below = lo, above = lo + 1;
        QCOMPARE(q(orvik::wholeText(std::nextafter(half, -1e9))), QString::number(below));
        QCOMPARE(q(orvik::wholeText(std::nextafter(half, 1e9))), QString::number(above));
    }
}

// Outside the 32-bit range the channels never reach, the text is still the whole value in
// full (a 32-character buffer once turned everything from 1e32 on into garbage).
void TestNumberText::wholeTextLargeValues_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::addRow("1e20") << 1e20 << "100000000000000000000";
    QTest::addRow("1e31") << 1e31 << "9999999999999999635896294965248";
    QTest::addRow("1e32") << 1e32 << "100000000000000005366162204393472";
    QTest::addRow("-1e40") << -1e40 << "-10000000000000000303786028427003666890752";
}

void TestNumberText::wholeTextLargeValues()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(q(orvik::wholeText(value)), expected);
}

void TestNumberText::wholeTextLowestDouble()
{
    const QString lowest = q(orvik::wholeText(std::numeric_limits<double>::lowest()));
    QCOMPARE(lowest.size(), 310);
    QVERIFY(lowest.startsWith(QStringLiteral("-1797693134862315708")));
}

void TestNumberText::fixed2Text_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("expected");

    // The texts the panels show.
    QTest::addRow("2.5") << 2.5 << "."
                         << "2.50";
    QTest::addRow("2.5 comma") << 2.5 << ","
                               << "2,50";
    QTest::addRow("0") << 0.0 << "."
                       << "0.00";
    QTest::addRow("0 comma") << 0.0 << ","
                             << "0,00";
    QTest::addRow("-1.234") << -1.234 << "."
                            << "-1.23";
    QTest::addRow("-1.234 comma") << -1.234 << ","
                                  << "-1,23";
    QTest::addRow("118.3") << 118.3 << "."
                           << "118.30";
    QTest::addRow("118.3 comma") << 118.3 << ","
                                 << "118,30";

    // At least one digit before, exactly two after, rounded to two places.
    QTest::addRow("0.5") << 0.5 << "."
                         << "0.50";
    QTest::addRow("-0.5") << -0.5 << "."
                          << "-0.50";
    QTest::addRow("-0.0") << -0.0 << "."
                          << "0.00";
    QTest::addRow("7") << 7.0 << "."
                       << "7.00";
    QTest::addRow("-75") << -75.0 << "."
                         << "-75.00";
    QTest::addRow("0.994") << 0.994 << "."
                           << "0.99";
    QTest::addRow("0.996 carries") << 0.996 << "."
                                   << "1.00";
    QTest::addRow("99.999 carries") << 99.999 << "."
                                    << "100.00";
    QTest::addRow("-0.996 carries") << -0.996 << "."
                                    << "-1.00";
    QTest::addRow("0.0149") << 0.0149 << "."
                            << "0.01";
    QTest::addRow("0.0151") << 0.0151 << "."
                            << "0.02";
    QTest::addRow("1234567.891 no grouping") << 1234567.891 << "."
                                             << "1234567.89";
    QTest::addRow("1234567.891 comma, no grouping") << 1234567.891 << ","
                                                    << "1234567,89";

    // Values of the reference line.
    QTest::addRow("channel 10, 2.409999962") << 2.409999962352941 << "."
                                             << "2.41";
    QTest::addRow("channel 13, 13.896") << 13.896 << ","
                                        << "13,90";
    QTest::addRow("channel 20, -0.758") << -0.7580000000000098 << "."
                                        << "-0.76";
    QTest::addRow("channel 26, 0.3526") << 0.35259999999998115 << "."
                                        << "0.35";
    QTest::addRow("channel 28, 18.024064") << 18.024064171122998 << "."
                                           << "18.02";
    QTest::addRow("channel 19, 150.8174") << 150.8174 << "."
                                          << "150.82";

    // The separator is a string.
    QTest::addRow("Arabic decimal separator")
        << 2.5 << QStringLiteral("\u066b") << QStringLiteral("2\u066b50");
    QTest::addRow("two-character separator") << -1.234 << " ."
                                             << "-1 .23";
}

void TestNumberText::fixed2Text()
{
    QFETCH(double, value);
    QFETCH(QString, separator);
    QFETCH(QString, expected);
    QCOMPARE(q(orvik::fixed2Text(value, separator.toStdString())), expected);
}

void TestNumberText::generalText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("expected");

    // Whole numbers without separator, no grouping.
    QTest::addRow("12") << 12.0 << "."
                        << "12";
    QTest::addRow("12 comma") << 12.0 << ","
                              << "12";
    QTest::addRow("0") << 0.0 << ","
                       << "0";
    QTest::addRow("-0.0") << -0.0 << "."
                          << "0";
    QTest::addRow("-75") << -75.0 << "."
                         << "-75";
    QTest::addRow("128") << 128.0 << "."
                         << "128";
    QTest::addRow("123456") << 123456.0 << "."
                            << "123456";
    QTest::addRow("123456 comma") << 123456.0 << ","
                                  << "123456";
    QTest::addRow("16777215") << 16777215.0 << "."
                              << "16777215";
    QTest::addRow("-2147483648") << -2147483648.0 << "."
                                 << "-2147483648";
    QTest::addRow("15 digits") << 123456789012345.0 << "."
                               << "123456789012345";

    // Fractions: the separator given, no trailing zeros.
    QTest::addRow("0.5") << 0.5 << "."
                         << "0.5";
    QTest::addRow("0.5 comma") << 0.5 << ","
                               << "0,5";
    QTest::addRow("-0.5 comma") << -0.5 << ","
                                << "-0,5";
    QTest::addRow("2.5") << 2.5 << ","
                         << "2,5";
    QTest::addRow("118.3") << 118.3 << "."
                           << "118.3";
    QTest::addRow("100.25 comma") << 100.25 << ","
                                  << "100,25";
    QTest::addRow("4.5") << 4.5 << "."
                         << "4.5";
    QTest::addRow("0.1") << 0.1 << "."
                         << "0.1";
    QTest::addRow("0.001") << 0.001 << "."
                           << "0.001";
    QTest::addRow("1/3") << 1.0 / 3 << "."
                         << "0.333333333333333";
    QTest::addRow("2/3") << 2.0 / 3 << "."
                         << "0.666666666666667";
    QTest::addRow("-2/3 comma") << -2.0 / 3 << ","
                                << "-0,666666666666667";
    QTest::addRow("123456.75") << 123456.75 << "."
                               << "123456.75";

    // Values of the reference line, at 15 significant digits.
    QTest::addRow("channel 10") << 2.409999962352941 << "."
                                << "2.40999996235294";
    QTest::addRow("channel 10 comma") << 2.409999962352941 << ","
                                      << "2,40999996235294";
    QTest::addRow("channel 11") << 12.046144000000002 << "."
                                << "12.046144";
    QTest::addRow("channel 14") << 26.660700000000002 << "."
                                << "26.6607";
    QTest::addRow("channel 17") << 98.12659999999998 << "."
                                << "98.1266";
    QTest::addRow("channel 20") << -0.7580000000000098 << "."
                                << "-0.75800000000001";
    QTest::addRow("channel 24") << 2.1289999999999907 << "."
                                << "2.12899999999999";
    QTest::addRow("channel 27") << 2.2588235294117647 << "."
                                << "2.25882352941176";
    QTest::addRow("channel 28") << 18.024064171122998 << "."
                                << "18.024064171123";
    QTest::addRow("channel 30") << 1.2049999811764704 << ","
                                << "1,20499998117647";
}

void TestNumberText::generalText()
{
    QFETCH(double, value);
    QFETCH(QString, separator);
    QFETCH(QString, expected);
    QCOMPARE(q(orvik::generalText(value, separator.toStdString())), expected);
}

void TestNumberText::appendGeneralText()
{
    std::string out = "OBC Time;";
    orvik::appendGeneralText(out, 123456, ",");
    out += ';';
    orvik::appendGeneralText(out, 0.5, ",");
    out += ';';
    orvik::appendGeneralText(out, -75, ",");
    QCOMPARE(q(out), QStringLiteral("OBC Time;123456;0,5;-75"));
}

QTEST_APPLESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
