// SPDX-License-Identifier: GPL-3.0-or-later
// The window under a light and a dark desktop palette: every text readable on its
// background, and under the light palette the layout's own colours.
#include "support/referenceline.h"
#include "ui/mainwindow.h"
#include "ui/trends/trendwindow.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <memory>

using namespace orvik;

namespace {

double luminance(const QColor& c)
{
    const auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

// The contrast ratio of two colours, from 1 to 21; 4.5 reads as normal text.
double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette darkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(43, 43, 43));
    p.setColor(QPalette::WindowText, QColor(224, 224, 224));
    p.setColor(QPalette::Base, QColor(30, 30, 30));
    p.setColor(QPalette::AlternateBase, QColor(53, 53, 53));
    p.setColor(QPalette::Text, QColor(224, 224, 224));
    p.setColor(QPalette::Button, QColor(53, 53, 53));
    p.setColor(QPalette::ButtonText, QColor(224, 224, 224));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(150, 150, 150));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(150, 150, 150));
    return p;
}

QString beaconLog()
{
    const QString line = testsupport::referenceLine();
    // The second record holds "zz" in the battery temperature.
    return line + QStringLiteral("\r\n") + QString(line).replace(35, 2, QStringLiteral("zz"));
}

} // namespace

class TestAppearance : public QObject {
    Q_OBJECT
private slots:
    void contrast_data();
    void contrast();
    void fitsTheScreen();
    void trendsFitTheScreen();

private:
    // At 200 %, the screen's size in device pixels that ORVIK_EXPECT_SMALL_SCREEN names, halved.
    static void checkSmallScreen(const QWidget& window);
};

void TestAppearance::checkSmallScreen(const QWidget& window)
{
    const QString expected = qEnvironmentVariable("ORVIK_EXPECT_SMALL_SCREEN");
    if (expected.isEmpty())
        return;
    const QStringList size = expected.split(u'x');
    QCOMPARE(window.devicePixelRatio(), 2.0);
    QCOMPARE(window.screen()->availableGeometry().size(),
             QSize(size.value(0).toInt() / 2, size.value(1).toInt() / 2));
}

void TestAppearance::contrast_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addRow("light palette") << false;
    QTest::addRow("dark palette") << true;
}

void TestAppearance::contrast()
{
    QFETCH(bool, dark);
    const QPalette desktop = QApplication::palette();
    if (dark)
        QApplication::setPalette(darkPalette());
    QTemporaryDir folder;
    auto window = std::make_unique<MainWindow>(folder.path());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->findChild<QPlainTextEdit*>(QStringLiteral("Text2"))->setPlainText(beaconLog());
    auto* bar = window->findChild<QScrollBar*>(QStringLiteral("HScroll1"));
    bar->setValue(2); // the record with a doubtful value

    QStringList poor;
    const auto check = [&](QWidget* w, QPalette::ColorRole text, QPalette::ColorRole background) {
        const double ratio = contrastRatio(w->palette().color(text), w->palette().color(background));
        if (ratio < 4.5)
            poor << QStringLiteral("%1 %2").arg(w->objectName()).arg(ratio, 0, 'f', 2);
    };
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label->isVisibleTo(window.get()) && !label->text().isEmpty())
            check(label, QPalette::WindowText, QPalette::Window);
    }
    for (QRadioButton* option : window->findChildren<QRadioButton*>())
        check(option, QPalette::WindowText, QPalette::Window);
    for (QLineEdit* value : window->findChildren<QLineEdit*>())
        check(value, QPalette::Text, QPalette::Base);
    QApplication::setPalette(desktop);
    QVERIFY2(poor.isEmpty(), qPrintable(poor.join(QStringLiteral(", "))));

    auto* highlighted = window->findChild<QLineEdit*>(QStringLiteral("Text1_11"));
    QCOMPARE(highlighted->palette().color(QPalette::Base), QColor(255, 255, 192));
    auto* doubtful = window->findChild<QLineEdit*>(QStringLiteral("Text1_13"));
    QVERIFY(!doubtful->toolTip().isEmpty());
    if (!dark) {
        QCOMPARE(window->findChild<QWidget*>(QStringLiteral("ClientArea"))->palette().color(QPalette::Window),
                 QColor(240, 240, 240));
        QCOMPARE(window->findChild<QLineEdit*>(QStringLiteral("Text1_12"))->palette().color(QPalette::Text),
                 QColor(Qt::black));
        QCOMPARE(
            window->findChild<QGroupBox*>(QStringLiteral("Frame2"))->palette().color(QPalette::WindowText),
            QColor(128, 128, 128));
    }
}

// A window larger than the screen's free area fits it, and its client area scrolls, whole.
void TestAppearance::fitsTheScreen()
{
    QTemporaryDir folder;
    MainWindow window(folder.path());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect free = window.screen()->availableGeometry();
    const QSize designed(665, 705 + window.menuBar()->height());
    checkSmallScreen(window);
    if (designed.width() <= free.width() && designed.height() <= free.height())
        QSKIP("The screen holds the whole window");

    QVERIFY(window.width() <= free.width());
    QVERIFY(window.height() <= free.height());
    auto* client = window.findChild<QWidget*>(QStringLiteral("ClientArea"));
    QCOMPARE(client->size(), QSize(665, 705));
    auto* scroller = window.findChild<QScrollArea*>(QStringLiteral("ClientScroller"));
    QVERIFY(scroller->verticalScrollBar()->isVisible());
    // The bottom row scrolls into view: the record bar and the status line.
    auto* bar = window.findChild<QScrollBar*>(QStringLiteral("HScroll1"));
    bar->setFocus();
    scroller->ensureWidgetVisible(bar);
    const QRect shown(bar->mapTo(scroller->viewport(), QPoint(0, 0)), bar->size());
    QVERIFY(scroller->viewport()->rect().contains(shown));
}

// The Trends window opens within the screen, and every control scrolls into view.
void TestAppearance::trendsFitTheScreen()
{
    TrendWindow trends;
    trends.show();
    QVERIFY(QTest::qWaitForWindowExposed(&trends));
    checkSmallScreen(trends);
    const QRect free = trends.screen()->availableGeometry();
    QVERIFY(trends.width() <= free.width());
    QVERIFY(trends.height() <= free.height());
    QVERIFY(trends.minimumSizeHint().width() <= free.width());
    auto* scroller = trends.findChild<QScrollArea*>(QStringLiteral("TrendScroller"));
    QVERIFY(scroller);
    const QList<QWidget*> controls = scroller->widget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    QVERIFY(controls.size() >= 12);
    for (QWidget* w : controls) {
        scroller->ensureWidgetVisible(w, 0, 0);
        const QRect shown(w->mapTo(scroller->viewport(), QPoint(0, 0)), w->size());
        // A button is seen whole; the chart and the channel list, larger than the screen, in part.
        const bool seen = qobject_cast<QPushButton*>(w) ? scroller->viewport()->rect().contains(shown)
                                                        : scroller->viewport()->rect().intersects(shown);
        QVERIFY2(seen || !w->isVisibleTo(&trends), qPrintable(w->objectName()));
    }
}

QTEST_MAIN(TestAppearance)
#include "tst_appearance.moc"
