// SPDX-License-Identifier: GPL-3.0-or-later
// The trend window on real archives: the chosen channels drawn with the archive's values,
// the quick ranges, zoom by rectangle, wheel and keys and back again, the exports, and
// archives that cannot be shown.
#include "archive/archive.h"
#include "format/beacontext.h"
#include "platform/numbertext.h"
#include "trendtestdata.h"
#include "ui/mainwindow.h"
#include "ui/trends/trendwindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QValueAxis>
#include <cmath>

using namespace orvik;
using namespace trendtest;

class TestTrendWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void drawsTheChosenChannels_data();
    void drawsTheChosenChannels();
    void quickRanges_data();
    void quickRanges();
    void zoomAndBack_data();
    void zoomAndBack();
    void exportsHoldWhatIsShown();
    void decimationKeepsASpike();
    void archivesThatCannotBeShown_data();
    void archivesThatCannotBeShown();
    void keyboardAndNames();
    void openedFromTheMenu();

private:
    void open(const std::vector<ArchiveEntry>& entries);
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TrendWindow> m_window;
    TrendChart* m_chart = nullptr;
};

void TestTrendWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_window = std::make_unique<TrendWindow>();
    m_chart = m_window->findChild<TrendChart*>(QStringLiteral("TrendChart"));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestTrendWindow::cleanup()
{
    m_window.reset();
    m_dir.reset();
}

void TestTrendWindow::open(const std::vector<ArchiveEntry>& entries)
{
    const QString path = m_dir->filePath(QStringLiteral("archive.sqlite"));
    QCOMPARE(writeArchive(path, entries), QString());
    m_window->openArchive(path);
    QCoreApplication::processEvents();
}

void TestTrendWindow::drawsTheChosenChannels_data()
{
    QTest::addColumn<std::vector<int>>("channels");
    QTest::addColumn<int>("axes");
    QTest::addRow("one") << std::vector<int>{11} << 1;
    QTest::addRow("two units") << std::vector<int>{11, 13} << 2;
    QTest::addRow("one unit twice") << std::vector<int>{11, 27} << 1;
    QTest::addRow("three, two units") << std::vector<int>{11, 13, 27} << 2;
}

void TestTrendWindow::drawsTheChosenChannels()
{
    QFETCH(std::vector<int>, channels);
    QFETCH(int, axes);
    const std::vector<ArchiveEntry> entries = season();
    open(entries);
    // Checked in the list, as a user does.
    auto* tree = m_window->findChild<QTreeWidget*>(QStringLiteral("TrendChannels"));
    m_window->setChosenChannels({});
    for (QTreeWidgetItem* item :
         tree->findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive)) {
        const int c = item->data(0, Qt::UserRole).toInt();
        if (item->parent() && std::find(channels.begin(), channels.end(), c) != channels.end())
            item->setCheckState(0, Qt::Checked);
    }
    QCOMPARE(m_window->chosenChannels(), channels);
    const QList<QLineSeries*> series = m_chart->lineSeries();
    QCOMPARE(series.size(), qsizetype(channels.size()));
    QCOMPARE(m_chart->valueAxes().size(), axes);
    QCOMPARE(m_chart->valueAxes().first()->alignment(), Qt::AlignLeft);
    if (axes > 1)
        QCOMPARE(m_chart->valueAxes()[1]->alignment(), Qt::AlignRight);
    for (std::size_t i = 0; i < channels.size(); ++i) {
        const QList<QPointF> points = series[qsizetype(i)]->points();
        QCOMPARE(points.size(), qsizetype(entries.size()));
        QVERIFY(points.size() <= 2 * m_chart->plotColumns());
        for (qsizetype r = 0; r < points.size(); ++r) {
            QCOMPARE(points[r].x(), double(entries[std::size_t(r)].receivedMs));
            QCOMPARE(points[r].y(), entries[std::size_t(r)].values[std::size_t(channels[i])]);
        }
    }
}

