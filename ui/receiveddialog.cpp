// SPDX-License-Identifier: GPL-3.0-or-later
#include "receiveddialog.h"

#include <QDateTimeEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace orvik {

std::optional<qint64> askFirstReceived(QWidget* parent, qint64 suggestedMs, double firstOnBoardTime,
                                       bool fromLog)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("ReceivedDialog"));
    dialog.setWindowTitle(QStringLiteral("Add to Archive"));
    auto* text = new QLabel(
        QStringLiteral("When was the first beacon of the log received (%1)? The others are dated from it "
                       "by their on-board times.\n%2")
            .arg(std::isnan(firstOnBoardTime)
                     ? QStringLiteral("its on-board time is in doubt")
                     : QStringLiteral("on-board time %1").arg(QString::number(firstOnBoardTime, 'f', 0)),
                 fromLog ? QStringLiteral("The time shown is the one the log gives.")
                         : QStringLiteral("The time shown puts the last beacon at now.")),
        &dialog);
    text->setWordWrap(true);
    // Wide enough for a sentence a line, in the user's font at any scale.
    text->setMinimumWidth(text->fontMetrics().averageCharWidth() * 60);
    auto* edit = new QDateTimeEdit(QDateTime::fromMSecsSinceEpoch(suggestedMs, Qt::UTC), &dialog);
    edit->setObjectName(QStringLiteral("ReceivedTime"));
    edit->setTimeSpec(Qt::UTC);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'"));
    edit->setCalendarPopup(true);
    edit->setAccessibleName(QStringLiteral("Received time of the first beacon, UTC"));
    text->setBuddy(edit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Add"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(text);
    layout->addWidget(edit);
    layout->addWidget(buttons);
    edit->setFocus();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return edit->dateTime().toMSecsSinceEpoch();
}

} // namespace orvik
