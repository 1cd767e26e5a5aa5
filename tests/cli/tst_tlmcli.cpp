// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the built orvik-tlm as a user would.
#include "decoder/beacon.h"
#include "decoder/recordtable.h"
#include "format/csvwriter.h"
#include "platform/version.h"
#include "support/tlmtestdata.h"
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

// A copy with a trailing blank, a lost frame tag, and "zz" in the battery temperature.
const QByteArray kLog = over(6, "000001") + "\r\n" + kGood + " \r\n" + over(39, "xxxx") + "\r\n" +
                        over(36, "zz") + "\r\n" + over(6, "000fff").toUpper() + "\r\n";

Run finish(QProcess& p, const QString& dir, const QByteArray& input)
{
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit) {
        p.kill();
        p.waitForFinished();
        return {-1, {}, "did not finish"};
    }
    return {p.exitCode(), p.readAllStandardOutput(),
            QString::fromUtf8(p.readAllStandardError()).replace(dir, "DIR").toUtf8()};
}

QProcessEnvironment environment(const QString& locale)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("LANG");
    env.remove("LC_NUMERIC");
    env.insert("LC_ALL", locale);
    env.insert("T", ORVIK_TLM_PATH);
    return env;
}

Run tlm(QStringList args, const QString& dir, const QByteArray& input = {}, const QString& locale = "C.UTF-8")
{
    QProcess p;
    p.setProcessEnvironment(environment(locale));
    p.start(ORVIK_TLM_PATH, args.replaceInStrings("DIR", dir));
    return finish(p, dir, input);
}

