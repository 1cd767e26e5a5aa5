// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/mainwindow.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orvik-decoder"));
    QApplication::setApplicationVersion(QStringLiteral(ORVIK_VERSION));
    // The process ends when the last window closes, so an open About box outlives Exit.
    QApplication::setQuitOnLastWindowClosed(true);

    orvik::MainWindow window;
    window.show();
    return QApplication::exec();
}
