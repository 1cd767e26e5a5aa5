// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the built orvik-tlm as a user would.
#include "decoder/beacon.h"
#include "decoder/recordtable.h"
#include "io/csvwriter.h"
#include "windowexport.h"

#include <QBuffer>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kGood =
    "orv1 01e240 orv2 e55a0080 orv3 a0c880 orv4 0a141e28323c orv5 6e6f70717273 orv6 7480ff6e40" +
    QByteArray(31, '0');

QByteArray over(int pos, const QByteArray& text)
{
    return QByteArray(kGood).replace(pos - 1, text.size(), text);
}

// A copy with a trailing blank, a lost frame tag, and "zz" in the battery temperature.
const QByteArray kLog = over(6, "000001") + "\r\n" + kGood + " \r\n" + over(39, "xxxx") + "\r\n" +
                        over(36, "zz") + "\r\n" + over(6, "000fff").toUpper() + "\r\n";

struct Run {
    int status;
    QByteArray out;
    QByteArray err;
};

Run tlm(QStringList args, const QString& dir, const QByteArray& input = {}, const QString& locale = "C.UTF-8")
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("LANG");
    env.remove("LC_NUMERIC");
    env.insert("LC_ALL", locale);
    p.setProcessEnvironment(env);
    p.start(ORVIK_TLM_PATH, args.replaceInStrings("DIR", dir));
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return {-1, {}, "did not finish"};
    return {p.exitCode(), p.readAllStandardOutput(),
            QString::fromUtf8(p.readAllStandardError()).replace(dir, "DIR").toUtf8()};
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

// A folder with a.log holding the log and out.csv holding "older".
struct Folder {
    QTemporaryDir dir;
    Folder()
    {
        for (const auto& [name, data] : {
                 std::pair{"a.log",   kLog               },
                 std::pair{"out.csv", QByteArray("older")}
        }) {
            QFile f(dir.filePath(name));
            if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
                qFatal("cannot write the test folder");
        }
    }
    QString path() const { return dir.path(); }
};

} // namespace

class TestTlmCli : public QObject {
    Q_OBJECT
private slots:
    void csvIsTheWindowExport_data();
    void csvIsTheWindowExport();
    void jsonLinesHoldTheValues_data();
    void jsonLinesHoldTheValues();
    void status_data();
    void status();
    void pipeAsOutputStaysAPipe();
};

void TestTlmCli::csvIsTheWindowExport_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("decimalPoint");
    QTest::addRow("point by region") << "C.UTF-8" << QStringList{"DIR/a.log"} << ".";
    QTest::addRow("comma by region") << "de_DE.UTF-8" << QStringList{"DIR/a.log"} << ",";
    QTest::addRow("point by option") << "de_DE.UTF-8" << QStringList{"--decimal-point", ".", "DIR/a.log"}
                                     << ".";
    QTest::addRow("to a file, replaced") << "C.UTF-8" << QStringList{"-o", "DIR/out.csv", "DIR/a.log"} << ".";
}

void TestTlmCli::csvIsTheWindowExport()
{
    QFETCH(QString, locale);
    QFETCH(QStringList, args);
    QFETCH(QString, decimalPoint);
    Folder folder;
    const Run run = tlm(args, folder.path(), {}, locale);
    QCOMPARE(run.status, 0);
    const bool toFile = args.contains("-o");
    QCOMPARE(toFile ? readFile(folder.dir.filePath("out.csv")) : run.out,
             windowExport(kLog, decimalPoint.toStdString()));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"a.log", "out.csv"}));
}

void TestTlmCli::jsonLinesHoldTheValues_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addRow("standard input") << QStringList{};
    QTest::addRow("two files") << QStringList{"DIR/a.log", "DIR/a.log"};
}

