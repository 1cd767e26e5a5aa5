// SPDX-License-Identifier: GPL-3.0-or-later
// Times edits of the log box in the real window, headless: one keystroke at the end of a
// log (a full re-decode each time), and single pastes of hostile logs with Ctrl+V. "handler"
// runs from the document's change notice to the return of the window's change handler;
// "until idle" from the key event until the event loop has nothing left to deliver,
// painting and posted layout work included. "floor" is the same keystroke in a bare Qt
// window of a text box and a bar chart of 100 bars, one bar changed per edit.
#include "ui/mainwindow.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QBarSeries>
#include <QBarSet>
#include <QChartView>
#include <QClipboard>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTest>
#include <algorithm>
#include <array>
#include <cstdio>

namespace {

QString beacon(int n)
{
    return QStringLiteral("orv1 %1 orv2 e55a0080 orv3 a0c880 orv4 0a141e28323c orv5 6e6f70717273 orv6 "
                          "7480ff6e400000000000000000000000000000000")
        .arg(n % 0x1000000, 6, 16, QLatin1Char('0'));
}

QString beaconLog(int lines)
{
    QStringList out;
    out.reserve(lines);
    for (int i = 0; i < lines; ++i)
        out << beacon(i);
    return out.join(QStringLiteral("\r\n"));
}

// Two copies of each beacon, one of them a character short, as a pass copied twice.
QString copiesLog(int lines)
{
    QStringList out;
    out.reserve(lines);
    for (int i = 0; i < lines; ++i)
        out << (i % 2 == 0 ? beacon(60 * (i / 2)) : beacon(60 * (i / 2)).remove(30 + i % 50, 1));
    return out.join(QStringLiteral("\r\n"));
}

// Beacons a minute apart whose telemetry differs, as a season's do; every line clean.
QString variedLog(int lines)
{
    static constexpr std::array<std::pair<int, int>, 5> kFields{
        {{17, 8}, {31, 6}, {43, 12}, {61, 12}, {79, 10}}
    };
    QRandomGenerator random(64);
    QStringList out;
    out.reserve(lines);
    for (int i = 0; i < lines; ++i) {
        QString line = beacon(60 * i);
        for (const auto& [at, length] : kFields) {
            for (int k = 0; k < length; ++k)
                line[at + k] = QLatin1Char("0123456789abcdef"[random.bounded(16)]);
        }
        out << line;
    }
    return out.join(QStringLiteral("\r\n"));
}

// From the document's change notice to the return of the window's change handler.
struct HandlerClock {
    QElapsedTimer timer;
    double lastMs = 0;

