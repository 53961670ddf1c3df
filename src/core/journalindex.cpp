// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/journalindex.h"

#include "core/records.h"
#include "core/rowkeys.h"
#include "core/statement.h"

#include <QDate>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <algorithm>
#include <iterator>
#include <map>
#include <mutex>
#include <numeric>
#include <sqlite3.h>

namespace JournalIndex {
namespace {

constexpr QLatin1String Diary(JournalEntry::Table), Day(JournalEntry::DayField),
    Text(JournalEntry::TextField);

QByteArray utf8(const QString &s) {
    return s.toUtf8();
}

// Every write to the journal, by any program, marks the index stale.
const struct {
    const char *name, *event;
} staleMarks[] = {
    {"journal_search_after_insert", "INSERT"},
    {"journal_search_after_update", "UPDATE"},
    {"journal_search_after_delete", "DELETE"},
};

QList<QByteArray> schemaStatements() {
    QList<QByteArray> statements = {
        // Contentless: the text lives in the journal only; the index keeps the tokens.
        "CREATE VIRTUAL TABLE IF NOT EXISTS journal_search USING "
        "fts5(body, tokenize='quillary', content='', columnsize=0)",
        "CREATE TABLE IF NOT EXISTS journal_search_state (id INTEGER PRIMARY KEY CHECK (id = 1), "
        "built_to INTEGER NOT NULL, stale INTEGER NOT NULL)",
        "INSERT OR IGNORE INTO journal_search_state VALUES (1, 0, 0)",
        // What a batch indexes is written out, and the segments merged, as
        // it goes, where the batch's clock sees it, not all at the commit;
        // merging goes 64 pages a level at a time: small pages keep it short.
        "INSERT INTO journal_search(journal_search, rank) VALUES ('hashsize', 65536)",
        "INSERT INTO journal_search(journal_search, rank) VALUES ('pgsz', 1000)",
        // The pieces of long entries, each a row of an index of their own
        // that keeps which pieces hold a token, not where: with the places,
        // one character over and over made of a token a list of every place
        // in every piece, which a merge rewrote whole under the lock.
        "CREATE VIRTUAL TABLE IF NOT EXISTS journal_search_long USING "
        "fts5(body, tokenize='quillary', content='', columnsize=0, detail=none)",
        "INSERT INTO journal_search_long(journal_search_long, rank) VALUES ('hashsize', 65536)",
        "INSERT INTO journal_search_long(journal_search_long, rank) VALUES ('pgsz', 1000)",
        // Where in its entry's stored text each piece lies. An id is never
        // given again: a piece still in the index must not meet a new one.
        "CREATE TABLE IF NOT EXISTS journal_search_piece (id INTEGER PRIMARY KEY AUTOINCREMENT, "
        "entry INTEGER NOT NULL, start INTEGER NOT NULL, stop INTEGER NOT NULL)",
        "CREATE INDEX IF NOT EXISTS journal_search_piece_entry ON journal_search_piece (entry)",
        // Pieces of texts changed or deleted, which the builder takes out
        // with the text as a pin holds it (see Aside); long entries it
        // indexes apart from the rows past built_to; and long entries
        // whose stored text is not UTF-8 as written, which a search reads
        // whole, as reading every entry does.
        "CREATE TABLE IF NOT EXISTS journal_search_gone (id INTEGER PRIMARY KEY, "
        "entry INTEGER NOT NULL, start INTEGER NOT NULL, stop INTEGER NOT NULL, "
        "pin INTEGER NOT NULL)",
        "CREATE TABLE IF NOT EXISTS journal_search_redo (entry INTEGER PRIMARY KEY)",
        "CREATE TABLE IF NOT EXISTS journal_search_whole (entry INTEGER PRIMARY KEY)",
    };
    for (const auto &mark : staleMarks)
        statements << utf8(QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1 AFTER %2 ON %3 BEGIN "
                                          "UPDATE journal_search_state SET stale = 1; END")
                               .arg(QLatin1String(mark.name), QLatin1String(mark.event), Diary));
    return statements;
}

int staleMarksPresent(sqlite3 *db) {
    int present = 0;
    for (const auto &mark : staleMarks) {
        Statement q(db, "SELECT 1 FROM sqlite_master WHERE type = 'trigger' AND name = ?");
        present += q.bind(1, QByteArray(mark.name)).step() ? 1 : 0;
    }
    return present;
}

QString diaryIdentity(sqlite3 *db) {
    return rowIdentity(db, Diary);
}

bool exec(sqlite3 *db, const char *sql) {
    return execute(db, sql);
}

// A store that may not be written keeps an index made with an older folding,
// whose tokens miss what queries now ask for.
bool foldedAsNow(sqlite3 *db) {
    Statement q(db, "PRAGMA user_version");
    return q.step() && q.integer(0) >= FoldedWholeSince;
}

// Read without the text, which may be tens of megabytes; 0 for no text.
qint64 storedBytes(sqlite3 *db, qint64 key) {
    sqlite3_blob *blob = nullptr;
    qint64 bytes = 0;
    if (sqlite3_blob_open(db, "main", JournalEntry::Table, JournalEntry::TextField, key, 0,
                          &blob) == SQLITE_OK)
        bytes = sqlite3_blob_bytes(blob);
    sqlite3_blob_close(blob);
    return bytes;
}

// A long entry is kept as pieces, each a row of the pieces' index; any other
// is the one row of its key in the index. Keys of zero or less are kept as
// pieces whatever their length.
bool inPieces(qint64 key, qsizetype bytes) {
    return key <= 0 || bytes > FollowedBytes;
}

// Pieces are cut from the text as stored, and read back so, a piece at a
// time; a text read as a string loses a leading byte-order mark and
// replaces what is not UTF-8, and would not match its pieces. Such a text
// is read whole by a search instead.
bool asWritten(QByteArrayView stored) {
    return stored.isValidUtf8() && !stored.startsWith("\xEF\xBB\xBF");
}

// The entry's text as stored, bytes for bytes; nothing where there is none.
std::optional<QByteArray> storedText(sqlite3 *db, const QString &id, qint64 key) {
    Statement text(db, utf8(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(Text, Diary, id)));
    if (!text.bind(1, key).step())
        return std::nullopt;
    return text.bytes(0);
}

qint64 piecesIndexed(sqlite3 *db, qint64 key) {
    Statement q(db, "SELECT count(*) FROM journal_search_piece WHERE entry = ?");
    return q.bind(1, key).step() ? q.integer(0) : 0;
}

bool listed(sqlite3 *db, const char *table, qint64 key) {
    Statement q(db, QByteArray("SELECT 1 FROM ") + table + " WHERE entry = ?");
    return q.bind(1, key).step();
}

bool unlist(sqlite3 *db, const char *table, qint64 key) {
    Statement q(db, QByteArray("DELETE FROM ") + table + " WHERE entry = ?");
    return q.bind(1, key).run();
}

QByteArray slice(const QByteArray &text, const SearchText::Piece &piece) {
    return text.mid(piece.from, piece.to - piece.from);
}

bool addRow(sqlite3 *db, qint64 row, const QByteArray &body) {
    Statement add(db, "INSERT INTO journal_search(rowid, body) VALUES (?, ?)");
    return add.bind(1, row).bind(2, body).run();
}

bool addPiece(sqlite3 *db, qint64 key, const QByteArray &text, const SearchText::Piece &piece) {
    Statement own(db, "INSERT INTO journal_search_piece (entry, start, stop) VALUES (?, ?, ?)");
    Statement add(db, "INSERT INTO journal_search_long(rowid, body) VALUES (?, ?)");
    return own.bind(1, key).bind(2, qint64(piece.from)).bind(3, qint64(piece.to)).run() &&
           add.bind(1, sqlite3_last_insert_rowid(db)).bind(2, slice(text, piece)).run();
}

bool dropPiece(sqlite3 *db, qint64 id, const QByteArray &body) {
    Statement drop(db, "INSERT INTO journal_search_long(journal_search_long, rowid, body) "
                       "VALUES ('delete', ?, ?)");
    return drop.bind(1, id).bind(2, body).run();
}

// text is the entry's text as a string gives it; a long one is cut into
// pieces as stored, which is the same where it was written as UTF-8.
bool addEntry(sqlite3 *db, qint64 key, const QByteArray &text) {
    if (!inPieces(key, text.size()))
        return addRow(db, key, text);
    const std::optional<QByteArray> stored = storedText(db, diaryIdentity(db), key);
    if (!stored || *stored != text || !asWritten(*stored)) {
        Statement whole(db, "INSERT OR IGNORE INTO journal_search_whole (entry) VALUES (?)");
        return whole.bind(1, key).run();
    }
    for (const SearchText::Piece &piece : SearchText::pieces(text))
        if (!addPiece(db, key, text, piece))
            return false;
    return true;
}

// Contentless, the index takes a row out only given the text it was made
// of: each piece is cut again where it lay.
bool dropEntry(sqlite3 *db, qint64 key, const QByteArray &text) {
    if (listed(db, "journal_search_whole", key))
        return unlist(db, "journal_search_whole", key);
    Statement own(db, "SELECT id, start, stop FROM journal_search_piece WHERE entry = ?");
    bool pieced = false;
    for (own.bind(1, key); own.step(); pieced = true) {
        const SearchText::Piece piece{own.integer(1), own.integer(2)};
        if (piece.to > text.size() || !dropPiece(db, own.integer(0), slice(text, piece)))
            return false;
    }
    if (!pieced) {
        Statement drop(db, "INSERT INTO journal_search(journal_search, rowid, body) "
                           "VALUES ('delete', ?, ?)");
        return own.done() && drop.bind(1, key).bind(2, text).run();
    }
    Statement gone(db, "DELETE FROM journal_search_piece WHERE entry = ?");
    return own.done() && gone.bind(1, key).run();
}

} // namespace

