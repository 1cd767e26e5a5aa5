// SPDX-License-Identifier: GPL-3.0-or-later
// Add to Archive with Recover Damaged Lines on: the archive holds what orvik-tlm --recover
// --archive makes of the same log, and the log added again, either way, brings nothing new.
#include "archivewindow.h"
#include "support/tlmrun.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>

using namespace orvik;
using namespace orvik::testing;

namespace {

const QString kBreak = QStringLiteral("\r\n");
const QDateTime kReceived = QDateTime::fromString(QStringLiteral("2026-12-08T19:53:00Z"), Qt::ISODate);

QString dropAt(QString line, int at) { return line.remove(at, 1); }
QString setAt(QString line, int at, QChar c)
{
    line[at] = c;
    return line;
}

// The records of an archive as JSON Lines, without the keys that name where the copies came
// from: the window names them "window", the tool by their lines.
QByteArray recordsOf(const QString& archive)
{
    const testsupport::TlmResult read =
        testsupport::runTlmOn({}, {"--from-archive", archive, "--format", "jsonl"});
    QByteArrayList out;
    for (const QByteArray& line : read.out.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonObject o = QJsonDocument::fromJson(line).object();
        o.remove(QStringLiteral("source"));
        out << QJsonDocument(o).toJson(QJsonDocument::Compact);
    }
    return read.code == 0 ? out.join('\n') : "cannot be read: " + read.err;
}

} // namespace

class TestWindowRecoverArchive : public ArchiveWindowFixture {
    Q_OBJECT

private slots:
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    void sameAsTheTool_data();
    void sameAsTheTool();
    void noRecordMakesNoArchive();
    void questionDatesTheFirstRecord();

private:
    QAction* action(const char* name) const
    {
        return m_window->findChild<QAction*>(QString::fromLatin1(name));
    }
};

void TestWindowRecoverArchive::sameAsTheTool_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("wentBack"); // the add tells that the on-board time went back

    const QString b1 = beacon(1);
    QTest::addRow("a damaged copy beside a clean one")
        << b1 + kBreak + dropAt(b1, 50) + kBreak + beacon(2) << false;
    QTest::addRow("three beacons on one line, as a decoder writes them")
        << b1 + QStringLiteral(" = ") + beacon(2) + QStringLiteral(" bt ") + beacon(3) << false;
    QTest::addRow("a beacon wrapped at 80 columns")
        << beacon(4).left(80) + kBreak + beacon(4).mid(80) + kBreak + beacon(5) << false;
    QTest::addRow("dots between the fields, a damaged copy in capitals")
        << QString(b1).replace(u' ', u'.') + kBreak + dropAt(b1, 70).toUpper() << false;
    QTest::addRow("two copies that disagree on a digit")
        << beacon(7) + kBreak + setAt(beacon(7), 44, u'9') + kBreak + beacon(8) << false;
    // The third could be a miscopy of the first two: it is kept as recovered, its copy beside it.
    const QString first = beacon(0x1e240);
    const QString alike = QString(first).replace(5, 6, QStringLiteral("01e280"));
    QTest::addRow("a lone copy that may be its neighbour's")
        << first + kBreak + first.toUpper() + kBreak + alike << false;
    // The damaged copy's record comes after the reset's first: each run is dated by itself.
    QTest::addRow("the on-board time going back")
        << beacon(0x4a5f10) + kBreak + dropAt(beacon(0x4a6c20), 40) + kBreak + beacon(0x01b3c7) + kBreak +
               beacon(0x01c0e8)
        << true;
    QStringList many;
    for (int i = 0; i < 150; ++i)
        many << beacon(1000 + 60 * i) << dropAt(beacon(1000 + 60 * i), 30 + i % 50);
    QTest::addRow("150 beacons, two copies each, more than the window shows") << many.join(kBreak) << false;
}

void TestWindowRecoverArchive::sameAsTheTool()
{
    QFETCH(QString, text);
    QFETCH(bool, wentBack);
    action("MnuRecover")->trigger();
    QVERIFY(action("MnuRecover")->isChecked());
    paste(text);
    addToArchive(kReceived);
    QVERIFY2(label3().contains(QStringLiteral(" added to ")), qPrintable(label3()));
    QCOMPARE(label3().contains(QStringLiteral("the on-board time went back once")), wentBack);

    const QString toolArchive = m_folder->filePath(QStringLiteral("tool.sqlite"));
    const testsupport::TlmResult tool = testsupport::runTlmOn(
        text.toUtf8(), {"--recover", "--archive", toolArchive, "--received", "2026-12-08T19:53:00Z", "-"});
    QVERIFY2(tool.code == 0, tool.err.constData());
    const QByteArray records = recordsOf(archivePath());
    QCOMPARE(records, recordsOf(toolArchive));
    const Totals before = totals(archivePath());

    // The same log again, recovered or read strictly, is there already.
    addToArchive(kReceived);
    QVERIFY2(label3().startsWith(QStringLiteral("0 records added")), qPrintable(label3()));
    QVERIFY2(label3().contains(QStringLiteral("there already")), qPrintable(label3()));
    action("MnuRecover")->trigger();
    QVERIFY(!action("MnuRecover")->isChecked());
    addToArchive(kReceived);
    QVERIFY2(label3().startsWith(QStringLiteral("0 records added")) ||
                 label3().startsWith(QStringLiteral("No beacon line")),
             qPrintable(label3()));
    QCOMPARE(totals(archivePath()).copies, before.copies);
    QCOMPARE(recordsOf(archivePath()), records);
}

// Copies that make no value certain are no record, and an add of none makes no file.
void TestWindowRecoverArchive::noRecordMakesNoArchive()
{
    action("MnuRecover")->trigger();
    paste(QStringLiteral("orv1 zzzz orv2 qq") + kBreak + QStringLiteral("73 de dl0xyz"));
    addToArchive(kReceived);
    QVERIFY2(label3().startsWith(QStringLiteral("No beacon to add")), qPrintable(label3()));
    QVERIFY(!QFile::exists(archivePath()));
}

// The question names the beacon it dates: the first record the recovery makes, which may come
// from a damaged line that the strict reading skips.
void TestWindowRecoverArchive::questionDatesTheFirstRecord()
{
    action("MnuRecover")->trigger();
    paste(dropAt(beacon(0x4a5f10), 50) + kBreak + beacon(0x01b3c7));
    QString asked;
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        for (const QLabel* label : dialog->findChildren<QLabel*>())
            asked += label->text();
        QTest::keyClick(dialog->findChild<QDateTimeEdit*>(QStringLiteral("ReceivedTime")), Qt::Key_Escape);
    });
    action("MnuAddToArchive")->trigger();
    QVERIFY2(asked.contains(QStringLiteral("on-board time 4874000")), qPrintable(asked));
    QVERIFY2(label3().contains(QStringLiteral("cancelled")), qPrintable(label3()));
}

QTEST_MAIN(TestWindowRecoverArchive)
#include "tst_windowrecoverarchive.moc"
