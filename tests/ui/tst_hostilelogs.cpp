// SPDX-License-Identifier: GPL-3.0-or-later
// Logs that hams paste by mistake, and conf.ini files that are not what they should be:
// the window takes each one through its real paste path and goes on working.
#include "platform/services.h"
#include "support/referenceline.h"
#include "support/tlmrun.h"
#include "ui/mainwindow.h"
#include "widgets/messagebox.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <sys/stat.h>

using namespace orvik;

namespace {

using testsupport::beacon;

QString beaconLog(int lines, const QString& separator = QStringLiteral("\r\n"))
{
    QStringList out;
    for (int i = 0; i < lines; ++i)
        out << beacon(i + 1);
    return out.join(separator);
}

} // namespace

class TestHostileLogs : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void pastes_data();
    void pastes();
    void sameRecordsAsTool_data();
    void sameRecordsAsTool();
    void confFiles_data();
    void confFiles();

private:
    bool openWindow();
    void pasteThroughClipboard(const QString& text);

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<MainWindow> m_window;
    bool m_boxShown = false;
};

void TestHostileLogs::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_boxShown = false;
    setMessageBoxHandler(
        [this](QWidget*, const QString&, const QString&, QMessageBox::Icon) { m_boxShown = true; });
}

void TestHostileLogs::cleanup()
{
    m_window.reset();
    setMessageBoxHandler({});
}

bool TestHostileLogs::openWindow()
{
    m_window = std::make_unique<MainWindow>(m_folder->path());
    m_window->show();
    return QTest::qWaitForWindowExposed(m_window.get());
}

void TestHostileLogs::pasteThroughClipboard(const QString& text)
{
    auto* box = m_window->findChild<QPlainTextEdit*>(QStringLiteral("Text2"));
    QApplication::clipboard()->setText(text);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
}

void TestHostileLogs::pastes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("records");

    QRandomGenerator rng(20261208);
    QByteArray junk(10 * 1024 * 1024, Qt::Uninitialized);
    for (char& c : junk)
        c = char(rng.bounded(256));
    // Random bytes, with two beacons hidden in them on lines of their own.
    const QString random = QString::fromLatin1(junk).replace(QLatin1Char('\r'), QLatin1Char(' '));
    QTest::addRow("10 MB of random bytes")
        << random + QStringLiteral("\r\n") + beacon(1) + QStringLiteral("\r\n") + beacon(2) << 2;
    QTest::addRow("100,000 beacon lines") << beaconLog(100000) << 100;
    QTest::addRow("one 1 MB line") << QString(1 << 20, QLatin1Char('7')) << 0;
    QTest::addRow("1 MB line after a beacon")
        << beacon(5) + QStringLiteral("\r\n") + QString(1 << 20, QLatin1Char('f')) << 1;

    // NUL and other control characters inside the fields still leave 120-character lines;
    // a pasted CR or LF breaks its line in two, as in any text box.
    QString control = beaconLog(30);
    for (int i = 0, line = 0; line < 30; ++line, i += 122) {
        const char16_t c = char16_t(line % 32);
        control[i + 6 + line % 5] = QChar(c == u'\n' || c == u'\r' ? u'\x7f' : c);
    }
    QTest::addRow("NUL and control characters in fields") << control << 30;
    QString broken = beaconLog(3);
    broken[122 + 60] = QLatin1Char('\r');
    QTest::addRow("a CR inside a line breaks it") << broken << 2;
    QString withNul = beacon(1);
    withNul[4] = QChar(0);
    QTest::addRow("NUL where a blank stands") << withNul << 1;

    QStringList alternating;
    for (int i = 0; i < 40; ++i)
        alternating << beacon(i) << beacon(i).left(119) << beacon(i) + QLatin1Char(' ');
    QTest::addRow("beacon, 119 and 121 characters") << alternating.join(QStringLiteral("\r\n")) << 40;
    QTest::addRow("tabs and form feeds only")
        << QString(5000, QLatin1Char('\t')) + QString(5000, QChar(0x0c)) << 0;
}

void TestHostileLogs::pastes()
{
    QFETCH(QString, text);
    QFETCH(int, records);
    QVERIFY(openWindow());

    pasteThroughClipboard(text);
    QCOMPARE(m_window->records().count(), records);
    QCOMPARE(m_window->findChild<QLabel*>(QStringLiteral("Label2"))->text(),
             QStringLiteral("#1 / %1").arg(records));
    QVERIFY(!m_boxShown);

    // Still working: a clean log afterwards decodes as ever.
    pasteThroughClipboard(beaconLog(3));
    QCOMPARE(m_window->records().count(), 3);
    QCOMPARE(m_window->findChild<QLineEdit*>(QStringLiteral("Text1_0"))->text(),
             QStringLiteral("1 => 0d 00:00:01"));
}

