// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/store.h"

#include "core/journalindex.h"
#include "core/pagecheck.h"
#include "core/records.h"
#include "core/result.h"
#include "core/rowkeys.h"
#include "core/searchtext.h"
#include "core/sqlname.h"
#include "core/statement.h"
#include "core/storeshape.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QPromise>
#include <QThread>
#include <QUrl>
#include <chrono>
#include <future>
#include <sched.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

struct TableDef {
    const char *name;
    QStringList fields;
};

const QList<TableDef> &schema() {
    static const QList<TableDef> defs = {
        {JournalEntry::Table, JournalEntry::fields()},
        {Contact::Table, Contact::fields()},
        {Photo::Table, Photo::fields()},
    };
    return defs;
}

constexpr QLatin1String Diary(JournalEntry::Table), Day(JournalEntry::DayField),
    Text(JournalEntry::TextField);

// Lookups by day and by name must return the first row in stored order; an
// index on (field, rowid) gives exactly that without a walk.
const struct {
    const char *name, *table, *field;
} indexes[] = {
    {"diary_dates", JournalEntry::Table, JournalEntry::DayField},
    {"address_name", Contact::Table, Contact::NameField},
};
const QStringList &ourIndexes() {
    static const QStringList names = [] {
        QStringList list;
        for (const auto &index : indexes)
            list << QString::fromLatin1(index.name);
        return list;
    }();
    return names;
}

std::map<QString, QStringList> ourTables() {
    std::map<QString, QStringList> tables;
    for (const auto &def : schema())
        tables[QString::fromLatin1(def.name)] = def.fields;
    return tables;
}

// Whether the window finds every table and column it reads.
bool holdsOurFields(const StoreShape &shape) {
    for (const auto &[name, fields] : ourTables()) {
        const auto present = shape.tables.find(name);
        if (present == shape.tables.end())
            return false;
        for (const QString &field : fields)
            if (!present->second.contains(field, Qt::CaseInsensitive))
                return false;
    }
    return true;
}

// SQLite's own page check, stopped early when stop is set: whether the
// pages are sound, or nothing when it could not say.
std::optional<bool> pagesAnswer(sqlite3 *db, std::atomic_bool *stop) {
    if (stop)
        sqlite3_progress_handler(
            db, 1000,
            [](void *flag) { return static_cast<std::atomic_bool *>(flag)->load() ? 1 : 0; }, stop);
    std::optional<bool> healthy;
    Statement check(db, "PRAGMA quick_check(1)");
    if (check.step())
        healthy = check.text(0) == QLatin1String("ok");
    else if (check.code() == SQLITE_CORRUPT || check.code() == SQLITE_NOTADB)
        healthy = false;
    sqlite3_progress_handler(db, 0, nullptr, nullptr);
    return healthy;
}

// A store that cannot be checked at all does not check out.
bool pagesCheckOut(sqlite3 *db, std::atomic_bool *stop) {
    return pagesAnswer(db, stop).value_or(false);
}

// Heap pages left free by a connection that closed go back to the system.
void trimHeap() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

constexpr int IdleClass = 3, BestEffortClass = 2, ClassShift = 13, WhoThread = 1;

// Behind everything else for the processor and the disk. The lowest nice
// rather than the idle class: an idle-class thread on a busy machine may
// never run again to see that it should stop, and a user may not lift it.
void runAtIdlePriority() {
    setpriority(PRIO_PROCESS, id_t(gettid()), 19);
    syscall(SYS_ioprio_set, WhoThread, 0, IdleClass << ClassShift);
}

// The disk's ordinary queue, which any user may ask for, so a read at idle
// disk priority does not hold the thread's end.
void leaveIdlePriority(int thread) {
    if (thread > 0)
        syscall(SYS_ioprio_set, WhoThread, thread, BestEffortClass << ClassShift);
}

quint32 bigEndian(const QByteArray &b, int at, int bytes) {
    quint32 v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | quint8(b[at + i]);
    return v;
}

// Cheap sanity checks on the file header, so a cut-off or foreign file is
// recognised before SQLite is allowed anywhere near it.
bool looksLikeDatabase(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = f.read(100);
    if (header.size() < 100 || !header.startsWith(QByteArray("SQLite format 3\0", 16)))
        return false;
    quint32 pageSize = bigEndian(header, 16, 2);
    if (pageSize == 1)
        pageSize = 65536;
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0)
        return false;
    const qint64 size = f.size();
    if (size < pageSize || size % pageSize != 0)
        return false;
    // In write-ahead mode the newest pages may still be in the -wal file (a
    // checkpoint cut short), and a hot rollback journal restores the file on
    // open: only a file that stands alone must hold every page it counts.
    const bool writeAhead = header[18] == 2 || header[19] == 2;
    if (writeAhead || QFileInfo::exists(path + QStringLiteral("-journal")))
        return true;
    const quint32 changeCounter = bigEndian(header, 24, 4);
    const quint32 pages = bigEndian(header, 28, 4);
    const quint32 validFor = bigEndian(header, 92, 4);
    return validFor != changeCounter || qint64(pages) * pageSize <= size;
}

