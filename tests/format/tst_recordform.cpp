// SPDX-License-Identifier: GPL-3.0-or-later
#include "format/recordform.h"
#include "support/referenceline.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <cmath>

using orvik::TextBlock;
using orvik::TlmFormat;

namespace {

constexpr double kLeft = std::numeric_limits<double>::quiet_NaN();

// The layouts of the archive's records as --from-archive writes them, of the trend export's
// rows, and of a recovered record, each with a few channels.
orvik::RecordLayout layoutOf(int kind)
{
    orvik::RecordLayout layout;
    if (kind == 0) {
        layout.before.push_back({"record"});
        layout.before.push_back({"received", "Received (UTC)"});
        layout.before.push_back({"source"});
        layout.before.push_back({"copies"});
        layout.channels = {0, 11, 13};
    } else if (kind == 1) {
        layout.before.push_back({"received", "Received (UTC)"});
        layout.channels = {13, 0};
    } else {
        layout.before.push_back({"record"});
        layout.before.push_back({"lines"});
        layout.after.push_back({"left_out"});
        layout.channels = {11};
    }
    return layout;
}

// A device that takes nothing.
class FullDevice : public QIODevice {
protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64) override { return -1; }
};

} // namespace

Q_DECLARE_METATYPE(TlmFormat)

class TestRecordForm : public QObject {
    Q_OBJECT

private slots:
    void recordText_data();
    void recordText();
    void header_data();
    void header();
    void beaconLineTakesTheLayoutsColumns_data();
    void beaconLineTakesTheLayoutsColumns();
    void blockHandsOnInPieces_data();
    void blockHandsOnInPieces();
    void counterReadsAsTheNumber_data();
    void counterReadsAsTheNumber();
};

void TestRecordForm::recordText_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<TlmFormat>("format");
    QTest::addColumn<QString>("decimalPoint");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QByteArray>("expected");
    const auto add = [](const char* name, int kind, TlmFormat format, const char* point, const char* source,
                        const QByteArray& expected) {
        QTest::addRow("%s", name) << kind << format << QString::fromUtf8(point) << QString::fromUtf8(source)
                                  << expected;
    };
    add("archive csv: JSON-only columns are not written", 0, TlmFormat::Csv, ".", "a.log:3",
        "2026-12-01T10:00:00Z;1234;12.5;;\r\n");
    add("archive csv, decimal comma", 0, TlmFormat::Csv, ",", "a.log:3",
        "2026-12-01T10:00:00Z;1234;12,5;;\r\n");
    add("archive csv, a two-byte separator", 0, TlmFormat::Csv, "\u066b", "a.log:3",
        "2026-12-01T10:00:00Z;1234;12\xd9\xab"
        "5;;\r\n");
    add("archive json: every column, null for a value left out", 0, TlmFormat::JsonLines, ",", "a.log:3",
        R"({"record":7,"received":"2026-12-01T10:00:00Z","source":"a.log:3","copies":2,)"
        R"("OBC Time":1234,"Battery Volt*":12.5,"Battery Temp*":null})"
        "\n");
    add("archive json: a source that needs escapes", 0, TlmFormat::JsonLines, ".",
        "pass \"7\"\\\t\x01 \xc3\xb8.log",
        R"({"record":7,"received":"2026-12-01T10:00:00Z","source":"pass \"7\"\\\u0009\u0001 )"
        "\xc3\xb8"
        R"(.log","copies":2,"OBC Time":1234,"Battery Volt*":12.5,"Battery Temp*":null})"
        "\n");
    add("trend csv: channels in the layout's order", 1, TlmFormat::Csv, ".", "",
        "2026-12-01T10:00:00Z;;1234;\r\n");
    add("recovered json: arrays, and a column after the values", 2, TlmFormat::JsonLines, ".", "",
        R"({"record":7,"lines":[3,30,300],"Battery Volt*":12.5,"left_out":["Battery Temp*","OBC Time"]})"
        "\n");
    add("recovered csv: the values alone", 2, TlmFormat::Csv, ".", "", "12.5;\r\n");
}