void TestTrendWindow::quickRanges_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("onBoard");
    QTest::addColumn<qint64>("lo");
    QTest::addColumn<qint64>("hi");
    const qint64 newest = kPasses[3].at + 9 * 30000;
    const qint64 obcOffset = 864000 * 1000 - kStart;
    QTest::addRow("last pass") << "TrendLastPass" << false << kPasses[3].at << newest;
    QTest::addRow("last day") << "TrendLastDay" << false << newest - kDay << newest;
    QTest::addRow("last week") << "TrendLastWeek" << false << newest - 7 * kDay << newest;
    QTest::addRow("everything") << "TrendEverything" << false << kStart << newest;
    QTest::addRow("last pass on board")
        << "TrendLastPass" << true << kPasses[3].at + obcOffset << newest + obcOffset;
    QTest::addRow("last day on board")
        << "TrendLastDay" << true << kPasses[2].at + obcOffset << newest + obcOffset;
    QTest::addRow("everything on board")
        << "TrendEverything" << true << kStart + obcOffset << newest + obcOffset;
}

void TestTrendWindow::quickRanges()
{
    QFETCH(QString, button);
    QFETCH(bool, onBoard);
    QFETCH(qint64, lo);
    QFETCH(qint64, hi);
    open(season());
    m_window->findChild<QCheckBox*>(QStringLiteral("TrendOnBoard"))->setChecked(onBoard);
    QTest::mouseClick(m_window->findChild<QPushButton*>(button), Qt::LeftButton);
    QCOMPARE(qint64(m_chart->lo()), lo);
    QCOMPARE(qint64(m_chart->hi()), hi);
    QCOMPARE(timeAxis(m_chart)->min().toMSecsSinceEpoch(), lo);
    QCOMPARE(timeAxis(m_chart)->max().toMSecsSinceEpoch(), hi);
    for (const QPointF& p : m_chart->lineSeries().first()->points())
        QVERIFY(p.x() >= double(lo) && p.x() <= double(hi));
}

void TestTrendWindow::zoomAndBack_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<double>("from"); // the part of the span kept, from its start
    QTest::addColumn<double>("to");
    QTest::addRow("rectangle") << "drag" << 0.25 << 0.5;
    QTest::addRow("wheel at the middle") << "wheel" << 0.1 << 0.9;
    QTest::addRow("plus key") << "plus" << 0.25 << 0.75;
    QTest::addRow("minus key") << "minus" << -0.5 << 1.5;
    QTest::addRow("shift and right arrow pan") << "pan" << 0.25 << 1.25;
}

void TestTrendWindow::zoomAndBack()
{
    QFETCH(QString, how);
    QFETCH(double, from);
    QFETCH(double, to);
    open(season());
    const double lo = m_chart->lo();
    const double span = m_chart->hi() - lo;
    const double low = m_chart->valueAxes().first()->min();
    const double high = m_chart->valueAxes().first()->max();
    QWidget* viewport = m_chart->viewport();
    const QPoint middle = plotPoint(m_chart, 0.5, 0.5);
    if (how == "drag") {
        const QPoint a = plotPoint(m_chart, from, 0.2);
        const QPoint b = plotPoint(m_chart, to, 0.8);
        QTest::mousePress(viewport, Qt::LeftButton, {}, a);
        QTest::mouseMove(viewport, (a + b) / 2);
        QTest::mouseMove(viewport, b);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, b);
    } else if (how == "wheel") {
        QWheelEvent wheel(middle, viewport->mapToGlobal(middle), {}, QPoint(0, 120), Qt::NoButton, {},
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &wheel);
    } else {
        m_chart->setFocus();
        if (how == "pan")
            QTest::keyClick(m_chart, Qt::Key_Right, Qt::ShiftModifier);
        else
            QTest::keyClick(m_chart, how == "plus" ? Qt::Key_Plus : Qt::Key_Minus);
    }
    // A pixel's worth of the span where the mouse points, the exact part for the keys.
    const QRectF plot = m_chart->chart()->plotArea();
    const double tolerance = how == "drag" || how == "wheel" ? span / plot.width() : 1.0;
    QVERIFY2(std::abs(m_chart->lo() - (lo + from * span)) <= tolerance,
             qPrintable(QString::number(m_chart->lo() - lo)));
    QVERIFY(std::abs(m_chart->hi() - (lo + to * span)) <= tolerance);
    // Read again for the span: only its records are drawn.
    for (const QPointF& p : m_chart->lineSeries().first()->points())
        QVERIFY(p.x() >= m_chart->lo() && p.x() <= m_chart->hi());
    // The rectangle also chose the values: its lower and upper fifth are left out.
    if (how == "drag") {
        const double perPixel = (high - low) / plot.height();
        QVERIFY(std::abs(m_chart->valueAxes().first()->min() - (low + 0.2 * (high - low))) <= perPixel);
        QVERIFY(std::abs(m_chart->valueAxes().first()->max() - (low + 0.8 * (high - low))) <= perPixel);
    }

    m_chart->setFocus();
    QTest::keyClick(m_chart, Qt::Key_Backspace);
    QCOMPARE(m_chart->lo(), lo);
    QCOMPARE(m_chart->hi(), lo + span);
    QCOMPARE(m_chart->lineSeries().first()->count(), 40);
}

