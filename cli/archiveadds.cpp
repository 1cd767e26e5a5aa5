// SPDX-License-Identifier: GPL-3.0-or-later
#include "archiveadds.h"

#include "archive/archive.h"
#include "platform/filemessage.h"
#include "runs/addtexts.h"
#include "runs/tlmreport.h"

#include <QDir>
#include <QFileInfo>
#include <QIODevice>

namespace orvik {

int listArchiveAdds(const QString& path, QIODevice& out, TlmReport& report)
{
    Archive archive;
    QString error;
    std::vector<ArchiveAdd> adds;
    if (!QFileInfo::exists(path)) {
        report.say(aboutFile(path, QStringLiteral("does not exist")));
        return 2;
    }
    if (!archive.open(path, Archive::Access::ReadOnly, &error) || !archive.adds(&adds, &error)) {
        report.say(error);
        return 2;
    }
    if (archive.version() < 2)
        report.say(aboutFile(
            archive.path(),
            QStringLiteral("was written by version 2.0.0, which kept no adds; the next add upgrades it")));
    QByteArray text;
    for (const ArchiveAdd& a : adds)
        text += archiveAddText(a.number, a.atMs, a.records, a.copies, a.origin).toUtf8() + '\n';
    if (out.write(text) != text.size()) {
        report.say(standardOutputError(out.errorString()));
        return 2;
    }
    return 0;
}

int undoArchiveAdd(const QString& path, qint64 number, TlmReport& report)
{
    Archive archive;
    QString error;
    ArchiveUndoResult undone;
    if (!QFileInfo::exists(path)) {
        report.say(aboutFile(path, QStringLiteral("does not exist")));
        return 2;
    }
    // A file of version 2.0.0 kept no adds: it is left as it is rather than upgraded for nothing.
    if (!archive.open(path, Archive::Access::ReadOnly, &error)) {
        report.say(error);
        return 2;
    }
    if (archive.version() < 2) {
        report.say(
            aboutFile(archive.path(),
                      QStringLiteral("was written by version 2.0.0, which kept no adds; there is no add %1 "
                                     "to take back")
                          .arg(number)));
        return 2;
    }
    if (!archive.open(path, Archive::Access::ReadWrite, &error) ||
        !archive.undoAdd(number, &undone, &error)) {
        report.say(error);
        return 2;
    }
    report.say(undoneText(number, undone.copies, undone.records, undone.revoted));
    return 0;
}

} // namespace orvik
