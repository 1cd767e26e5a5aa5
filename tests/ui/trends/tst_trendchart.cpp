// SPDX-License-Identifier: GPL-3.0-or-later
// The trend chart drawn alone: its legend readable on light and dark palettes.
#include "ui/trends/trendchart.h"

#include <QApplication>
#include <QChart>
#include <QLegend>
#include <QTest>
#include <QValueAxis>

using namespace orvik;

class TestTrendChart : public QObject {
    Q_OBJECT
private slots:
    void legendReadsOnThePalette_data();
    void legendReadsOnThePalette();
};

void TestTrendChart::legendReadsOnThePalette_data()
{
    QTest::addColumn<QColor>("window");
    QTest::addColumn<QColor>("text");
    QTest::addColumn<bool>("whileShown"); // the palette changes after the chart is drawn
    QTest::addRow("light") << QColor(240, 240, 240) << QColor(Qt::black) << false;
    QTest::addRow("dark") << QColor(32, 32, 32) << QColor(230, 230, 230) << false;
    QTest::addRow("dark, switched while shown") << QColor(32, 32, 32) << QColor(230, 230, 230) << true;
}

void TestTrendChart::legendReadsOnThePalette()
{
    QFETCH(QColor, window);
    QFETCH(QColor, text);
    QFETCH(bool, whileShown);
    const QPalette desktop = QApplication::palette();
    QPalette p = desktop;
    for (const QPalette::ColorRole role : {QPalette::Window, QPalette::Base})
        p.setColor(role, window);
    for (const QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText})
        p.setColor(role, text);
    if (!whileShown)
        QApplication::setPalette(p);
    TrendChart chart(nullptr);
    const std::vector<ChartLine> lines{
        {QStringLiteral("Battery Volt*"), QStringLiteral("V"), false, {{0, 12.0}, {60000, 12.4}}}
    };
    chart.setLines(lines, TrendTime::Received, 0, 60000, {}, QString());
    chart.show();
    if (whileShown) {
        QApplication::setPalette(p);
        QCoreApplication::processEvents(); // a desktop's palette change arrives as posted events
    }
    const QColor shown = chart.chart()->legend()->labelColor();
    QApplication::setPalette(desktop);
    QCOMPARE(shown, text);
}

QTEST_MAIN(TestTrendChart)
#include "tst_trendchart.moc"