    explicit HandlerClock(QPlainTextEdit* box)
    {
        QObject::connect(box->document(), &QTextDocument::contentsChange, box, [this] { timer.start(); });
        // Connected after the window's own handler, so it runs when that has returned.
        QObject::connect(box, &QPlainTextEdit::textChanged, box,
                         [this] { lastMs = double(timer.nsecsElapsed()) / 1e6; });
    }
};

void settle()
{
    QCoreApplication::sendPostedEvents();
    while (QCoreApplication::eventDispatcher()->processEvents(QEventLoop::AllEvents))
        QCoreApplication::sendPostedEvents();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Replaces the whole log with text through the clipboard, as a user pastes it. Returns the
// milliseconds until idle.
double paste(QPlainTextEdit* box, const QString& text)
{
    QApplication::clipboard()->setText(text);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Delete);
    settle();
    QElapsedTimer t;
    t.start();
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    settle();
    return double(t.nsecsElapsed()) / 1e6;
}

struct Keystroke {
    double handler;
    double idle;
    double worstIdle;
};

// Milliseconds of one typed character at the end of the log, then its deletion.
Keystroke keystroke(QPlainTextEdit* box, const HandlerClock* clock, const QString& log, int rounds)
{
    paste(box, log);
    box->moveCursor(QTextCursor::End);
    settle();
    std::vector<double> handler;
    std::vector<double> idle;
    QElapsedTimer t;
    for (int i = 0; i < rounds; ++i) {
        t.start();
        QTest::keyClick(box, i % 2 ? Qt::Key_Backspace : Qt::Key_X);
        settle();
        idle.push_back(double(t.nsecsElapsed()) / 1e6);
        handler.push_back(clock ? clock->lastMs : 0);
    }
    return {median(handler), median(idle), *std::max_element(idle.begin(), idle.end())};
}

// What Qt alone costs for the same keystroke, in a window of the same size.
double floorKeystroke(const QString& log, int rounds)
{
    QWidget window;
    window.resize(665, 705);
    auto* box = new QPlainTextEdit(&window);
    box->setGeometry(8, 8, 649, 100);
    auto* set = new QBarSet(QString());
    for (int i = 0; i < 100; ++i)
        set->append(i % 17);
    auto* series = new QBarSeries;
    series->append(set);
    auto* chart = new QChart;
    chart->addSeries(series);
    chart->createDefaultAxes();
    chart->legend()->hide();
    auto* view = new QChartView(chart, &window);
    view->setGeometry(8, 420, 649, 250);
    QObject::connect(box, &QPlainTextEdit::textChanged, set,
                     [box, set] { set->replace(0, double(box->document()->characterCount() % 7)); });
    window.show();
    box->setFocus();
    return keystroke(box, nullptr, log, rounds).idle;
}

void pasteRow(const char* what, QPlainTextEdit* box, HandlerClock& clock, const orvik::MainWindow& window,
              const QString& text)
{
    const double idle = paste(box, text);
    std::printf("  %-32s handler %8.1f   until idle %8.1f   records %d\n", what, clock.lastMs, idle,
                window.records().count());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    orvik::MainWindow window;
    window.show();
    auto* box = window.findChild<QPlainTextEdit*>(QStringLiteral("Text2"));
    box->setFocus();

    HandlerClock clock(box);

    std::printf(
        "one keystroke at the end of the log (ms)     handler  until idle  worst   floor  ratio  target\n");
    // A bare text box lays out a 10 MB line for minutes, so that row has no floor.
    const auto row = [&](const char* what, const QString& log, int rounds, int target, bool withFloor) {
        const double floor = withFloor ? floorKeystroke(log, rounds) : 0;
        window.activateWindow();
        box->setFocus();
        const Keystroke k = keystroke(box, &clock, log, rounds);
        std::printf("  %-42s %7.3f %10.3f %6.1f", what, k.handler, k.idle, k.worstIdle);
        if (withFloor)
            std::printf(" %7.3f %6.1f %7d\n", floor, k.idle / floor, target);
        else
            std::printf(" %7s %6s %7d\n", "-", "-", target);
        std::fflush(stdout);
    };
    row("100 beacon lines, median of 41", beaconLog(100), 41, 2, true);
    row("10,000 beacon lines (1.2 MB), median of 41", beaconLog(10000), 41, 2, true);
    row("one 10 MB line, median of 20", QString(10 << 20, QLatin1Char('a')), 20, 100, false);

    std::printf("hostile pastes with Ctrl+V, one edit each (ms)\n");
    QRandomGenerator rng(7);
    QByteArray junk(10 * 1024 * 1024, Qt::Uninitialized);
    for (char& c : junk)
        c = char(rng.bounded(256));
    pasteRow("10 MB of random bytes", box, clock, window, QString::fromLatin1(junk));
    pasteRow("100,000 beacon lines", box, clock, window, beaconLog(100000));
    pasteRow("one 1 MB line", box, clock, window, QString(1 << 20, QLatin1Char('a')));
    pasteRow("one 10 MB line", box, clock, window, QString(10 << 20, QLatin1Char('a')));
    QString control = beaconLog(50);
    for (int i = 3; i < control.size(); i += 121)
        control[i] = QChar(char16_t(i % 32));
    pasteRow("NUL and control characters", box, clock, window, control);
    QStringList alternating;
    for (int i = 0; i < 150; ++i)
        alternating << beacon(i) << beacon(i).left(119) << beacon(i) + QLatin1Char(' ');
    pasteRow("beacon, 119, 121 alternating", box, clock, window, alternating.join(QStringLiteral("\r\n")));

    window.findChild<QAction*>(QStringLiteral("MnuRecover"))->trigger();
    std::printf("with TLM File > Recover Damaged Lines on (ms)\n");
    row("100 lines, 50 beacons copied twice, median of 41", copiesLog(100), 41, 2, true);
    pasteRow("100,000 beacon lines, telemetry varying", box, clock, window, variedLog(100000));
    // Telemetry that never changes makes every beacon a lookalike of the next: the worst case.
    pasteRow("100,000 beacon lines, all alike", box, clock, window, beaconLog(100000));
    pasteRow("100,000 lines, copied twice", box, clock, window, copiesLog(100000));
    return 0;
}
