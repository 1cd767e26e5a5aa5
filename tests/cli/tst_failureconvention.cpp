// SPDX-License-Identifier: GPL-3.0-or-later
// Every way the tool's parts can fail keeps one convention: false, or no device, and a whole
// message that names the file first, or nothing at all for a caller that passes no error.
#include "archive/archive.h"
#include "cli/batch.h"
#include "cli/tlmarguments.h"
#include "cli/tlmfiles.h"
#include "decoder/recordtable.h"
#include "format/csvwriter.h"
#include "platform/services.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

namespace {

// A failing call, given where its message goes: true when it reported success.
using Attempt = std::function<bool(const QString& dir, QString* error)>;

bool touch(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray nameIn(const QString& dir, const char* name) { return QFile::encodeName(dir + '/' + name); }

} // namespace

Q_DECLARE_METATYPE(Attempt)

class TestFailureConvention : public QObject {
    Q_OBJECT

private slots:
    void failuresNameTheFileFirst_data();
    void failuresNameTheFileFirst();
};

void TestFailureConvention::failuresNameTheFileFirst_data()
{
    QTest::addColumn<Attempt>("attempt");
    QTest::addColumn<QString>("file"); // in the folder; empty where the message names none
    QTest::addColumn<QString>("start");
    QTest::addRow("an input that is not there") << Attempt([](const QString& dir, QString* error) {
        orvik::FileFacts facts;
        return orvik::inspectInput(nameIn(dir, "gone.log"), facts, error);
    }) << "gone.log"
                                                << "' cannot be opened: ";
    QTest::addRow("an input that is a folder") << Attempt([](const QString& dir, QString* error) {
        orvik::FileFacts facts;
        return QDir(dir).mkdir("folder") && orvik::inspectInput(nameIn(dir, "folder"), facts, error);
    }) << "folder"
                                               << "' cannot be opened: ";
    QTest::addRow("an input gone by the time it is read") << Attempt([](const QString& dir, QString* error) {
        QFile file;
        return orvik::openInput(file, nameIn(dir, "gone.log"), error);
    }) << "gone.log"
                                                          << "' cannot be opened: ";
    QTest::addRow("an output in a folder that is not there")
        << Attempt([](const QString& dir, QString* error) {
               QBuffer in, out, err;
               const orvik::TlmStreams streams{in, out, err};
               return orvik::openOutput(nameIn(dir, "no/out.csv"), streams, error) != nullptr;
           })
        << "no/out.csv"
        << "' cannot be opened: ";
    QTest::addRow("an export in a folder that is not there") << Attempt([](const QString& dir,
                                                                           QString* error) {
        return orvik::saveCsvFile(dir + "/no/orvik_telemetry.csv", {}, orvik::RecordTable(), ".", error);
    }) << "no/orvik_telemetry.csv"
                                                             << "' cannot be written: ";
    QTest::addRow("a file written atomically whose writer fails")
        << Attempt([](const QString& dir, QString* error) {
               return orvik::saveFileAtomically(
                   dir + "/half.txt", [](QIODevice&) { return false; }, "the writer gave up", error);
           })
        << "half.txt"
        << "' cannot be written: the writer gave up";
    QTest::addRow("an archive that is no archive") << Attempt([](const QString& dir, QString* error) {
        orvik::Archive archive;
        return touch(dir + "/notes.txt", "73 de ham\n") &&
               archive.open(dir + "/notes.txt", orvik::Archive::Access::ReadWrite, error);
    }) << "notes.txt"
                                                   << "' is not an archive";
    QTest::addRow("an archive to read that is not there") << Attempt([](const QString& dir, QString* error) {
        orvik::Archive archive;
        return archive.open(dir + "/none.sqlite", orvik::Archive::Access::ReadOnly, error);
    }) << "none.sqlite"
                                                          << "' holds no archive yet";
    QTest::addRow("a command line with an unknown option") << Attempt([](const QString&, QString* error) {
        orvik::TlmOptions options;
        return orvik::parseTlmArguments({"orvik-tlm", "--no-such-option"}, options, error);
    }) << ""
                                                           << "Unknown option";
}

// Each failure says so, in a message that starts with the file's name where there is one; a
// caller that wants no message gets none, and nothing breaks.
void TestFailureConvention::failuresNameTheFileFirst()
{
    QFETCH(Attempt, attempt);
    QFETCH(QString, file);
    QFETCH(QString, start);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString error;
    QVERIFY(!attempt(dir.path(), &error));
    const QString named = file.isEmpty() ? start : "'" + QDir::toNativeSeparators(dir.filePath(file)) + start;
    QVERIFY2(error.startsWith(named), qPrintable(error));
    QVERIFY2(!error.contains('\n'), qPrintable(error));

    QTemporaryDir again;
    QVERIFY(!attempt(again.path(), nullptr));
}

QTEST_GUILESS_MAIN(TestFailureConvention)
#include "tst_failureconvention.moc"
