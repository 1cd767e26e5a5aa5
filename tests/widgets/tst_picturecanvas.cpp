// SPDX-License-Identifier: GPL-3.0-or-later
// The screenshot canvas: what copyFrom captures, and saving it as a BMP file that replaces
// an older one only once the new picture is complete.
#include "widgets/picturecanvas.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTest>

using orvik::PictureCanvas;

namespace {

const QColor kBackground(0, 0, 200);
const QColor kShown(220, 20, 20);
const QColor kHidden(20, 200, 20);

QWidget* filled(QWidget* parent, const QRect& geometry, const QColor& colour)
{
    auto* w = new QWidget(parent);
    w->setGeometry(geometry);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    w->setPalette(p);
    w->setAutoFillBackground(true);
    return w;
}

// A 120 x 80 client area: blue, a red child at 10,10 and a hidden green child at 60,10,
// with the canvas itself as another hidden child, the way the window holds it.
struct Scene {
    QWidget window;
    QWidget* client;
    QWidget* shownChild;
    PictureCanvas* canvas;

    Scene()
        : client(filled(&window, QRect(0, 0, 120, 80), kBackground))
        , shownChild(filled(client, QRect(10, 10, 30, 20), kShown))
        , canvas(new PictureCanvas(client))
    {
        window.resize(120, 80);
        filled(client, QRect(60, 10, 30, 20), kHidden)->hide();
        canvas->setGeometry(60, 40, 50, 30);
        canvas->hide();
    }
};

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// What QSaveFile says once writing is cancelled: the real cause must be reported instead.
QString cancelledText()
{
    QTemporaryDir scratch;
    QSaveFile file(scratch.filePath(QStringLiteral("cancelled")));
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.cancelWriting();
    return file.errorString();
}

enum class Target { NewFile, OverOlderFile, MissingFolder, ParentIsFile, PathIsFolder, NothingDrawn };

} // namespace

class TestPictureCanvas : public QObject {
    Q_OBJECT
private slots:
    void copyFrom_data();
    void copyFrom();
    void copyFromShowsCurrentState();
    void saveBitmap_data();
    void saveBitmap();
};

void TestPictureCanvas::copyFrom_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("shown");

    QTest::addRow("whole client, shown") << QSize(120, 80) << true;
    QTest::addRow("whole client, never shown") << QSize(120, 80) << false;
    QTest::addRow("cropped") << QSize(50, 35) << true;
    QTest::addRow("larger than the client") << QSize(200, 100) << true;
}

void TestPictureCanvas::copyFrom()
{
    QFETCH(QSize, size);
    QFETCH(bool, shown);

    Scene scene;
    if (shown) {
        scene.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&scene.window));
    }
    scene.canvas->copyFrom(scene.client, size);

    const QImage& image = scene.canvas->image();
    QCOMPARE(image.size(), size);
    QCOMPARE(image.pixelColor(2, 2), kBackground);
    QCOMPARE(image.pixelColor(20, 15), kShown);
    QCOMPARE(image.pixelColor(39, 29), kShown);
    QCOMPARE(image.pixelColor(40, 30), kBackground);
    if (size.width() > 70) {
        // Where the hidden child lies, the client's own background shows.
        QCOMPARE(image.pixelColor(70, 15), kBackground);
        QCOMPARE(image.pixelColor(70, 50), kBackground);
        QCOMPARE(image.pixelColor(119, 79), kBackground);
    }
}

void TestPictureCanvas::copyFromShowsCurrentState()
{
    Scene scene;
    scene.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&scene.window));
    scene.canvas->copyFrom(scene.client, QSize(120, 80));
    QCOMPARE(scene.canvas->image().pixelColor(20, 15), kShown);

    scene.shownChild->move(70, 40);
    scene.canvas->copyFrom(scene.client, QSize(120, 80));
    QCOMPARE(scene.canvas->image().pixelColor(20, 15), kBackground);
    QCOMPARE(scene.canvas->image().pixelColor(80, 45), kShown);
}

void TestPictureCanvas::saveBitmap_data()
{
    QTest::addColumn<Target>("target");

    QTest::addRow("new file") << Target::NewFile;
    QTest::addRow("over an older file") << Target::OverOlderFile;
    QTest::addRow("missing folder") << Target::MissingFolder;
    QTest::addRow("parent is a file") << Target::ParentIsFile;
    QTest::addRow("path is a folder") << Target::PathIsFolder;
    QTest::addRow("nothing drawn, over an older file") << Target::NothingDrawn;
}

void TestPictureCanvas::saveBitmap()
{
    QFETCH(Target, target);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray older("an older picture that must survive a failed save");
    QString path = dir.filePath(QStringLiteral("shot.bmp"));
    QString keep; // a file whose bytes must be exactly `older` afterwards

    switch (target) {
    case Target::NewFile: break;
    case Target::OverOlderFile:
    case Target::NothingDrawn: {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(older);
        if (target == Target::NothingDrawn)
            keep = path;
        break;
    }
    case Target::MissingFolder: path = dir.filePath(QStringLiteral("no such folder/shot.bmp")); break;
    case Target::ParentIsFile: {
        keep = dir.filePath(QStringLiteral("plain"));
        QFile f(keep);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(older);
        path = keep + QStringLiteral("/shot.bmp");
        break;
    }
    case Target::PathIsFolder: QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("shot.bmp"))); break;
    }
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    Scene scene;
    if (target != Target::NothingDrawn) {
        scene.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&scene.window));
        scene.canvas->copyFrom(scene.client, QSize(120, 80));
    }
    QString reason;
    const bool saved = scene.canvas->saveBitmap(path, &reason);

    const bool succeeds = target == Target::NewFile || target == Target::OverOlderFile;
    QCOMPARE(saved, succeeds);
    if (succeeds) {
        QVERIFY2(reason.isEmpty(), qPrintable(reason));
        QImage read(path, "BMP");
        QVERIFY(!read.isNull());
        QCOMPARE(read.size(), QSize(120, 80));
        QCOMPARE(read.convertToFormat(scene.canvas->image().format()), scene.canvas->image());
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("shot.bmp")});
    } else {
        QVERIFY2(reason.startsWith("'" + QDir::toNativeSeparators(path) + "' cannot be written: "),
                 qPrintable(reason));
        QVERIFY2(!reason.endsWith(": " + cancelledText()), qPrintable(reason));
        if (keep != path)
            QVERIFY(!QFileInfo(path).isFile());
        // No half-written or temporary file is left behind.
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        if (target == Target::MissingFolder)
            QVERIFY(!QFileInfo::exists(QFileInfo(path).path()));
        if (target == Target::PathIsFolder)
            QVERIFY(QFileInfo(path).isDir());
    }
    if (!keep.isEmpty())
        QCOMPARE(fileBytes(keep), older);
}

QTEST_MAIN(TestPictureCanvas)
#include "tst_picturecanvas.moc"
