// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/transfercommand.h"

#include "app/singleinstance.h"
#include "core/apppaths.h"
#include "core/contactfile.h"
#include "core/importplan.h"
#include "core/journalexport.h"
#include "core/store.h"

#include <QFileInfo>
#include <QUrl>
#include <sqlite3.h>

namespace TransferCommand {
namespace {

// A reader of its own, which a running program's writes do not hold up.
sqlite3 *openForReading(const QString &path, QString &why) {
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        why = QStringLiteral("还没有日记本（%1）").arg(path);
        return nullptr;
    }
    sqlite3 *db = nullptr;
    const QByteArray uri = QUrl::fromLocalFile(path).toEncoded() + "?mode=ro";
    if (sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) !=
        SQLITE_OK) {
        why = QStringLiteral("日记本无法打开：%1").arg(QString::fromUtf8(sqlite3_errmsg(db)));
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 5000);
    return db;
}

int fail(QTextStream &err, const QString &why) {
    err << "quillary: " << why << "\n";
    return 1;
}

} // namespace

int exportFiles(const QStringList &arguments, QTextStream &err) {
    const QString what = arguments.value(0), path = arguments.value(1);
    const bool journal = what == QLatin1String("journal");
    const bool v3 = arguments.value(2) == QLatin1String("3.0");
    if ((!journal && what != QLatin1String("contacts")) || path.isEmpty() ||
        arguments.size() > (journal || !v3 ? 2 : 3))
        return fail(err, QStringLiteral("用法：quillary --export journal FILE.md|FILE.txt|FILE.html"
                                        " 或 quillary --export contacts FILE.vcf [3.0]"));
    const std::optional<JournalExport::Format> format = JournalExport::formatFor(path);
    if (journal && !format)
        return fail(err, QStringLiteral("日记只能导出为 .md、.txt 或 .html 文件：%1").arg(path));
    QString why;
    sqlite3 *db = openForReading(AppPaths::databasePath(), why);
    if (!db)
        return fail(err, why);
    qsizetype count = 0;
    const Result done =
        journal ? JournalExport::exportTo(db, path, *format, &count)
                : ContactFile::exportTo(db, path, v3 ? VCard::Version::V30 : VCard::Version::V40,
                                        &count);
    sqlite3_close(db);
    if (!done)
        return fail(err, done.message());
    QTextStream(stdout) << (journal ? QStringLiteral("已导出日记 %1 篇到 %2\n")
                                    : QStringLiteral("已导出联系人 %1 位到 %2\n"))
                               .arg(count)
                               .arg(path);
    return 0;
}

int importFiles(const QStringList &arguments, QTextStream &err) {
    const QString what = arguments.value(0), path = arguments.value(1);
    const bool journal = what == QLatin1String("journal");
    if ((!journal && what != QLatin1String("contacts")) || path.isEmpty() || arguments.size() > 2)
        return fail(err, QStringLiteral("用法：quillary --import journal FILE-or-FOLDER"
                                        " 或 quillary --import contacts FILE.vcf"));
    Store store;
    if (store.open(AppPaths::databasePath()) != Store::State::Open)
        return fail(err, QStringLiteral("日记本文件无法读取（%1）").arg(store.path()));
    const ImportPlan plan =
        ImportPlan::make(store.nativeHandle(),
                         journal ? ImportPlan::Kind::Journal : ImportPlan::Kind::Contacts, path);
    if (!plan.refusal.isEmpty())
        return fail(err, plan.refusal);
    ImportWriter writer(&store, plan.table, plan.rows);
    Result written = writer.start();
    if (written)
        written = writer.writeAll();
    // A program already running shows them without a restart.
    if (writer.written() > 0)
        SingleInstance(AppPaths::dataDir()).tellRowsAdded(plan.table);
    if (!written)
        return fail(err, QStringLiteral("已写入 %1 条后停止：%2")
                             .arg(writer.written())
                             .arg(writeFailure(written)));
    QTextStream(stdout) << plan.outcome(writer.written()) << "\n";
    return 0;
}

} // namespace TransferCommand