// What a store file looks like from outside: size, time of change and
// header. Empty while a write-ahead log with anything in it is beside it (not
// closed cleanly); a reader that cannot write, such as a backup of the closed
// store, leaves an empty one, which holds nothing the file lacks.
QByteArray fingerprint(const QString &path) {
    QFile f(path);
    struct stat st {};
    const QFileInfo log(path + QStringLiteral("-wal"));
    if ((log.exists() && (!log.isFile() || log.size() != 0)) || !f.open(QIODevice::ReadOnly) ||
        fstat(f.handle(), &st) != 0)
        return {};
    // The change time moves with every write and cannot be set back.
    return QByteArray::number(qint64(st.st_size)) + ' ' + QByteArray::number(qint64(st.st_ino)) +
           ' ' + QByteArray::number(qint64(st.st_ctim.tv_sec)) + '.' +
           QByteArray::number(qint64(st.st_ctim.tv_nsec)) + ' ' + f.read(100).toHex();
}

// Where a store closed cleanly after its pages checked out keeps that
// fingerprint: while the file still matches it, the next start need not
// read every page again.
QString checkedMark(const QString &path) {
    return path + QStringLiteral("-checked");
}

QString uriFor(const QString &path, const QString &query) {
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) + QLatin1Char('?') + query;
}

// The mark: the fingerprint, then when every page was last read and found
// sound and how many starts trusted the fingerprint since, then the tables
// the check under way since has read (a line older marks lack).
struct Mark {
    bool matches = false;
    qint64 fullCheckAt = 0;
    int starts = 0;
    QStringList tablesChecked;
};

// Whether the file is as it was when it last closed after its pages
// checked out.
Mark readMark(const QString &path) {
    Mark m;
    QFile mark(checkedMark(path));
    if (!mark.open(QIODevice::ReadOnly) || mark.size() > 4096)
        return m;
    const QByteArray print = fingerprint(path);
    const QList<QByteArray> lines = mark.readAll().split('\n');
    m.matches = !print.isEmpty() && lines.first() == print;
    const QList<QByteArray> since = lines.value(1).split(' ');
    m.fullCheckAt = since.value(0).toLongLong();
    m.starts = since.value(1).toInt();
    for (const QByteArray &table : lines.value(2).split(' '))
        if (!table.isEmpty())
            m.tablesChecked << QString::fromUtf8(QByteArray::fromPercentEncoding(table));
    return m;
}

// A PRAGMA that sets how the connection works, and what SQLite said if it
// would not.
Result setPragma(sqlite3 *db, const QString &setting) {
    if (execute(db, (QStringLiteral("PRAGMA ") + setting).toUtf8().constData()))
        return {};
    return Result::failure(
        Result::Code::Failed,
        QStringLiteral("PRAGMA %1: %2").arg(setting, QString::fromUtf8(sqlite3_errmsg(db))));
}

// SQLite answers with the mode the file is in after the switch: the old
// one where it could not switch, without an error.
Result useWriteAhead(sqlite3 *db) {
    Statement q(db, "PRAGMA journal_mode=WAL");
    if (!q.step())
        return Result::failure(Result::Code::Failed, q.error());
    const QString mode = q.text(0);
    if (mode.compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        return Result::failure(Result::Code::Failed, QStringLiteral("still in %1 mode").arg(mode));
    return {};
}

} // namespace

void Store::keepLogShort(sqlite3 *db) {
    execute(db, "PRAGMA journal_size_limit=" + QByteArray::number(LogKeptBytes));
}

Store::Store() : m_owner(std::make_unique<QObject>()) {}

Store::~Store() {
    close();
}

QStringList Store::tables() {
    QStringList names;
    for (const auto &d : schema())
        names << QString::fromLatin1(d.name);
    return names;
}

QStringList Store::fields(const QString &table) {
    for (const auto &d : schema())
        if (table == QLatin1String(d.name))
            return d.fields;
    return {};
}