// A read transaction on a connection of its own, begun inside a write
// before it changed anything: it holds the text a long entry had until the
// builder has read it, to take the entry's pieces out of the index. The
// pieces of a pin lost before that (the program ended) stay in the index,
// unreachable.
struct Pin {
    qint64 tag = 0;
    QByteArray file;
    sqlite3 *reader = nullptr;
    std::atomic_bool kept = false; // the write committed
    ~Pin() { sqlite3_close_v2(reader); }
};

namespace {

// The texts as stored of entries whose pieces the builder takes out, by
// pin tag, read ahead of the batches. A pin is let go as soon as its text
// is read: its read transaction keeps every later write in the log, which
// would grow by gigabytes while the pieces of 50 MB are taken out.
struct GoneText {
    QByteArray file;
    qint64 key = -1;
    QByteArray text;
};
thread_local std::map<qint64, GoneText> goneTexts;
// Past this many bytes of texts held, a pin is let go unread: its pieces
// stay in the index, where nothing reaches them.
constexpr qint64 GoneTextsAtMost = qint64(512) << 20;

std::mutex pinsLock;
std::vector<std::shared_ptr<Pin>> &pins() {
    static std::vector<std::shared_ptr<Pin>> all;
    return all;
}

QByteArray fileOf(sqlite3 *db) {
    const char *name = db ? sqlite3_db_filename(db, "main") : nullptr;
    return name ? QByteArray(name) : QByteArray();
}

std::shared_ptr<Pin> pinBefore(sqlite3 *db) {
    auto pin = std::make_shared<Pin>();
    pin->file = fileOf(db);
    // Never 0, which marks pieces set aside without a pin.
    pin->tag = qint64(QRandomGenerator::global()->generate64() >> 1) | 1;
    if (pin->file.isEmpty() ||
        sqlite3_open_v2(pin->file.constData(), &pin->reader,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK ||
        !exec(pin->reader, "BEGIN") ||
        !Statement(pin->reader, "SELECT 1 FROM journal_search_state").step())
        return nullptr;
    const std::lock_guard lock(pinsLock);
    pins().push_back(pin);
    return pin;
}

void letGo(const std::shared_ptr<Pin> &pin) {
    const std::lock_guard lock(pinsLock);
    std::erase(pins(), pin);
}

std::shared_ptr<Pin> pinOf(sqlite3 *db, qint64 tag) {
    const QByteArray file = fileOf(db);
    const std::lock_guard lock(pinsLock);
    for (const std::shared_ptr<Pin> &pin : pins())
        if (pin->tag == tag && pin->file == file)
            return pin;
    return nullptr;
}

// Outside any transaction: a pin whose write committed, and a text read
// from one, are let go once none of its pieces is left to take out.
void letGoSpent(sqlite3 *db) {
    const QByteArray file = fileOf(db);
    std::vector<std::shared_ptr<Pin>> mine;
    {
        const std::lock_guard lock(pinsLock);
        for (const std::shared_ptr<Pin> &pin : pins())
            if (pin->file == file && pin->kept.load())
                mine.push_back(pin);
    }
    Statement left(db, "SELECT 1 FROM journal_search_gone WHERE pin = ? LIMIT 1");
    const auto spent = [&](qint64 tag) {
        left.reset();
        return !left.bind(1, tag).step() && left.done();
    };
    for (const std::shared_ptr<Pin> &pin : mine)
        if (spent(pin->tag))
            letGo(pin);
    std::erase_if(goneTexts,
                  [&](const auto &gone) { return gone.second.file == file && spent(gone.first); });
}

// The pieces of the entry leave it for the builder to take out, with the
// text pin holds (none: they stay in the index, where nothing reaches them).
bool setAside(sqlite3 *db, qint64 key, qint64 pin) {
    Statement aside(db,
                    "INSERT INTO journal_search_gone (id, entry, start, stop, pin) "
                    "SELECT id, entry, start, stop, ? FROM journal_search_piece WHERE entry = ?");
    Statement gone(db, "DELETE FROM journal_search_piece WHERE entry = ?");
    return aside.bind(1, pin).bind(2, key).run() && gone.bind(1, key).run() &&
           unlist(db, "journal_search_redo", key) && unlist(db, "journal_search_whole", key);
}

} // namespace

Aside::Aside(sqlite3 *db, qint64 key, const State &index) : m_db(db) {
    if (key < 0 || !index.present || index.stale ||
        (storedBytes(db, key) <= FollowedBytes &&
         (key <= index.builtTo || piecesIndexed(db, key) == 0)))
        return;
    m_taken = true;
    if (piecesIndexed(db, key) > 0)
        m_pin = pinBefore(db);
    m_ok = setAside(db, key, m_pin ? m_pin->tag : 0);
}

Aside::~Aside() {
    if (m_pin && !m_pin->kept.load())
        letGo(m_pin);
}

void Aside::keep() {
    if (!m_pin)
        return;
    m_pin->kept = true;
    // The builder may have taken every piece out before it was kept.
    Statement left(m_db, "SELECT 1 FROM journal_search_gone WHERE pin = ? LIMIT 1");
    if (!left.bind(1, m_pin->tag).step() && left.done())
        letGo(m_pin);
}

void letGoPins(sqlite3 *db) {
    const QByteArray file = fileOf(db);
    if (file.isEmpty())
        return;
    std::erase_if(goneTexts, [&](const auto &gone) { return gone.second.file == file; });
    const std::lock_guard lock(pinsLock);
    std::erase_if(pins(), [&](const std::shared_ptr<Pin> &pin) { return pin->file == file; });
}

bool create(sqlite3 *db, bool olderFolding) {
    // Writes made while a trigger was missing (a table made again
    // elsewhere) were never marked: such an index cannot be trusted.
    const bool trusted = !state(db).present ||
                         (!olderFolding && staleMarksPresent(db) == int(std::size(staleMarks)));
    // Pieces were once rows of the index itself, and their table lacks
    // their places: the index is built again anyway.
    if (olderFolding && !exec(db, "DROP TABLE IF EXISTS journal_search_piece"))
        return false;
    for (const QByteArray &sql : schemaStatements())
        if (!exec(db, sql.constData()))
            return false;
    return trusted || exec(db, "UPDATE journal_search_state SET stale = 1");
}

const QStringList &triggers() {
    static const QStringList names = [] {
        QStringList list;
        for (const auto &mark : staleMarks)
            list << QString::fromLatin1(mark.name);
        return list;
    }();
    return names;
}

State state(sqlite3 *db) {
    State s;
    Statement q(db, "SELECT built_to, stale FROM journal_search_state WHERE id = 1");
    if (q.step()) {
        s.present = true;
        s.builtTo = q.integer(0);
        s.stale = q.integer(1) != 0;
    }
    Statement queued(db, "SELECT EXISTS (SELECT 1 FROM journal_search_gone) OR "
                         "EXISTS (SELECT 1 FROM journal_search_redo)");
    s.queued = s.present && queued.step() && queued.integer(0) != 0;
    return s;
}

bool follow(sqlite3 *db, qint64 key, const std::optional<QString> &before,
            const std::optional<QString> &after) {
    // Not reached yet by the build: what it has of the entry is of the
    // text before, and only a build from the start can take it out.
    if (key > state(db).builtTo)
        return piecesIndexed(db, key) == 0;
    if (before && !dropEntry(db, key, utf8(*before)))
        return false;
    return !after || addEntry(db, key, utf8(*after));
}

qint64 textBytes(sqlite3 *db, qint64 key) {
    return storedBytes(db, key);
}

bool handOver(sqlite3 *db, qint64 key, const std::optional<QString> &before) {
    if (key > state(db).builtTo)
        return piecesIndexed(db, key) == 0;
    if (before && !dropEntry(db, key, utf8(*before)))
        return false;
    // Entries after it, indexed already, would be indexed twice by going
    // back: the builder indexes this one apart.
    Statement later(
        db,
        utf8(
            QStringLiteral("SELECT 1 FROM %1 WHERE %2 > ? LIMIT 1").arg(Diary, diaryIdentity(db))));
    if (later.bind(1, key).step()) {
        Statement redo(db, "INSERT OR IGNORE INTO journal_search_redo (entry) VALUES (?)");
        return redo.bind(1, key).run();
    }
    Statement mark(db, "UPDATE journal_search_state SET built_to = ?");
    return later.done() && mark.bind(1, key - 1).run();
}

bool leaveToBuild(sqlite3 *db, const State &before, qint64 first, qint64 last) {
    if (!before.present || before.stale || first > last)
        return true; // built again from the start anyway
    Statement mark(db, "UPDATE journal_search_state SET built_to = ?, stale = 0");
    return mark.bind(1, std::min(before.builtTo, first - 1)).run();
}

namespace {

// The text of the long entry being indexed, read outside the write lock
// and kept between batches: read inside, 50 MB would hold it for a second.
// It stands for the stored text while the store has not changed since.
struct LongEntry {
    sqlite3 *db = nullptr;
    qint64 key = 0, version = -1, bytes = -1;
    QByteArray text; // as stored
    bool asWritten = false;
    std::vector<SearchText::Piece> pieces;
};
thread_local LongEntry longEntry;

// Changes when another connection writes the store.
qint64 dataVersion(sqlite3 *db) {
    Statement q(db, "PRAGMA data_version");
    return q.step() ? q.integer(0) : -1;
}

bool held(sqlite3 *db, qint64 key, qint64 bytes) {
    return longEntry.db == db && longEntry.key == key && longEntry.bytes == bytes &&
           longEntry.version == dataVersion(db);
}

// The entry next in line: one to index apart first, else the next past
// built_to; -1 for none, or while the index is being emptied.
qint64 nextInLine(sqlite3 *db, const QString &id) {
    const State s = state(db);
    Statement next(db, utf8(QStringLiteral("SELECT entry FROM journal_search_redo UNION ALL "
                                           "SELECT * FROM (SELECT %1 FROM %2 WHERE %1 > ? "
                                           "ORDER BY %1 LIMIT 1) LIMIT 1")
                                .arg(id, Diary)));
    if (!s.present || s.stale || !next.bind(1, s.builtTo).step())
        return -1;
    return next.integer(0);
}

// The texts the pins of this file hold of entries whose pieces are to be
// taken out, each pin let go once read (or unread, past the memory allowed).
// Inside a read transaction, which sees only pieces set aside by writes
// that committed.
void readGoneAhead(sqlite3 *db, const QString &id) {
    const QByteArray file = fileOf(db);
    std::vector<std::shared_ptr<Pin>> mine;
    {
        const std::lock_guard lock(pinsLock);
        for (const std::shared_ptr<Pin> &pin : pins())
            if (pin->file == file)
                mine.push_back(pin);
    }
    qint64 held = 0;
    for (const auto &gone : goneTexts)
        held += gone.second.text.size();
    Statement entry(db, "SELECT entry FROM journal_search_gone WHERE pin = ? LIMIT 1");
    for (const std::shared_ptr<Pin> &pin : mine) {
        entry.reset();
        if (!entry.bind(1, pin->tag).step())
            continue; // its write is under way, or left nothing to take out
        const qint64 key = entry.integer(0);
        const qint64 bytes = storedBytes(pin->reader, key);
        std::optional<QByteArray> text;
        if (held + bytes <= GoneTextsAtMost)
            text = storedText(pin->reader, id, key);
        if (text) {
            held += text->size();
            goneTexts[pin->tag] = {file, key, std::move(*text)};
        }
        letGo(pin);
    }
}

// Before the batch takes the write lock: the text of the entry next in
// line, when it is long and not held already, and the text a pin holds of
// pieces to take out. An entry begun by an earlier batch may go on from a
// text held then; one to begin is read afresh.
void readAhead(sqlite3 *db, const QString &id) {
    if (!exec(db, "BEGIN"))
        return;
    readGoneAhead(db, id);
    const qint64 key = nextInLine(db, id);
    const qint64 bytes = key >= 0 ? storedBytes(db, key) : 0;
    if (bytes > FollowedBytes && !(piecesIndexed(db, key) > 0 && held(db, key, bytes))) {
        if (std::optional<QByteArray> text = storedText(db, id, key)) {
            longEntry = {db, key, dataVersion(db), bytes, std::move(*text), false, {}};
            longEntry.asWritten = asWritten(longEntry.text);
            if (longEntry.asWritten)
                longEntry.pieces = SearchText::pieces(longEntry.text);
        }
    }
    exec(db, "COMMIT");
}

// The time a batch may index for, and the pace it indexes at so far. A
// text that would carry the batch past its budget, at that pace, waits for
// the next: no text makes a batch hold the store much longer than itself.
// Writing out what was indexed, at the commit, takes about as long again.
class Budget {
public:
    explicit Budget(int ms) : m_ms(std::max(ms / 2, 1)) { m_clock.start(); }
    bool spent(qint64 next) const {
        const qint64 pace = std::max<qint64>(m_bytes / std::max<qint64>(m_clock.elapsed(), 1), 1);
        return m_worked && m_clock.elapsed() + next / pace >= m_ms;
    }
    void add(qint64 bytes) {
        m_bytes += bytes;
        m_worked = true;
    }
    bool worked() const { return m_worked; }

private:
    QElapsedTimer m_clock;
    qint64 m_ms, m_bytes = 0;
    bool m_worked = false;
};

enum class Entry { Whole, Later, Failed };

// The pieces of a long entry not indexed yet, as many as the budget allows.
Entry indexLong(sqlite3 *db, qint64 key, qint64 bytes, Budget &budget) {
    if (!held(db, key, bytes))
        return Entry::Later; // read ahead of the next batch
    const QByteArray &text = longEntry.text;
    if (!longEntry.asWritten) {
        budget.add(SearchText::PieceBytes);
        Statement whole(db, "INSERT OR IGNORE INTO journal_search_whole (entry) VALUES (?)");
        return whole.bind(1, key).run() ? Entry::Whole : Entry::Failed;
    }
    for (auto done = size_t(piecesIndexed(db, key)); done < longEntry.pieces.size(); ++done) {
        const SearchText::Piece &piece = longEntry.pieces[done];
        if (budget.spent(piece.to - piece.from))
            return Entry::Later;
        if (!addPiece(db, key, text, piece))
            return Entry::Failed;
        budget.add(piece.to - piece.from);
    }
    return Entry::Whole;
}

// One entry, or as many pieces of a long one as the budget allows; text
// reads the journal's text by key.
Entry indexEntry(sqlite3 *db, Statement &text, qint64 key, qint64 size, Budget &budget) {
    if (size > FollowedBytes)
        return indexLong(db, key, size, budget);
    text.reset();
    budget.add(size);
    // A NULL text has no tokens, yet is indexed as an empty body so that a
    // later write can take it out again.
    if (!text.bind(1, key).step())
        return text.done() ? Entry::Whole : Entry::Failed;
    return addEntry(db, key, text.isNull(0) ? QByteArray("") : utf8(text.text(0))) ? Entry::Whole
                                                                                   : Entry::Failed;
}

// The same where the budget leaves room for the entry, or for its next
// pieces; Later where it does not.
Entry indexWithin(sqlite3 *db, Statement &text, qint64 key, Budget &budget) {
    const qint64 size = storedBytes(db, key);
    if (budget.spent(std::min(size, FollowedBytes)))
        return Entry::Later;
    return indexEntry(db, text, key, size, budget);
}

// Indexes the rows past from, in key order, for about budgetMs; last is the
// last row indexed whole. False when SQLite refused.
bool indexRows(sqlite3 *db, const QString &id, qint64 from, int budgetMs, qint64 &last, bool &all) {
    // Sizes first: a long text is read only when its turn comes.
    Statement rows(
        db, utf8(QStringLiteral("SELECT %1 FROM %2 WHERE %1 > ? ORDER BY %1").arg(id, Diary)));
    rows.bind(1, from);
    Statement text(db, utf8(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(Text, Diary, id)));
    Budget budget(budgetMs);
    last = from;
    all = false;
    while (rows.step()) {
        const qint64 key = rows.integer(0);
        const Entry entry = indexWithin(db, text, key, budget);
        if (entry != Entry::Whole)
            return entry == Entry::Later;
        last = key;
    }
    all = rows.done();
    return all;
}

// Pieces of changed texts, taken out one at a time with the text their pin
// holds, as far as the budget goes. False when SQLite refused.
bool takeOutGone(sqlite3 *db, Budget &budget, bool &all) {
    Statement gone(db, "SELECT id, entry, start, stop, pin FROM journal_search_gone "
                       "ORDER BY id LIMIT 1");
    Statement taken(db, "DELETE FROM journal_search_gone WHERE id = ?");
    all = false;
    for (; gone.step(); gone.reset(), taken.reset()) {
        const qint64 piece = gone.integer(0), key = gone.integer(1);
        const SearchText::Piece cut{gone.integer(2), gone.integer(3)};
        const auto text = goneTexts.find(gone.integer(4));
        const bool read =
            text != goneTexts.end() && text->second.key == key && text->second.file == fileOf(db);
        if (!read && pinOf(db, gone.integer(4)))
            return true; // its text is read ahead of the next batch
        // Without its text a piece stays in the index, where nothing reaches it.
        const bool out = read && cut.to <= text->second.text.size();
        if (budget.spent(out ? cut.to - cut.from : 0))
            return true;
        if (out && !dropPiece(db, piece, slice(text->second.text, cut)))
            return false;
        if (!taken.bind(1, piece).run())
            return false;
        budget.add(out ? cut.to - cut.from : 0);
    }
    all = gone.done();
    return all;
}

// What the builder was given to do apart from going on past built_to, as
// far as the budget goes: pieces of changed texts are taken out, then long
// entries indexed afresh.
bool workQueue(sqlite3 *db, const QString &id, int budgetMs) {
    // A piece taken out leaves the commit more to write out and merge than
    // one indexed: half the time goes to taking out.
    Budget halved(budgetMs / 2);
    bool noneGone = false;
    if (!takeOutGone(db, halved, noneGone))
        return false;
    if (!noneGone || halved.worked())
        return true;
    Budget budget(budgetMs);
    Statement redo(db, "SELECT entry FROM journal_search_redo ORDER BY entry LIMIT 1");
    Statement text(db, utf8(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(Text, Diary, id)));
    for (; redo.step(); redo.reset()) {
        const qint64 key = redo.integer(0);
        const Entry entry = indexWithin(db, text, key, budget);
        if (entry != Entry::Whole)
            return entry == Entry::Later;
        if (!unlist(db, "journal_search_redo", key))
            return false;
        if (longEntry.db == db && longEntry.key == key)
            longEntry = {};
    }
    return redo.done();
}

// An index to build again is emptied a slice at a time: at once, the index
// of a long journal would hold the lock as long as freeing all its pages
// takes. Its segments (rows past 10 of its data) and their entries in
// its own index go first; 'delete-all' then finds little left, and writes
// the index afresh. Meanwhile it is stale, and asked by nobody.
bool clearSome(sqlite3 *db, int budgetMs, bool &cleared) {
    static const char *const slices[] = {
        "DELETE FROM journal_search_data WHERE id IN "
        "(SELECT id FROM journal_search_data WHERE id > 10 LIMIT 200)",
        "DELETE FROM journal_search_idx WHERE (segid, term) IN "
        "(SELECT segid, term FROM journal_search_idx LIMIT 500)",
        "DELETE FROM journal_search_long_data WHERE id IN "
        "(SELECT id FROM journal_search_long_data WHERE id > 10 LIMIT 200)",
        "DELETE FROM journal_search_long_idx WHERE (segid, term) IN "
        "(SELECT segid, term FROM journal_search_long_idx LIMIT 500)",
        "DELETE FROM journal_search_piece WHERE id IN "
        "(SELECT id FROM journal_search_piece LIMIT 2000)",
        "DELETE FROM journal_search_gone WHERE id IN "
        "(SELECT id FROM journal_search_gone LIMIT 2000)",
        "DELETE FROM journal_search_redo",
        "DELETE FROM journal_search_whole",
    };
    QElapsedTimer clock;
    clock.start();
    for (const char *slice : slices) {
        for (Statement q(db, slice);; q.reset()) {
            if (!q.run())
                return false;
            if (sqlite3_changes(db) == 0)
                break;
            if (clock.elapsed() >= budgetMs / 2) {
                cleared = false;
                return true;
            }
        }
    }
    cleared = true;
    return true;
}

// A transaction begun, ended: committed when ok, else rolled back.
bool end(sqlite3 *db, bool ok) {
    if (ok && exec(db, "COMMIT"))
        return true;
    exec(db, "ROLLBACK");
    return false;
}

Step buildLocked(sqlite3 *db, const QString &id, int budgetMs) {
    if (!exec(db, "BEGIN IMMEDIATE"))
        return Step::Failed;
    State s = state(db);
    if (!s.present) {
        exec(db, "ROLLBACK");
        return Step::Failed;
    }
    bool cleared = !s.stale, ok = true;
    if (s.stale && (ok = clearSome(db, budgetMs, cleared)) && cleared) {
        ok = exec(db, "INSERT INTO journal_search(journal_search) VALUES ('delete-all')") &&
             exec(db, "INSERT INTO journal_search_long(journal_search_long) "
                      "VALUES ('delete-all')") &&
             exec(db, "UPDATE journal_search_state SET built_to = 0, stale = 0");
        s = {true, 0, false, false};
    }
    if (!cleared || s.queued)
        return end(db, ok && (!cleared || workQueue(db, id, budgetMs))) ? Step::More : Step::Failed;
    bool done = s.builtTo == Everything;
    qint64 last = s.builtTo;
    if (ok && !done) {
        ok = indexRows(db, id, s.builtTo, budgetMs, last, done);
        Statement mark(db, "UPDATE journal_search_state SET built_to = ?");
        ok = ok && mark.bind(1, done ? Everything : last).run();
    }
    if (!end(db, ok))
        return Step::Failed;
    // Indexed whole: its text is not wanted again.
    if (longEntry.db == db && (done || longEntry.key <= last))
        longEntry = {};
    return done ? Step::Done : Step::More;
}

} // namespace

Step buildSome(sqlite3 *db, int budgetMs) {
    const QString id = diaryIdentity(db);
    if (id.isEmpty())
        return Step::Failed;
    readAhead(db, id);
    const Step step = buildLocked(db, id, budgetMs);
    letGoSpent(db);
    return step;
}

QString dayCaption(const QString &dates) {
    const QDate day = QDate::fromString(dates, QStringLiteral("yyyyMMdd"));
    if (dates.size() != 8 || !day.isValid())
        return dates;
    return QStringLiteral("%1年%2月%3日")
        .arg(day.year())
        .arg(day.month(), 2, 10, QLatin1Char('0'))
        .arg(day.day(), 2, 10, QLatin1Char('0'));
}

namespace {

struct Found {
    qint64 key;
    QString dates;
};

bool newestFirst(const Found &a, const Found &b) {
    return a.dates != b.dates ? a.dates > b.dates : a.key > b.key;
}

// The newest entries the first screen's hits are looked for among, one by
// one, before the whole answer is counted: at least the first, and up to
// the most while hits come often enough to fill the screen by then.
constexpr qint64 FirstScreenReads = 4 * qint64(FirstScreen),
                 FirstScreenReadsAtMost = 20 * qint64(FirstScreen);

// In rowid order, which FTS5 keeps without a sort: the many-hits step
// finds keys among them by halving, and the candidates of rare tokens are
// met by merging.
constexpr const char *MatchingKeys =
    "SELECT rowid FROM journal_search WHERE journal_search MATCH ? ORDER BY rowid LIMIT ?";
// The same for the whole query. The pieces of long entries are asked apart.
constexpr const char *MatchingShortKeys = "SELECT rowid FROM journal_search WHERE journal_search "
                                          "MATCH ? ORDER BY rowid LIMIT ?";

// A token of the query in at most this many entries is rare: the entries
// holding every rare token are the only candidates, and reading each
// candidate's text costs less than asking the index for the whole phrase
// of common pairs around it. Counting a token stops here, so a common one
// costs no more than a rare one.
constexpr qint64 RareToken = 3000;
// Whether the entry ?1 is kept as pieces.
constexpr const char *InPieces = "EXISTS (SELECT 1 FROM journal_search_piece WHERE entry = ?1)";
// Candidates this few are read without counting the tokens left.
constexpr size_t FewCandidates = 100;
// A candidate's text longer than this is not read: the index holds it in
// pieces, which were asked for every word.
constexpr qsizetype ReadAtMost = 1 << 16;
static_assert(RareToken <= qint64(HitsSortedByDay));
// Past this many candidates, the first screen is looked for walking the
// days' index before every candidate is read or its day looked up; a step
// of the walk costs a small part of either, and it goes at most this many
// steps for each candidate.
constexpr size_t ManyCandidates = 500;
constexpr qint64 WalkForEachCandidate = 32;
// Where most of the newest entries match, the newest hits are read from the
// newest entries, at most this many for each hit wanted, while the index
// only counts them all.
constexpr qint64 ReadsForEachHit = 4;

// A snippet wants the first lines of a text, mostly: up to this many bytes
// are read first, and the rest only where the hit may lie past them.
constexpr int HeadBytes = 4096;

// The first bytes of an entry's text, or a piece of it, read without the
// rest: to hand out even one character of a text of megabytes, SQLite would
// copy it whole.
class TextHead {
public:
    explicit TextHead(sqlite3 *db) : m_db(db) {}
    ~TextHead() { sqlite3_blob_close(m_blob); }
    TextHead(const TextHead &) = delete;
    TextHead &operator=(const TextHead &) = delete;

