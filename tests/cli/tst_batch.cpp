// SPDX-License-Identifier: GPL-3.0-or-later
#include "decoder/recordtable.h"
#include "format/csvwriter.h"
#include "support/tlmtestdata.h"
#include "windowexport.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kLog =
    beacon(1) + "\r\njunk\r\n" + beacon(2).toUpper() + "\r\n\r\n" + beacon(0xabcdef) + "\r\n";

// Reads fail with the given reason; writes too, once `room` bytes were taken, and a write
// that does not fit is cut short without a reason, as a file system does when it fills up.
class FailingDevice : public QIODevice {
public:
    explicit FailingDevice(qint64 room = 0)
        : m_room(room)
    {
        open(QIODevice::ReadWrite);
    }

protected:
    qint64 readData(char*, qint64) override { return fail("Input/output error"); }
    qint64 writeData(const char*, qint64 size) override
    {
        const qint64 taken = std::min(size, m_room);
        m_room -= taken;
        return taken > 0 ? taken : fail("No space left on device");
    }

private:
    qint64 fail(const char* reason)
    {
        setErrorString(reason);
        return -1;
    }

    qint64 m_room;
};

// Keeps every write apart.
class WriteLog : public QIODevice {
public:
    WriteLog() { open(QIODevice::WriteOnly); }
    QByteArrayList writes;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        writes.append(QByteArray(data, size));
        return size;
    }
};

Run runWith(const QStringList& args, const QByteArray& input, bool terminal = false, QIODevice* in = nullptr,
            QIODevice* out = nullptr, QIODevice* err = nullptr)
{
    return runInMemory(QStringList{"--decimal-point", "."} + args, input, terminal, in, out, err);
}

} // namespace

class TestBatch : public QObject {
    Q_OBJECT
private slots:
    void lineEnds_data();
    void lineEnds();
    void noLimitOf100();
    void dedupe_data();
    void dedupe();
    void progress_data();
    void progress();
    void diagnosticsAsTheyCome_data();
    void diagnosticsAsTheyCome();
    void summaryLine_data();
    void summaryLine();
    void failures_data();
    void failures();
};

void TestBatch::lineEnds_data()
{
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QByteArray>("windowLog"); // the same lines, as the window takes them
    QTest::addRow("CR LF") << kLog << kLog;
    QTest::addRow("LF") << QByteArray(kLog).replace("\r\n", "\n") << kLog;
    QTest::addRow("lone CR") << QByteArray(kLog).replace("\r\n", "\r") << kLog;
    QTest::addRow("mixed, no last line end")
        << beacon(1) + "\njunk\r" + beacon(2).toUpper() + "\r\n\n" + beacon(0xabcdef) << kLog;
    QTest::addRow("byte-order mark") << "\xEF\xBB\xBF" + kLog << kLog;
    // Lengths count UTF-16 code units.
    const QList<QByteArray> lines{kGood.left(119) + "\xC3\xA9", kGood.left(118) + "\xF0\x9F\x98\x80",
                                  kGood.left(118) + "\xC3\xA9", kGood + "\xC3\xA9"};
    QTest::addRow("beyond ASCII") << lines.join('\n') << lines.join("\r\n");
    // Only the file's first byte-order mark is dropped; a later one is a character of its line.
    const QByteArray markInside = beacon(1) + "\r\n\xEF\xBB\xBF" + beacon(2) + "\r\n";
    QTest::addRow("byte-order mark inside") << markInside << markInside;
    QTest::addRow("UTF-16 LE") << utf16(kLog, false) << kLog;
    QTest::addRow("UTF-16 BE, lone CR") << utf16(QByteArray(kLog).replace("\r\n", "\r"), true) << kLog;
    QTest::addRow("UTF-16 beyond ASCII")
        << utf16(QString::fromUtf8(lines.join('\n')), false) << lines.join("\r\n");
    // Too long to be held whole: what --check says is counted over the whole line.
    const QByteArray longLines = kLog + QByteArray(70000, 'x') + " orv \t\r\n" +
                                 QByteArray("\xF0\x9F\x98\x80").repeated(20000) + "ORV  \r\n";
    QTest::addRow("UTF-16 BE, long lines") << utf16(QString::fromUtf8(longLines), true) << longLines;
}