// Each writer's columns come out in its layout's order, in the format's own punctuation, and
// only the channels it holds; what CSV has no caption for is not written.
void TestRecordForm::recordText()
{
    QFETCH(int, kind);
    QFETCH(TlmFormat, format);
    QFETCH(QString, decimalPoint);
    QFETCH(QString, source);
    QFETCH(QByteArray, expected);
    orvik::RecordForm form(format, decimalPoint.toStdString(), layoutOf(kind));
    std::array<double, orvik::kChannelCount> all{};
    all[0] = 1234;
    all[11] = 12.5;
    all[13] = kLeft;
    std::vector<double> values;
    for (const int c : form.layout().channels)
        values.push_back(all[std::size_t(c)]);
    TextBlock out;
    orvik::RecordText text(form, out);
    if (kind == 0)
        text.number(7).text("2026-12-01T10:00:00Z").text(source.toStdString()).number(2);
    else if (kind == 1)
        text.text("2026-12-01T10:00:00Z");
    else
        text.number(7).numbers(3, [](std::size_t i) { return std::uint64_t(std::pow(10, i)) * 3; });
    text.values(values);
    const std::vector<std::string_view> leftOut{"Battery Temp*", "OBC Time"};
    if (kind == 2)
        text.texts(leftOut.size(), [&](std::size_t i) { return leftOut[i]; });
    text.end();
    const QByteArray written(out.data(), qsizetype(out.size()));
    QCOMPARE(written, expected);
    if (format == TlmFormat::JsonLines) {
        QJsonParseError error;
        QJsonDocument::fromJson(written, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
    }
}

void TestRecordForm::header_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<TlmFormat>("format");
    QTest::addColumn<QByteArray>("expected");
    QTest::addRow("archive csv") << 0 << TlmFormat::Csv
                                 << QByteArray("Received (UTC);OBC Time;Battery Volt*;Battery Temp*;\r\n");
    QTest::addRow("trend csv") << 1 << TlmFormat::Csv
                               << QByteArray("Received (UTC);Battery Temp*;OBC Time;\r\n");
    QTest::addRow("recovered csv, no column captioned")
        << 2 << TlmFormat::Csv << QByteArray("Battery Volt*;\r\n");
    QTest::addRow("json lines has none") << 0 << TlmFormat::JsonLines << QByteArray();
}

void TestRecordForm::header()
{
    QFETCH(int, kind);
    QFETCH(TlmFormat, format);
    QFETCH(QByteArray, expected);
    const orvik::RecordForm form(format, ".", layoutOf(kind));
    QCOMPARE(QByteArray::fromStdString(form.header()), expected);
}

void TestRecordForm::beaconLineTakesTheLayoutsColumns_data()
{
    QTest::addColumn<TlmFormat>("format");
    QTest::addColumn<quint32>("leftOut");
    QTest::addRow("csv") << TlmFormat::Csv << 0u;
    QTest::addRow("csv, channels left out") << TlmFormat::Csv << (1u | 1u << 30);
    QTest::addRow("json") << TlmFormat::JsonLines << 0u;
    QTest::addRow("json, channels left out") << TlmFormat::JsonLines << (1u | 1u << 30);
}