    // At most most bytes of the text from from on, and its size; nothing
    // where it cannot be read so (no text, no row).
    std::optional<QByteArray> bytes(qint64 key, qint64 most, qint64 &size, qint64 from = 0) {
        // Kept open on one row, the handle goes on where it read last.
        if (!m_blob || (m_key != key && sqlite3_blob_reopen(m_blob, key) != SQLITE_OK)) {
            sqlite3_blob_close(m_blob);
            m_blob = nullptr;
            if (sqlite3_blob_open(m_db, "main", JournalEntry::Table, JournalEntry::TextField, key,
                                  0, &m_blob) != SQLITE_OK) {
                sqlite3_blob_close(m_blob);
                m_blob = nullptr;
                return std::nullopt;
            }
        }
        m_key = key;
        size = sqlite3_blob_bytes(m_blob);
        QByteArray data(std::clamp(size - from, qint64(0), most), Qt::Uninitialized);
        if (sqlite3_blob_read(m_blob, data.data(), int(data.size()), int(from)) != SQLITE_OK)
            return std::nullopt;
        return data;
    }
    // The same as text; whole: all of it.
    std::optional<QString> read(qint64 key, qint64 most, bool &whole) {
        qint64 size = 0;
        const std::optional<QByteArray> data = bytes(key, most, size);
        if (!data)
            return std::nullopt;
        whole = data->size() == size;
        if (whole)
            return QString::fromUtf8(*data);
        // A character cut at the end is left out, not read as a wrong one.
        QStringDecoder utf8(QStringDecoder::Utf8);
        return QString(utf8(*data));
    }

private:
    sqlite3 *m_db;
    sqlite3_blob *m_blob = nullptr;
    qint64 m_key = -1;
};

// What every way of answering shares: the journal's row identity, the
// query's words, and the caller's cancel, which SQLite is also made to ask
// while a long statement runs.
class Search {
public:
    Search(sqlite3 *db, const QString &id, const QStringList &words,
           const std::function<bool()> &cancelled)
        : m_db(db), m_id(id), m_words(words), m_folded(SearchText::foldedTerms(words)),
          m_expression(utf8(SearchText::matchExpression(words))),
          m_cancelled(cancelled ? &cancelled : nullptr), m_match(db, MatchingKeys), m_lead(db),
          m_pieceIds(db, "SELECT id, start, stop FROM journal_search_piece WHERE entry = ? "
                         "ORDER BY id"),
          m_firstPiece(db, "SELECT rowid FROM journal_search_long WHERE journal_search_long "
                           "MATCH ? AND rowid BETWEEN ? AND ?"),
          // The text of an entry kept in pieces is not read: the index was
          // asked of its pieces, and reading it would cost megabytes.
          m_head(db, utf8(QStringLiteral("SELECT CASE WHEN %5 THEN NULL ELSE substr(%1, 1, %6) "
                                         "END, %4, %5 FROM %2 WHERE %3 = ?1")
                              .arg(Text, Diary, id, Day, QLatin1String(InPieces))
                              .arg(ReadAtMost + 1))),
          // A snippet looks no further than this into a text of any length.
          m_text(db, utf8(QStringLiteral("SELECT substr(%1, 1, %4) FROM %2 WHERE %3 = ?")
                              .arg(Text, Diary, id)
                              .arg(SearchText::SnippetReach))) {
        // The pieces' index knows no places: a piece holding each token
        // of a word may hold the word. A word without tokens may be in any.
        QList<QByteArray> anyWord;
        for (const std::u32string &word : m_folded) {
            const QList<QByteArray> own = SearchText::termTokens(word);
            anyWord << '(' + own.join(" AND ") + ')';
            m_tokenless = m_tokenless || own.isEmpty();
        }
        m_anyWord = anyWord.join(" OR ");
        if (m_cancelled)
            sqlite3_progress_handler(db, 2000, &Search::interrupts, this);
    }
    ~Search() {
        if (m_cancelled)
            sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
    }
    Search(const Search &) = delete;
    Search &operator=(const Search &) = delete;

