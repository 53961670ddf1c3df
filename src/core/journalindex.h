// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/searchtext.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

struct sqlite3;

// The journal's full-text index: an FTS5 table over the text of every entry,
// kept in the same transaction as each journal write. Writes made by other
// programs mark it stale (plain triggers, which any SQLite can run), and it
// is then built again in the background, as it is for a store made before it.
namespace JournalIndex {

// Every row up to this key is indexed.
constexpr qint64 Everything = std::numeric_limits<qint64>::max();

// The store version (user_version) from which the index holds texts folded
// as they are now, and long texts in pieces of their own index; an older
// index is built again, and not asked till then.
constexpr int FoldedWholeSince = 5;

// Creates what is missing; the tokenizer must be registered on db. An index
// made with an older folding is marked stale, to be built again.
bool create(sqlite3 *db, bool olderFolding = false);
// The triggers create() makes, which mark the index stale.
const QStringList &triggers();

struct State {
    bool present = false;
    qint64 builtTo = 0;
    bool stale = false;
    // Pieces of changed texts to take out, or long entries to index apart:
    // the builder's work, which searches meanwhile see past.
    bool queued = false;
    bool complete() const { return present && builtTo == Everything && !stale; }
};
State state(sqlite3 *db);

// Inside a write transaction: follows one journal row from its text before
// the write to its text after it (nullopt: no row; either only read where
// the row was indexed, key <= builtTo). False: the index is to be built
// again (the stale mark the write set stays).
bool follow(sqlite3 *db, qint64 key, const std::optional<QString> &before,
            const std::optional<QString> &after);

// A text longer than this (in bytes, as stored) would hold the store as long
// as it takes to index, or to take out of the index: a write neither reads
// nor follows it, and leaves it to the background build, which indexes it
// in pieces. A shorter one is one row of the index, which knows where each
// token stands: its phrases are answered without reading it.
constexpr qint64 FollowedBytes = 8 * SearchText::PieceBytes;
// The length in bytes of a journal row's text, read without the text.
qint64 textBytes(sqlite3 *db, qint64 key);
// As follow, for a row written with a text longer than FollowedBytes: takes
// its text before out of the index and hands the row to the background
// build, which goes back to it where it is the last row (an entry just
// added), and indexes it apart where rows after it are indexed.
bool handOver(sqlite3 *db, qint64 key, const std::optional<QString> &before);

struct Pin;
// Inside a write transaction, before it changes or deletes the row key,
// whose text it may not read (see FollowedBytes): the row's pieces leave
// it, for the builder to take out of the index a few at a time, with the
// text as a read transaction begun here holds it. Nothing of the text is
// read or copied inside the write. keep() once the write committed.
class Aside {
public:
    Aside(sqlite3 *db, qint64 key, const State &index);
    ~Aside();
    Aside(const Aside &) = delete;
    Aside &operator=(const Aside &) = delete;
    // The text before is not to be read, nor followed out of the index.
    bool taken() const { return m_taken; }
    // False: SQLite refused, and the index is to be built again.
    bool ok() const { return m_ok; }
    void keep();

private:
    sqlite3 *m_db;
    std::shared_ptr<Pin> m_pin;
    bool m_taken = false, m_ok = true;
};
// Lets go of what the texts set aside in db's file are held by; their
// pieces left in the index stay there, where nothing reaches them.
void letGoPins(sqlite3 *db);

// Inside a write transaction, after the rows first..last were appended to
// the journal without being followed (an import): hands them to the
// background build, which indexes every row past built_to, and takes back
// the stale mark their triggers set, so the rows already indexed stay so.
// Indexing them as they come in would cost ten times their writing. before
// is the state as the transaction began.
bool leaveToBuild(sqlite3 *db, const State &before, qint64 first, qint64 last);

// One batch of the background build, a transaction of about budgetMs.
enum class Step { More, Done, Failed };
// What the program's builder gives a batch: indexing takes half of it, and
// writing out and merging what was indexed, at the commit, up to twice as
// long again; a save waits no longer than a batch.
constexpr int BatchMs = 24;
Step buildSome(sqlite3 *db, int budgetMs);

struct Hit {
    qint64 key = -1;
    QString dates; // as stored
    SearchText::Snippet snippet;
};
struct Answer {
    qint64 count = 0;
    std::vector<Hit> hits; // newest day first, at most the limit asked for
    bool indexed = false;  // answered by the index, not by reading every entry
    bool cancelled = false;
    bool complete = true; // false: the newest hits only, before the count
    bool cut = false;     // the query was longer than is searched for, and was cut
};
// Every entry holding all the query's words. cancelled is asked now and
// then; when it says yes the answer is incomplete and says so.
// Reading every entry is what the index stands in for, and what answers
// while it is not ready or where the tokenizer is not registered.
enum class Way { IndexWhenReady, ReadEveryEntry };
// How many of the newest hits firstHits is given, when most entries match
// and the whole answer would keep them waiting.
constexpr size_t FirstScreen = 30;
// Up to this many hits, each one's day is looked up and the hits sorted;
// past it, walking the journal newest first through its days' index meets
// the newest hits sooner.
constexpr size_t HitsSortedByDay = 4000;
Answer search(sqlite3 *db, const QString &query, int limit,
              const std::function<bool()> &cancelled = {}, Way way = Way::IndexWhenReady,
              const std::function<void(const Answer &)> &firstHits = {});

// "2026年12月08日" for the day key 20261208; other keys as they are.
QString dayCaption(const QString &dates);

} // namespace JournalIndex
