// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/store.h"

#include "core/journalindex.h"
#include "core/records.h"
#include "core/result.h"
#include "core/rowkeys.h"
#include "core/searchtext.h"
#include "core/sqlname.h"
#include "core/statement.h"
#include "core/storeshape.h"

#include <QAtomicInt>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QPromise>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>
#include <chrono>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

QAtomicInt connectionCounter;

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

// SQLite's own page check, stopped early when stop is set. A store that
// cannot be checked at all does not check out.
bool pagesCheckOut(sqlite3 *db, std::atomic_bool *stop) {
    if (stop)
        sqlite3_progress_handler(
            db, 1000,
            [](void *flag) { return static_cast<std::atomic_bool *>(flag)->load() ? 1 : 0; }, stop);
    bool healthy = false;
    if (Statement check(db, "PRAGMA quick_check(1)"); check.step())
        healthy = check.text(0) == QLatin1String("ok");
    sqlite3_progress_handler(db, 0, nullptr, nullptr);
    return healthy;
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
// header. Empty while a write-ahead log is beside it (not closed cleanly).
QByteArray fingerprint(const QString &path) {
    QFile f(path);
    struct stat st {};
    if (QFileInfo::exists(path + QStringLiteral("-wal")) || !f.open(QIODevice::ReadOnly) ||
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

// Whether the file is as it was when it last closed after its pages
// checked out.
bool unchangedSinceChecked(const QString &path) {
    QFile mark(checkedMark(path));
    if (!mark.open(QIODevice::ReadOnly))
        return false;
    const QByteArray print = fingerprint(path);
    return !print.isEmpty() && mark.read(print.size() + 1) == print;
}

// A PRAGMA that sets how the connection works, and what SQLite said if it
// would not.
Result setPragma(const QSqlDatabase &db, const QString &setting) {
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("PRAGMA ") + setting))
        return {};
    return Result::failure(Result::Code::Failed,
                           QStringLiteral("PRAGMA %1: %2").arg(setting, q.lastError().text()));
}

// SQLite answers with the mode the file is in after the switch: the old
// one where it could not switch, without an error.
Result useWriteAhead(const QSqlDatabase &db) {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.next())
        return Result::failure(Result::Code::Failed, q.lastError().text());
    const QString mode = q.value(0).toString();
    if (mode.compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        return Result::failure(Result::Code::Failed, QStringLiteral("still in %1 mode").arg(mode));
    return {};
}

} // namespace

Store::Store()
    : m_connection(
          QStringLiteral("quillary-store-%1").arg(connectionCounter.fetchAndAddRelaxed(1))) {}

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

QSqlDatabase Store::database() const {
    return QSqlDatabase::database(m_connection, false);
}

sqlite3 *Store::nativeHandle() const {
    const QVariant handle = database().driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.data());
}

void Store::close() {
    m_prefetched.clear(); // waits for readers still at work
    if (m_checker.joinable()) {
        m_stopCheck->store(true);
        m_checker.join();
    }
    const bool writable = m_state == State::Open && !m_readOnly;
    const bool sound = writable && m_refusal == Refusal::None && m_check.isFinished() &&
                       m_check.resultCount() > 0 && m_check.result();
    const bool foundDamaged = m_refusal == Refusal::Damaged;
    m_check = QFuture<bool>();
    m_checkSettled = true;
    m_refusal = Refusal::None;
    m_identities.clear();
    if (QSqlDatabase::contains(m_connection)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connection, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connection);
    }
    if (foundDamaged)
        removeNewSideFiles();
    if (sound) {
        QFile mark(checkedMark(m_path));
        const QByteArray print = fingerprint(m_path);
        if (print.isEmpty() || !mark.open(QIODevice::WriteOnly) || mark.write(print) < 0)
            mark.remove();
    } else if (writable) {
        QFile::remove(checkedMark(m_path));
    }
    m_state = State::Closed;
    m_readOnly = false;
    m_immutable = false;
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
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    QString name = path;
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=1000");
    if (!uriQuery.isEmpty()) {
        name = uriFor(path, uriQuery);
        options += QStringLiteral(";QSQLITE_OPEN_URI");
    }
    db.setDatabaseName(name);
    db.setConnectOptions(options);
    const auto failed = [](const QSqlError &e) {
        const int code = e.nativeErrorCode().toInt() & 0xff;
        return code != SQLITE_OK ? code : SQLITE_ERROR;
    };
    if (!db.open())
        return failed(db.lastError());
    // Fails on anything that is not a readable database, without writing to it.
    QSqlQuery probe(db);
    if (probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) && probe.next()) {
        if (sqlite3 *native = nativeHandle()) {
            m_readOnly = sqlite3_db_readonly(native, "main") == 1;
            SearchText::registerTokenizer(native);
        }
        return SQLITE_OK;
    }
    return failed(probe.lastError());
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
    sqlite3 *native = nativeHandle();
    return native ? sqlite3_total_changes64(native) : -1;
}