// The same records as the window, and the same explanations as for the text in UTF-8.
void TestBatch::lineEnds()
{
    QFETCH(QByteArray, log);
    QFETCH(QByteArray, windowLog);
    const Run run = runWith({"--check"}, log);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, windowExport(windowLog));
    QCOMPARE(run.err, runWith({"--check"}, windowLog).err);
}

void TestBatch::noLimitOf100()
{
    QByteArray log;
    for (int n = 0; n < 250; ++n)
        log += beacon(n) + "\n";
    const QList<QByteArray> lines = runWith({}, log).out.split('\n');
    QCOMPARE(lines.size(), 252);
    QVERIFY(lines[250].startsWith("249;"));
}

void TestBatch::dedupe_data()
{
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QByteArray>("unique"); // the log without its repeats
    QTest::addRow("case aside") << beacon(1) + "\n" + beacon(1).toUpper() + "\n" + beacon(2) + "\n" +
                                       beacon(1)
                                << beacon(1) + "\n" + beacon(2) + "\n";
    QTest::addRow("case aside beyond ASCII")
        << kGood.left(119) + "\xC3\xA9\n" + kGood.left(119) + "\xC3\x89\n"
        << kGood.left(119) + "\xC3\xA9\n";
    // The Kelvin sign lower-cases to "k": read as UTF-16, the line repeats one read as ASCII.
    QTest::addRow("case aside into ASCII")
        << kGood.left(119) + "\xE2\x84\xAA\n" + kGood.left(119) + "k\n" + kGood.left(119) + "K\n"
        << kGood.left(119) + "\xE2\x84\xAA\n";
    QByteArray many;
    for (int n = 0; n < 60000; ++n)
        many += beacon(n % 30000) + "\n";
    QTest::addRow("repeats among many") << many << many.left(many.size() / 2);
    // Each unpaired surrogate reaches the decoder as itself, not as one replacement for all.
    const QString head = QString::fromLatin1(kGood.left(119));
    QTest::addRow("unpaired surrogates in UTF-16")
        << utf16(head + QChar(0xD800) + "\n" + head + QChar(0xDBFF) + "\n" + head + QChar(0xD800) + "\n",
                 true)
        << utf16(head + QChar(0xD800) + "\n" + head + QChar(0xDBFF) + "\n", true);
}

// Records are numbered without gaps where repeats were left out.
void TestBatch::dedupe()
{
    QFETCH(QByteArray, log);
    QFETCH(QByteArray, unique);
    QCOMPARE(runWith({"--dedupe"}, log).out, runWith({}, unique).out);
    const QList<QByteArray> objects = runWith({"--dedupe", "--format", "jsonl"}, log).out.split('\n');
    const qsizetype kept = runWith({}, unique).out.count('\n') - 1;
    QCOMPARE(objects.size(), kept + 1);
    QVERIFY(objects[kept - 1].startsWith("{\"record\":" + QByteArray::number(kept) + ",\"line\":"));
}

void TestBatch::progress_data()
{
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<QByteArray>("lastLine");
    QTest::addRow("terminal, then a diagnostic") << true << QByteArray("orv");
    QTest::addRow("terminal") << true << QByteArray();
    QTest::addRow("no terminal") << false << QByteArray("orv");
}

void TestBatch::progress()
{
    QFETCH(bool, terminal);
    QFETCH(QByteArray, lastLine);
    const Run run = runWith({"--check"}, kLog + lastLine, terminal);
    const Run plain = runWith({"--check"}, kLog + lastLine, false);
    QCOMPARE(run.out, plain.out);
    QCOMPARE(plain.err.isEmpty(), lastLine.isEmpty());
    // Shown after the first chunk, then wiped before anything else is said, and at the end.
    const QByteArray shown = "orvik-tlm: 5 lines, 3 records, 100 %";
    QCOMPARE(run.err,
             terminal ? "\r" + shown + "\r" + QByteArray(shown.size(), ' ') + "\r" + plain.err : plain.err);
}

