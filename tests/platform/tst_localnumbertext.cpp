// SPDX-License-Identifier: GPL-3.0-or-later
// Number texts in the user's locale: its decimal separator and never a group separator.
// CTest runs this twice, in the plain environment and with LC_ALL=de_DE.UTF-8;
// ORVIK_EXPECT_DECIMAL names the separator the run must see.
#include "platform/numbertext.h"

#include <QLocale>
#include <QTest>

using namespace orvik;

namespace {

enum class Kind { Whole, Fixed2, General };

QString expectedDecimal()
{
    const QString fromEnvironment = qEnvironmentVariable("ORVIK_EXPECT_DECIMAL");
    return fromEnvironment.isEmpty() ? QStringLiteral(".") : fromEnvironment;
}

} // namespace

class TestLocalNumberText : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void texts_data();
    void texts();
};

void TestLocalNumberText::initTestCase()
{
    const QString decimal = expectedDecimal();
    if (QLocale::system().decimalPoint() != decimal)
        QFAIL(qPrintable(QStringLiteral("the system locale %1 has decimal point '%2', expected '%3' "
                                        "(LC_ALL decides; scripts/install-deps generates de_DE.UTF-8)")
                             .arg(QLocale::system().name(), QLocale::system().decimalPoint(), decimal)));
    QCOMPARE(localDecimalPoint(), decimal);
}

void TestLocalNumberText::texts_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<double>("value");
    // '.' stands for the locale's decimal separator.
    QTest::addColumn<QString>("expected");

    QTest::addRow("whole, tie to even down") << Kind::Whole << 2.5 << "2";
    QTest::addRow("whole, tie to even up") << Kind::Whole << 3.5 << "4";
    QTest::addRow("whole, negative tie") << Kind::Whole << -2.5 << "-2";
    QTest::addRow("whole, no grouping") << Kind::Whole << 123456.0 << "123456";
    QTest::addRow("whole, millions") << Kind::Whole << 1234567.5 << "1234568";
    QTest::addRow("whole, negative thousands") << Kind::Whole << -98765.4 << "-98765";

    QTest::addRow("fixed, zero") << Kind::Fixed2 << 0.0 << "0.00";
    QTest::addRow("fixed, below one") << Kind::Fixed2 << 0.4 << "0.40";
    QTest::addRow("fixed, negative") << Kind::Fixed2 << -0.25 << "-0.25";
    QTest::addRow("fixed, no grouping") << Kind::Fixed2 << 123456.789 << "123456.79";
    QTest::addRow("fixed, millions") << Kind::Fixed2 << 1234567.0 << "1234567.00";

    QTest::addRow("general, fraction") << Kind::General << 0.1 << "0.1";
    QTest::addRow("general, whole") << Kind::General << 1234567.0 << "1234567";
    QTest::addRow("general, no grouping") << Kind::General << 123456.789 << "123456.789";
    QTest::addRow("general, negative") << Kind::General << -1234.5 << "-1234.5";
    QTest::addRow("general, 15 digits") << Kind::General << 1.0 / 3.0 << "0.333333333333333";
    QTest::addRow("general, 15 whole digits") << Kind::General << 123456789012345.0 << "123456789012345";
}

void TestLocalNumberText::texts()
{
    QFETCH(Kind, kind);
    QFETCH(double, value);
    QFETCH(QString, expected);

    expected.replace(QLatin1Char('.'), expectedDecimal());
    QString text;
    switch (kind) {
    case Kind::Whole: text = wholeNumberText(value); break;
    case Kind::Fixed2: text = fixed2NumberText(value); break;
    case Kind::General: text = generalNumberText(value); break;
    }
    QCOMPARE(text, expected);
}

QTEST_GUILESS_MAIN(TestLocalNumberText)
#include "tst_localnumbertext.moc"