void Store::releaseMemory() {
    if (isOpen())
        skipFailure(setPragma(database(), QStringLiteral("shrink_memory")),
                    "handing back the page cache");
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

Store::State Store::open(const QString &path) {
    close();
    m_path = path;
    if (path.isEmpty())
        return m_state;
    const bool checked = unchangedSinceChecked(path);
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
    return m_state;
}

// Built aside and renamed into place, so a crash never leaves a half-made
// file under the real name. False when there is still no file.
bool Store::createFile(const QString &path) {
    const QString fresh = path + QStringLiteral(".new");
    QFile::remove(fresh);
    bool made = connect(fresh, QString()) == SQLITE_OK && ensureSchema();
    // Opening it brings it over to write-ahead mode, should it not take now.
    if (made)
        skipFailure(useWriteAhead(database()), "making the new store write-ahead");
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
    const StoreShape shape = StoreShape::read(nativeHandle());
    if (!shape.isOurs(ourTables())) {
        openReadOnly(Refusal::Foreign);
        return;
    }
    skipFailure(setPragma(database(), QStringLiteral("synchronous=FULL")),
                "asking for each save to reach the disk before it returns");
    if (!shape.needsUpgrade(ourTables(), ourIndexes(), JournalIndex::triggers(), SchemaVersion)) {
        // The usual start: nothing to write, so the pages are checked
        // while the window is built, and the first save waits for it;
        // unless the file is as it was when it last checked out.
        startWorker(checked);
        return;
    }
    // A store from before the mark, or missing pieces: it is written now, so
    // it is checked first. This happens once per store.
    if (!pagesCheckOut(nativeHandle(), nullptr)) {
        openReadOnly(Refusal::Damaged);
        return;
    }
    // Left in its old mode it still works, and is brought over next time.
    skipFailure(useWriteAhead(database()), "switching the store to write-ahead mode");
    skipFailure(ensureSchema(), "bringing the store up to date");
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

void Store::startWorker(bool checked) {
    QPromise<bool> promise;
    m_check = promise.future();
    m_checkSettled = checked;
    m_stopCheck = std::make_shared<std::atomic_bool>(false);
    const QByteArray uri = uriFor(m_path, QStringLiteral("mode=rw")).toUtf8();
    m_checker = std::thread([uri, checked, stop = m_stopCheck,
                             promise = std::move(promise)]() mutable {
        promise.start();
        // Behind the window in the queue for the processor.
        setpriority(PRIO_PROCESS, pid_t(gettid()), 10);
        sqlite3 *db = nullptr;
        bool healthy = checked;
        if (sqlite3_open_v2(uri.constData(), &db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
                            nullptr) == SQLITE_OK) {
            sqlite3_busy_timeout(db, 1000);
            if (!checked)
                healthy = pagesCheckOut(db, stop.get());
        }
        promise.addResult(healthy);
        promise.finish();
        // Short batches, so a save never waits long for this connection; a
        // batch that found the store busy is tried again a little later.
        if (healthy && db && SearchText::registerTokenizer(db) && JournalIndex::state(db).present)
            for (int retries = 20; !stop->load() && retries > 0;) {
                const JournalIndex::Step step = JournalIndex::buildSome(db, 40);
                if (step == JournalIndex::Step::Done)
                    break;
                if (step == JournalIndex::Step::Failed)
                    --retries;
                std::this_thread::sleep_for(
                    std::chrono::milliseconds(step == JournalIndex::Step::Failed ? 200 : 5));
            }
        sqlite3_close(db);
    });
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
    m_refusal = Refusal::Damaged;
    m_readOnly = true;
    QFile::remove(checkedMark(m_path));
    // The record sets already refuse to write; this also stops any other
    // statement on the connection.
    skipFailure(setPragma(database(), QStringLiteral("query_only=ON")),
                "locking the damaged store against writes");
    if (sqlite3 *native = nativeHandle())
        sqlite3_db_config(native, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}

bool Store::readyToWrite() {
    settleCheck();
    return isOpen() && !m_readOnly;
}

void Store::whenChecked(QObject *context, std::function<void(Refusal)> done) {
    auto *watcher = new QFutureWatcher<bool>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, context, [this, watcher, done] {
        watcher->deleteLater();
        settleCheck();
        done(m_refusal);
    });
    // A finished or absent check still answers through the event loop.
    watcher->setFuture(m_checkSettled ? QtFuture::makeReadyFuture(true) : m_check);
}

bool Store::ensureSchema() {
    QSqlDatabase db = database();
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return false;
    const int version = q.value(0).toInt();
    if (version > SchemaVersion) // written by a newer program: used as it is
        return q.exec(QStringLiteral("PRAGMA application_id=%1").arg(StoreShape::OurApplicationId));

    bool ok = db.transaction();
    for (const auto &def : schema()) {
        const QString table = QString::fromLatin1(def.name);
        QStringList present;
        QSqlQuery cols(db);
        if (cols.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(table))))
            while (cols.next())
                present << cols.value(1).toString();
        if (present.isEmpty()) {
            QStringList columns;
            for (const auto &f : def.fields)
                columns << quoted(f) + QStringLiteral(" TEXT");
            ok = ok && q.exec(QStringLiteral("CREATE TABLE %1 (%2)")
                                  .arg(quoted(table), columns.join(QStringLiteral(", "))));
        } else {
            for (const auto &f : def.fields)
                if (!present.contains(f, Qt::CaseInsensitive))
                    ok = ok && q.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 TEXT")
                                          .arg(quoted(table), quoted(f)));
        }
    }
    for (const auto &index : indexes)
        ok = ok && q.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2(%3)")
                              .arg(QLatin1String(index.name), QLatin1String(index.table),
                                   QLatin1String(index.field)));
    ok = ok && JournalIndex::create(nativeHandle(), version < JournalIndex::FoldedWholeSince);
    if (ok && version != SchemaVersion)
        ok = q.exec(QStringLiteral("PRAGMA user_version=%1").arg(SchemaVersion));
    if (ok)
        ok = q.exec(QStringLiteral("PRAGMA application_id=%1").arg(StoreShape::OurApplicationId));
    if (ok)
        return db.commit();
    db.rollback();
    return false;
}

