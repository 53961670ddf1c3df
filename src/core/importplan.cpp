// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/importplan.h"

#include "core/contactfile.h"
#include "core/journalimport.h"

namespace {

template <typename Record>
void takeRows(ImportPlan &plan, sqlite3 *db, const std::vector<Record> &records) {
    std::vector<ImportWriter::Row> rows;
    rows.reserve(records.size());
    for (const Record &record : records)
        rows.push_back(ImportWriter::rowOf(record));
    const std::vector<bool> stored = ImportWriter::storedAlready(db, plan.table, rows);
    for (size_t i = 0; i < rows.size(); ++i) {
        if (stored[i])
            ++plan.duplicates;
        else
            plan.rows.push_back(std::move(rows[i]));
    }
}

} // namespace

ImportPlan ImportPlan::make(sqlite3 *db, Kind kind, const QString &path) {
    ImportPlan plan;
    plan.kind = kind;
    if (kind == Kind::Journal) {
        plan.table = QString::fromLatin1(JournalEntry::Table);
        JournalImport::Reading reading = JournalImport::read(path);
        plan.refusal = reading.refusal;
        if (plan.refusal.isEmpty())
            takeRows(plan, db, reading.entries);
    } else {
        plan.table = QString::fromLatin1(Contact::Table);
        ContactFile::Reading reading = ContactFile::read(path);
        plan.refusal = reading.refusal;
        plan.badCards = reading.badCards;
        if (plan.refusal.isEmpty())
            takeRows(plan, db, reading.contacts);
    }
    return plan;
}

QString ImportPlan::preview() const {
    QString text = kind == Kind::Journal ? QStringLiteral("将导入日记 %1 篇（跳过重复 %2 篇）")
                                         : QStringLiteral("将导入联系人 %1 位（跳过重复 %2 位）");
    text = text.arg(rows.size()).arg(duplicates);
    if (badCards > 0)
        text += QStringLiteral("，另有 %1 张名片无法读取，将跳过").arg(badCards);
    return text;
}

QString ImportPlan::outcome(qsizetype count) const {
    QString text = kind == Kind::Journal ? QStringLiteral("已导入日记 %1 篇（跳过重复 %2 篇）")
                                         : QStringLiteral("已导入联系人 %1 位（跳过重复 %2 位）");
    text = text.arg(count).arg(duplicates);
    if (badCards > 0)
        text += QStringLiteral("，跳过无法读取的名片 %1 张").arg(badCards);
    return text;
}
