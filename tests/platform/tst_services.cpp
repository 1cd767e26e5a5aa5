// SPDX-License-Identifier: GPL-3.0-or-later
// Dates, paths, text files and starting programs without a shell.
#include "platform/services.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>

using namespace orvik;

namespace {

enum class FileKind { Missing, Directory, Contents, Fifo, LinkToFile, LinkToDevice };

bool writeFile(const QString& path, const QByteArray& bytes, QFile::Permissions permissions = {})
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return false;
    f.close();
    return permissions == QFile::Permissions() || f.setPermissions(permissions);
}

// Writes the number of arguments after the first, then each of them ended by a NUL, to the
// file named by the first; renamed into place last so that the file appears complete.
const QByteArray kRecorder = "#!/bin/sh\n"
                             "out=\"$1\"\n"
                             "shift\n"
                             "printf '%s\\n' \"$#\" > \"$out.part\"\n"
                             "for a in \"$@\"; do printf '%s\\0' \"$a\" >> \"$out.part\"; done\n"
                             "mv \"$out.part\" \"$out\"\n";

} // namespace

class TestServices : public QObject {
    Q_OBJECT
private slots:
    void dateText_data();
    void dateText();
    void splitTextLines_data();
    void splitTextLines();
    void readTextFile_data();
    void readTextFile();
    void paths();
    void startProgramPassesArgumentsWhole_data();
    void startProgramPassesArgumentsWhole();
    void startProgramFails_data();
    void startProgramFails();
};

void TestServices::dateText_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("expected");

    QTest::addRow("8 Dec 2026") << QDate(2026, 12, 8) << "08122026";
    QTest::addRow("1 Jan 2000") << QDate(2000, 1, 1) << "01012000";
    QTest::addRow("31 Dec 1999") << QDate(1999, 12, 31) << "31121999";
    QTest::addRow("29 Feb 2024") << QDate(2024, 2, 29) << "29022024";
}

void TestServices::dateText()
{
    QFETCH(QDate, date);
    QFETCH(QString, expected);
    QCOMPARE(orvik::dateText(date), expected);
}

void TestServices::splitTextLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");

    QTest::addRow("empty") << "" << QStringList{};
    QTest::addRow("one line") << "abc" << QStringList{"abc"};
    QTest::addRow("CR LF") << "a\r\nb" << QStringList{"a", "b"};
    QTest::addRow("lone CR") << "a\rb" << QStringList{"a", "b"};
    QTest::addRow("lone LF") << "a\nb" << QStringList{"a", "b"};
    QTest::addRow("LF CR is two breaks") << "a\n\rb" << QStringList{"a", "", "b"};
    QTest::addRow("CR CR LF") << "a\r\r\nb" << QStringList{"a", "", "b"};
    QTest::addRow("final break adds no line") << "a\r\n" << QStringList{"a"};
    QTest::addRow("final lone CR") << "a\r" << QStringList{"a"};
    QTest::addRow("blank line kept") << "a\r\n\r\nb" << QStringList{"a", "", "b"};
    QTest::addRow("only a break") << "\r\n" << QStringList{""};
    QTest::addRow("mixed") << "1\r2\n3\r\n4" << QStringList{"1", "2", "3", "4"};
    QTest::addRow("blanks kept") << " a \r\n\tb" << QStringList{" a ", "\tb"};
}

void TestServices::splitTextLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QStringList got;
    for (const QStringView line : orvik::splitTextLines(text))
        got << line.toString();
    QCOMPARE(got, lines);
}

void TestServices::readTextFile_data()
{
    QTest::addColumn<FileKind>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("maxBytes");
    QTest::addColumn<QString>("text"); // null: nothing read

    const qint64 all = 1024;
    QTest::addRow("missing") << FileKind::Missing << QByteArray() << all << QString();
    QTest::addRow("directory") << FileKind::Directory << QByteArray() << all << QString();
    QTest::addRow("FIFO without a writer") << FileKind::Fifo << QByteArray() << all << QString();
    QTest::addRow("link to /dev/zero") << FileKind::LinkToDevice << QByteArray() << all << QString();
    QTest::addRow("link to a file") << FileKind::LinkToFile << QByteArray("a=1\r\n") << all << "a=1\r\n";
    QTest::addRow("empty") << FileKind::Contents << QByteArray() << all << "";
    QTest::addRow("lines") << FileKind::Contents << QByteArray("first\r\nsecond\nthird\r") << all
                           << "first\r\nsecond\nthird\r";
    QTest::addRow("UTF-8") << FileKind::Contents << QByteArray("caf\xC3\xA9") << all << "café";
    QTest::addRow("Latin-1 byte") << FileKind::Contents << QByteArray("caf\xE9") << all << "café";
    QTest::addRow("Latin-1 wins for the whole file")
        << FileKind::Contents << QByteArray("\xC3\xA9\n\xE9") << all << "Ã©\né";
    QByteArray everyByte("head\r\n");
    for (int i = 0; i < 256; ++i)
        everyByte.append(char(i));
    everyByte.append("\r\ntail");
    QTest::addRow("every byte value, NUL too")
        << FileKind::Contents << everyByte << all << QString::fromLatin1(everyByte);
    QTest::addRow("UTF-8 lead byte at the end") << FileKind::Contents << QByteArray("a\xC3") << all << "aÃ";
    QTest::addRow("UTF-16LE") << FileKind::Contents << QByteArray::fromHex("fffe6100e9000a00") << all
                              << "aé\n";
    QTest::addRow("UTF-16BE") << FileKind::Contents << QByteArray::fromHex("feff006100e9000a") << all
                              << "aé\n";
    QTest::addRow("cut line dropped")
        << FileKind::Contents << QByteArray("one\r\ntwo\r\nthree") << qint64(8) << "one\r\n";
    QTest::addRow("cut at a line end")
        << FileKind::Contents << QByteArray("one\ntwo\nthree") << qint64(8) << "one\ntwo\n";
    QTest::addRow("cut between CR and LF")
        << FileKind::Contents << QByteArray("one\r\ntwo") << qint64(4) << "one\r";
    QTest::addRow("limit at the end of the file")
        << FileKind::Contents << QByteArray("one\ntwo") << qint64(7) << "one\ntwo";
    QTest::addRow("no line end within the limit")
        << FileKind::Contents << QByteArray("abcdefgh\n") << qint64(4) << "";
    QTest::addRow("UTF-8 character cut at the limit")
        << FileKind::Contents << QByteArray("caf\xC3\xA9\nd\xC3\xA9") << qint64(8) << "café\n";
    QTest::addRow("UTF-16LE cut line dropped")
        << FileKind::Contents << QByteArray::fromHex("fffe61000a0062006300") << qint64(9) << "a\n";
}

