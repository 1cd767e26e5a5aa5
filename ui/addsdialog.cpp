// SPDX-License-Identifier: GPL-3.0-or-later
#include "addsdialog.h"

#include "archiveactions.h"
#include "archive/archive.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace orvik {

namespace {

// The adds as rows; the text of the label says what there is, or why there is nothing.
void fill(QTreeWidget* list, QLabel* state, const QString& path)
{
    list->clear();
    Archive archive;
    QString error;
    std::vector<ArchiveAdd> adds;
    const QString shown = QDir::toNativeSeparators(path);
    if (!QFileInfo::exists(path)) {
        state->setText(QStringLiteral("There is no archive at %1 yet.").arg(shown));
        return;
    }
    if (!archive.open(path, Archive::Access::ReadOnly, &error) || !archive.adds(&adds, &error)) {
        state->setText(error);
        return;
    }
    const QLocale locale;
    for (const ArchiveAdd& a : adds) {
        auto* row =
            new QTreeWidgetItem(list, {QString::number(a.number), archiveTimeText(a.atMs / 1000 * 1000),
                                       locale.toString(a.records), locale.toString(a.copies), a.origin});
        row->setData(0, Qt::UserRole, a.number);
        for (int c = 0; c < 4; ++c)
            row->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    state->setText(adds.empty()
                       ? (archive.version() < 2
                              ? QStringLiteral("%1 was written by version 2.0.0, which kept no adds.")
                              : QStringLiteral("%1 keeps no adds."))
                             .arg(shown)
                       : QStringLiteral("The adds kept in %1, oldest first:").arg(shown));
    if (list->topLevelItemCount() > 0)
        list->setCurrentItem(list->topLevelItem(list->topLevelItemCount() - 1));
}

} // namespace

std::vector<qint64> showArchiveAdds(QWidget* parent, const QString& archivePath, QString* message)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("AddsDialog"));
    dialog.setWindowTitle(QStringLiteral("Archive Adds"));
    auto* state = new QLabel(&dialog);
    state->setWordWrap(true);
    auto* list = new QTreeWidget(&dialog);
    list->setObjectName(QStringLiteral("AddsList"));
    list->setAccessibleName(QStringLiteral("Adds kept in the archive"));
    list->setRootIsDecorated(false);
    list->setHeaderLabels({QStringLiteral("Add"), QStringLiteral("When (UTC)"), QStringLiteral("Records"),
                           QStringLiteral("Copies"), QStringLiteral("From")});
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list->setMinimumWidth(list->fontMetrics().averageCharWidth() * 80);
    state->setBuddy(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QPushButton* takeBack =
        buttons->addButton(QStringLiteral("&Take Back\u2026"), QDialogButtonBox::ActionRole);
    takeBack->setObjectName(QStringLiteral("TakeBack"));
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    std::vector<qint64> taken;
    QObject::connect(takeBack, &QPushButton::clicked, &dialog, [&] {
        const QTreeWidgetItem* row = list->currentItem();
        if (!row)
            return;
        const qint64 number = row->data(0, Qt::UserRole).toLongLong();
        const auto answer = QMessageBox::question(
            &dialog, QStringLiteral("Take Back"),
            QStringLiteral("Take back add %1: %2 copies from %3? Records left without a copy go.")
                .arg(number)
                .arg(row->text(3), row->text(4)));
        if (answer != QMessageBox::Yes)
            return;
        bool done = false;
        *message = undoArchiveAdd(archivePath, number, &done);
        if (done)
            taken.push_back(number);
        fill(list, state, archivePath);
    });
    QObject::connect(list, &QTreeWidget::currentItemChanged, takeBack,
                     [=](const QTreeWidgetItem* current) { takeBack->setEnabled(current != nullptr); });
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(state);
    layout->addWidget(list);
    layout->addWidget(buttons);
    fill(list, state, archivePath);
    takeBack->setEnabled(list->currentItem() != nullptr);
    list->setFocus();
    dialog.exec();
    return taken;
}

} // namespace orvik
