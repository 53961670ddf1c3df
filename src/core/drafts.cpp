// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/drafts.h"

#include "core/statement.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPromise>
#include <QThreadPool>
#include <sqlite3.h>

Q_LOGGING_CATEGORY(draftsLog, "quillary.drafts", QtWarningMsg)

namespace {

sqlite3 *openFile(const QString &path, int flags) {
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        qCWarning(draftsLog, "drafts cannot be kept in %s: %s", qPrintable(path),
                  db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 5000);
    return db;
}

bool run(sqlite3 *db, const char *sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// WAL with a sync at every commit: a write that returned survives a kill and
// a power cut alike.
// The sizes of a text are kept in a table of their own: a column stored
// after megabytes of text is reached only by reading through them. Any
// program's write of a draft drops its sizes, so sizes left by this one
// never stand for another text; without them a draft is counted from its
// text when asked.
bool prepareFile(sqlite3 *db) {
    return run(db, "PRAGMA journal_mode=WAL") && run(db, "PRAGMA synchronous=FULL") &&
           run(db, "CREATE TABLE IF NOT EXISTS drafts (day TEXT PRIMARY KEY, "
                   "text TEXT NOT NULL, written INTEGER NOT NULL)") &&
           run(db, "CREATE TABLE IF NOT EXISTS draft_sizes (day TEXT PRIMARY KEY, "
                   "chars INTEGER NOT NULL, units INTEGER NOT NULL, written INTEGER NOT NULL)") &&
           run(db, "CREATE TRIGGER IF NOT EXISTS draft_written AFTER INSERT ON drafts BEGIN "
                   "DELETE FROM draft_sizes WHERE day = new.day; END") &&
           run(db, "CREATE TRIGGER IF NOT EXISTS draft_removed AFTER DELETE ON drafts BEGIN "
                   "DELETE FROM draft_sizes WHERE day = old.day; END");
}

qsizetype characterCount(QStringView text) {
    qsizetype pairs = 0;
    for (qsizetype i = 1; i < text.size(); ++i)
        pairs += text[i].isLowSurrogate() && text[i - 1].isHighSurrogate() ? 1 : 0;
    return text.size() - pairs;
}

QString monthKey(int year, int month) {
    return QStringLiteral("%1%2")
        .arg(year, 4, 10, QLatin1Char('0'))
        .arg(month, 2, 10, QLatin1Char('0'));
}

// The day of a key within the month, 0 when it is none.
int dayOf(const QString &key, const QString &month) {
    if (key.size() != 8 || !key.startsWith(month))
        return 0;
    bool ok = false;
    const int day = key.mid(6).toInt(&ok);
    return ok && day >= 1 && day <= 31 ? day : 0;
}

std::optional<Drafts::Draft> readDraft(sqlite3 *db, const QString &day) {
    Statement q(db, "SELECT text, written FROM drafts WHERE day = ?");
    q.bind(1, day.toUtf8());
    if (!q.step())
        return std::nullopt;
    return Drafts::Draft{q.text(0), QDateTime::fromMSecsSinceEpoch(q.integer(1))};
}

} // namespace

Drafts::Drafts(const QString &path) : m_path(path) {
    if (path.isEmpty())
        return;
    m_write = openFile(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (m_write && !prepareFile(m_write)) {
        qCWarning(draftsLog, "drafts file %s refused: %s", qPrintable(path),
                  sqlite3_errmsg(m_write));
        sqlite3_close(m_write);
        m_write = nullptr;
    }
    if (!m_write)
        return;
    m_read = openFile(path, SQLITE_OPEN_READONLY);
    if (!m_read) {
        sqlite3_close(m_write);
        m_write = nullptr;
        return;
    }
    m_writer = std::thread([this] { writeLoop(); });
}

Drafts::~Drafts() {
    if (m_writer.joinable()) {
        {
            std::lock_guard lock(m_lock);
            m_stop = true;
        }
        m_wake.notify_all();
        m_writer.join();
    }
    sqlite3_close(m_read);
    sqlite3_close(m_write);
}

QString Drafts::pathBeside(const QString &storePath) {
    if (storePath.isEmpty())
        return {};
    return QFileInfo(storePath).absoluteDir().filePath(QStringLiteral("drafts.db"));
}

QString Drafts::Text::get() {
    std::lock_guard lock(m_lock);
    if (m_make) {
        m_text = m_make();
        m_make = nullptr; // what it held goes on this thread
        m_characters = characterCount(m_text);
    }
    return m_text;
}

qsizetype Drafts::Text::characters() {
    get();
    std::lock_guard lock(m_lock);
    return m_characters;
}

void Drafts::keep(const QString &day, QString text) {
    keep(day, [text = std::move(text)] { return text; });
}

void Drafts::keep(const QString &day, std::function<QString()> make) {
    if (!isOpen())
        return;
    auto text = std::make_shared<Text>(std::move(make));
    {
        std::lock_guard lock(m_lock);
        m_pending[day] = Kept{std::move(text), QDateTime::currentDateTime()};
    }
    m_wake.notify_one();
}

void Drafts::remove(const QString &day) {
    if (!isOpen())
        return;
    {
        std::lock_guard lock(m_lock);
        m_pending[day] = std::nullopt;
    }
    m_wake.notify_one();
}

void Drafts::flush() {
    std::unique_lock lock(m_lock);
    m_written.wait(lock, [this] { return m_pending.empty() && m_writing.empty(); });
}

// Takes all that is pending at once: while a long text is being written the
// keystrokes after it gather, and only the newest text of each day follows.
void Drafts::writeLoop() {
    std::unique_lock lock(m_lock);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_pending.empty(); });
        if (m_pending.empty())
            return; // stopping, with nothing left
        m_writing.swap(m_pending);
        lock.unlock();
        if (!write(m_writing))
            qCWarning(draftsLog, "drafts not written: %s", sqlite3_errmsg(m_write));
        lock.lock();
        m_writing.clear();
        m_written.notify_all();
    }
}