void Store::close() {
    m_prefetched.clear(); // waits for readers still at work
    for (const auto &check : m_pageChecks)
        check->stop();
    for (std::thread *worker : {&m_checker, &m_idleChecker})
        if (worker->joinable()) {
            m_stopCheck->store(true);
            if (worker == &m_idleChecker)
                leaveIdlePriority(m_idleThread->load());
            worker->join();
        }
    m_idleThread->store(0);
    m_pageChecks.clear();
    Damage::unwatch(this);
    ++m_generation;
    if (m_damage->found && m_state == State::Open && m_refusal != Refusal::Damaged)
        lockAsDamaged();
    const bool writable = m_state == State::Open && !m_readOnly;
    const bool sound = writable && m_refusal == Refusal::None && m_check.isFinished() &&
                       m_check.resultCount() > 0 && m_check.result();
    const bool foundDamaged = m_refusal == Refusal::Damaged;
    if (m_idleCheckedAt && *m_idleCheckedAt > 0) {
        m_fullCheckAt = *m_idleCheckedAt;
        m_startsSinceFullCheck = 0;
    }
    m_idleCheckedAt.reset();
    m_idleCheck = QFuture<bool>();
    m_check = QFuture<bool>();
    m_checkSettled = true;
    m_refusal = Refusal::None;
    m_identities.clear();
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    if (foundDamaged)
        removeNewSideFiles();
    if (sound) {
        QFile mark(checkedMark(m_path));
        const QByteArray print = fingerprint(m_path);
        QByteArray since = '\n' + QByteArray::number(m_fullCheckAt) + ' ' +
                           QByteArray::number(m_startsSinceFullCheck) + '\n';
        for (const QString &table : *m_tablesChecked)
            since += table.toUtf8().toPercentEncoding() + ' ';
        if (print.isEmpty() || !mark.open(QIODevice::WriteOnly) || mark.write(print + since) < 0)
            mark.remove();
    } else if (writable) {
        QFile::remove(checkedMark(m_path));
    }
    m_state = State::Closed;
    m_readOnly = false;
    m_immutable = false;
    m_damage = std::make_shared<DamageFlag>();
}

// A store found damaged is closed without a checkpoint, so SQLite leaves its
// write-ahead files behind: those this connection made, with nothing in
// them, go again.
void Store::removeNewSideFiles() {
    const QString wal = m_path + QStringLiteral("-wal");
    if (m_sideFilesBefore.wal || QFileInfo(wal).size() != 0)
        return;
    QFile::remove(wal);
    if (!m_sideFilesBefore.shm)
        QFile::remove(m_path + QStringLiteral("-shm"));
}

int Store::connect(const QString &path, const QString &uriQuery) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    QByteArray name = path.toUtf8();
    if (!uriQuery.isEmpty()) {
        name = uriFor(path, uriQuery).toUtf8();
        flags |= SQLITE_OPEN_URI;
    }
    const auto failed = [](int rc) { return (rc & 0xff) != SQLITE_OK ? rc & 0xff : SQLITE_ERROR; };
    if (const int rc = sqlite3_open_v2(name.constData(), &m_db, flags, nullptr); rc != SQLITE_OK)
        return failed(rc);
    sqlite3_busy_timeout(m_db, 1000);
    // Fails on anything that is not a readable database, without writing to it.
    Statement probe(m_db, "SELECT count(*) FROM sqlite_master");
    if (!probe.step())
        return failed(probe.code());
    m_readOnly = sqlite3_db_readonly(m_db, "main") == 1;
    SearchText::registerTokenizer(m_db);
    return SQLITE_OK;
}

QByteArray Store::readerUri() const {
    return uriFor(m_path,
                  m_immutable ? QStringLiteral("mode=ro&immutable=1") : QStringLiteral("mode=ro"))
        .toUtf8();
}

void Store::prefetchKeys(const QString &table) {
    if (!isOpen() || m_prefetched.count(table))
        return;
    const QByteArray uri = readerUri();
    Prefetch &prefetch = m_prefetched[table];
    prefetch.changesBefore = totalChanges();
    prefetch.keys = std::async(std::launch::async, [uri, table] {
        std::optional<KeyRuns> keys;
        sqlite3 *db = nullptr;
        if (sqlite3_open_v2(uri.constData(), &db,
                            SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
                            nullptr) == SQLITE_OK) {
            sqlite3_busy_timeout(db, 1000);
            keys = readRowKeys(db, table);
        }
        sqlite3_close(db);
        return keys;
    });
}

std::optional<KeyRuns> Store::takePrefetchedKeys(const QString &table) {
    const auto it = m_prefetched.find(table);
    if (it == m_prefetched.end())
        return std::nullopt;
    std::optional<KeyRuns> keys = it->second.keys.get();
    const bool current = it->second.changesBefore == totalChanges();
    m_prefetched.erase(it);
    return current ? keys : std::nullopt;
}

qint64 Store::totalChanges() const {
    return m_db ? sqlite3_total_changes64(m_db) : -1;
}

void Store::releaseMemory() {
    if (isOpen())
        skipFailure(setPragma(m_db, QStringLiteral("shrink_memory")),
                    "handing back the page cache");
    trimHeap();
}