bool Store::writeRow(const QString &table, qint64 key,
                     const std::function<std::optional<qint64>()> &write) {
    sqlite3 *db = nativeHandle();
    if (table != QLatin1String(JournalEntry::Table) || !db)
        return write().has_value();
    // Inside a caller's transaction (an import writes many rows in one) the
    // caller hands its rows to the search index's build at once
    // (JournalIndex::leaveToBuild); until then the triggers mark it stale.
    if (sqlite3_get_autocommit(db) == 0)
        return write().has_value();
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    const JournalIndex::State index = JournalIndex::state(db);
    const QByteArray id = rowIdentity(table).toUtf8();
    const auto textOf = [&](qint64 row) -> std::optional<QString> {
        Statement q(db, QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                            .arg(Text, Diary, QLatin1String(id))
                            .toUtf8());
        if (!q.bind(1, row).step())
            return std::nullopt;
        return q.isNull(0) ? QString() : q.text(0);
    };
    const bool follows = index.present && !index.stale;
    const std::optional<QString> before =
        follows && key >= 0 && key <= index.builtTo ? textOf(key) : std::nullopt;
    const std::optional<qint64> written = write();
    const bool ok = written.has_value();
    if (ok && follows) {
        // The triggers mark every write as one from elsewhere; this one is
        // followed here. Should the index refuse, the entry is still saved
        // and the index built again later.
        sqlite3_exec(db, "SAVEPOINT follow", nullptr, nullptr, nullptr);
        const bool followed = (*written > index.builtTo ||
                               JournalIndex::follow(db, *written, before, textOf(*written))) &&
                              Statement(db, "UPDATE journal_search_state SET stale = 0").run();
        if (!followed)
            sqlite3_exec(db, "ROLLBACK TO follow", nullptr, nullptr, nullptr);
        sqlite3_exec(db, "RELEASE follow", nullptr, nullptr, nullptr);
    }
    if (ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
}

QString Store::rowIdentity(const QString &table) const {
    if (!isOpen())
        return {};
    const auto known = m_identities.find(table);
    if (known != m_identities.end())
        return known->second;
    return m_identities[table] = ::rowIdentity(nativeHandle(), table);
}

std::vector<Store::EntryHead> Store::journalHeads(qint64 first, qint64 last, int headBytes) const {
    std::vector<EntryHead> heads;
    if (!isOpen())
        return heads;
    QSqlQuery q(database());
    q.setForwardOnly(true);
    const QString id = rowIdentity(Diary);
    if (id.isEmpty())
        return heads;
    q.prepare(QStringLiteral("SELECT %1, %2, substr(CAST(%3 AS BLOB), 1, ?) "
                             "FROM %4 WHERE %1 BETWEEN ? AND ? ORDER BY %1")
                  .arg(id, Day, Text, Diary));
    q.addBindValue(headBytes);
    q.addBindValue(first);
    q.addBindValue(last);
    if (!q.exec()) {
        qCInfo(lcStore) << "reading the entry list:" << q.lastError().text();
        return heads;
    }
    while (q.next())
        heads.push_back({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toByteArray()});
    return heads;
}

std::optional<JournalEntry> Store::journalEntry(qint64 key) const {
    if (!isOpen())
        return std::nullopt;
    QSqlQuery q(database());
    q.setForwardOnly(true);
    const QString id = rowIdentity(Diary);
    if (id.isEmpty())
        return std::nullopt;
    q.prepare(QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4 = ?").arg(Day, Text, Diary, id));
    q.addBindValue(key);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return JournalEntry{q.value(0).toString(), q.value(1).toString()};
}