void TestTrendWindow::exportsHoldWhatIsShown()
{
    const std::vector<ArchiveEntry> entries = season();
    open(entries);
    m_window->setChosenChannels({11, 13});
    QTest::mouseClick(m_window->findChild<QPushButton*>(QStringLiteral("TrendLastDay")), Qt::LeftButton);
    QStringList asked;
    m_window->setFileNameProvider([&](const QString&, const QString&, const QString& filters) {
        asked << filters;
        return m_dir->filePath(filters.startsWith("CSV") ? "shown.csv" : "shown");
    });
    QTest::mouseClick(m_window->findChild<QPushButton*>(QStringLiteral("TrendExportCsv")), Qt::LeftButton);
    QFile csv(m_dir->filePath("shown.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll()).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.first(), QStringLiteral("Received (UTC);Battery Volt*;Battery Temp*;"));
    const QList<QPointF> volts = m_chart->lineSeries()[0]->points();
    const QList<QPointF> temps = m_chart->lineSeries()[1]->points();
    QCOMPARE(lines.size(), volts.size() + 2); // the header, and nothing after the last CR LF
    QVERIFY(lines.last().isEmpty());
    for (qsizetype r = 0; r < volts.size(); ++r) {
        const QStringList fields = lines[r + 1].split(u';');
        QCOMPARE(fields.size(), 4);
        qint64 at = 0;
        QVERIFY(parseArchiveTime(fields[0], &at));
        QCOMPARE(double(at), volts[r].x());
        QCOMPARE(fields[1], csvNumber(volts[r].y()));
        QCOMPARE(fields[2], csvNumber(temps[r].y()));
    }
    QCOMPARE(volts.size(), 20); // the last two passes

    QTest::mouseClick(m_window->findChild<QPushButton*>(QStringLiteral("TrendSaveImage")), Qt::LeftButton);
    QCOMPARE(asked.size(), 2);
    QImage png(m_dir->filePath("shown.png"));
    QCOMPARE(png.size(), m_chart->size());
    QVERIFY(m_window->saveImage(m_dir->filePath("shown.svg")));
    QFile svg(m_dir->filePath("shown.svg"));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    const QByteArray drawing = svg.readAll();
    QVERIFY(drawing.startsWith("<?xml") || drawing.startsWith("<svg"));
    QVERIFY(drawing.contains("</svg>"));
    // The title names the archive without the folders it lies in.
    const QFileInfo archive(m_window->windowTitle().section(QChar(0x2013), 1).trimmed());
    QVERIFY(drawing.contains("<title>Trends \xe2\x80\x93 " + archive.fileName().toUtf8() + "</title>"));
    QVERIFY(!drawing.contains(QDir::toNativeSeparators(archive.absolutePath()).toUtf8()));
    // A folder that is not there: the path and the reason, and no file.
    const QString missing = m_dir->filePath("no/such/folder/x.csv");
    QString error;
    QVERIFY(!m_window->exportCsv(missing, &error));
    QVERIFY2(error.startsWith("'" + missing + "' cannot be written: "), qPrintable(error));
    QCOMPARE(m_window->findChild<QLabel*>(QStringLiteral("TrendStatus"))->text(), error);
}

void TestTrendWindow::decimationKeepsASpike()
{
    std::vector<ArchiveEntry> entries;
    for (int i = 0; i < 20000; ++i)
        entries.push_back(entry(kStart + qint64(i) * 1000, i, i == 12345 ? 9.75 : (i == 777 ? -2.5 : 3.0)));
    open(entries);
    QCoreApplication::processEvents();
    const QList<QPointF> points = m_chart->lineSeries().first()->points();
    QVERIFY(points.size() <= 2 * m_chart->plotColumns());
    QVERIFY(points.size() >= m_chart->plotColumns());
    const auto [low, high] = std::minmax_element(
        points.begin(), points.end(), [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
    QCOMPARE(*high, QPointF(double(kStart + 12345 * 1000), 9.75));
    QCOMPARE(*low, QPointF(double(kStart + 777 * 1000), -2.5));
    QVERIFY(std::is_sorted(points.begin(), points.end(),
                           [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); }));
}

void TestTrendWindow::archivesThatCannotBeShown_data()
{
    QTest::addColumn<QByteArray>("content"); // "-" for no file at all
    QTest::addColumn<QString>("says");
    QTest::addRow("missing") << QByteArray("-") << "archive.sqlite";
    QTest::addRow("not an archive") << QByteArray("hello, world\n") << "archive.sqlite";
    QTest::addRow("empty archive") << QByteArray() << "holds no records yet";
}

void TestTrendWindow::archivesThatCannotBeShown()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, says);
    const QString path = m_dir->filePath(QStringLiteral("archive.sqlite"));
    if (content.isEmpty()) {
        QCOMPARE(writeArchive(path, {}), QString());
    } else if (content != "-") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    m_window->openArchive(path);
    const QString status = m_window->findChild<QLabel*>(QStringLiteral("TrendStatus"))->text();
    QVERIFY2(status.contains(says), qPrintable(status));
    QVERIFY(m_chart->lineSeries().isEmpty());
    QVERIFY(!m_window->findChild<QPushButton*>(QStringLiteral("TrendEverything"))->isEnabled());
    QTest::keyClick(m_chart, Qt::Key_Plus);
    QVERIFY(m_chart->lineSeries().isEmpty());
    if (content != "-" && !content.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), content);
    }
}