bool Drafts::write(const std::map<QString, Change> &changes) {
    if (!run(m_write, "BEGIN IMMEDIATE"))
        return false;
    Statement put(m_write, "INSERT OR REPLACE INTO drafts (day, text, written) VALUES (?, ?, ?)");
    Statement sizes(m_write, "INSERT INTO draft_sizes (day, chars, units, written) "
                             "VALUES (?, ?, ?, ?)");
    Statement drop(m_write, "DELETE FROM drafts WHERE day = ?");
    bool ok = put.isValid() && sizes.isValid() && drop.isValid();
    for (const auto &[day, change] : changes) {
        if (!ok)
            break;
        Statement &q = change ? put : drop;
        q.reset();
        q.bind(1, day.toUtf8());
        if (!change) {
            ok = q.run();
            continue;
        }
        const QString text = change->text->get();
        const qint64 written = change->written.toMSecsSinceEpoch();
        sizes.reset();
        sizes.bind(1, day.toUtf8())
            .bind(2, qint64(change->text->characters()))
            .bind(3, qint64(text.size()))
            .bind(4, written);
        ok = q.bind(2, text.toUtf8()).bind(3, written).run() && sizes.run();
    }
    if (ok && run(m_write, "COMMIT"))
        return true;
    run(m_write, "ROLLBACK");
    return false;
}

// The newest change of the day handed over, written or not; held by the
// caller's copy of its text while the lock is let go.
const Drafts::Change *Drafts::pending(const QString &day) const {
    for (const auto *changes : {&m_pending, &m_writing})
        if (const auto it = changes->find(day); it != changes->end())
            return &it->second;
    return nullptr;
}

std::optional<Drafts::Draft> Drafts::draft(const QString &day) const {
    if (!isOpen())
        return std::nullopt;
    std::unique_lock lock(m_lock);
    if (const Change *change = pending(day)) {
        if (!*change)
            return std::nullopt;
        const Kept kept = **change;
        lock.unlock();
        return Draft{kept.text->get(), kept.written};
    }
    lock.unlock();
    return readDraft(m_read, day);
}

QFuture<std::optional<Drafts::Draft>> Drafts::draftAside(const QString &day) const {
    if (!isOpen())
        return QtFuture::makeReadyFuture(std::optional<Draft>());
    std::optional<Kept> kept;
    {
        std::lock_guard lock(m_lock);
        if (const Change *change = pending(day)) {
            if (!*change)
                return QtFuture::makeReadyFuture(std::optional<Draft>());
            kept = **change;
        }
    }
    // Shared, as the pool takes only what it can copy; nothing of this
    // object is used there, so it may go meanwhile.
    auto promise = std::make_shared<QPromise<std::optional<Draft>>>();
    QFuture<std::optional<Draft>> future = promise->future();
    QThreadPool::globalInstance()->start([promise, kept, path = m_path, day] {
        promise->start();
        std::optional<Draft> draft;
        if (kept) {
            draft = Draft{kept->text->get(), kept->written};
        } else if (sqlite3 *db = openFile(path, SQLITE_OPEN_READONLY)) {
            draft = readDraft(db, day);
            sqlite3_close(db);
        }
        promise->addResult(std::move(draft));
        promise->finish();
    });
    return future;
}

std::optional<Drafts::Summary> Drafts::summary(const QString &day) const {
    if (!isOpen())
        return std::nullopt;
    std::unique_lock lock(m_lock);
    if (const Change *change = pending(day)) {
        if (!*change)
            return std::nullopt;
        const Kept kept = **change;
        lock.unlock();
        return Summary{kept.text->characters(), kept.text->get().size(), kept.written};
    }
    lock.unlock();
    Statement q(m_read, "SELECT chars, units, written FROM draft_sizes WHERE day = ?");
    if (q.bind(1, day.toUtf8()).step())
        return Summary{q.integer(0), q.integer(1), QDateTime::fromMSecsSinceEpoch(q.integer(2))};
    const std::optional<Draft> whole = draft(day);
    if (!whole)
        return std::nullopt;
    return Summary{characterCount(whole->text), whole->text.size(), whole->written};
}

quint32 Drafts::daysInMonth(int year, int month) const {
    if (!isOpen())
        return 0;
    const QString prefix = monthKey(year, month);
    quint32 days = 0;
    Statement q(m_read, "SELECT day FROM drafts WHERE day >= ? AND day < ?");
    q.bind(1, (prefix + QStringLiteral("01")).toUtf8())
        .bind(2, (prefix + QStringLiteral("32")).toUtf8());
    while (q.step())
        if (const int day = dayOf(q.text(0), prefix))
            days |= 1u << day;
    std::lock_guard lock(m_lock);
    // What is handed over but not yet written counts as it will be.
    for (const auto *changes : {&m_writing, &m_pending})
        for (const auto &[key, change] : *changes)
            if (const int day = dayOf(key, prefix))
                days = change ? days | (1u << day) : days & ~(1u << day);
    return days;
}