void TestServices::readTextFile()
{
    QFETCH(FileKind, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, maxBytes);
    QFETCH(QString, text);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("file.txt"));
    const QString target = dir.filePath(QStringLiteral("target.txt"));
    switch (kind) {
    case FileKind::Missing: break;
    case FileKind::Directory: QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("file.txt"))); break;
    case FileKind::Contents: QVERIFY(writeFile(path, bytes)); break;
    case FileKind::Fifo: QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0); break;
    case FileKind::LinkToFile: QVERIFY(writeFile(target, bytes) && QFile::link(target, path)); break;
    case FileKind::LinkToDevice: QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path)); break;
    }

    const std::optional<QString> got = orvik::readTextFile(path, maxBytes);
    QCOMPARE(got.has_value(), !text.isNull());
    if (got)
        QCOMPARE(*got, text);
}

void TestServices::paths()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath(QStringLiteral("b c.txt")), "x"));
    const QString joined = joinPath(QDir::toNativeSeparators(dir.path()), QStringLiteral("b c.txt"));
    QCOMPARE(joined, QDir::toNativeSeparators(dir.path()) + QDir::separator() + QStringLiteral("b c.txt"));
    QVERIFY(QFileInfo::exists(joined));

    const QString folder = programFolder();
    QVERIFY(!folder.endsWith(QDir::separator()));
    QCOMPARE(QFileInfo(folder).canonicalFilePath(),
             QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath());
    QVERIFY(
        QFileInfo::exists(joinPath(folder, QFileInfo(QCoreApplication::applicationFilePath()).fileName())));
}

void TestServices::startProgramPassesArgumentsWhole_data()
{
    QTest::addColumn<QStringList>("arguments");

    QTest::addRow("blanks and a command separator") << QStringList{"a b; touch %1"};
    QTest::addRow("substitutions") << QStringList{"$(touch %1)", "`touch %1`", "${HOME}"};
    QTest::addRow("quotes and redirection") << QStringList{"'q' \"d\" > %1", "a|touch %1", "&&"};
    QTest::addRow("glob and empty") << QStringList{"*", "", "  "};
    QTest::addRow("line break") << QStringList{"one\ntouch %1"};
    QTest::addRow("none") << QStringList{};
}

void TestServices::startProgramPassesArgumentsWhole()
{
    QFETCH(QStringList, arguments);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString recorder = dir.filePath(QStringLiteral("record args"));
    QVERIFY(writeFile(recorder, kRecorder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QString out = dir.filePath(QStringLiteral("out"));
    const QString bait = dir.filePath(QStringLiteral("bait"));
    for (QString& a : arguments)
        a.replace(QLatin1String("%1"), bait);

    QVERIFY(startProgram(recorder, QStringList{out} + arguments));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(out), 10000);

    QFile f(out);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray count = f.readLine().trimmed();
    QCOMPARE(count, QByteArray::number(arguments.size()));
    QStringList received;
    const QByteArray rest = f.readAll();
    if (!rest.isEmpty()) {
        const QList<QByteArray> parts = rest.chopped(1).split('\0');
        for (const QByteArray& p : parts)
            received.append(QString::fromLocal8Bit(p));
    }
    QCOMPARE(received, arguments);
    QVERIFY(!QFileInfo::exists(bait));
}

void TestServices::startProgramFails_data()
{
    QTest::addColumn<QString>("program");

    QTest::addRow("empty name") << QString();
    QTest::addRow("missing path") << "/nonexistent-orvik/no-such-program";
    QTest::addRow("missing name on PATH") << "orvik-no-such-program-7f3a";
    QTest::addRow("not executable") << "%dir/plain.txt";
    QTest::addRow("a folder") << "%dir";
    QTest::addRow("shell command line") << "/bin/true; touch %dir/bait";
}

void TestServices::startProgramFails()
{
    QFETCH(QString, program);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath(QStringLiteral("plain.txt")), "echo hello\n",
                      QFile::ReadOwner | QFile::WriteOwner));
    program.replace(QLatin1String("%dir"), dir.path());

    QVERIFY(!startProgram(program, {}));
    QTest::qWait(50);
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("bait"))));
}

QTEST_GUILESS_MAIN(TestServices)
#include "tst_services.moc"