Store::State Store::open(const QString &path) {
    close();
    m_path = path;
    if (path.isEmpty())
        return m_state;
    const Mark mark = readMark(path);
    const bool checked = mark.matches;
    // Without a mark every page is read now, before the first write.
    m_fullCheckAt = checked ? mark.fullCheckAt : QDateTime::currentSecsSinceEpoch();
    m_startsSinceFullCheck = checked ? mark.starts + 1 : 0;
    m_tablesChecked = std::make_shared<QStringList>(checked ? mark.tablesChecked : QStringList());
    m_sideFilesBefore = {QFileInfo::exists(path + QStringLiteral("-wal")),
                         QFileInfo::exists(path + QStringLiteral("-shm"))};
    const QFileInfo info(path);
    if (info.exists() && (!info.isFile() || !looksLikeDatabase(path))) {
        m_state = State::Unusable;
        m_refusal = Refusal::Unreadable;
        return m_state;
    }
    if (!info.exists() && !createFile(path))
        return m_state;
    if (connectAsAllowed(path) != SQLITE_OK) {
        close();
        m_state = State::Unusable;
        m_refusal = Refusal::Unreadable;
        return m_state;
    }
    m_state = State::Open;
    settleWriting(checked);
    if (m_state == State::Open && !m_readOnly) {
        const int generation = m_generation;
        const std::shared_ptr<DamageFlag> damage = m_damage;
        QObject *owner = m_owner.get();
        Damage::watch(this, m_db, [this, damage, owner, generation, mark = checkedMark(m_path)] {
            damage->found = true;
            QFile::remove(mark);
            QMetaObject::invokeMethod(
                owner, [this, generation] { damageFound(generation); }, Qt::QueuedConnection);
        });
        startIdleCheck();
    }
    return m_state;
}

// Built aside and renamed into place, so a crash never leaves a half-made
// file under the real name. False when there is still no file.
bool Store::createFile(const QString &path) {
    const QString fresh = path + QStringLiteral(".new");
    QFile::remove(fresh);
    bool made = connect(fresh, QString()) == SQLITE_OK && ensureSchema(m_db);
    // Opening it brings it over to write-ahead mode, should it not take now.
    if (made)
        skipFailure(useWriteAhead(m_db), "making the new store write-ahead");
    close();
    if (made)
        made = QFile::rename(fresh, path);
    QFile::remove(fresh);
    return made || QFileInfo::exists(path);
}

// Read-write where it may be, else read-only, else as a fixed file.
int Store::connectAsAllowed(const QString &path) {
    // mode=rw keeps SQLite from creating a file that vanished meanwhile; a
    // write-protected file opens read-only through it.
    int rc = connect(path, QStringLiteral("mode=rw"));
    // A full disk is no reason to hide what the store holds: it is shown
    // read-only, as a write-protected one is. (With no room for its shared
    // index, SQLite reports an I/O error.)
    const bool full = rc == SQLITE_FULL || rc == SQLITE_IOERR;
    const auto writeProtected = [&rc] {
        return rc == SQLITE_READONLY || rc == SQLITE_CANTOPEN || rc == SQLITE_FULL ||
               rc == SQLITE_IOERR;
    };
    if (writeProtected()) {
        close();
        rc = connect(path, QStringLiteral("mode=ro"));
    }
    // A write-ahead store in a folder that cannot be written (read-only
    // media, or no room left) has nowhere for its shared index: read it as a
    // fixed file. Not when a writer could be at work, which a lock would
    // have shown.
    if (writeProtected() && (full || !QFileInfo(QFileInfo(path).absolutePath()).isWritable())) {
        close();
        rc = connect(path, QStringLiteral("mode=ro&immutable=1"));
        m_immutable = true;
    }
    return rc;
}

// Says why an open store may not be written, or makes it ready to be.
void Store::settleWriting(bool checked) {
    if (m_readOnly) {
        m_refusal = Refusal::WriteProtected;
        return;
    }
    const StoreShape shape = StoreShape::read(m_db);
    if (!shape.isOurs(ourTables())) {
        openReadOnly(Refusal::Foreign);
        return;
    }
    skipFailure(setPragma(m_db, QStringLiteral("synchronous=FULL")),
                "asking for each save to reach the disk before it returns");
    keepLogShort(m_db);
    if (!shape.needsUpgrade(ourTables(), ourIndexes(), JournalIndex::triggers(), SchemaVersion)) {
        // The usual start: nothing to write, so the pages are checked
        // while the window is built, and the first save waits for it;
        // unless the file is as it was when it last checked out.
        startWorker(checked);
        return;
    }
    // A store from before the mark, or missing pieces: it is written once
    // its pages checked out. That happens on the worker while the window shows
    // what the store holds, unless the window would miss a table or column.
    if (holdsOurFields(shape)) {
        startWorker(false, true);
        return;
    }
    if (!pagesCheckOut(m_db, nullptr)) {
        openReadOnly(Refusal::Damaged);
        return;
    }
    // Left in its old mode it still works, and is brought over next time.
    skipFailure(useWriteAhead(m_db), "switching the store to write-ahead mode");
    skipFailure(ensureSchema(m_db), "bringing the store up to date");
    startWorker(true);
}