    bool stopped() const { return m_cancelled && (*m_cancelled)(); }
    bool shownFirst() const { return m_shownFirst; }
    // Without the tokenizer on this connection the index cannot be asked.
    bool indexReady() const {
        return m_match.isValid() && state(m_db).complete() && foldedAsNow(m_db);
    }
    std::vector<Found> byIndex(size_t limit, const std::function<void(const Answer &)> &firstHits,
                               Answer &answer);
    std::vector<Found> byReadingEveryEntry(Answer &answer);
    size_t list(const std::vector<Found> &found, size_t from, size_t limit, Answer &into);

private:
    std::optional<SearchText::Snippet> line(qint64 key);
    std::optional<SearchText::Snippet> deepLine(qint64 key);
    static int interrupts(void *search) { return static_cast<Search *>(search)->stopped() ? 1 : 0; }
    void showFirstScreen(const std::function<void(const Answer &)> &firstHits);
    void showFirstAmong(const std::vector<qint64> &candidates, bool exact,
                        const std::function<void(const Answer &)> &firstHits);
    void show(const std::vector<Found> &newest,
              const std::function<void(const Answer &)> &firstHits);
    bool mostEntries(size_t limit, Answer &answer, std::vector<Found> &found);
    std::vector<qint64> matchingKeys(const QByteArray &expression, qint64 most);
    std::vector<qint64> shortMatchingKeys();
    std::optional<std::vector<qint64>> fewCandidates(bool &exact);
    qint64 piecesWith(const QByteArray &token, qint64 most);
    bool holdsAll(qint64 key);
    std::vector<Found> confirmed(const std::vector<qint64> &candidates);
    std::vector<qint64> piecedHits();
    const std::vector<qint64> &pieced();
    std::vector<qint64> piecesHolding(qsizetype word, const std::vector<qint64> &skip,
                                      const std::vector<qint64> *within);
    bool holdsAny(qint64 key, const SearchText::Piece &piece);
    std::vector<qint64> entriesOf(std::vector<qint64> rows);
    std::vector<Found> sortedByDay(const std::vector<qint64> &keys);
    bool newestAmong(const std::function<bool(qint64)> &isHit, size_t wanted, qint64 budget,
                     std::vector<Found> &found);

