// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/version.h"
#include "ui/mainwindow.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orvik-decoder"));
    QApplication::setApplicationVersion(QString::fromLatin1(orvik::kVersion));
    // The process ends when the last window closes, so an open About box outlives Exit.
    QApplication::setQuitOnLastWindowClosed(true);

    orvik::MainWindow window;
    window.show();
    // orvik-decoder FILE opens FILE as its log.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1)
        window.openLog(arguments.at(1));
    return QApplication::exec();
}