// The values of a line stand between the columns as the values of a record do, and a channel
// left out is empty or null.
void TestRecordForm::beaconLineTakesTheLayoutsColumns()
{
    QFETCH(TlmFormat, format);
    QFETCH(quint32, leftOut);
    orvik::RecordLayout layout;
    layout.before.push_back({"record"});
    layout.before.push_back({"line", "Line"});
    layout.after.push_back({"left_out"});
    orvik::RecordForm form(format, ".", std::move(layout));
    TextBlock out;
    bool plain = true;
    const std::string line = testsupport::referenceBytes().toStdString();
    orvik::RecordText(form, out).number(4).number(9).values(line, plain, leftOut).number(0).end();
    QVERIFY(plain);
    const QByteArray text(out.data(), qsizetype(out.size()));
    if (format == TlmFormat::Csv) {
        const QList<QByteArray> cells = text.split(';');
        QCOMPARE(cells.size(), 1 + 31 + 1);
        QCOMPARE(cells.front(), "9");
        QCOMPARE(cells.back(), "\r\n");
        QCOMPARE(cells[1].isEmpty(), (leftOut & 1) != 0);
        QCOMPARE(cells[31].isEmpty(), (leftOut & 1u << 30) != 0);
        QVERIFY(!cells[2].isEmpty());
        return;
    }
    QVERIFY(text.endsWith(",\"left_out\":0}\n"));
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(text, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(o.size(), 3 + 31);
    QCOMPARE(o.value("record").toInt(), 4);
    QCOMPARE(o.value("OBC Time").isNull(), (leftOut & 1) != 0);
    QCOMPARE(o.value("RSSI (orv6)").isNull(), (leftOut & 1u << 30) != 0);
}

void TestRecordForm::blockHandsOnInPieces_data()
{
    QTest::addColumn<QList<int>>("writes");
    QTest::addColumn<int>("handedOnBeforeFlush");
    constexpr int kPiece = int(orvik::kIoPiece);
    QTest::addRow("nothing, to a block that holds nothing yet") << QList<int>{0, 0} << 0;
    QTest::addRow("less than a piece waits") << QList<int>{10, 200, 3000} << 0;
    QTest::addRow("a piece goes when it is whole") << QList<int>{kPiece - 1, 1} << kPiece;
    QTest::addRow("a piece and more goes at once") << QList<int>{kPiece - 10, 100, 5} << kPiece + 90;
    QTest::addRow("a write larger than the block") << QList<int>{5, 3 * kPiece} << 3 * kPiece + 5;
}

// What is written reaches the device whole and in order, a piece at a time, and the rest when
// flushed.
void TestRecordForm::blockHandsOnInPieces()
{
    QFETCH(QList<int>, writes);
    QFETCH(int, handedOnBeforeFlush);
    QBuffer device;
    device.open(QIODevice::WriteOnly);
    TextBlock block(&device);
    QByteArray expected;
    for (int i = 0; i < writes.size(); ++i) {
        const std::string text(std::size_t(writes[i]), char('a' + i));
        block += text;
        expected += QByteArray::fromStdString(text);
        QVERIFY(block.handOnPiece());
    }
    QCOMPARE(device.data().size(), handedOnBeforeFlush);
    QVERIFY(block.flush());
    QCOMPARE(device.data(), expected);
    QCOMPARE(block.size(), std::size_t(0));

    FullDevice full;
    full.open(QIODevice::WriteOnly);
    TextBlock failing(&full);
    // Something to hand on, to a device that takes nothing.
    failing += std::string(std::size_t(std::max(1, writes.last())), 'x');
    QVERIFY(!failing.flush());
}

void TestRecordForm::counterReadsAsTheNumber_data()
{
    QTest::addColumn<QList<quint64>>("numbers");
    const auto run = [](quint64 from, int count) {
        QList<quint64> numbers;
        for (int i = 0; i < count; ++i)
            numbers << from + quint64(i);
        return numbers;
    };
    QTest::addRow("from 1, across 9 and 99") << run(1, 120);
    QTest::addRow("across 999999") << run(999990, 20);
    QTest::addRow("from 0") << run(0, 12);
    QTest::addRow("lines that skip, repeat and go back")
        << QList<quint64>{7, 8, 10, 10, 11, 3, 4, 99, 100, 9, 10};
    QTest::addRow("the largest") << QList<quint64>{18446744073709551614ull, 18446744073709551615ull, 1, 2};
}

// Counted on or made again, the text is always the number's.
void TestRecordForm::counterReadsAsTheNumber()
{
    QFETCH(QList<quint64>, numbers);
    orvik::DecimalCounter counter;
    for (const quint64 n : numbers) {
        const orvik::DecimalCounter& at = counter.at(n);
        QCOMPARE(QByteArray(at.data(), qsizetype(at.size())), QByteArray::number(n));
    }
}

QTEST_GUILESS_MAIN(TestRecordForm)
#include "tst_recordform.moc"
