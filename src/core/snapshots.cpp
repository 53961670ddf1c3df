// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/snapshots.h"

#include "core/records.h"
#include "core/sqlname.h"
#include "core/statement.h"
#include <QLocale>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <set>
#include <sqlite3.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

const QRegularExpression &snapshotName() {
    static const QRegularExpression name(QStringLiteral("^work-(\\d{8}-\\d{6})(-damaged)?\\.db$"));
    return name;
}

// Temporary files carry the writer's process id: those of a writer that is
// gone were cut short.
const QRegularExpression &partName() {
    static const QRegularExpression name(QStringLiteral("\\.part-(\\d+)(-journal|-wal|-shm)?$"));
    return name;
}

QByteArray uriFor(const QString &path, const char *query) {
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded).toUtf8() + '?' + query;
}

} // namespace

sqlite3 *Snapshots::openForReading(const QString &path) {
    for (const char *query : {"mode=ro", "mode=ro&immutable=1"}) {
        sqlite3 *db = nullptr;
        const int rc = sqlite3_open_v2(uriFor(path, query).constData(), &db,
                                       SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_busy_timeout(db, 5000);
            if (Statement probe(db, "SELECT count(*) FROM sqlite_master"); probe.step())
                return db;
        }
        sqlite3_close(db);
    }
    return nullptr;
}