    sqlite3 *m_db;
    QString m_id;
    QStringList m_words; // as asked
    std::vector<std::u32string> m_folded;
    QByteArray m_expression;
    // Long entries holding every word: asked for when first wanted, as the
    // newest hits of a journal without entries this long need none.
    std::optional<std::vector<qint64>> m_pieced;
    const std::function<bool()> *m_cancelled;
    Statement m_match;
    TextHead m_lead;
    QByteArray m_anyWord;
    bool m_tokenless = false; // a word the index cannot be asked for
    Statement m_pieceIds, m_firstPiece;
    Statement m_head;
    Statement m_text;
    bool m_shownFirst = false;
    bool m_indexed = false; // answered by an index ready to ask
    bool m_dense = false;   // most of the newest entries read were hits
};

// The hits with the words around each, in the order found, from found[from]
// on; returns where the next list would begin.
size_t Search::list(const std::vector<Found> &found, size_t from, size_t limit, Answer &into) {
    for (; from < found.size() && into.hits.size() < limit; ++from) {
        const Found &f = found[from];
        if (std::optional<SearchText::Snippet> shown = line(f.key))
            into.hits.push_back({f.key, f.dates, *shown});
    }
    return from;
}

// Read a little at a time: a hit is mostly among the first lines.
std::optional<SearchText::Snippet> Search::line(qint64 key) {
    bool whole = false;
    const std::optional<QString> head = m_lead.read(key, HeadBytes, whole);
    if (head && whole)
        return SearchText::snippet(*head, m_folded);
    std::optional<SearchText::Snippet> shown;
    if (head)
        shown = SearchText::headSnippet(*head, m_folded);
    if (!shown && head && m_indexed)
        shown = deepLine(key);
    m_text.reset();
    if (!shown && m_text.bind(1, key).step())
        shown = SearchText::snippet(m_text.text(0), m_folded);
    return shown;
}

// A long entry whose first hit lies past its head: the index knows which of
// its pieces may hold a word, read in order until one does, and no hit
// begins before it; the text is read and folded from the piece before, for
// the words around.
std::optional<SearchText::Snippet> Search::deepLine(qint64 key) {
    std::vector<qint64> ids;
    std::vector<SearchText::Piece> cut;
    m_pieceIds.reset();
    for (m_pieceIds.bind(1, key); m_pieceIds.step();) {
        ids.push_back(m_pieceIds.integer(0));
        cut.push_back({m_pieceIds.integer(1), m_pieceIds.integer(2)});
    }
    if (ids.empty())
        return std::nullopt;
    // The pieces that may hold a word, in the text's order; each is read
    // until one does.
    std::vector<bool> maybe(ids.size(), m_tokenless);
    m_firstPiece.reset();
    m_firstPiece.bind(1, m_anyWord).bind(2, ids.front()).bind(3, ids.back());
    while (!m_tokenless && m_firstPiece.step()) {
        const auto at = std::lower_bound(ids.begin(), ids.end(), m_firstPiece.integer(0));
        if (at != ids.end() && *at == m_firstPiece.integer(0))
            maybe[size_t(at - ids.begin())] = true;
    }
    size_t first = 0;
    while (first < ids.size() && !(maybe[first] && holdsAny(key, cut[first])) && !stopped())
        ++first;
    if (first >= ids.size() || stopped())
        return std::nullopt;
    qint64 size = 0;
    const qint64 from = first > 0 ? cut[first - 1].from : 0,
                 to = cut[first].to + SearchText::PieceOverlap;
    const std::optional<QByteArray> text = m_lead.bytes(key, to - from, size, from);
    if (!text)
        return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString part = utf8(*text);
    if (from + text->size() == size)
        return SearchText::snippet(part, m_folded);
    return SearchText::headSnippet(part, m_folded);
}

// Whether the piece of the entry's text holds any of the words.
bool Search::holdsAny(qint64 key, const SearchText::Piece &piece) {
    qint64 size = 0;
    const std::optional<QByteArray> text =
        m_lead.bytes(key, piece.to - piece.from, size, piece.from);
    if (!text)
        return false;
    for (qsizetype i = 0; i < m_words.size(); ++i)
        if (SearchText::holds(*text, m_folded[size_t(i)], m_words[i]))
            return true;
    return false;
}

// The days' own index, newest first, asking of each entry whether it is a
// hit, until enough are found or budget entries were read. False when it
// was stopped before either.
bool Search::newestAmong(const std::function<bool(qint64)> &isHit, size_t wanted, qint64 budget,
                         std::vector<Found> &found) {
    Statement days(m_db, utf8(QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY %2 DESC, %1 DESC")
                                  .arg(m_id, Day, Diary)));
    while (found.size() < wanted && budget-- > 0 && days.step())
        if (isHit(days.integer(0)))
            found.push_back({days.integer(0), days.text(1)});
    return days.done() || found.size() >= wanted;
}

// Whether an entry holds every word: its text is read, as reading every
// entry would, unless it is long, when its pieces answered already.
bool Search::holdsAll(qint64 key) {
    m_head.reset();
    if (!m_head.bind(1, key).step())
        return false;
    if (m_head.integer(2) != 0)
        return std::binary_search(pieced().begin(), pieced().end(), key);
    const QString text = m_head.text(0);
    if (text.size() <= ReadAtMost)
        return SearchText::containsAll(QStringView(text), m_folded);
    return std::binary_search(pieced().begin(), pieced().end(), key);
}

// The candidates that are hits, newest first: the day is read with the text.
std::vector<Found> Search::confirmed(const std::vector<qint64> &candidates) {
    std::vector<Found> found;
    for (auto key = candidates.begin(); key != candidates.end() && !stopped(); ++key)
        if (holdsAll(*key))
            found.push_back({*key, m_head.text(1)});
    std::sort(found.begin(), found.end(), newestFirst);
    return found;
}

// Where most entries match, counting them all takes longest: the newest few
// are read one by one and shown first.
void Search::showFirstScreen(const std::function<void(const Answer &)> &firstHits) {
    std::vector<Found> newest;
    qint64 read = 0;
    newestAmong(
        [&](qint64 key) {
            // Hits this rare would not fill the screen by the most reads.
            const auto hits = qint64(newest.size());
            if (read >= FirstScreenReads &&
                hits * FirstScreenReadsAtMost < qint64(FirstScreen) * read)
                return false;
            ++read;
            return holdsAll(key);
        },
        FirstScreen, FirstScreenReadsAtMost, newest);
    show(newest, firstHits);
    m_dense = qint64(newest.size()) * ReadsForEachHit >= read;
}

// Among many candidates, the newest are met walking the days' index long
// before every candidate is read.
void Search::showFirstAmong(const std::vector<qint64> &candidates, bool exact,
                            const std::function<void(const Answer &)> &firstHits) {
    if (candidates.size() <= ManyCandidates)
        return;
    std::vector<Found> newest;
    newestAmong(
        [&](qint64 key) {
            return std::binary_search(candidates.begin(), candidates.end(), key) &&
                   (exact || holdsAll(key));
        },
        FirstScreen, WalkForEachCandidate * qint64(candidates.size()), newest);
    show(newest, firstHits);
}

void Search::show(const std::vector<Found> &newest,
                  const std::function<void(const Answer &)> &firstHits) {
    if (newest.size() < FirstScreen || stopped())
        return;
    Answer first;
    first.indexed = true;
    first.complete = false;
    list(newest, 0, FirstScreen, first);
    m_shownFirst = true;
    firstHits(first);
}

// Most entries match: the index counts them, which costs less than handing
// each one out, and the newest are read from the newest entries. False when
// they were not met soon enough.
bool Search::mostEntries(size_t limit, Answer &answer, std::vector<Found> &found) {
    // Long entries' pieces are rows of an index of their own.
    Statement count(m_db, "SELECT count(*) FROM journal_search WHERE journal_search MATCH ?");
    if (!count.bind(1, m_expression).step())
        return false;
    answer.count = count.integer(0) + qint64(pieced().size());
    const size_t wanted = std::min(limit, size_t(answer.count));
    return newestAmong([&](qint64 key) { return holdsAll(key); }, wanted,
                       ReadsForEachHit * qint64(wanted), found) ||
           stopped();
}

std::vector<qint64> Search::matchingKeys(const QByteArray &expression, qint64 most) {
    std::vector<qint64> keys;
    m_match.reset();
    m_match.bind(1, expression).bind(2, most);
    while (m_match.step())
        keys.push_back(m_match.integer(0));
    return keys;
}

std::vector<qint64> Search::shortMatchingKeys() {
    std::vector<qint64> keys;
    Statement match(m_db, MatchingShortKeys);
    match.bind(1, m_expression).bind(2, std::numeric_limits<qint64>::max());
    while (match.step())
        keys.push_back(match.integer(0));
    return keys;
}

// The entries holding every rare token of the query, none when a token is
// in no entry; nothing when every token is common. exact: they are the
// answer itself. Where every token was counted to its end, each is rare and
// the whole query costs the index little: it is asked rather than every
// candidate read.
std::optional<std::vector<qint64>> Search::fewCandidates(bool &exact) {
    QList<QByteArray> tokens;
    bool oneTokenEach = true, everyOneCounted = true;
    for (const std::u32string &word : m_folded) {
        const QList<QByteArray> own = SearchText::termTokens(word);
        oneTokenEach = oneTokenEach && own.size() == 1 && word.size() <= 2;
        for (const QByteArray &token : own)
            if (!tokens.contains(token))
                tokens << token;
    }
    std::optional<std::vector<qint64>> found;
    for (qsizetype i = 0; i < tokens.size() && !stopped(); ++i) {
        std::vector<qint64> keys = matchingKeys(tokens[i], RareToken + 1);
        // In no entry short enough for this index: the long ones holding
        // every word are the answer.
        if (keys.empty() && m_match.done()) {
            exact = true;
            return pieced();
        }
        if (!m_match.done() ||
            qint64(keys.size()) + piecesWith(tokens[i], RareToken + 1 - qint64(keys.size())) >
                RareToken) {
            everyOneCounted = false;
            continue;
        }
        keys = entriesOf(std::move(keys));
        if (found) {
            std::vector<qint64> both;
            std::set_intersection(found->begin(), found->end(), keys.begin(), keys.end(),
                                  std::back_inserter(both));
            keys.swap(both);
        }
        found = std::move(keys);
        if (found->size() <= FewCandidates && i + 1 < tokens.size()) {
            everyOneCounted = false;
            break;
        }
    }
    exact = everyOneCounted;
    if (found && everyOneCounted && !oneTokenEach)
        found = entriesOf(shortMatchingKeys());
    return stopped() ? std::nullopt : found;
}

// How many pieces hold the token, counted to most. A token is rare or not
// counted over the pieces too, as when they were rows of the one index:
// left out, a token common in short entries and in long ones was taken for
// rare, and the many entries holding it read rather than the index asked.
qint64 Search::piecesWith(const QByteArray &token, qint64 most) {
    Statement count(m_db, "SELECT count(*) FROM (SELECT rowid FROM journal_search_long "
                          "WHERE journal_search_long MATCH ? LIMIT ?)");
    return count.bind(1, token).bind(2, most).step() ? count.integer(0) : 0;
}

// A long entry holds every word when each is in one of its pieces or
// another. Words of one or two characters, each a token, are asked of the
// pieces' index first, to narrow the entries whose pieces the longer ones
// read. An entry being indexed afresh, or not as written, is read whole.
std::vector<qint64> Search::piecedHits() {
    std::vector<qint64> hits, whole;
    for (Statement q(m_db, "SELECT entry FROM journal_search_redo UNION "
                           "SELECT entry FROM journal_search_whole ORDER BY 1");
         q.step();)
        whole.push_back(q.integer(0));
    std::vector<qsizetype> words(m_folded.size());
    std::iota(words.begin(), words.end(), 0);
    std::stable_partition(words.begin(), words.end(),
                          [&](qsizetype w) { return m_folded[size_t(w)].size() <= 2; });
    const bool pieced = Statement(m_db, "SELECT 1 FROM journal_search_piece LIMIT 1").step();
    for (size_t i = 0; pieced && i < words.size() && (i == 0 || !hits.empty()); ++i)
        hits = piecesHolding(words[i], whole, i == 0 ? nullptr : &hits);
    Statement text(m_db,
                   utf8(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(Text, Diary, m_id)));
    for (qint64 key : whole) {
        text.reset();
        if (!stopped() && text.bind(1, key).step() &&
            SearchText::containsAll(QStringView(text.text(0)), m_folded))
            hits.insert(std::lower_bound(hits.begin(), hits.end(), key), key);
    }
    return hits;
}

const std::vector<qint64> &Search::pieced() {
    if (!m_pieced)
        m_pieced = piecedHits();
    return *m_pieced;
}

// The long entries, in key order, with a piece that holds word: among
// within where given, and none of skip (both sorted). A piece holding each
// token of a word of three characters or more is read to see that it holds
// the word; one of fewer is its token.
std::vector<qint64> Search::piecesHolding(qsizetype at, const std::vector<qint64> &skip,
                                          const std::vector<qint64> *within) {
    const std::u32string &word = m_folded[size_t(at)];
    const QList<QByteArray> own = SearchText::termTokens(word);
    const bool exact = own.size() == 1 && word.size() <= 2;
    // A word with no token of its own is looked for in every piece.
    Statement pieces(m_db, own.isEmpty()
                               ? "SELECT entry, start, stop FROM journal_search_piece "
                                 "ORDER BY entry, id"
                               : "SELECT entry, start, stop FROM journal_search_piece WHERE id IN "
                                 "(SELECT rowid FROM journal_search_long WHERE "
                                 "journal_search_long MATCH ?) ORDER BY entry, id");
    if (!own.isEmpty())
        pieces.bind(1, own.join(" AND "));
    std::vector<qint64> found;
    while (pieces.step() && !stopped()) {
        const qint64 key = pieces.integer(0);
        if ((!found.empty() && found.back() == key) ||
            std::binary_search(skip.begin(), skip.end(), key) ||
            (within && !std::binary_search(within->begin(), within->end(), key)))
            continue;
        qint64 size = 0;
        const std::optional<QByteArray> piece =
            exact
                ? std::nullopt
                : m_lead.bytes(key, pieces.integer(2) - pieces.integer(1), size, pieces.integer(1));
        if (exact || (piece && SearchText::holds(*piece, word, m_words[at])))
            found.push_back(key);
    }
    return found;
}

// The entries of matching rows in key order, with the long entries holding
// every word.
std::vector<qint64> Search::entriesOf(std::vector<qint64> rows) {
    std::vector<qint64> keys;
    std::merge(rows.begin(), rows.end(), pieced().begin(), pieced().end(),
               std::back_inserter(keys));
    return keys;
}

std::vector<Found> Search::sortedByDay(const std::vector<qint64> &keys) {
    std::vector<Found> found;
    Statement day(m_db,
                  utf8(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(Day, Diary, m_id)));
    for (qint64 key : keys) {
        day.reset();
        if (day.bind(1, key).step())
            found.push_back({key, day.text(0)});
    }
    std::sort(found.begin(), found.end(), newestFirst);
    return found;
}

std::vector<Found> Search::byIndex(size_t limit,
                                   const std::function<void(const Answer &)> &firstHits,
                                   Answer &answer) {
    answer.indexed = m_indexed = true;
    if (firstHits)
        showFirstScreen(firstHits);
    bool exact = false;
    std::optional<std::vector<qint64>> few = fewCandidates(exact);
    if (few && !exact) {
        if (firstHits && !m_shownFirst)
            showFirstAmong(*few, false, firstHits);
        std::vector<Found> found = confirmed(*few);
        answer.count = qint64(found.size());
        answer.cancelled = stopped();
        return found;
    }
    std::vector<qint64> keys;
    if (std::vector<Found> found; !few && m_dense && mostEntries(limit, answer, found)) {
        answer.cancelled = stopped();
        return found;
    }
    if (few)
        keys = std::move(*few);
    else if (!stopped())
        keys = entriesOf(shortMatchingKeys());
    answer.cancelled = stopped();
    answer.count = qint64(keys.size());
    if (answer.cancelled)
        return {};
    if (firstHits && !m_shownFirst)
        showFirstAmong(keys, true, firstHits);
    if (keys.size() <= HitsSortedByDay)
        return sortedByDay(keys);
    // Many hits: the days' own index meets them soon.
    std::vector<Found> found;
    answer.cancelled =
        !newestAmong([&](qint64 key) { return std::binary_search(keys.begin(), keys.end(), key); },
                     limit, std::numeric_limits<qint64>::max(), found);
    return found;
}

// No index to ask (being built, or a store that may not be written).
std::vector<Found> Search::byReadingEveryEntry(Answer &answer) {
    std::vector<Found> found;
    Statement rows(m_db,
                   utf8(QStringLiteral("SELECT %1, %2, %3 FROM %4").arg(m_id, Day, Text, Diary)));
    while (rows.step())
        if (SearchText::containsAll(QStringView(rows.text(2)), m_folded))
            found.push_back({rows.integer(0), rows.text(1)});
    answer.cancelled = !rows.done();
    answer.count = qint64(found.size());
    std::sort(found.begin(), found.end(), newestFirst);
    return found;
}

} // namespace

namespace {

void answer(sqlite3 *db, const QString &id, const QStringList &words, int limit,
            const std::function<bool()> &cancelled, Way way,
            const std::function<void(const Answer &)> &firstHits, Answer &into) {
    Search run(db, id, words, cancelled);
    const std::vector<Found> found = way == Way::IndexWhenReady && run.indexReady()
                                         ? run.byIndex(size_t(limit), firstHits, into)
                                         : run.byReadingEveryEntry(into);
    size_t listed = 0;
    // Snippets for hundreds of hits take a while: the newest come first.
    if (firstHits && !run.shownFirst() && !into.cancelled && found.size() > FirstScreen &&
        size_t(limit) > FirstScreen) {
        Answer first;
        first.indexed = into.indexed;
        first.complete = false;
        listed = run.list(found, 0, FirstScreen, first);
        into.hits = first.hits;
        firstHits(first);
    }
    if (!into.cancelled)
        run.list(found, listed, size_t(limit), into);
    // Reading the hits' texts may have been cut short too.
    into.cancelled = into.cancelled || run.stopped();
}

} // namespace

Answer search(sqlite3 *db, const QString &query, int limit, const std::function<bool()> &cancelled,
              Way way, const std::function<void(const Answer &)> &firstHits) {
    Answer result;
    const QStringList words = SearchText::terms(query, &result.cut);
    if (words.isEmpty() || limit <= 0)
        return result;
    // Counted and listed from one moment of the store: an entry deleted
    // between the two would be counted and not listed.
    const bool snapshot = sqlite3_get_autocommit(db) != 0 && exec(db, "BEGIN");
    const QString id = diaryIdentity(db);
    if (!id.isEmpty())
        answer(db, id, words, limit, cancelled, way, firstHits, result);
    if (snapshot && !exec(db, "COMMIT"))
        exec(db, "ROLLBACK");
    return result;
}

} // namespace JournalIndex