void Store::openReadOnly(Refusal why) {
    const QString path = m_path;
    const bool immutable = m_immutable;
    close();
    m_path = path;
    int rc = connect(path,
                     immutable ? QStringLiteral("mode=ro&immutable=1") : QStringLiteral("mode=ro"));
    m_immutable = immutable;
    if (rc != SQLITE_OK) {
        close();
        m_path = path;
        m_state = State::Unusable;
        m_refusal = Refusal::Unreadable;
        return;
    }
    m_readOnly = true;
    m_state = State::Open;
    m_refusal = why;
}

namespace {

// True when another connection wrote since the last look.
bool othersWrote(sqlite3 *db, qint64 &seen) {
    Statement version(db, "PRAGMA data_version");
    const qint64 now = version.step() ? version.integer(0) : seen;
    return std::exchange(seen, now) != now;
}

// Short batches, so a save never waits long for this connection; a batch
// that found the store busy is tried again a little later. Once whole, the
// index is looked at now and then: a long entry saved is left to it, and
// another program's write has it built again.
void buildBatches(sqlite3 *db, const std::atomic_bool &stop, const std::atomic<int> &holds) {
    using std::chrono::milliseconds;
    qint64 seen = -1;
    for (int failures = 0; !stop.load() && failures < 20;) {
        if (const JournalIndex::State s = JournalIndex::state(db); s.complete() && !s.queued) {
            for (int wait = 0; wait < 10 && !stop.load(); ++wait)
                std::this_thread::sleep_for(milliseconds(100));
            continue;
        }
        // An import is let finish first and its rows indexed after it:
        // taking turns with it at the lock and the processor slows both.
        if (holds.load() > 0 || othersWrote(db, seen)) {
            std::this_thread::sleep_for(milliseconds(100));
            continue;
        }
        const bool failed =
            JournalIndex::buildSome(db, JournalIndex::BatchMs) == JournalIndex::Step::Failed;
        failures = failed ? failures + 1 : 0;
        std::this_thread::sleep_for(milliseconds(failed ? 200 : 5));
    }
}

// Once the pages checked out. At the window's priority, not the check's: a
// batch kept waiting for the processor would keep the store's lock as long.
void keepIndexed(const QByteArray &uri, std::future<bool> sound, const std::atomic_bool &stop,
                 std::shared_ptr<const std::atomic<int>> holds) {
    sqlite3 *db = nullptr;
    if (sound.get() &&
        sqlite3_open_v2(uri.constData(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
                        nullptr) == SQLITE_OK &&
        sqlite3_busy_timeout(db, 1000) == SQLITE_OK && SearchText::registerTokenizer(db) &&
        JournalIndex::state(db).present) {
        Store::keepLogShort(db);
        buildBatches(db, stop, *holds);
    }
    JournalIndex::letGoPins(db);
    sqlite3_close(db);
}

// Once its pages checked out: what a store from before lacks, written on
// the worker while the window shows what the store holds. Where another
// program holds it just now, it is brought over at the next start.
void bringUpToDate(const QByteArray &uri, bool (*ensureSchema)(sqlite3 *)) {
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(uri.constData(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
                        nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, Store::WriteWaitMs);
        SearchText::registerTokenizer(db);
        execute(db, "PRAGMA synchronous=FULL");
        Store::keepLogShort(db);
        skipFailure(useWriteAhead(db), "switching the store to write-ahead mode");
        skipFailure(ensureSchema(db), "bringing the store up to date");
    }
    sqlite3_close(db);
}

} // namespace

void Store::startWorker(bool checked, bool upgrade) {
    QPromise<bool> promise;
    m_check = promise.future();
    m_checkSettled = checked;
    m_stopCheck = std::make_shared<std::atomic_bool>(false);
    const QByteArray uri = uriFor(m_path, QStringLiteral("mode=rw")).toUtf8();
    const std::shared_ptr<const std::atomic<int>> holds = m_indexHolds;
    auto check = m_pageChecks.emplace_back(std::make_shared<PageCheck>(uri, SQLITE_OPEN_READWRITE));
    m_checker = std::thread([uri, checked, upgrade, check, holds, stop = m_stopCheck,
                             promise = std::move(promise)]() mutable {
        promise.start();
        std::promise<bool> checkedOut;
        std::thread indexer(keepIndexed, uri, checkedOut.get_future(), std::cref(*stop), holds);
        // Behind the window in the queue for the processor.
        setpriority(PRIO_PROCESS, id_t(gettid()), 10);
        const bool healthy = checked || check->whole().value_or(false);
        if (healthy && upgrade && !check->stopped())
            bringUpToDate(uri, ensureSchema);
        promise.addResult(healthy);
        promise.finish();
        checkedOut.set_value(healthy);
        indexer.join();
    });
}

std::shared_ptr<void> Store::holdIndexBuild() {
    ++*m_indexHolds;
    return std::shared_ptr<void>(nullptr, [holds = m_indexHolds](void *) { --*holds; });
}

void Store::settleCheck() {
    if (m_checkSettled)
        return;
    m_checkSettled = true;
    m_check.waitForFinished();
    const bool healthy = m_check.resultCount() > 0 && m_check.result();
    if (healthy || m_refusal != Refusal::None)
        return;
    // Found damaged after it was opened for writing, before any write: this
    // connection now refuses to write, and leaves the pages as they are when
    // it closes.
    lockAsDamaged();
}

void Store::lockAsDamaged() {
    m_refusal = Refusal::Damaged;
    m_readOnly = true;
    QFile::remove(checkedMark(m_path));
    // The record sets already refuse to write; this also stops any other
    // statement on the connection.
    skipFailure(setPragma(m_db, QStringLiteral("query_only=ON")),
                "locking the damaged store against writes");
    if (m_db)
        sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}

void Store::damageFound(int generation) {
    if (generation != m_generation || m_state != State::Open)
        return;
    if (m_refusal != Refusal::Damaged)
        lockAsDamaged();
    qCInfo(lcStore) << "the store's pages are damaged; it is read-only from now on";
    for (const auto &[context, told] : m_damageListeners)
        if (context)
            QMetaObject::invokeMethod(context, told);
}

void Store::whenFoundDamaged(QObject *context, std::function<void()> told) {
    std::erase_if(m_damageListeners, [](const auto &listener) { return !listener.first; });
    m_damageListeners.emplace_back(context, std::move(told));
}

bool Store::readyToWrite() {
    settleCheck();
    if (m_damage->found && m_refusal != Refusal::Damaged)
        lockAsDamaged();
    return isOpen() && !isReadOnly();
}

// However long the store has checked out unchanged at start, now and then
// every page is read again: a disk can fail, or an image be put back, under
// the same size, times and header.
void Store::startIdleCheck() {
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const bool due = m_startsSinceFullCheck >= FullCheckEveryStarts || now < m_fullCheckAt ||
                     now - m_fullCheckAt >= qint64(FullCheckEveryDays) * 24 * 3600;
    if (!m_checkSettled || !due || m_idleChecker.joinable())
        return;
    if (!m_stopCheck)
        m_stopCheck = std::make_shared<std::atomic_bool>(false);
    m_idleCheckedAt = std::make_shared<std::atomic<qint64>>(0);
    QPromise<bool> promise;
    m_idleCheck = promise.future();
    const std::shared_ptr<DamageFlag> damage = m_damage;
    auto check =
        m_pageChecks.emplace_back(std::make_shared<PageCheck>(readerUri(), SQLITE_OPEN_READONLY));
    m_idleChecker = std::thread([check, done = m_tablesChecked, at = m_idleCheckedAt, damage,
                                 mark = checkedMark(m_path), thread = m_idleThread,
                                 promise = std::move(promise)]() mutable {
        promise.start();
        runAtIdlePriority();
        thread->store(int(gettid()));
        if (check->stopped()) // stopped before close could see the thread
            leaveIdlePriority(int(gettid()));
        const std::optional<bool> healthy = check->rest() ? check->byTables(*done) : std::nullopt;
        if (healthy == true) {
            *at = QDateTime::currentSecsSinceEpoch();
            done->clear();
        } else if (healthy == false) {
            damage->found = true; // told through whenChecked
            QFile::remove(mark);
        }
        promise.addResult(healthy != false);
        promise.finish();
    });
}

void Store::whenChecked(QObject *context, std::function<void(Refusal)> done) {
    auto *watcher = new QFutureWatcher<bool>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, context, [this, watcher, done] {
        watcher->deleteLater();
        settleCheck();
        if (m_damage->found && m_refusal != Refusal::Damaged)
            lockAsDamaged();
        done(m_refusal);
    });
    // A finished or absent check still answers through the event loop.
    watcher->setFuture(!m_checkSettled            ? m_check
                       : m_idleChecker.joinable() ? m_idleCheck
                                                  : QtFuture::makeReadyFuture(true));
}

