// SPDX-License-Identifier: GPL-3.0-or-later
#include "decoder/hexconv.h"

#include <QTest>

class TestHexConv : public QObject {
    Q_OBJECT
private slots:
    void hexToDec_data();
    void hexToDec();
};

void TestHexConv::hexToDec_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    QTest::addRow("ff") << "ff" << 255;
}

void TestHexConv::hexToDec()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(orvik::HexToDec(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), text.size())), expected);
}

QTEST_APPLESS_MAIN(TestHexConv)
#include "tst_hexconv.moc"
