// SPDX-License-Identifier: GPL-3.0-or-later
#include "decoder/diagnose.h"
#include "decoder/numbertext.h"
#include "format/beacontext.h"
#include "format/csvwriter.h"
#include "support/logtext.h"
#include "support/referenceline.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <charconv>
#include <cmath>

using orvik::Record;

namespace {

QStringList captions()
{
    QStringList list;
    for (const orvik::Channel& ch : orvik::kChannels)
        list << QString::fromUtf8(ch.caption.data(), qsizetype(ch.caption.size()));
    return list;
}

const QByteArray kHeader =
    "OBC Time;Uplink Counter;Camera Counter;SEL Counter;Antenna;CW Duty;Start Cause;"
    "Charge Status;OBC Survial;TNC Survival;RSSI (orv2);Battery Volt*;SolarArray Volt*;"
    "Battery Temp*;SolarCurr +X;SolarCurr -X;SolarCurr +Y;SolarCurr -Y;SolarCurr +Z;"
    "SolarCurr -Z;PanelTemp +X;PanelTemp -X;PanelTemp +Y;PanelTemp -Y;PanelTemp +Z;"
    "PanelTemp -Z;FM TX Temp;Battery Volt;SolarArray Volt;Battery Temp;RSSI (orv6);\r\n";

// Channel i holds values[i]; the rest are 0.
Record recordOf(const QList<double>& values)
{
    Record r{};
    for (int i = 0; i < values.size(); ++i)
        r[std::size_t(i)] = values[i];
    return r;
}

void parseInto(orvik::RecordTable& table, const QStringList& lines)
{
    const QString log = lines.join(QStringLiteral("\r\n"));
    testsupport::parseCrLfLog({reinterpret_cast<const char16_t*>(log.utf16()), std::size_t(log.size())},
                              table);
}

orvik::RecordTable tableOf(const QStringList& lines)
{
    orvik::RecordTable table;
    parseInto(table, lines);
    return table;
}

QByteArray exported(const orvik::RecordTable& table)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    return orvik::writeCsv(buffer, captions(), table, ".") ? buffer.data() : QByteArray("write failed");
}

using testsupport::beacon;

// Fails every write once `budget` bytes have gone through.
class FailingDevice : public QIODevice {
public:
    explicit FailingDevice(qint64 budget)
        : m_budget(budget)
    {
        open(QIODevice::WriteOnly);
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 len) override
    {
        if (m_written + len > m_budget)
            return -1;
        m_written += len;
        return len;
    }

private:
    qint64 m_budget;
    qint64 m_written = 0;
};

QByteArray fileContents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestCsvWriter : public QObject {
    Q_OBJECT
private slots:
    void recordLine_data();
    void recordLine();
    void numbersMatchGeneralText_data();
    void numbersMatchGeneralText();
    void beaconTextIsTheRecordText_data();
    void beaconTextIsTheRecordText();
    void header_data();
    void header();
    void headerOnlyWhenNoRecord();
    void failingDevice_data();
    void failingDevice();
    void saveReplacesOlderFile();
    void saveFailureKeepsOlderFile_data();
    void saveFailureKeepsOlderFile();
};

void TestCsvWriter::recordLine_data()
{
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<QString>("decimalPoint");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray zeros = QByteArray("0;").repeated(31 - 6) + "\r\n";
    const QList<double> mixed{123456, 12, -75, 0.5, 13.896, 2.409999962352941};
    QTest::addRow("point") << mixed << "."
                           << "123456;12;-75;0.5;13.896;2.40999996235294;" + zeros;
    QTest::addRow("comma") << mixed << ","
                           << "123456;12;-75;0,5;13,896;2,40999996235294;" + zeros;
    QTest::addRow("exponent and limits")
        << QList<double>{1e15, 123456789012345, 1e-5, -0.0, 1.0 / 3, 1e300} << "."
        << "1e+15;123456789012345;1e-05;0;0.333333333333333;1e+300;" + zeros;
    QTest::addRow("sixteen digits round")
        << QList<double>{1234567890123456, -2.5e-300, 0.1 + 0.2, 4.5, 1e14, -1e15} << "."
        << "1.23456789012346e+15;-2.5e-300;0.3;4.5;100000000000000;-1e+15;" + zeros;
    QTest::addRow("long separator") << QList<double>{-1.775, 7, 0, 0, 0, 0} << QString::fromUtf8("\u066B")
                                    << QByteArray("-1\xD9\xAB"
                                                  "775;7;") +
                                           QByteArray("0;").repeated(29) + "\r\n";
}

void TestCsvWriter::recordLine()
{
    QFETCH(QList<double>, values);
    QFETCH(QString, decimalPoint);
    QFETCH(QByteArray, expected);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    orvik::CsvWriter writer(buffer, decimalPoint.toStdString());
    QVERIFY(writer.writeRecord(recordOf(values)));
    QCOMPARE(buffer.data(), expected);
}

