// SPDX-License-Identifier: GPL-3.0-or-later
#include "decoder/recordtable.h"
#include "io/batch.h"
#include "io/csvwriter.h"
#include "windowexport.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kGood =
    "orv1 01e240 orv2 e55a0080 orv3 a0c880 orv4 0a141e28323c orv5 6e6f70717273 orv6 7480ff6e40" +
    QByteArray(31, '0');

QByteArray beacon(int n)
{
    return QByteArray(kGood).replace(5, 6, QByteArray::number(n, 16).rightJustified(6, '0'));
}

const QByteArray kLog =
    beacon(1) + "\r\njunk\r\n" + beacon(2).toUpper() + "\r\n\r\n" + beacon(0xabcdef) + "\r\n";

struct Run {
    int status;
    QByteArray out;
    QByteArray err;
};

// Reads and writes fail with the given reason.
class FailingDevice : public QIODevice {
public:
    FailingDevice() { open(QIODevice::ReadWrite); }

protected:
    qint64 readData(char*, qint64) override { return fail("Input/output error"); }
    qint64 writeData(const char*, qint64) override { return fail("No space left on device"); }

private:
    qint64 fail(const char* reason)
    {
        setErrorString(reason);
        return -1;
    }
};

Run runWith(const QStringList& args, const QByteArray& input, bool terminal = false, QIODevice* in = nullptr,
            QIODevice* out = nullptr)
{
    QBuffer inBuffer;
    inBuffer.setData(input);
    inBuffer.open(QIODevice::ReadOnly);
    QBuffer outBuffer;
    outBuffer.open(QIODevice::WriteOnly);
    QBuffer errBuffer;
    errBuffer.open(QIODevice::WriteOnly);
    const orvik::TlmStreams streams{in ? *in : inBuffer, out ? *out : outBuffer, errBuffer, terminal, 0};
    const int status = orvik::runTlm(QStringList{"orvik-tlm", "--decimal-point", "."} + args, streams);
    return {status, outBuffer.data(), errBuffer.data()};
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
}

void TestBatch::lineEnds()
{
    QFETCH(QByteArray, log);
    QFETCH(QByteArray, windowLog);
    const Run run = runWith({}, log);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, windowExport(windowLog));
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
    QTest::addColumn<int>("kept");
    QTest::addRow("case aside") << beacon(1) + "\n" + beacon(1).toUpper() + "\n" + beacon(2) + "\n" +
                                       beacon(1)
                                << 2;
    QTest::addRow("case aside beyond ASCII")
        << kGood.left(119) + "\xC3\xA9\n" + kGood.left(119) + "\xC3\x89\n"
        << 1;
    QByteArray many;
    for (int n = 0; n < 60000; ++n)
        many += beacon(n % 30000) + "\n";
    QTest::addRow("repeats among many") << many << 30000;
}

void TestBatch::dedupe()
{
    QFETCH(QByteArray, log);
    QFETCH(int, kept);
    QCOMPARE(runWith({"--dedupe"}, log).out.count('\n'), kept + 1);
    QCOMPARE(runWith({}, log).out.count('\n'), log.count('\n') + (log.endsWith('\n') ? 1 : 2));
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

void TestBatch::failures_data()
{
    QTest::addColumn<bool>("failingInput");
    QTest::addColumn<bool>("toFile");
    QTest::addColumn<QByteArray>("err");
    QTest::addRow("read, to a file") << true << true
                                     << QByteArray("orvik-tlm: cannot read '<stdin>': Input/output error\n");
    QTest::addRow("read") << true << false
                          << QByteArray("orvik-tlm: cannot read '<stdin>': Input/output error\n");
    QTest::addRow("write") << false << false
                           << QByteArray(
                                  "orvik-tlm: cannot write to standard output: No space left on device\n");
}

void TestBatch::failures()
{
    QFETCH(bool, failingInput);
    QFETCH(bool, toFile);
    QFETCH(QByteArray, err);
    QTemporaryDir dir;
    const QString path = dir.filePath("out.csv");
    QFile older(path);
    QVERIFY(older.open(QIODevice::WriteOnly) && older.write("older") == 5);
    older.close();
    FailingDevice failing;
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
