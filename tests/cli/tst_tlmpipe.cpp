// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the built orvik-tlm on a pipe that a CW decoder writes to, line by line.
#include "support/tlmtestdata.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The records of the archive, 0 while it cannot be read.
int records(const QString& archive)
{
    QProcess p;
    p.start(ORVIK_TLM_PATH, {"--from-archive", archive});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return 0;
    return int(p.readAllStandardOutput().count('\n')) - 1;
}

} // namespace

class TestTlmPipe : public QObject {
    Q_OBJECT
private slots:
    void liveLinesReachTheArchive_data();
    void liveLinesReachTheArchive();
};

// A CW decoder's output piped straight in: each line is in the archive while the pipe is still
// open, however long the next one takes to come.
void TestTlmPipe::liveLinesReachTheArchive_data()
{
    QTest::addColumn<bool>("fifo"); // a named pipe as FILE, or standard input
    QTest::addRow("standard input") << false;
    QTest::addRow("a named pipe") << true;
}

void TestTlmPipe::liveLinesReachTheArchive()
{
    QFETCH(bool, fifo);
    QTemporaryDir dir;
    const QString pipePath = dir.filePath("decoder.fifo");
    const QString archive = dir.filePath("a.sqlite");
    QVERIFY(!fifo || ::mkfifo(QFile::encodeName(pipePath).constData(), 0600) == 0);
    QProcess p;
    p.start(ORVIK_TLM_PATH, {"--archive", archive, fifo ? pipePath : QStringLiteral("-")});
    QVERIFY(p.waitForStarted());
    const int writer = fifo ? ::open(QFile::encodeName(pipePath).constData(), O_WRONLY) : -1;
    QVERIFY(!fifo || writer >= 0);
    const auto send = [&](const QByteArray& line) {
        return fifo ? ::write(writer, line.constData(), std::size_t(line.size())) == line.size()
                    : p.write(line) == line.size() && p.waitForBytesWritten(5000);
    };
    QVERIFY(send(over(6, "000100") + "\n"));
    QTRY_COMPARE_WITH_TIMEOUT(records(archive), 1, 60000);
    QVERIFY(send(over(6, "000140") + "\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(records(archive), 2, 60000);
    if (fifo)
        ::close(writer);
    else
        p.closeWriteChannel();
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(p.readAllStandardError(), QByteArray("orvik-tlm: 2 added, 0 already there\n"));
}

QTEST_GUILESS_MAIN(TestTlmPipe)
#include "tst_tlmpipe.moc"
