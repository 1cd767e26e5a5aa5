// SPDX-License-Identifier: GPL-3.0-or-later
// The trend window follows its archive while another program adds to it.
#include "support/referenceline.h"
#include "trendtestdata.h"
#include "ui/trends/trendchart.h"
#include "ui/trends/trendwindow.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace orvik;
using namespace trendtest;

class TestArchiveFollower : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void followsTheArchive_data();
    void followsTheArchive();

private:
    void open(const std::vector<ArchiveEntry>& entries);
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TrendWindow> m_window;
    TrendChart* m_chart = nullptr;
};

void TestArchiveFollower::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_window = std::make_unique<TrendWindow>();
    m_chart = m_window->findChild<TrendChart*>(QStringLiteral("TrendChart"));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestArchiveFollower::cleanup()
{
    m_window.reset();
    m_dir.reset();
}

void TestArchiveFollower::open(const std::vector<ArchiveEntry>& entries)
{
    const QString path = m_dir->filePath(QStringLiteral("archive.sqlite"));
    QCOMPARE(writeArchive(path, entries), QString());
    m_window->openArchive(path);
    QCoreApplication::processEvents();
}

// Records the tool adds while the window is open are on show within a second: the quick range
// chosen takes them in, a span zoomed to stays and shows those within it, and an archive that
// was missing is opened once it is there.
void TestArchiveFollower::followsTheArchive_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("before"); // the status line
    QTest::addColumn<QString>("after");
    QTest::addRow("everything") << "TrendEverything"
                                << "40 records from 2026-12-01 10:00:00 UTC to 2026-12-07 11:34:30 UTC"
                                << "43 records from 2026-12-01 10:00:00 UTC to 2026-12-08 19:55:12 UTC";
    QTest::addRow("last pass") << "TrendLastPass"
                               << "10 records from 2026-12-07 11:30:00 UTC to 2026-12-07 11:34:30 UTC"
                               << "3 records from 2026-12-08 19:53:00 UTC to 2026-12-08 19:55:12 UTC";
    QTest::addRow("zoomed") << "drag"
                            << ""
                            << "";
    QTest::addRow("missing") << "missing"
                             << ""
                             << "3 records from 2026-12-08 19:53:00 UTC to 2026-12-08 19:55:12 UTC";
}

void TestArchiveFollower::followsTheArchive()
{
    QFETCH(QString, how);
    QFETCH(QString, before);
    QFETCH(QString, after);
    const QString path = m_dir->filePath(QStringLiteral("archive.sqlite"));
    auto* status = m_window->findChild<QLabel*>(QStringLiteral("TrendStatus"));
    if (how == u"missing") {
        m_window->openArchive(path);
    } else {
        open(season());
    }
    if (how == u"drag") {
        const QPoint a = plotPoint(m_chart, 0.1, 0.0);
        const QPoint b = plotPoint(m_chart, 0.9, 1.0);
        QTest::mousePress(m_chart->viewport(), Qt::LeftButton, {}, a);
        QTest::mouseMove(m_chart->viewport(), b);
        QTest::mouseRelease(m_chart->viewport(), Qt::LeftButton, {}, b);
    } else if (how != u"missing") {
        QTest::mouseClick(m_window->findChild<QPushButton*>(how), Qt::LeftButton);
        QCOMPARE(status->text(), before);
    }
    const double lo = m_chart->lo();
    const double hi = m_chart->hi();
    const QByteArray kGood = testsupport::referenceBytes();
    QByteArray pass;
    for (const char* time : {"000100", "000140", "000184"})
        pass += QByteArray(kGood).replace(5, 6, time).replace(61, 2, time + 4) + '\n';
    // The zoomed span holds one record more, from the days it spans.
    const QString received =
        how == u"drag" ? QStringLiteral("2026-12-03T12:00:00Z") : QStringLiteral("2026-12-08T19:53:00Z");
    QCOMPARE(toolAdds(path, how == u"drag" ? pass.left(pass.indexOf('\n') + 1) : pass, received), 0);
    if (how == u"drag") {
        const QString shown = status->text();
        const int count = shown.section(u' ', 0, 0).toInt();
        QTRY_COMPARE_WITH_TIMEOUT(status->text().section(u' ', 0, 0).toInt(), count + 1, 5000);
        QCOMPARE(m_chart->lo(), lo);
        QCOMPARE(m_chart->hi(), hi);
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), after, 5000);
}

QTEST_MAIN(TestArchiveFollower)
#include "tst_archivefollower.moc"