void TestBatch::diagnosticsAsTheyCome_data()
{
    QTest::addColumn<bool>("terminal");
    QTest::addRow("terminal") << true;
    QTest::addRow("no terminal") << false;
}

// On a terminal each diagnostic shows at once; elsewhere they go out together.
void TestBatch::diagnosticsAsTheyCome()
{
    QFETCH(bool, terminal);
    const QByteArray log = "orv\n" + kLog + "ORV 2\norv 3\n";
    // Without the closing count, which comes once the run is over.
    const QByteArray all = runWith({"--check", "--quiet"}, log).err;
    QByteArrayList expected{all};
    if (terminal) {
        expected = all.split('\n');
        expected.removeLast();
        for (QByteArray& line : expected)
            line += '\n';
    }
    QCOMPARE(expected.size(), terminal ? 3 : 1);
    WriteLog err;
    QCOMPARE(runWith({"--check", "--quiet"}, log, terminal, nullptr, nullptr, &err).status, 0);
    QCOMPARE(err.writes.mid(0, expected.size()), expected);
    if (!terminal)
        QCOMPARE(err.writes.size(), 1);
}

// The closing count tells of lines that look like beacons and were not decoded, and only of them.
void TestBatch::summaryLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("err");
    const QByteArray two = beacon(1) + "\r\n" + beacon(2) + "\r\n";
    QTest::addRow("each line decoded") << QStringList{} << two << QByteArray();
    QTest::addRow("chatter without a tag") << QStringList{} << "73 de DL0XYZ\n" + two << QByteArray();
    QTest::addRow("a line cut short") << QStringList{} << two + beacon(3).left(70) + "\n"
                                      << QByteArray("orvik-tlm: 2 records from 3 lines; 1 line not decoded; "
                                                    "--check tells why\n");
    QTest::addRow("a tag in chatter") << QStringList{} << "tnx orv1 fer qso\n" + two
                                      << QByteArray("orvik-tlm: 2 records from 3 lines; 1 line not decoded; "
                                                    "--check tells why\n");
    QTest::addRow("quiet") << QStringList{"--quiet"} << two + beacon(3).left(70) << QByteArray();
    QTest::addRow("recovered, not counted")
        << QStringList{"--recover"} << two + beacon(3).left(70) << QByteArray();
}

void TestBatch::summaryLine()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, err);
    const Run r = runWith(args, input);
    QCOMPARE(r.status, 0);
    QCOMPARE(r.err, err);
}

void TestBatch::failures_data()
{
    QTest::addColumn<bool>("failingInput");
    QTest::addColumn<bool>("toFile");
    QTest::addColumn<qint64>("room");
    QTest::addColumn<QByteArray>("err");
    const QByteArray readError = "orvik-tlm: '<stdin>' cannot be read: Input/output error\n";
    const QByteArray writeError = "orvik-tlm: standard output cannot be written: No space left on device\n";
    QTest::addRow("read, to a file") << true << true << qint64(0) << readError;
    QTest::addRow("read") << true << false << qint64(0) << readError;
    QTest::addRow("write") << false << false << qint64(0) << writeError;
    QTest::addRow("write, cut short first") << false << false << qint64(100) << writeError;
}

void TestBatch::failures()
{
    QFETCH(bool, failingInput);
    QFETCH(bool, toFile);
    QFETCH(qint64, room);
    QFETCH(QByteArray, err);
    QTemporaryDir dir;
    const QString path = dir.filePath("out.csv");
    QFile older(path);
    QVERIFY(older.open(QIODevice::WriteOnly) && older.write("older") == 5);
    older.close();
    FailingDevice failing(room);
    const Run run = runWith(toFile ? QStringList{"-o", path} : QStringList{}, kLog, false,
                            failingInput ? &failing : nullptr, failingInput ? nullptr : &failing);
    QCOMPARE(run.status, 2);
    QCOMPARE(run.err, err);
    QVERIFY(older.open(QIODevice::ReadOnly));
    QCOMPARE(older.readAll(), QByteArray("older"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.csv"});
}

QTEST_GUILESS_MAIN(TestBatch)
#include "tst_batch.moc"