void TestHostileLogs::sameRecordsAsTool_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("records");

    // Each character stands in the on-board time field or in the middle of the line.
    const auto at = [](int index, QChar c) {
        QString line = beacon(0x12345);
        line[index] = c;
        return beacon(1) + QStringLiteral("\r\n") + line + QStringLiteral("\r\n") + beacon(3);
    };
    QTest::addRow("no-break space in a field") << at(6, QChar(0x00A0)) << 3;
    QTest::addRow("line separator") << at(60, QChar(0x2028)) << 3;
    QTest::addRow("paragraph separator") << at(60, QChar(0x2029)) << 3;
    QTest::addRow("frame character") << at(60, QChar(0xFDD0)) << 3;
    QTest::addRow("byte-order mark in a field") << at(7, QChar(0xFEFF)) << 3;
    QTest::addRow("NUL in a field") << at(8, QChar(0)) << 3;
    QTest::addRow("unpaired surrogate in a field") << at(9, QChar(0xDC00)) << 3;
    QTest::addRow("byte-order mark before a line")
        << beacon(1) + QStringLiteral("\r\n\uFEFF") + beacon(2) << 1;
}

// The window and orvik-tlm give the same records for the same text, character for character.
void TestHostileLogs::sameRecordsAsTool()
{
    QFETCH(QString, text);
    QFETCH(int, records);
    QVERIFY(openWindow());
    pasteThroughClipboard(text);
    QCOMPARE(m_window->records().count(), records);
    m_window->findChild<QAction*>(QStringLiteral("WriteCSVFile"))->trigger();
    QFile exported(m_folder->filePath(QStringLiteral("orvik_telemetry.csv")));
    QVERIFY(exported.open(QIODevice::ReadOnly));

    // UTF-16 carries every one of these characters to the tool unchanged.
    QByteArray utf16("\xFF\xFE");
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    const testsupport::TlmResult tool = testsupport::runTlmOn(utf16, {});
    QCOMPARE(tool.code, 0);
    QCOMPARE(tool.out, exported.readAll());
}

void TestHostileLogs::confFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("kind"); // "file", "folder", "unreadable", "fifo", "link", "device" or "sparse"
    QTest::addColumn<QString>("imagePath");
    QTest::addColumn<bool>("button");
    const QString kDefault = QStringLiteral("@"); // the program folder
    QRandomGenerator rng(7);
    QByteArray binary(64 * 1024, Qt::Uninitialized);
    for (char& c : binary)
        c = char(rng.bounded(256));
    QTest::addRow("binary content") << binary << "file" << kDefault << true;
    QTest::addRow("10 MB line") << QByteArray(10 * 1024 * 1024, 'x') << "file" << kDefault << true;
    // Cut where reading stops, so not taken at all.
    QTest::addRow("10 MB line with an equals sign")
        << "SCREENSHOT=" + QByteArray(10 * 1024 * 1024, 'y') << "file" << kDefault << true;
    QTest::addRow("NUL characters") << QByteArray("IMAGE\0_PATH=/x/\r\nSCREEN\0SHOT=NO\r\n", 33) << "file"
                                    << kDefault << true;
    QTest::addRow("a folder") << QByteArray() << "folder" << kDefault << true;
    QTest::addRow("a dangling link") << QByteArray() << "unreadable" << kDefault << true;
    QTest::addRow("a FIFO") << QByteArray() << "fifo" << kDefault << true;
    QTest::addRow("a link to /dev/zero") << QByteArray() << "device" << kDefault << true;
    QTest::addRow("a link to a file") << QByteArray("IMAGE_PATH=/linked/\r\nSCREENSHOT=NO\r\n") << "link"
                                      << "/linked/" << false;
    QTest::addRow("500 MB file") << QByteArray("SCREENSHOT=NO\r\n") << "sparse" << kDefault << false;
    QTest::addRow("Windows 8-bit text") << QByteArray("IMAGE_PATH=/srv/caf\xE9/\r\n") << "file"
                                        << "/srv/café/" << true;
}

void TestHostileLogs::confFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, kind);
    QFETCH(QString, imagePath);
    QFETCH(bool, button);
    const QString conf = m_folder->filePath(QStringLiteral("conf.ini"));
    const QString target = kind == u"link" ? m_folder->filePath(QStringLiteral("elsewhere.ini")) : conf;
    if (kind == u"file" || kind == u"link" || kind == u"sparse") {
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        if (kind == u"sparse") {
            // A setting at its very end that must not be reached.
            QVERIFY(file.resize(500 * 1024 * 1024));
            QVERIFY(file.seek(file.size()));
            file.write("\r\nIMAGE_PATH=/beyond/\r\n");
        }
    }
    if (kind == u"folder")
        QVERIFY(QDir().mkdir(conf));
    else if (kind == u"unreadable")
        QVERIFY(QFile::link(m_folder->filePath(QStringLiteral("nowhere")), conf));
    else if (kind == u"link")
        QVERIFY(QFile::link(target, conf));
    else if (kind == u"device")
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), conf));
    else if (kind == u"fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(conf).constData(), 0600), 0);

    QVERIFY(openWindow());
    QVERIFY(!m_boxShown);
    QCOMPARE(m_window->imagePath(), imagePath == u"@" ? m_folder->path() + QDir::separator() : imagePath);
    QCOMPARE(m_window->findChild<QPushButton*>(QStringLiteral("Command1"))->isVisible(), button);
    pasteThroughClipboard(beaconLog(2));
    QCOMPARE(m_window->records().count(), 2);
}

QTEST_MAIN(TestHostileLogs)
#include "tst_hostilelogs.moc"