bool Store::ensureSchema(sqlite3 *db) {
    Statement v(db, "PRAGMA user_version");
    if (!v.step())
        return false;
    const int version = int(v.integer(0));
    v.reset(); // no table is dropped while a statement is under way
    const QByteArray ours = QByteArray::number(StoreShape::OurApplicationId);
    if (version > SchemaVersion) // written by a newer program: used as it is
        return execute(db, "PRAGMA application_id=" + ours);

    bool ok = execute(db, "BEGIN");
    const auto run = [db, &ok](const QString &sql) { ok = ok && execute(db, sql.toUtf8()); };
    for (const auto &def : schema()) {
        const QString table = QString::fromLatin1(def.name);
        QStringList present;
        Statement cols(db, QStringLiteral("PRAGMA table_info(%1)").arg(quoted(table)));
        while (cols.step())
            present << cols.text(1);
        if (present.isEmpty()) {
            QStringList columns;
            for (const auto &f : def.fields)
                columns << quoted(f) + QStringLiteral(" TEXT");
            run(QStringLiteral("CREATE TABLE %1 (%2)")
                    .arg(quoted(table), columns.join(QStringLiteral(", "))));
        } else {
            for (const auto &f : def.fields)
                if (!present.contains(f, Qt::CaseInsensitive))
                    run(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 TEXT")
                            .arg(quoted(table), quoted(f)));
        }
    }
    for (const auto &index : indexes)
        run(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2(%3)")
                .arg(QLatin1String(index.name), QLatin1String(index.table),
                     QLatin1String(index.field)));
    ok = ok && JournalIndex::create(db, version < JournalIndex::FoldedWholeSince);
    if (version != SchemaVersion)
        run(QStringLiteral("PRAGMA user_version=%1").arg(SchemaVersion));
    run(QStringLiteral("PRAGMA application_id=%1").arg(StoreShape::OurApplicationId));
    if (ok && execute(db, "COMMIT"))
        return true;
    execute(db, "ROLLBACK");
    return false;
}