void TestCsvWriter::numbersMatchGeneralText_data()
{
    QTest::addColumn<int>("kind");
    QTest::addRow("few values, many repeats") << 0;
    QTest::addRow("values of every size") << 1;
    QTest::addRow("whole numbers of all sizes") << 2;
}

void TestCsvWriter::numbersMatchGeneralText()
{
    QFETCH(int, kind);
    QRandomGenerator rng(uint(kind) + 7);
    const auto value = [&]() -> double {
        switch (kind) {
        case 0: return double(rng.bounded(256)) * 0.5896 - 65.614;
        case 1: return (rng.generateDouble() - 0.5) * std::pow(10.0, rng.bounded(-20, 20));
        default: return std::round((rng.generateDouble() - 0.5) * std::pow(10.0, rng.bounded(0, 18)));
        }
    };
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    orvik::CsvWriter writer(buffer, ",");
    std::string expected;
    for (int n = 0; n < 2000; ++n) {
        Record r;
        for (double& v : r) {
            v = value();
            orvik::appendGeneralText(expected, v, ",");
            expected += ';';
        }
        expected += "\r\n";
        QVERIFY(writer.writeRecord(r));
    }
    QCOMPARE(buffer.data().toStdString(), expected);
}

void TestCsvWriter::beaconTextIsTheRecordText_data()
{
    QTest::addColumn<QString>("decimalPoint");
    QTest::addColumn<QStringList>("lines");
    // Every value in every field, in both letter cases.
    QStringList everyValue;
    for (int b = 0; b < 256; ++b) {
        QString line = beacon(b * 0x10101);
        for (const orvik::Channel& ch : orvik::kChannels) {
            if (ch.len == 2)
                line.replace(ch.pos - 1, 2, QString::asprintf(b % 2 ? "%02X" : "%02x", b));
        }
        everyValue << line;
    }
    QTest::addRow("every value, point") << "." << everyValue;
    QTest::addRow("every value, comma") << "," << everyValue;
    QTest::addRow("every value, two-byte separator") << QStringLiteral("\u066B") << everyValue;
    QTest::addRow("every value, separator too long to keep") << QString(14, u'#') << everyValue;
    QStringList longWay;
    const auto add = [&](int pos, const QString& text) {
        longWay << beacon(1).replace(pos - 1, text.size(), text);
    };
    for (const char* obcTime : {"0x8000", "&h7fff", " 12 3 ", "zzzzzz", "FFFFFF", "7ffffz", "800000"})
        add(6, obcTime);
    for (const char* field : {"zz", "3z", " 3"})
        add(36, field);
    add(20, "0x");
    add(20, "&H");
    add(24, QStringLiteral("\u00e95"));
    add(24, QStringLiteral("5\u00e9"));
    add(82, QStringLiteral("\uff11\uff12"));
    QTest::addRow("fields read the long way") << "." << longWay;
}

// The text made straight from the fields equals the text of the decoded record, in CSV and
// in JSON, from UTF-16 and from ASCII bytes, also with channels left out; only fields with
// other characters than hex digits draw a diagnostic.
void TestCsvWriter::beaconTextIsTheRecordText()
{
    QFETCH(QString, decimalPoint);
    QFETCH(QStringList, lines);
    const std::string point = decimalPoint.toStdString();
    const orvik::BeaconText csv(orvik::NumberStyle::Csv, point);
    const orvik::BeaconText json(orvik::NumberStyle::Json, point);
    for (const QString& line : lines) {
        const std::u16string_view units(reinterpret_cast<const char16_t*>(line.utf16()),
                                        std::size_t(line.size()));
        QVERIFY(orvik::isBeaconLine(units));
        Record record;
        orvik::decodeBeaconLine(units, record);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(orvik::CsvWriter(buffer, point).writeRecord(record));
        const QByteArray csvText = buffer.data().chopped(2);
        // Channels 0, 13 and 30 left out, as a recovered record may leave them.
        constexpr std::uint32_t kLeftOut = 1u << 0 | 1u << 13 | 1u << 30;
        QByteArray jsonText;
        QByteArray jsonLeftOut;
        QByteArrayList cells = csvText.split(';');
        for (std::size_t c = 0; c < record.size(); ++c) {
            char number[32];
            const QByteArray key = ",\"" + QByteArray(orvik::kChannels[c].caption.data()) + "\":";
            const QByteArray value(number, std::to_chars(number, number + 32, record[c]).ptr - number);
            jsonText += key + value;
            jsonLeftOut += key + ((kLeftOut >> c & 1) != 0 ? QByteArray("null") : value);
            if ((kLeftOut >> c & 1) != 0)
                cells[qsizetype(c)].clear();
        }
        const QByteArray csvLeftOut = cells.join(';');
        const bool plain = orvik::diagnoseLine(units).empty();

        std::vector<char> out(csv.room() + json.room());
        const auto made = [&](const orvik::BeaconText& text, auto view) {
            bool clean = true;
            const char* end = text.append(out.data(), view, clean);
            return std::pair(QByteArray(out.data(), end - out.data()), clean);
        };
        QCOMPARE(made(csv, units), std::pair(csvText, plain));
        QCOMPARE(made(json, units), std::pair(jsonText, plain));
        if (line.toLatin1() == line.toUtf8()) {
            const QByteArray bytes = line.toLatin1();
            const std::string_view ascii(bytes.constData(), std::size_t(bytes.size()));
            QCOMPARE(made(csv, ascii), std::pair(csvText, plain));
            QCOMPARE(made(json, ascii), std::pair(jsonText, plain));
            const auto leftOut = [&](const orvik::BeaconText& text) {
                bool clean = true;
                const char* end = text.append(out.data(), ascii, clean, kLeftOut);
                return QByteArray(out.data(), end - out.data());
            };
            QCOMPARE(leftOut(csv), csvLeftOut);
            QCOMPARE(leftOut(json), jsonLeftOut);
        }
    }
}

