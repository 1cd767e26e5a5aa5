// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

namespace orvik {

// A modal message box with one OK button. Tests replace what it does with
// setMessageBoxHandler(); an empty handler restores the real box.
using MessageBoxHandler =
    std::function<void(QWidget* parent, const QString& text, const QString& title, QMessageBox::Icon icon)>;
void showMessageBox(QWidget* parent, const QString& text, const QString& title, QMessageBox::Icon icon);
void setMessageBoxHandler(MessageBoxHandler handler);

} // namespace orvik