namespace {

// One write of the journal and of what follows from it (its search index),
// as one transaction on db; id is the journal's row identity. What SQLite
// said, when it refused, goes into failure.
bool writeJournal(sqlite3 *db, const QString &id, qint64 key,
                  const std::function<std::optional<qint64>()> &write, Store::Written &failure) {
    const auto refused = [&] {
        failure.code = sqlite3_errcode(db) & 0xff;
        failure.error = QString::fromUtf8(sqlite3_errmsg(db));
    };
    // Inside a caller's transaction (an import writes many rows in one) the
    // caller hands its rows to the search index's build at once
    // (JournalIndex::leaveToBuild); until then the triggers mark it stale.
    if (sqlite3_get_autocommit(db) == 0)
        return write().has_value();
    if (!execute(db, "BEGIN IMMEDIATE")) {
        refused();
        return false;
    }
    const JournalIndex::State index = JournalIndex::state(db);
    const auto textOf = [&](qint64 row) -> std::optional<QString> {
        Statement q(db, QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(Text, Diary, id));
        if (!q.bind(1, row).step())
            return std::nullopt;
        return q.isNull(0) ? QString() : q.text(0);
    };
    const bool follows = index.present && !index.stale;
    const bool indexed = follows && key >= 0 && key <= index.builtTo;
    // A text too long to take out of the index inside a save is not read
    // inside it either: its pieces are set aside for the builder.
    JournalIndex::Aside aside(db, follows ? key : -1, index);
    const std::optional<QString> before = indexed && !aside.taken() ? textOf(key) : std::nullopt;
    const std::optional<qint64> written = write();
    const bool ok = written.has_value();
    if (ok && follows) {
        // The triggers mark every write as one from elsewhere; this one is
        // followed here. Should the index refuse, the entry is still saved
        // and the index built again later.
        execute(db, "SAVEPOINT follow");
        const qint64 row = *written;
        const bool followed =
            aside.ok() &&
            (JournalIndex::textBytes(db, row) > JournalIndex::FollowedBytes
                 ? JournalIndex::handOver(db, row, before)
                 : JournalIndex::follow(db, row, before,
                                        row > index.builtTo ? std::nullopt : textOf(row))) &&
            Statement(db, "UPDATE journal_search_state SET stale = 0").run();
        if (!followed)
            execute(db, "ROLLBACK TO follow");
        execute(db, "RELEASE follow");
    }
    if (ok && execute(db, "COMMIT")) {
        aside.keep();
        return true;
    }
    if (ok)
        refused();
    execute(db, "ROLLBACK");
    return false;
}

} // namespace

bool Store::writeRow(const QString &table, qint64 key,
                     const std::function<std::optional<qint64>()> &write) {
    if (table != QLatin1String(JournalEntry::Table) || !m_db)
        return write().has_value();
    Written failure;
    const bool written = writeJournal(m_db, rowIdentity(table), key, write, failure);
    if (!written)
        m_lastError = failure.error;
    return written;
}

std::function<Store::Written()> Store::appender(const QString &table, const QString &sql,
                                                const QVariantList &values) const {
    return appender(table, sql, [values] { return values; });
}

std::function<Store::Written()> Store::appender(const QString &table, const QString &sql,
                                                std::function<QVariantList()> values) const {
    return writer(table, -1, sql, std::move(values));
}

std::function<Store::Written()> Store::changer(const QString &table, qint64 key, const QString &sql,
                                               const QVariantList &values) const {
    return writer(table, key, sql, [values] { return values; });
}

