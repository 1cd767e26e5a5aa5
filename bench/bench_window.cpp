// SPDX-License-Identifier: GPL-3.0-or-later
// Times edits of the log box in the real window, headless: one keystroke at the end of a
// log (a full re-decode each time), and single pastes of hostile logs. Painting is left
// out: no paint event is processed while a timer runs.
#include "ui/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTest>
#include <algorithm>
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

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Median milliseconds of one typed character at the end of the log, then its deletion:
// the handler alone, and the whole edit.
std::pair<double, double> keystroke(QPlainTextEdit* box, HandlerClock& clock, const QString& log, int rounds)
{
    box->setPlainText(log);
    box->moveCursor(QTextCursor::End);
    std::vector<double> handler;
    std::vector<double> whole;
    QElapsedTimer t;
    for (int i = 0; i < rounds; ++i) {
        t.start();
        QTest::keyClick(box, i % 2 ? Qt::Key_Backspace : Qt::Key_X);
        whole.push_back(double(t.nsecsElapsed()) / 1e6);
        handler.push_back(clock.lastMs);
    }
    return {median(handler), median(whole)};
}

void paste(const char* what, QPlainTextEdit* box, HandlerClock& clock, const orvik::MainWindow& window,
           const QString& text)
{
    box->clear();
    QCoreApplication::processEvents();
    QElapsedTimer t;
    t.start();
    box->insertPlainText(text);
    const double whole = double(t.nsecsElapsed()) / 1e6;
    std::printf("  %-32s handler %8.1f   whole edit %8.1f   records %d\n", what, clock.lastMs, whole,
                window.records().count());
    QCoreApplication::processEvents();
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

    std::printf("one keystroke, median of 41 (ms)   handler   whole edit   target\n");
    const auto small = keystroke(box, clock, beaconLog(100), 41);
    std::printf("  100 beacon lines                 %8.3f     %8.3f        2\n", small.first, small.second);
    const auto large = keystroke(box, clock, beaconLog(10000), 41);
    std::printf("  10,000 beacon lines (1.2 MB)     %8.3f     %8.3f       20\n", large.first, large.second);

    std::printf("hostile pastes, one edit each (ms; target 100)\n");
    QRandomGenerator rng(7);
    QByteArray junk(10 * 1024 * 1024, Qt::Uninitialized);
    for (char& c : junk)
        c = char(rng.bounded(256));
    paste("10 MB of random bytes", box, clock, window, QString::fromLatin1(junk));
    paste("100,000 beacon lines", box, clock, window, beaconLog(100000));
    paste("one 1 MB line", box, clock, window, QString(1 << 20, QLatin1Char('a')));
    QString control = beaconLog(50);
    for (int i = 3; i < control.size(); i += 121)
        control[i] = QChar(char16_t(i % 32));
    paste("NUL and control characters", box, clock, window, control);
    QStringList alternating;
    for (int i = 0; i < 150; ++i)
        alternating << beacon(i) << beacon(i).left(119) << beacon(i) + QLatin1Char(' ');
    paste("beacon, 119, 121 alternating", box, clock, window, alternating.join(QStringLiteral("\r\n")));
    return 0;
}