// A shell command line in the folder, with the program as "$T".
Run shell(const QString& command, const QString& dir)
{
    QProcess p;
    p.setProcessEnvironment(environment("C.UTF-8"));
    p.setWorkingDirectory(dir);
    p.start("/bin/sh", {"-c", command});
    return finish(p, dir, {});
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
    void fromTheShell_data();
    void fromTheShell();
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
    const QByteArray said = "orvik-tlm: 3 records from 5 lines; 2 lines not decoded; --check tells why\n";
    const QByteArray none = "orvik-tlm: 0 records from 1 line; 1 line not decoded; --check tells why\n";
    QTest::addRow("records") << QStringList{} << kLog << 0 << said;
    QTest::addRow("records, quiet") << QStringList{"--quiet"} << kLog << 0 << QByteArray();
    QTest::addRow("check")
        << QStringList{"--check", "DIR/a.log"} << QByteArray() << 0
        << QByteArray("DIR/a.log:2: not decoded: 121 characters instead of 120: one trailing blank "
                      "too many, remove it\n"
                      "DIR/a.log:3: not decoded: \"orv4\" missing at position 39: \"xxxx\" stands "
                      "there\n"
                      "DIR/a.log:4: decoded, but check: positions 36-37 (channel 13 \"Battery "
                      "Temp*\") hold \"zz\", not hexadecimal digits\n"
                      "orvik-tlm: 3 records from 5 lines; 2 lines not decoded, told above\n");
    QTest::addRow("no beacon line") << QStringList{} << QByteArray("orv1 and more\r\n") << 1 << none;
    QTest::addRow("empty input") << QStringList{} << QByteArray() << 1 << QByteArray();
    QTest::addRow("help") << QStringList{"--help", "DIR/none"} << QByteArray() << 0 << QByteArray();
    QTest::addRow("version") << QStringList{"--version", "DIR/none"} << QByteArray() << 0 << QByteArray();
    QTest::addRow("missing input")
        << QStringList{"-o", "DIR/out.csv", "DIR/a.log", "DIR/b.log"} << QByteArray() << 2
        << QByteArray("orvik-tlm: 'DIR/b.log' cannot be opened: No such file or directory\n");
    QTest::addRow("folder as input") << QStringList{"DIR"} << QByteArray() << 2
                                     << QByteArray("orvik-tlm: 'DIR' cannot be opened: Is a directory\n");
    QTest::addRow("output in a missing folder")
        << QStringList{"-o", "DIR/no/out.csv", "DIR/a.log"} << QByteArray() << 2
        << QByteArray("orvik-tlm: 'DIR/no/out.csv' cannot be opened: No such file or directory\n");
    QTest::addRow("unknown option") << QStringList{"-q"} << kLog << 2
                                    << QByteArray(
                                           "orvik-tlm: Unknown option 'q'. (try 'orvik-tlm --help')\n");
    QTest::addRow("unknown options") << QStringList{"-cq", "--color"} << kLog << 2
                                     << QByteArray("orvik-tlm: Unknown options: c, q, color. (try "
                                                   "'orvik-tlm --help')\n");
    QTest::addRow("missing value") << QStringList{"--check", "--format"} << kLog << 2
                                   << QByteArray("orvik-tlm: Missing value after '--format'. (try "
                                                 "'orvik-tlm --help')\n");
    QTest::addRow("unexpected value") << QStringList{"--check=yes"} << kLog << 2
                                      << QByteArray("orvik-tlm: Unexpected value after '--check'. (try "
                                                    "'orvik-tlm --help')\n");
    QTest::addRow("values in one word")
        << QStringList{"--format=csv", "--decimal-point=.", "-o-"} << kLog << 0 << said;
    // Without records, an older output stays as it was and no new one is made.
    QTest::addRow("no beacon line, to a file")
        << QStringList{"-o", "DIR/out.csv"} << QByteArray("orv1 and more\r\n") << 1 << none;
    QTest::addRow("no beacon line, to a new file")
        << QStringList{"-o", "DIR/new.csv"} << QByteArray("orv1 and more\r\n") << 1 << none;
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
    const bool toFile = args.contains("-o");
    if (args.contains("--help"))
        QVERIFY(run.out.startsWith("Usage: orvik-tlm [OPTIONS] [FILE...]\n"));
    else if (args.contains("--version"))
        QCOMPARE(run.out, QByteArray("orvik-tlm ") + orvik::kVersion + '\n');
    else
        QCOMPARE(run.out,
                 status == 2 || toFile ? QByteArray() : windowExport(status == 0 ? kLog : QByteArray(), "."));
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

// What stands around a run: redirections, links, named pipes, odd names and full disks. The
// full-disk rows mount a small tmpfs, which needs root; they are skipped without it.
void TestTlmCli::fromTheShell_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("err");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("outCsv"); // what out.csv holds afterwards
    const QByteArray csv = windowExport(kLog, ".");
    const QByteArray older = "older";
    // The two lines of the log that look like beacons and were not decoded.
    const QByteArray said = "orvik-tlm: 3 records from 5 lines; 2 lines not decoded; --check tells why\n";
    const auto both = [](const char* name) {
        return "orvik-tlm: '" + QByteArray(name) + "' is both input and output\n";
    };

    // An output that is an input is refused, whichever way it is named.
    QTest::addRow("output is the input")
        << R"("$T" a.log -o a.log)" << 2 << both("a.log") << QByteArray() << older;
    QTest::addRow("output is the second input")
        << R"("$T" out.csv a.log -o a.log)" << 2 << both("a.log") << QByteArray() << older;
    QTest::addRow("output is standard input")
        << R"("$T" -o a.log < a.log)" << 2 << both("a.log") << QByteArray() << older;
    QTest::addRow("output is standard input, named -")
        << R"("$T" out.csv - -o a.log < a.log)" << 2 << both("a.log") << QByteArray() << older;
    QTest::addRow("output is a link to the input")
        << R"(ln -s a.log link && "$T" a.log -o link)" << 2 << both("link") << QByteArray() << older;
    QTest::addRow("output is a hard link of the input")
        << R"(ln a.log twin && "$T" twin -o a.log)" << 2 << both("a.log") << QByteArray() << older;
    QTest::addRow("output is the input behind /dev/stdout")
        << R"("$T" a.log -o /dev/stdout >> a.log)" << 2 << both("/dev/stdout") << QByteArray() << older;

    // The name of an open descriptor is written through it: appending appends, links stay.
    QTest::addRow("appending through /dev/stdout")
        << R"("$T" a.log -o /dev/stdout >> out.csv)" << 0 << said << QByteArray() << older + csv;
    QTest::addRow("appending through /dev/fd/3")
        << R"("$T" a.log -o /dev/fd/3 3>> out.csv)" << 0 << said << QByteArray() << older + csv;
    QTest::addRow("appending through /proc/self/fd/3")
        << R"("$T" a.log -o /proc/self/fd/3 3>> out.csv)" << 0 << said << QByteArray() << older + csv;
    QTest::addRow("appending through a link to /dev/stdout")
        << R"(ln -s /dev/stdout so && "$T" a.log -o so >> out.csv)" << 0 << said << QByteArray()
        << older + csv;
    QTest::addRow("a redirected file keeps its hard link")
        << R"(ln out.csv twin && "$T" a.log -o /dev/stdout > out.csv && cat twin)" << 0 << said << csv << csv;
    QTest::addRow("- as input and output") << R"("$T" - -o - < a.log)" << 0 << said << csv << older;

    // A named pipe is opened once, when it is read, and not before a missing name is found.
    QTest::addRow("two named pipes written one after the other")
        << R"(mkfifo p q; timeout 30 sh -c 'cat a.log > p; cat a.log > q' & timeout 30 "$T" p q; s=$?; wait; exit $s)"
        << 0 << QByteArray("orvik-tlm: 6 records from 10 lines; 4 lines not decoded; --check tells why\n")
        << windowExport(kLog + kLog, ".") << older;
    QTest::addRow("a missing name after a named pipe")
        << R"(mkfifo p; timeout 30 "$T" p none.log -o out.csv)" << 2
        << QByteArray("orvik-tlm: 'none.log' cannot be opened: No such file or directory\n") << QByteArray()
        << older;

    // Names are the bytes given, valid UTF-8 or not.
    QTest::addRow("input name not UTF-8")
        << R"sh(cp a.log "$(printf 'x\377.log')" && "$T" "$(printf 'x\377.log')")sh" << 0 << said << csv
        << older;
    QTest::addRow("output name not UTF-8")
        << R"sh("$T" a.log -o "$(printf 'x\377.csv')"; s=$?; ls; exit $s)sh" << 2
        << QByteArray(
               "orvik-tlm: 'x\xEF\xBF\xBD.csv' cannot be opened: a name that is not valid UTF-8 cannot be "
               "replaced safely; write to standard output instead\n")
        << QByteArray("a.log\nout.csv\n") << older;

    // Failing and closed standard streams are told as such.
    const QByteArray stdoutFull = "orvik-tlm: standard output cannot be written: No space left on device\n";
    QTest::addRow("standard output full")
        << R"("$T" a.log > /dev/full)" << 2 << stdoutFull << QByteArray() << older;
    QTest::addRow("help to a full standard output")
        << R"("$T" --help > /dev/full)" << 2 << stdoutFull << QByteArray() << older;
    QTest::addRow("version to a full standard output")
        << R"("$T" --version > /dev/full)" << 2 << stdoutFull << QByteArray() << older;
    QTest::addRow("standard input closed")
        << R"("$T" <&-)" << 2 << QByteArray("orvik-tlm: standard input is closed\n") << QByteArray() << older;
    QTest::addRow("standard output closed")
        << R"("$T" a.log >&-)" << 2 << QByteArray("orvik-tlm: standard output is closed\n") << QByteArray()
        << older;
    const char* fullDisk = R"(mkdir full && mount -t tmpfs -o size=%1k tmpfs full || exit 77
        cp out.csv full && head -c 64k /dev/zero > full/filler 2> /dev/null
        for i in $(seq 100); do cat a.log; done > big.log
        "$T" %2 -o full/out.csv; s=$?; cat full/out.csv; umount full; exit $s)";
    const QByteArray diskFull = "orvik-tlm: 'full/out.csv' cannot be written: No space left on device\n";
    QTest::addRow("output on a full disk")
        << QString(fullDisk).arg("16", "a.log") << 2 << diskFull << older << older;
    QTest::addRow("output on a nearly full disk")
        << QString(fullDisk).arg("16", "big.log").replace("64k", "8k") << 2 << diskFull << older << older;
}

void TestTlmCli::fromTheShell()
{
    QFETCH(QString, command);
    QFETCH(int, status);
    QFETCH(QByteArray, err);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, outCsv);
    Folder folder;
    const Run run = shell(command, folder.path());
    if (run.status == 77)
        QSKIP("mounting a scratch tmpfs needs root");
    QCOMPARE(run.status, status);
    QCOMPARE(run.err, err);
    QCOMPARE(run.out, out);
    QCOMPARE(readFile(folder.dir.filePath("a.log")), kLog);
    QCOMPARE(readFile(folder.dir.filePath("out.csv")), outCsv);
}

QTEST_GUILESS_MAIN(TestTlmCli)
#include "tst_tlmcli.moc"