std::function<Store::Written()> Store::writer(const QString &table, qint64 key, const QString &sql,
                                              std::function<QVariantList()> values) const {
    const QByteArray uri = uriFor(m_path, QStringLiteral("mode=rw")).toUtf8();
    const bool journal = table == QLatin1String(JournalEntry::Table);
    // Set up as this connection is where it refuses writes.
    Statement only(m_db, "PRAGMA query_only");
    const bool queryOnly = only.step() && only.integer(0) != 0;
    const QString id = rowIdentity(table);
    return [uri, journal, queryOnly, key, id, sql, values = std::move(values)] {
        Written w;
        sqlite3 *db = nullptr;
        if (sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI,
                            nullptr) == SQLITE_OK) {
            sqlite3_busy_timeout(db, WriteWaitMs);
            execute(db, queryOnly ? "PRAGMA query_only=ON" : "PRAGMA synchronous=FULL");
            keepLogShort(db);
            SearchText::registerTokenizer(db);
            const auto run = [&]() -> std::optional<qint64> {
                Statement q(db, sql);
                const QVariantList made = values();
                if (made.isEmpty()) {
                    w.code = SQLITE_ABORT;
                    w.error = QStringLiteral("the values to write could not be made");
                    return std::nullopt;
                }
                for (int i = 0; i < made.size(); ++i)
                    q.bind(i + 1, made[i]);
                if (!q.run()) {
                    w.code = q.code();
                    w.error = q.error();
                    return std::nullopt;
                }
                if (key >= 0 && sqlite3_changes(db) != 1) {
                    w.code = SQLITE_NOTFOUND;
                    w.error = QStringLiteral("row %1 is gone").arg(key);
                    return std::nullopt;
                }
                return key >= 0 ? key : sqlite3_last_insert_rowid(db);
            };
            std::optional<qint64> written;
            if (!journal)
                written = run();
            else if (writeJournal(
                         db, id, key, [&] { return written = run(); }, w) == false)
                written.reset();
            w.key = written;
        } else {
            w.code = sqlite3_errcode(db) & 0xff;
            w.error = QString::fromUtf8(sqlite3_errmsg(db));
        }
        sqlite3_close(db);
        return w;
    };
}

QString Store::rowIdentity(const QString &table) const {
    if (!isOpen())
        return {};
    const auto known = m_identities.find(table);
    if (known != m_identities.end())
        return known->second;
    return m_identities[table] = ::rowIdentity(nativeHandle(), table);
}

namespace {
// The first bytes of a row's text, read through a blob handle kept open from
// row to row: the column read as such is read whole, all the megabytes of a
// long entry for one line of the list.
QByteArray headOf(sqlite3 *db, sqlite3_blob *&blob, const QString &id, qint64 row, int bytes) {
    const int opened =
        blob ? sqlite3_blob_reopen(blob, row)
             : sqlite3_blob_open(db, "main", Diary.data(), Text.data(), row, 0, &blob);
    QByteArray head;
    if (opened == SQLITE_OK) {
        head.resize(std::min(bytes, sqlite3_blob_bytes(blob)));
        if (sqlite3_blob_read(blob, head.data(), int(head.size()), 0) == SQLITE_OK)
            return head;
    }
    sqlite3_blob_close(blob); // an aborted handle is of no further use
    blob = nullptr;
    Statement q(db, QStringLiteral("SELECT substr(CAST(%1 AS BLOB), 1, ?) FROM %2 WHERE %3 = ?")
                        .arg(Text, Diary, id));
    return q.bind(1, qint64(bytes)).bind(2, row).step() ? q.bytes(0) : QByteArray();
}
} // namespace

std::vector<Store::EntryHead> Store::journalHeads(qint64 first, qint64 last, int headBytes) const {
    std::vector<EntryHead> heads;
    const QString id = rowIdentity(Diary);
    if (!isOpen() || id.isEmpty())
        return heads;
    // Texts and blobs come through headOf(); what else a program put there
    // is short.
    Statement q(m_db, QStringLiteral("SELECT %1, %2, typeof(%3) IN ('text', 'blob'), "
                                     "CASE WHEN typeof(%3) IN ('text', 'blob') THEN NULL "
                                     "ELSE substr(CAST(%3 AS BLOB), 1, ?) END "
                                     "FROM %4 WHERE %1 BETWEEN ? AND ? ORDER BY %1")
                          .arg(id, Day, Text, Diary));
    q.bind(1, qint64(headBytes)).bind(2, first).bind(3, last);
    sqlite3_blob *blob = nullptr;
    while (q.step()) {
        EntryHead head{q.integer(0), q.text(1), q.bytes(3)};
        if (q.integer(2) != 0 && headBytes > 0)
            head.thingsHead = headOf(m_db, blob, id, head.key, headBytes);
        heads.push_back(std::move(head));
    }
    sqlite3_blob_close(blob);
    if (!q.done())
        qCInfo(lcStore) << "reading the entry list:" << q.error();
    return heads;
}

std::optional<JournalEntry> Store::journalEntry(qint64 key) const {
    const QString id = rowIdentity(Diary);
    if (!isOpen() || id.isEmpty())
        return std::nullopt;
    Statement q(m_db,
                QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4 = ?").arg(Day, Text, Diary, id));
    if (!q.bind(1, key).step())
        return std::nullopt;
    return JournalEntry{q.text(0), q.text(1)};
}
