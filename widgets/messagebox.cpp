// SPDX-License-Identifier: GPL-3.0-or-later
#include "messagebox.h"

namespace orvik {

namespace {

MessageBoxHandler& messageBoxHandler()
{
    static MessageBoxHandler handler;
    return handler;
}

} // namespace

void showMessageBox(QWidget* parent, const QString& text, const QString& title, QMessageBox::Icon icon)
{
    if (messageBoxHandler()) {
        messageBoxHandler()(parent, text, title, icon);
        return;
    }
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

void setMessageBoxHandler(MessageBoxHandler handler) { messageBoxHandler() = std::move(handler); }

} // namespace orvik
