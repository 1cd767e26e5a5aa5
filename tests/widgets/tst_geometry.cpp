// SPDX-License-Identifier: GPL-3.0-or-later
// Twips to pixels at 96 dots per inch, and the layout's fonts resolved to installed
// Liberation families at a fixed pixel size.
#include "widgets/geometry.h"

#include <QFontInfo>
#include <QTest>

using namespace orvik;

class TestGeometry : public QObject {
    Q_OBJECT
private slots:
    void twipsToPixels_data();
    void twipsToPixels();
    void twipsRect();
    void layoutFont_data();
    void layoutFont();
};

void TestGeometry::twipsToPixels_data()
{
    QTest::addColumn<int>("twips");
    QTest::addColumn<int>("pixels");

    QTest::addRow("zero") << 0 << 0;
    QTest::addRow("one pixel") << 15 << 1;
    QTest::addRow("ten pixels") << 150 << 10;
    QTest::addRow("one inch") << 1440 << 96;
    QTest::addRow("window row") << 10200 << 680;
    QTest::addRow("negative") << -30 << -2;
}

void TestGeometry::twipsToPixels()
{
    QFETCH(int, twips);
    QFETCH(int, pixels);
    QCOMPARE(orvik::twipsToPixels(twips), pixels);
}

void TestGeometry::twipsRect()
{
    QCOMPARE(orvik::twipsRect(8760, 10200, 1095, 255), QRect(584, 680, 73, 17));
    static_assert(orvik::twipsRect(15, 30, 45, 60) == QRect(1, 2, 3, 4));
}

void TestGeometry::layoutFont_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<double>("points");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QString>("resolved");
    QTest::addColumn<int>("pixelSize");

    QTest::addRow("sans 8.25") << "MS Sans Serif" << 8.25 << false << "Liberation Sans" << 11;
    QTest::addRow("sans 8.25 bold") << "MS Sans Serif" << 8.25 << true << "Liberation Sans" << 11;
    QTest::addRow("sans 12 bold") << "MS Sans Serif" << 12.0 << true << "Liberation Sans" << 16;
    QTest::addRow("sans 13.5") << "MS Sans Serif" << 13.5 << false << "Liberation Sans" << 18;
    QTest::addRow("sans, half pixel rounds up")
        << "MS Sans Serif" << 9.375 << false << "Liberation Sans" << 13;
    QTest::addRow("mono 8.25") << "Courier New" << 8.25 << false << "Liberation Mono" << 11;
    QTest::addRow("mono 9.75 bold") << "Courier New" << 9.75 << true << "Liberation Mono" << 13;
}

void TestGeometry::layoutFont()
{
    QFETCH(QString, family);
    QFETCH(double, points);
    QFETCH(bool, bold);
    QFETCH(QString, resolved);
    QFETCH(int, pixelSize);

    const QFont font = orvik::layoutFont(family, points, bold);
    QCOMPARE(font.pixelSize(), pixelSize);
    QCOMPARE(font.bold(), bold);

    // What the font system actually picks, not just the name that was asked for.
    const QFontInfo info(font);
    QCOMPARE(info.family(), resolved);
    QCOMPARE(info.pixelSize(), pixelSize);
    QCOMPARE(info.bold(), bold);
    QCOMPARE(info.fixedPitch(), resolved.endsWith(QLatin1String("Mono")));
}

QTEST_MAIN(TestGeometry)
#include "tst_geometry.moc"
