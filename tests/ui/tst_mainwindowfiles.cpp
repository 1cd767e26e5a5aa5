// SPDX-License-Identifier: GPL-3.0-or-later
// What the window writes and starts: the CSV file, screenshots, the converter, and the About box.
#include "mainwindowfixture.h"
#include "platform/version.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>

using namespace orvik;
using namespace orvik::testing;

class TestMainWindowFiles : public QObject, protected MainWindowFixture {
    Q_OBJECT
private slots:
    void init() { start(); }
    void cleanup() { stop(); }

    void csvExport();
    void csvExportFailureReportsAndWritesNothing();
    void screenshotWritesBitmapAndStartsConverter();
    void screenshotWithoutConverterShowsMessage();
    void screenshotUnwritableReportsAndShowsButton();
    void canvasFollowsClientArea();
    void aboutBoxIsSingleAndOutlivesExit();
};

void TestMainWindowFiles::csvExport()
{
    paste(log(2, 7) + QStringLiteral("\r\nnot a beacon"));
    child<QAction>(QStringLiteral("WriteCSVFile"))->trigger();
    const QString path = m_folder->path() + QDir::separator() + QStringLiteral("orvik_telemetry.csv");
    QCOMPARE(label3(), path + QStringLiteral(" has been written"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 4); // header, two records, and the empty rest after the last CR LF
    QVERIFY(lines[0].startsWith("OBC Time;Uplink Counter;Camera Counter;"));
    QVERIFY(lines[0].endsWith("RSSI (orv6);\r"));
    const QString dp = QLocale::system().decimalPoint();
    QVERIFY(lines[1].startsWith("7;5;7;2;1;1;64;0;0;0;"));
    QVERIFY(QString::fromLatin1(lines[1]).contains(QStringLiteral(";12") + dp + QStringLiteral("046144;")));
    QVERIFY(lines[2].startsWith("8;5;7;"));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(lines[i].count(';'), 31);
    QCOMPARE(lines[3], QByteArray());
}

void TestMainWindowFiles::csvExportFailureReportsAndWritesNothing()
{
    paste(log(2, 7));
    // A folder that is gone: the export cannot be written, and says so.
    const QString gone = m_folder->filePath(QStringLiteral("gone"));
    m_window = std::make_unique<MainWindow>(gone);
    paste(log(2, 7));
    child<QAction>(QStringLiteral("WriteCSVFile"))->trigger();
    const QString path =
        QDir::toNativeSeparators(gone) + QDir::separator() + QStringLiteral("orvik_telemetry.csv");
    QVERIFY2(label3().startsWith("'" + path + QStringLiteral("' cannot be written: ")), qPrintable(label3()));
    QVERIFY(!label3().contains(QStringLiteral("has been written")));
    QVERIFY(!QFile::exists(path));
    // The window goes on working.
    paste(log(3, 1));
    QCOMPARE(m_window->records().count(), 3);
}

void TestMainWindowFiles::screenshotWritesBitmapAndStartsConverter()
{
    // A stand-in converter on the search path records the arguments it was given.
    QTemporaryDir bin;
    const QString argsFile = bin.filePath(QStringLiteral("args"));
    QFile script(bin.filePath(QStringLiteral("nconvert")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '%1'\n")
                     .arg(argsFile)
                     .toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", bin.path().toUtf8() + ':' + oldPath);
    bool boxShown = false;
    setMessageBoxHandler(
        [&](QWidget*, const QString&, const QString&, QMessageBox::Icon) { boxShown = true; });

    paste(log(3, 1));
    auto* button = child<QPushButton>(QStringLiteral("Command1"));
    QTest::mouseClick(button, Qt::LeftButton);
    qputenv("PATH", oldPath);

    const QString path = m_folder->path() + QDir::separator() + QStringLiteral("orv_") +
                         QDate::currentDate().toString(QStringLiteral("ddMMyyyy")) + QStringLiteral(".bmp");
    QCOMPARE(label3(), path + QStringLiteral(" saved"));
    QVERIFY(button->isVisible());
    QVERIFY(!boxShown);

    QImage shot(path, "BMP");
    QVERIFY(!shot.isNull());
    QCOMPARE(shot.size(), QSize(665, 705));
    // Where the button stands the picture holds only the window background.
    const QRect where = button->geometry();
    for (int y = where.top() + 2; y < where.bottom() - 1; y += 3) {
        for (int x = where.left() + 2; x < where.right() - 1; x += 3)
            QCOMPARE(shot.pixelColor(x, y), QColor(240, 240, 240));
    }
    // The panels are in it: the highlighted battery value box is pale yellow inside.
    const QPoint inBox = value(11)->mapTo(client(), QPoint(value(11)->width() - 4, 4));
    QCOMPARE(shot.pixelColor(inBox), QColor(255, 255, 192));

    QTRY_VERIFY(QFile::exists(argsFile));
    QFile args(argsFile);
    QVERIFY(args.open(QIODevice::ReadOnly));
    QTRY_VERIFY(args.size() > 0 || (args.close(), args.open(QIODevice::ReadOnly), args.size() > 0));
    const QStringList got = QString::fromUtf8(args.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(got, (QStringList{"-out", "png", "-transpcolor", "240", "240", "240", "-colors", "256", "-crop",
                               "1", "116", "660", "560", "-quiet", "-D", path}));

    // A second capture of the run goes to the same name.
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(label3(), path + QStringLiteral(" saved"));
}

void TestMainWindowFiles::screenshotWithoutConverterShowsMessage()
{
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", m_folder->path().toUtf8());
    QStringList shown;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    setMessageBoxHandler([&](QWidget*, const QString& text, const QString& title, QMessageBox::Icon i) {
        shown << text << title;
        icon = i;
    });
    QTest::mouseClick(child<QPushButton>(QStringLiteral("Command1")), Qt::LeftButton);
    qputenv("PATH", oldPath);
    QCOMPARE(shown, (QStringList{"nconvert.exe not found", "Error"}));
    QCOMPARE(icon, QMessageBox::Information);
    QVERIFY(label3().endsWith(QStringLiteral(".bmp saved")));
}

void TestMainWindowFiles::screenshotUnwritableReportsAndShowsButton()
{
    const QString missing = m_folder->filePath(QStringLiteral("no such folder/"));
    makeWindow(QStringLiteral("IMAGE_PATH=%1\r\n").arg(missing));
    bool boxShown = false;
    setMessageBoxHandler(
        [&](QWidget*, const QString&, const QString&, QMessageBox::Icon) { boxShown = true; });
    auto* button = child<QPushButton>(QStringLiteral("Command1"));
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY2(label3().startsWith("'" + missing + QStringLiteral("orv_")), qPrintable(label3()));
    QVERIFY(label3().contains(QStringLiteral("' cannot be written: ")));
    QVERIFY(button->isVisible());
    QVERIFY(!boxShown); // the converter was never asked for
}

void TestMainWindowFiles::canvasFollowsClientArea()
{
    auto* canvas = child<QWidget>(QStringLiteral("Picture2"));
    QVERIFY(!canvas->isVisible());
    QCOMPARE(canvas->geometry(), QRect(QPoint(0, 0), client()->size()));
    m_window->showMinimized();
    m_window->showNormal();
    QVERIFY(!canvas->isVisible());
    QCOMPARE(canvas->geometry(), QRect(QPoint(0, 0), client()->size()));
}

void TestMainWindowFiles::aboutBoxIsSingleAndOutlivesExit()
{
    auto aboutBoxes = [] {
        QList<QWidget*> out;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == u"Form2" && w->isVisible())
                out << w;
        }
        return out;
    };
    QAction* info = child<QAction>(QStringLiteral("MnuInfo"));
    info->trigger();
    info->trigger();
    QCOMPARE(aboutBoxes().size(), 1);
    QWidget* box = aboutBoxes().first();
    QCOMPARE(box->windowTitle(), QStringLiteral(" Info"));
    QVERIFY(box->parentWidget() == nullptr);
    auto* version = box->findChild<QLabel*>(QStringLiteral("Label2"));
    // The line's form never changes; its version and its day are those CMake sets.
    static const QRegularExpression form(
        QStringLiteral(R"(^Version Ver\. (\d+)\.(\d+)    \((\d\d [A-Z][a-z]+ \d{4})\)$)"));
    const QRegularExpressionMatch line = form.match(version->text());
    QVERIFY2(line.hasMatch(), qPrintable(version->text()));
    QCOMPARE(line.captured(1).toInt(), kVersionMajor);
    QCOMPARE(line.captured(2).toInt(), kVersionMinor);
    const QDate released = QDate::fromString(QLatin1String(kReleaseDate), Qt::ISODate);
    QVERIFY(released.isValid());
    QCOMPARE(QLocale::c().toDate(line.captured(3), QStringLiteral("dd MMMM yyyy")), released);
    QCOMPARE(version->alignment(), Qt::AlignCenter);

    child<QAction>(QStringLiteral("MnuExit"))->trigger();
    QVERIFY(!m_window->isVisible());
    QCOMPARE(aboutBoxes().size(), 1);
    box->close();
    QTRY_COMPARE(aboutBoxes().size(), 0);
}

QTEST_MAIN(TestMainWindowFiles)
#include "tst_mainwindowfiles.moc"