void TestCsvWriter::header_data()
{
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("expected");

    QTest::addRow("the channel captions") << captions() << true << kHeader;
    QStringList comma = captions();
    comma[3] = "A;B";
    QTest::addRow("caption holding ;") << comma << false << QByteArray();
    QTest::addRow("30 captions") << captions().mid(1) << false << QByteArray();
}

void TestCsvWriter::header()
{
    QFETCH(QStringList, captions);
    QFETCH(bool, ok);
    QFETCH(QByteArray, expected);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    orvik::CsvWriter writer(buffer, ".");
    QCOMPARE(writer.writeHeader(captions), ok);
    QCOMPARE(buffer.data(), expected);
}

void TestCsvWriter::headerOnlyWhenNoRecord()
{
    // Rows above the count keep older values, which must not be written.
    orvik::RecordTable table;
    parseInto(table, {beacon(1), beacon(2)});
    parseInto(table, {"nothing"});
    QCOMPARE(table.count(), 0);
    QCOMPARE(exported(table), kHeader);
}

void TestCsvWriter::failingDevice_data()
{
    QTest::addColumn<qint64>("budget");
    QTest::addRow("header") << qint64(0);
    const qint64 whole = exported(tableOf({beacon(1), beacon(2), beacon(3)})).size();
    QTest::addRow("last byte") << whole - 1;
}

void TestCsvWriter::failingDevice()
{
    QFETCH(qint64, budget);
    FailingDevice device(budget);
    QVERIFY(!orvik::writeCsv(device, captions(), tableOf({beacon(1), beacon(2), beacon(3)}), "."));
}

void TestCsvWriter::saveReplacesOlderFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("orvik_telemetry.csv");
    const orvik::RecordTable first = tableOf({beacon(1), beacon(2)});
    QVERIFY(orvik::saveCsvFile(path, captions(), first, ".", nullptr));
    QCOMPARE(fileContents(path), exported(first));
    const orvik::RecordTable second = tableOf({beacon(3)});
    QVERIFY(orvik::saveCsvFile(path, captions(), second, ".", nullptr));
    QCOMPARE(fileContents(path), exported(second));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"orvik_telemetry.csv"});
}

void TestCsvWriter::saveFailureKeepsOlderFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addRow("parent is a file") << "old/orvik_telemetry.csv";
    QTest::addRow("missing folder") << "missing/orvik_telemetry.csv";
    QTest::addRow("path is a folder") << "folder";
    // No room beside the longest name for the new file's own name: fails as root too.
    QTest::addRow("older file, no room beside it") << QString(255, u'x');
}

void TestCsvWriter::saveFailureKeepsOlderFile()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    const QString older = name.startsWith(u'x') ? name : QStringLiteral("old");
    QFile file(dir.filePath(older));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("older") == 5);
    file.close();
    QString error;
    QVERIFY(!orvik::saveCsvFile(dir.filePath(name), captions(), tableOf({beacon(1)}), ".", &error));
    // The message names the file first, then why it failed.
    const QString named = "'" + QDir::toNativeSeparators(dir.filePath(name)) + "' cannot be written: ";
    QVERIFY2(error.startsWith(named) && error.size() > named.size(), qPrintable(error));
    QCOMPARE(fileContents(dir.filePath(older)), QByteArray("older"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             (QStringList{"folder", older}));
}

QTEST_GUILESS_MAIN(TestCsvWriter)
#include "tst_csvwriter.moc"