void TestTrendWindow::keyboardAndNames()
{
    open(season());
    // Every control is reached by Tab and carries an accessible name.
    QList<QWidget*> reached;
    m_window->findChild<QTreeWidget*>()->setFocus();
    for (int i = 0; i < 12 && !reached.contains(QApplication::focusWidget()); ++i) {
        reached << QApplication::focusWidget();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    // The controls stand in the content the window scrolls on a small screen.
    const QWidget* content = m_window->findChild<QScrollArea*>(QStringLiteral("TrendScroller"))->widget();
    QVERIFY(content->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size() >= 12);
    for (QWidget* w : m_window->findChildren<QWidget*>()) {
        if (w->focusPolicy() & Qt::TabFocus && w->isEnabled() &&
            (w->parentWidget() == content || w->parentWidget() == m_window.get())) {
            QVERIFY2(reached.contains(w), qPrintable(w->objectName()));
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        }
    }
    // The read-out steps through the records with the arrow keys.
    m_chart->setFocus();
    QTest::keyClick(m_chart, Qt::Key_Home);
    QTest::keyClick(m_chart, Qt::Key_Right);
    const QString readOut = m_window->findChild<QLabel*>(QStringLiteral("TrendReadOut"))->text();
    QCOMPARE(readOut, "2026-12-01 10:00:30 UTC: Battery Volt* 3" + localDecimalPoint() + "51 V");
    // Escape closes the window.
    QTest::keyClick(m_chart, Qt::Key_Escape);
    QVERIFY(!m_window->isVisible());
}

// On the archive that conf.ini names, as the main window adds to it.
void TestTrendWindow::openedFromTheMenu()
{
    const QString path = m_dir->filePath(QStringLiteral("named.sqlite"));
    QCOMPARE(writeArchive(path, season()), QString());
    QFile conf(m_dir->filePath(QStringLiteral("conf.ini")));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("ARCHIVE=" + path.toUtf8() + "\r\n");
    conf.close();
    MainWindow main(m_dir->path());
    main.show();
    auto* trends = main.findChild<QAction*>(QStringLiteral("MnuTrends"));
    QVERIFY(trends);
    trends->trigger();
    auto* window = main.findChild<TrendWindow*>();
    QVERIFY(window && window->isVisible());
    QVERIFY(window->windowTitle().endsWith(QDir::toNativeSeparators(path)));
    QCOMPARE(window->findChild<TrendChart*>()->lineSeries().first()->count(), 40);
    main.close();
    QVERIFY(!window->isVisible());
}

QTEST_MAIN(TestTrendWindow)
#include "tst_trendwindow.moc"