namespace {

using Snapshots::openForReading;

bool pagesCheckOut(sqlite3 *db) {
    Statement check(db, "PRAGMA quick_check(1)");
    return check.step() && check.text(0) == QLatin1String("ok");
}

bool syncPath(const QString &path, int flags) {
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

Result failure(const QString &why) {
    return Result::failure(Result::Code::Failed, why);
}

Snapshots::Outcome failed(const QString &why) {
    Snapshots::Outcome out;
    out.result = failure(why);
    return out;
}

// Long reads (the page check, the counts) end early once stop is set.
void watchStop(sqlite3 *db, const std::atomic_bool *stop) {
    if (db && stop)
        sqlite3_progress_handler(
            db, 10000,
            [](void *flag) { return static_cast<const std::atomic_bool *>(flag)->load() ? 1 : 0; },
            const_cast<std::atomic_bool *>(stop));
}

void removeWithSideFiles(const QString &path) {
    for (const char *side : {"", "-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(side));
}

// Copies every page through SQLite's online backup in steps, so a stop is
// heard and progress can be told.
Result copyPages(sqlite3 *source, const QString &temporary, const Snapshots::Progress &progress) {
    sqlite3 *target = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(temporary).constData(), &target,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        sqlite3_close(target);
        return failure(QStringLiteral("备份文件无法创建：%1").arg(temporary));
    }
    // The file is synced as a whole once it is complete; until then a crash
    // only leaves a temporary file to clean up.
    sqlite3_exec(target, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF", nullptr, nullptr,
                 nullptr);
    sqlite3_backup *backup = sqlite3_backup_init(target, "main", source, "main");
    int rc = backup ? SQLITE_OK : sqlite3_errcode(target);
    while (backup && (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED)) {
        if (progress.stop && progress.stop->load()) {
            rc = SQLITE_INTERRUPT;
            break;
        }
        rc = sqlite3_backup_step(backup, 256);
        const int total = sqlite3_backup_pagecount(backup);
        if (progress.percent && total > 0)
            progress.percent(int(100 - qint64(sqlite3_backup_remaining(backup)) * 100 / total));
    }
    if (backup)
        sqlite3_backup_finish(backup);
    const QString why = QString::fromUtf8(sqlite3_errstr(rc));
    sqlite3_close(target);
    if (rc == SQLITE_DONE)
        return {};
    if (rc == SQLITE_INTERRUPT)
        return Result::failure(Result::Code::Failed, QStringLiteral("备份已取消"));
    return failure(QStringLiteral("备份没有写完：%1").arg(why));
}

// The copy takes the usual rollback journal: a snapshot is one file that
// opens anywhere, read-only media included. Then its pages and counts are
// checked; sound is whether its pages check out.
Result checkCopy(const QString &temporary, const NotebookCounts &expected, bool *sound,
                 const std::atomic_bool *stop) {
    sqlite3 *db = nullptr;
    const bool opened = sqlite3_open_v2(QFile::encodeName(temporary).constData(), &db,
                                        SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    watchStop(db, stop);
    Result result;
    if (!opened ||
        sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr) != SQLITE_OK)
        result = failure(QStringLiteral("备份文件无法打开检查"));
    else if (NotebookCounts::of(db) != expected)
        result = failure(QStringLiteral("备份文件的记录数与日记本不符"));
    else
        *sound = pagesCheckOut(db);
    sqlite3_close(db);
    return result;
}

// Starts the copy's read transaction while no save is half done: a save's
// pages reach the log and are synced before its commit is seen, so a save
// caught in between would be missing from the copy although its file time
// says it came first. Writers are held only for that moment, and only where
// a log is open: without one, no reader can see a save half done. A save
// that keeps the store longer than the wait is let be; its commit, written
// that much later, shows after the copy.
void beginReading(sqlite3 *reader, const QString &source) {
    sqlite3 *writers = nullptr;
    if (QFileInfo::exists(source + QStringLiteral("-wal")) &&
        sqlite3_open_v2(QFile::encodeName(source).constData(), &writers, SQLITE_OPEN_READWRITE,
                        nullptr) == SQLITE_OK) {
        // Never the one to move the log into the store on closing.
        sqlite3_db_config(writers, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        sqlite3_busy_timeout(writers, 5000);
        sqlite3_exec(writers, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    }
    sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (writers && !sqlite3_get_autocommit(writers))
        sqlite3_exec(writers, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(writers);
}

} // namespace

NotebookCounts NotebookCounts::of(sqlite3 *db, const char *schema) {
    NotebookCounts counts;
    const auto count = [db, schema](const char *table) -> qint64 {
        const QByteArray exists = QByteArray("SELECT count(*) FROM ") + quoted(schema).toUtf8() +
                                  ".sqlite_master WHERE type = 'table' AND name = ?";
        Statement has(db, exists);
        if (!has.bind(1, QByteArray(table)).step())
            return -1;
        if (has.integer(0) == 0)
            return 0;
        Statement rows(db, QByteArray("SELECT count(*) FROM ") + quoted(schema).toUtf8() + '.' +
                               quoted(QLatin1String(table)).toUtf8());
        return rows.step() ? rows.integer(0) : -1;
    };
    counts.entries = count(JournalEntry::Table);
    counts.contacts = count(Contact::Table);
    counts.photos = count(Photo::Table);
    return counts;
}

NotebookCounts NotebookCounts::ofFile(const QString &path) {
    sqlite3 *db = openForReading(path);
    const NotebookCounts counts = db ? of(db) : NotebookCounts();
    sqlite3_close(db);
    return counts;
}

namespace Snapshots {

QString folderFor(const QString &notebook) {
    return QFileInfo(notebook).absoluteDir().filePath(QStringLiteral("backups"));
}

std::vector<Snapshot> list(const QString &folder) {
    std::vector<Snapshot> found;
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files);
    for (const QFileInfo &file : files) {
        const QRegularExpressionMatch m = snapshotName().match(file.fileName());
        if (!m.hasMatch() || !file.isFile())
            continue;
        const QDateTime time =
            QDateTime::fromString(m.captured(1), QStringLiteral("yyyyMMdd-HHmmss"));
        if (time.isValid())
            found.push_back({file.absoluteFilePath(), time, m.captured(2).isEmpty(), file.size()});
    }
    std::sort(found.begin(), found.end(), [](const Snapshot &a, const Snapshot &b) {
        return a.time != b.time ? a.time > b.time : a.path > b.path;
    });
    return found;
}

Snapshot newestVerified(const QString &folder) {
    for (const Snapshot &s : list(folder))
        if (s.verified)
            return s;
    return {};
}

QString nameFor(const QString &folder, const QDateTime &time, bool verified) {
    // Two in one second (a click on "back up now" right after the timer)
    // take the next free second.
    for (QDateTime at = time;; at = at.addSecs(1)) {
        const QString stamp = at.toString(QStringLiteral("yyyyMMdd-HHmmss"));
        const QString path = QDir(folder).filePath(QStringLiteral("work-%1.db").arg(stamp));
        const QString damaged =
            QDir(folder).filePath(QStringLiteral("work-%1-damaged.db").arg(stamp));
        if (!QFileInfo::exists(path) && !QFileInfo::exists(damaged))
            return verified ? path : damaged;
    }
}

Outcome write(const QString &source, const QString &target, const Progress &progress) {
    Outcome out;
    const QFileInfo targetInfo(target);
    if (!QFileInfo::exists(source))
        return failed(QStringLiteral("日记本文件不存在：%1").arg(source));
    if (!QDir().mkpath(targetInfo.absolutePath()))
        return failed(QStringLiteral("备份文件夹无法创建：%1").arg(targetInfo.absolutePath()));
    sqlite3 *db = openForReading(source);
    if (!db)
        return failed(QStringLiteral("日记本文件无法读取：%1").arg(source));
    watchStop(db, progress.stop);
    // One read transaction for the counts and every page: the copy is the
    // store as it stood at this moment, whatever is saved meanwhile.
    beginReading(db, source);
    out.counts = NotebookCounts::of(db);
    const QString temporary = target + QStringLiteral(".part-%1").arg(qint64(getpid()));
    removeWithSideFiles(temporary);
    out.result = copyPages(db, temporary, progress);
    bool sound = false;
    if (out.result)
        out.result = checkCopy(temporary, out.counts, &sound, progress.stop);
    // A copy that fails the check is still faithful when the store itself
    // fails it: that copy is kept, marked.
    const bool faithful = out.result && (sound || !pagesCheckOut(db));
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    if (out.result && progress.stop && progress.stop->load())
        out.result = failure(QStringLiteral("备份已取消"));
    else if (out.result && !faithful)
        out.result = failure(QStringLiteral("备份文件没有通过检查"));
    out.verified = sound;
    out.path = target;
    if (out.result && !sound && snapshotName().match(targetInfo.fileName()).hasMatch())
        out.path.replace(out.path.size() - 3, 3, QStringLiteral("-damaged.db"));
    if (out.result && (!syncPath(temporary, O_RDONLY) ||
                       std::rename(QFile::encodeName(temporary).constData(),
                                   QFile::encodeName(out.path).constData()) != 0 ||
                       !syncPath(targetInfo.absolutePath(), O_RDONLY | O_DIRECTORY)))
        out.result = failure(QStringLiteral("备份文件无法写入磁盘：%1").arg(out.path));
    removeWithSideFiles(temporary);
    out.bytes = out.result ? QFileInfo(out.path).size() : 0;
    return out;
}

Outcome take(const QString &source, const QString &folder, const Progress &progress) {
    if (folder.isEmpty())
        return failed(QStringLiteral("没有可以存放备份的文件夹"));
    return write(source, nameFor(folder, QDateTime::currentDateTime()), progress);
}

Outcome backUp(const QString &source, const QString &folder, const Progress &progress, bool prune) {
    cleanUp(folder);
    qint64 free = 0;
    if (!roomFor(source, folder, &free)) {
        Outcome skipped = failed(QStringLiteral("磁盘空间不足（只剩 %1 MB），这次没有备份。")
                                     .arg(QLocale::system().toString(free >> 20)));
        skipped.noRoom = true;
        return skipped;
    }
    Outcome out = take(source, folder, progress);
    if (out.result && prune)
        Snapshots::prune(folder, QDateTime::currentDateTime());
    return out;
}

void cleanUp(const QString &folder) {
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo &file : files) {
        const QRegularExpressionMatch m = partName().match(file.fileName());
        if (!m.hasMatch())
            continue;
        const pid_t pid = pid_t(m.captured(1).toLongLong());
        // This process's own may be in the making on a worker.
        const bool running = pid == getpid() || ::kill(pid, 0) == 0 || errno == EPERM;
        if (!running)
            QFile::remove(file.absoluteFilePath());
    }
}

qint64 storeBytes(const QString &source) {
    return QFileInfo(source).size() + QFileInfo(source + QStringLiteral("-wal")).size();
}

bool roomFor(const QString &source, const QString &folder, qint64 *freeBytes) {
    constexpr qint64 Reserve = 100LL * 1024 * 1024;
    QDir().mkpath(folder);
    struct statvfs fs {};
    if (statvfs(QFile::encodeName(folder).constData(), &fs) != 0)
        return false;
    const qint64 available = qint64(fs.f_bavail) * qint64(fs.f_frsize);
    if (freeBytes)
        *freeBytes = available;
    return available >= 2 * storeBytes(source) + Reserve;
}

std::vector<bool> toKeep(const std::vector<Stamp> &stamps, const QDateTime &now) {
    std::vector<size_t> order(stamps.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return stamps[a].time > stamps[b].time; });
    std::vector<bool> keep(stamps.size(), false);
    for (size_t i = 0; i < order.size() && i < 10; ++i)
        keep[order[i]] = true;
    const QDate today = now.date();
    const QDate thisWeek = today.addDays(1 - today.dayOfWeek());
    const QDate thisMonth(today.year(), today.month(), 1);
    // Newest first, so the first one met in a period is the one it keeps.
    std::set<qint64> days, weeks, months;
    for (size_t i : order) {
        const QDate d = stamps[i].time.date();
        const qint64 day = d.daysTo(today);
        const qint64 week = d.addDays(1 - d.dayOfWeek()).daysTo(thisWeek) / 7;
        const qint64 month = (thisMonth.year() - d.year()) * 12 + thisMonth.month() - d.month();
        if (day >= 0 && day < 14 && days.insert(day).second)
            keep[i] = true;
        if (week >= 0 && week < 8 && weeks.insert(week).second)
            keep[i] = true;
        if (month >= 0 && month < 12 && months.insert(month).second)
            keep[i] = true;
    }
    for (size_t i : order)
        if (stamps[i].verified) {
            keep[i] = true;
            break;
        }
    return keep;
}

int prune(const QString &folder, const QDateTime &now) {
    const std::vector<Snapshot> all = list(folder);
    std::vector<Stamp> stamps;
    for (const Snapshot &s : all)
        stamps.push_back({s.time, s.verified});
    const std::vector<bool> keep = toKeep(stamps, now);
    int removed = 0;
    for (size_t i = 0; i < all.size(); ++i)
        if (!keep[i] && QFile::remove(all[i].path))
            ++removed;
    return removed;
}

Result putInPlace(const QString &fresh, const QString &notebook, const QString &keepOldAs) {
    const QByteArray target = QFile::encodeName(notebook);
    // A log left beside the old file would be played into the new one.
    if (!keepOldAs.isEmpty() && QFileInfo::exists(notebook)) {
        QFile::remove(keepOldAs + QStringLiteral("-wal"));
        if (std::rename(target.constData(), QFile::encodeName(keepOldAs).constData()) != 0)
            return failure(QStringLiteral("无法改名保留原来的日记本：%1").arg(notebook));
        QFile::rename(notebook + QStringLiteral("-wal"), keepOldAs + QStringLiteral("-wal"));
    }
    for (const char *side : {"-wal", "-shm", "-journal", "-checked"})
        QFile::remove(notebook + QLatin1String(side));
    if (!syncPath(fresh, O_RDONLY) ||
        std::rename(QFile::encodeName(fresh).constData(), target.constData()) != 0)
        return failure(QStringLiteral("无法把新的日记本放到原处：%1").arg(notebook));
    syncPath(QFileInfo(notebook).absolutePath(), O_RDONLY | O_DIRECTORY);
    return {};
}

Result restore(const QString &snapshot, const QString &notebook) {
    sqlite3 *db = openForReading(snapshot);
    const bool sound = db && pagesCheckOut(db);
    sqlite3_close(db);
    if (!sound)
        return failure(QStringLiteral("这个备份没有通过检查，没有恢复：%1").arg(snapshot));
    const QString fresh = notebook + QStringLiteral(".restoring");
    QFile::remove(fresh);
    if (!QFile::copy(snapshot, fresh)) {
        QFile::remove(fresh);
        return failure(QStringLiteral("备份无法复制到日记本的文件夹"));
    }
    QFile(fresh).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    Result placed = putInPlace(fresh, notebook);
    QFile::remove(fresh);
    return placed;
}

} // namespace Snapshots