void TestTlmCli::jsonLinesHoldTheValues()
{
    QFETCH(QStringList, files);
    Folder folder;
    const Run run = tlm(QStringList{"--format", "jsonl"} + files, folder.path(), kLog);
    QCOMPARE(run.status, 0);
    const QList<QByteArray> lines = run.out.split('\n');
    const QList<QByteArray> beacons{over(6, "000001"), over(36, "zz"), over(6, "000fff").toUpper()};
    const QList<int> lineNumbers{1, 4, 5};
    const int objects = 3 * int(std::max<qsizetype>(files.size(), 1));
    QCOMPARE(lines.size(), objects + 1);
    QCOMPARE(lines.last(), QByteArray());
    for (int i = 0; i < objects; ++i) {
        QJsonParseError error;
        const QJsonObject o = QJsonDocument::fromJson(lines[i], &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(o.size(), files.size() > 1 ? 34 : 33);
        QCOMPARE(o.value("record").toInt(), i + 1);
        QCOMPARE(o.value("line").toInt(), lineNumbers[i % 3]);
        QCOMPARE(o.value("file").toString(), files.size() > 1 ? folder.dir.filePath("a.log") : QString());
        orvik::Record expected{};
        const QString text = QString::fromLatin1(beacons[i % 3]);
        orvik::decodeBeaconLine({reinterpret_cast<const char16_t*>(text.utf16()), std::size_t(text.size())},
                                expected);
        for (std::size_t c = 0; c < orvik::kChannels.size(); ++c) {
            const std::string_view caption = orvik::kChannels[c].caption;
            const QJsonValue v = o.value(QString::fromUtf8(caption.data(), qsizetype(caption.size())));
            QVERIFY(v.isDouble());
            QCOMPARE(v.toDouble(), expected[c]);
        }
    }
}

void TestTlmCli::status_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("err");
    QTest::addRow("records") << QStringList{} << kLog << 0 << QByteArray();
    QTest::addRow("check")
        << QStringList{"--check", "DIR/a.log"} << QByteArray() << 0
        << QByteArray("DIR/a.log:2: not decoded: 121 characters instead of 120: one trailing blank "
                      "too many, remove it\n"
                      "DIR/a.log:3: not decoded: \"orv4\" missing at position 39: \"xxxx\" stands "
                      "there\n"
                      "DIR/a.log:4: decoded, but check: positions 36-37 (channel 13 \"Battery "
                      "Temp*\") hold \"zz\", not hexadecimal digits\n");
    QTest::addRow("no beacon line") << QStringList{} << QByteArray("orv1 and more\r\n") << 1 << QByteArray();
    QTest::addRow("empty input") << QStringList{} << QByteArray() << 1 << QByteArray();
    QTest::addRow("help") << QStringList{"--help", "DIR/none"} << QByteArray() << 0 << QByteArray();
    QTest::addRow("missing input") << QStringList{"-o", "DIR/out.csv", "DIR/a.log", "DIR/b.log"}
                                   << QByteArray() << 2
                                   << QByteArray(
                                          "orvik-tlm: cannot open 'DIR/b.log': No such file or directory\n");
    QTest::addRow("folder as input") << QStringList{"DIR"} << QByteArray() << 2
                                     << QByteArray("orvik-tlm: cannot open 'DIR': Is a directory\n");
    QTest::addRow("output in a missing folder")
        << QStringList{"-o", "DIR/no/out.csv", "DIR/a.log"} << QByteArray() << 2
        << QByteArray("orvik-tlm: cannot open 'DIR/no/out.csv': No such file or directory\n");
    QTest::addRow("unknown option") << QStringList{"-q"} << kLog << 2
                                    << QByteArray(
                                           "orvik-tlm: Unknown option 'q'. (try 'orvik-tlm --help')\n");
}

void TestTlmCli::status()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(int, status);
    QFETCH(QByteArray, err);
    Folder folder;
    const Run run = tlm(args, folder.path(), input);
    QCOMPARE(run.status, status);
    QCOMPARE(run.err, err);
    if (args.contains("--help"))
        QVERIFY(run.out.startsWith("Usage: orvik-tlm [OPTIONS] [FILE...]\n"));
    else
        QCOMPARE(run.out, status == 2 ? QByteArray() : windowExport(status == 0 ? kLog : QByteArray(), "."));
    // Nothing is left half-written, and an older output stays as it was.
    QCOMPARE(readFile(folder.dir.filePath("out.csv")), QByteArray("older"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             (QStringList{"a.log", "out.csv"}));
}

void TestTlmCli::pipeAsOutputStaysAPipe()
{
    QTemporaryDir dir;
    const QByteArray fifo = QFile::encodeName(dir.filePath("fifo"));
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    // Open for reading first, so that the writer finds a reader and the output fits the pipe.
    const int fd = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    const Run run = tlm({"-o", "DIR/fifo"}, dir.path(), kLog);
    QByteArray received(65536, '\0');
    const ssize_t n = ::read(fd, received.data(), std::size_t(received.size()));
    ::close(fd);
    QCOMPARE(run.status, 0);
    QCOMPARE(received.left(qsizetype(std::max<ssize_t>(n, 0))), windowExport(kLog, "."));
    struct stat st {};
    QCOMPARE(::stat(fifo.constData(), &st), 0);
    QVERIFY(S_ISFIFO(st.st_mode));
}

QTEST_GUILESS_MAIN(TestTlmCli)
#include "tst_tlmcli.moc"
