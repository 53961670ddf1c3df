// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/daykey.h"
#include "core/pagecheck.h"
#include "core/recordset.h"
#include "core/result.h"
#include "core/settingsfile.h"
#include "core/snapshots.h"
#include "core/store.h"

#include "asuser.h"

#include "sql.h"
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <future>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray digest(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Out of write-ahead mode, once the store's own connections are gone.
void useRollbackJournal(const QString &path) {
    {
        SqlFile db(path);
        QVERIFY(db.open());
        SqlQuery q(db);
        QVERIFY(q.exec("PRAGMA journal_mode=DELETE") && q.next());
        QCOMPARE(q.value(0).toString(), QString("delete"));
    }
}

// A real database with a few journal rows, in the rollback journal mode.
QByteArray makeValidDatabase(const QString &path) {
    {
        Store store;
        store.open(path);
        SqlQuery q(store.nativeHandle());
        for (int i = 0; i < 200; ++i)
            q.exec(QStringLiteral("INSERT INTO diary VALUES ('20020101', '%1')")
                       .arg(QString(500, QChar(0x4e00 + i))));
    }
    useRollbackJournal(path);
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}
// A store whose contacts a failing disk damaged while it was in use: it
// closed with a fresh mark, so the mark matches the damaged file. The
// journal is whole.
void damageUnderAMark(const QString &path) {
    Store store;
    QCOMPARE(store.open(path), Store::State::Open);
    QObject context;
    bool checked = false;
    store.whenChecked(&context, [&](Store::Refusal) { checked = true; });
    QTRY_VERIFY(checked);
    RecordSet contacts(&store, "address"), diary(&store, "diary");
    QVERIFY(contacts.open() && diary.open());
    for (int i = 0; i < 300; ++i)
        QVERIFY(contacts.append(
            {{"name", QString("friend %1").arg(i)}, {"introduce", QString(300, QChar('r'))}}));
    QVERIFY(diary.append({{"dates", "20020101"}, {"things", "kept"}}));
    SqlQuery q(store.nativeHandle());
    QVERIFY(q.exec("PRAGMA wal_checkpoint(TRUNCATE)"));
    QVERIFY(q.exec("SELECT rootpage FROM sqlite_master WHERE name = 'address'") && q.next());
    const int root = q.value(0).toInt();
    QVERIFY(q.exec("PRAGMA page_size") && q.next());
    const int pageSize = q.value(0).toInt();
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite) && f.seek(qint64(root - 1) * pageSize));
    f.write(QByteArray(pageSize, char(0x55)));
}

// What this process has read from files so far.
qint64 bytesRead() {
    QFile io("/proc/self/io");
    if (!io.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : io.readAll().split('\n'))
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    return 0;
}

// Starts and ends the program until the check that runs now and then is
// due at the next start.
void startUntilTheCheckIsDue(const QString &path) {
    for (int start = 1; start < Store::FullCheckEveryStarts; ++start) {
        Store store;
        QCOMPARE(store.open(path), Store::State::Open);
    }
}

// Waits for the check begun at open, or the one that runs now and then.
std::optional<Store::Refusal> checked(Store &store) {
    QObject context;
    std::optional<Store::Refusal> told;
    store.whenChecked(&context, [&](Store::Refusal r) { told = r; });
    QTest::qWaitFor([&] { return told.has_value(); }, 60000);
    return told;
}

// The tables the check reads, as it reaches them on its own thread; the
// first time it reaches stopAt, reached is set.
struct TablesRead {
    std::mutex lock;
    QStringList names;
    QString stopAt;
    std::promise<void> reached;
    bool told = false;
    TablesRead() {
        PageCheck::setPacing({{}, [this](const QString &table) {
                                  const std::lock_guard<std::mutex> hold(lock);
                                  if (table == stopAt && !std::exchange(told, true))
                                      reached.set_value();
                                  names << table;
                                  return true;
                              }});
    }
    ~TablesRead() { PageCheck::setPacing({{}, {}}); }
    QStringList taken() {
        const std::lock_guard<std::mutex> hold(lock);
        return std::exchange(names, {});
    }
};
} // namespace

class TestStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { PageCheck::setPacing({{}, {}}); } // no rest before the check

    void createsSchemaWhenMissing() {
        QTemporaryDir dir;
        const QString path = dir.filePath("work.db");
        Store store;
        QCOMPARE(store.open(path), Store::State::Open);
        QVERIFY(QFile::exists(path));
        QVERIFY(!QFile::exists(path + ".new"));

        SqlQuery q(store.nativeHandle());
        for (const QString &table : Store::tables()) {
            QVERIFY(q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table)));
            QStringList names;
            while (q.next())
                names << q.value(1).toString();
            QCOMPARE(names, Store::fields(table));
        }
        QCOMPARE(Store::fields("address").size(), 12);
        QVERIFY(q.exec("PRAGMA journal_mode") && q.next());
        QCOMPARE(q.value(0).toString(), QString("wal"));
        QVERIFY(q.exec("PRAGMA synchronous") && q.next());
        QCOMPARE(q.value(0).toInt(), 2); // FULL
        QVERIFY(q.exec("PRAGMA user_version") && q.next());
        QCOMPARE(q.value(0).toInt(), Store::SchemaVersion);
    }

    // A notebook from before stores were marked is taken over and brought up
    // to date; any other database is shown read-only and never changed.
    void adoptsOnlyNotebooksOfOurs_data() {
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<bool>("ours");
        const QString ownRows = "INSERT INTO photo VALUES ('/tmp/a.jpg')";
        QTest::newRow("ours, lacking pieces")
            << QStringList{"CREATE TABLE photo (photopath TEXT)", ownRows} << true;
        QTest::newRow("empty") << QStringList{"CREATE TABLE t (a)", "DROP TABLE t"} << true;
        QTest::newRow("a column of its own")
            << QStringList{"CREATE TABLE photo (photopath TEXT, extra INTEGER)",
                           "INSERT INTO photo VALUES ('/tmp/a.jpg', 5)"}
            << false;
        QTest::newRow("a table of its own") << QStringList{"CREATE TABLE photo (photopath TEXT)",
                                                           ownRows, "CREATE TABLE songs (title)"}
                                            << false;
        QTest::newRow("another program's mark")
            << QStringList{"CREATE TABLE photo (photopath TEXT)", ownRows,
                           "PRAGMA application_id=1296318020"}
            << false;
    }
    void adoptsOnlyNotebooksOfOurs() {
        QFETCH(QStringList, statements);
        QFETCH(bool, ours);
        QTemporaryDir dir;
        const QString path = dir.filePath("work.db");
        {
            SqlFile db(path);
            QVERIFY(db.open());
            SqlQuery q(db);
            for (const QString &sql : statements)
                QVERIFY2(q.exec(sql), qPrintable(sql));
            db.close();
        }
        const QByteArray before = digest(path);
        {
            Store store;
            QCOMPARE(store.open(path), Store::State::Open);
            QCOMPARE(store.isReadOnly(), !ours);
            QCOMPARE(store.refusal(), ours ? Store::Refusal::None : Store::Refusal::Foreign);
            RecordSet photos(&store, "photo");
            QCOMPARE(photos.open().isOk(),
                     ours || statements.first().startsWith("CREATE TABLE photo"));
            if (statements.join(';').contains("INSERT")) {
                QCOMPARE(photos.recordCount(), 1);
                QCOMPARE(photos.text("photopath"), QString("/tmp/a.jpg"));
            }
            RecordSet diary(&store, "diary");
            QCOMPARE(diary.open().isOk(), ours);
            const Result saved = photos.append({{"photopath", "/tmp/b.jpg"}});
            QCOMPARE(saved.isOk(), ours);
            if (!ours)
                QCOMPARE(saved.code(), Result::Code::ReadOnly);
            SqlQuery q(store.nativeHandle());
            QVERIFY(q.exec("PRAGMA application_id") && q.next());
            QCOMPARE(q.value(0).toInt() == 0x5175696c, ours);
        }
        if (!ours) {
            QCOMPARE(digest(path), before);
            QVERIFY(!QFile::exists(path + "-wal"));
        }
    }

    // Damage anywhere in the file keeps every table from being written, and
    // the file from being touched: found at once when the store would be
    // brought up to date, or by the check that runs beside the window.
    void damagedStoresAreKeptAsTheyAre_data() {
        QTest::addColumn<bool>("upToDate");
        QTest::newRow("checked while in use") << true;
        QTest::newRow("checked before bringing up to date") << false;
    }
    void damagedStoresAreKeptAsTheyAre() {
        QFETCH(bool, upToDate);
        QTemporaryDir dir;
        const QString path = dir.filePath("work.db");
        int addressRoot = 0, pageSize = 0;
        {
            Store store;
            QCOMPARE(store.open(path), Store::State::Open);
            RecordSet contacts(&store, "address"), diary(&store, "diary");
            QVERIFY(contacts.open() && diary.open());
            for (int i = 0; i < 300; ++i)
                QVERIFY(contacts.append({{"name", QString("friend %1").arg(i)},
                                         {"introduce", QString(300, QChar('r'))}}));
            QVERIFY(diary.append({{"dates", "20020101"}, {"things", "kept"}}));
            SqlQuery q(store.nativeHandle());
            QVERIFY(q.exec("SELECT rootpage FROM sqlite_master WHERE name = 'address'") &&
                    q.next());
            addressRoot = q.value(0).toInt();
            QVERIFY(q.exec("PRAGMA page_size") && q.next());
            pageSize = q.value(0).toInt();
        }
        if (!upToDate)
            useRollbackJournal(path);
        // Damage comes from elsewhere some time after the store was closed
        // (the file's change time then differs from the one it closed with).
        QThread::msleep(30);
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(qint64(addressRoot - 1) * pageSize));
            f.write(QByteArray(pageSize, char(0x55)));
        }
        QVERIFY(!QFile::exists(path + "-wal"));
        const QByteArray before = digest(path);
        {
            Store store;
            QCOMPARE(store.open(path), Store::State::Open);
            RecordSet diary(&store, "diary");
            QVERIFY(diary.open());
            QCOMPARE(diary.text("things"), QString("kept"));
            QObject context;
            std::optional<Store::Refusal> told;
            store.whenChecked(&context, [&](Store::Refusal r) { told = r; });
            const Result saved = diary.append({{"dates", "20020102"}, {"things", "lost?"}});
            QCOMPARE(saved.code(), Result::Code::ReadOnly);
            QVERIFY(diary.moveFirst());
            QCOMPARE(diary.deleteCurrent().code(), Result::Code::ReadOnly);
            QCOMPARE(store.refusal(), Store::Refusal::Damaged);
            QVERIFY(store.isReadOnly());
            QTRY_VERIFY(told.has_value());
            QCOMPARE(*told, Store::Refusal::Damaged);
        }
        QCOMPARE(digest(path), before);
        // Nor anything left beside it that was not there.
        QVERIFY(!QFile::exists(path + "-wal") && !QFile::exists(path + "-shm"));
    }

    // A sound store says so through the same path, and takes saves.
    void aSoundStoreChecksOut() {
        QTemporaryDir dir;
        const QString path = dir.filePath("work.db");
        makeValidDatabase(path); // left in the old journal mode
        for (int round = 0; round < 2; ++round) {
            Store store;
            QCOMPARE(store.open(path), Store::State::Open);
            QObject context;
            std::optional<Store::Refusal> told;
            store.whenChecked(&context, [&](Store::Refusal r) { told = r; });
            QVERIFY(!told); // never from inside the call
            QTRY_VERIFY(told.has_value());
            QCOMPARE(*told, Store::Refusal::None);
            RecordSet diary(&store, "diary");
            QVERIFY(diary.open());
            QVERIFY(diary.append({{"dates", "20020102"}, {"things", "new"}}));
            store.close();
            // What checked out and was closed cleanly is not read whole again.
            QVERIFY(QFile::exists(path + "-checked"));
        }
    }

    // A backup of the closed store reads it without writing and leaves an
    // empty log beside it: the next start still trusts the mark.
    void aBackupKeepsTheMark() {
        QTemporaryDir dir;
        const QString path = dir.filePath("work.db");
        damageUnderAMark(path);
        skipFailure(Snapshots::take(path, Snapshots::folderFor(path)).result, "a backup");
        QVERIFY(QFileInfo::exists(path + "-wal"));
        QCOMPARE(QFileInfo(path + "-wal").size(), 0);
        Store store;
        QCOMPARE(store.open(path), Store::State::Open);
        QObject context;
        std::optional<Store::Refusal> told;
        store.whenChecked(&context, [&](Store::Refusal r) { told = r; });
        QTRY_VERIFY(told.has_value());
        QCOMPARE(*told, Store::Refusal::None); // not read whole, so not found
    }

    // The first statement that meets damage the mark could not see makes
    // the store read-only at once, drops the mark and says so.
    void damageIsFoundByAnyStatement() {
        QTemporaryDir dir;
        const QString path = dir.filePath("work.db");
        damageUnderAMark(path);
        QVERIFY(QFile::exists(path + "-checked"));
        Store store;
        QCOMPARE(store.open(path), Store::State::Open);
        QVERIFY(!store.isReadOnly());
        QObject context;
        bool told = false;
        store.whenFoundDamaged(&context, [&] { told = true; });
        RecordSet contacts(&store, "address"), diary(&store, "diary");
        QVERIFY(diary.open());
        if (contacts.open())
            contacts.text("name");
        QVERIFY(store.isReadOnly());
        QCOMPARE(store.refusal(), Store::Refusal::Damaged);
        QVERIFY(!QFile::exists(path + "-checked"));
        QCOMPARE(diary.append({{"dates", "20020102"}, {"things", "into damage?"}}).code(),
                 Result::Code::ReadOnly);
        QTRY_VERIFY(told);
        store.close();
        QVERIFY(!QFile::exists(path + "-checked"));
    }

    // Whatever the mark says, every page is read again now and then, behind
    // the window.
    void theCheckRunsNowAndThen() {
        QTemporaryDir dir;
        const QString path = dir.filePath("work.db");
        damageUnderAMark(path);
        int starts = 0;
        for (; starts <= Store::FullCheckEveryStarts; ++starts) {
            Store store;
            QCOMPARE(store.open(path), Store::State::Open);
            QObject context;
            std::optional<Store::Refusal> told;
            store.whenChecked(&context, [&](Store::Refusal r) { told = r; });
            QTRY_VERIFY(told.has_value());
            if (*told == Store::Refusal::Damaged) {
                QVERIFY(store.isReadOnly());
                break;
            }
        }
        QVERIFY(starts <= Store::FullCheckEveryStarts);
        QVERIFY(!QFile::exists(path + "-checked"));
    }

    // A close stops the check that runs now and then in the middle of a
    // table, and the next start goes on from there to the end.
    void theCheckStopsAtCloseAndGoesOnNextTime() {
        QTemporaryDir dir;
        const QString path = dir.filePath("work.db");
        {
            Store store;
            QCOMPARE(store.open(path), Store::State::Open);
            // Pages enough that SQLite's walk over them is under way at the close.
            SqlQuery q(store.nativeHandle());
            QVERIFY(q.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                           "WHERE i < 100000) INSERT INTO photo SELECT i, hex(randomblob(300)) "
                           "FROM n"));
        }
        startUntilTheCheckIsDue(path);
        TablesRead read;
        read.stopAt = "photo";
        {
            Store store;
            QCOMPARE(store.open(path), Store::State::Open);
            QVERIFY(read.reached.get_future().wait_for(std::chrono::minutes(1)) ==
                    std::future_status::ready);
            // SQLite's walk ends where it is, rather than read the rest.
            const qint64 before = bytesRead();
            store.close();
            QVERIFY(bytesRead() - before < QFileInfo(path).size() / 4);
        }
        const QStringList first = read.taken();
        QCOMPARE(first.last(), QString("photo"));
        QVERIFY(first.contains("diary"));
        {
            Store store;
            QCOMPARE(store.open(path), Store::State::Open);
            QVERIFY(checked(store) == Store::Refusal::None);
        }
        const QStringList second = read.taken();
        QCOMPARE(second.first(), QString("photo"));
        for (const QString &table : second)
            QVERIFY2(!first.mid(0, first.size() - 1).contains(table), qPrintable(table));
        // Done: the next start does not read the pages again.
        {
            Store store;
            QCOMPARE(store.open(path), Store::State::Open);
            QVERIFY(checked(store) == Store::Refusal::None);
        }
        QCOMPARE(read.taken(), QStringList());
    }

    // Damage that a check stopped short of is found where it goes on.
    void aCheckThatGoesOnFindsDamage() {
        QTemporaryDir dir;
        const QString path = dir.filePath("work.db");
        damageUnderAMark(path);
        startUntilTheCheckIsDue(path);
        PageCheck::setPacing({{}, [](const QString &table) { return table != "address"; }});
        {
            Store store;
            QCOMPARE(store.open(path), Store::State::Open);
            QVERIFY(checked(store) == Store::Refusal::None);
        }
        TablesRead read;
        {
            Store store;
            QCOMPARE(store.open(path), Store::State::Open);
            QVERIFY(checked(store) == Store::Refusal::Damaged);
            QVERIFY(store.isReadOnly());
        }
        QCOMPARE(read.taken().value(0), QString("address"));
        QVERIFY(!QFile::exists(path + "-checked"));
    }

    // A store from before is brought up to date once its pages checked out,
    // and meanwhile shows what it holds: its pages are not read where it
    // is opened.
    void anOldStoreIsBroughtUpToDateOnceChecked() {
        QTemporaryDir dir;
        const QString path = dir.filePath("work.db");
        makeValidDatabase(path);
        {
            SqlFile db(path);
            QVERIFY(db.open());
            SqlQuery q(db);
            QVERIFY(q.exec("PRAGMA user_version=1"));
        }
        std::promise<void> reached, released;
        const std::shared_future<void> go = released.get_future().share();
        PageCheck::setPacing({{}, [&reached, go](const QString &) {
                                  reached.set_value();
                                  return go.wait_for(std::chrono::minutes(1)) ==
                                         std::future_status::ready;
                              }});
        const auto unpaced = qScopeGuard([] { PageCheck::setPacing({{}, {}}); });
        Store store;
        QCOMPARE(store.open(path), Store::State::Open);
        QVERIFY(reached.get_future().wait_for(std::chrono::minutes(1)) ==
                std::future_status::ready);
        RecordSet diary(&store, "diary");
        QVERIFY(diary.open());
        QCOMPARE(diary.recordCount(), 200);
        const auto version = [&store] {
            SqlQuery q(store.nativeHandle());
            return q.exec("PRAGMA user_version") && q.next() ? q.value(0).toInt() : -1;
        };
        QCOMPARE(version(), 1);
        released.set_value();
        QVERIFY(checked(store) == Store::Refusal::None);
        QCOMPARE(version(), Store::SchemaVersion);
        QVERIFY(diary.append({{"dates", "20020102"}, {"things", "new"}}));
    }

    // Anything that is not a sound database is left byte for byte as it was,
    // and the program gets empty record sets instead of a new store.
    void leavesDamagedFilesAlone_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("garbage") << "garbage";
        QTest::newRow("empty file") << "empty";
        QTest::newRow("header only") << "header";
        QTest::newRow("truncated mid-page") << "truncated-odd";
        QTest::newRow("truncated to half") << "truncated-half";
        QTest::newRow("a folder") << "folder";
    }
    void leavesDamagedFilesAlone() {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath("work.db");
        if (kind == "garbage") {
            QByteArray junk;
            for (int i = 0; i < 8192; ++i)
                junk.append(char((i * 7919) % 251));
            writeFile(path, junk);
        } else if (kind == "empty") {
            writeFile(path, {});
        } else if (kind == "header") {
            writeFile(path, QByteArray("SQLite format 3\0", 16));
        } else if (kind.startsWith("truncated")) {
            const QByteArray full = makeValidDatabase(dir.filePath("full.db"));
            QVERIFY(full.size() > 16384);
            writeFile(path, kind == "truncated-odd" ? full.left(full.size() - 1000)
                                                    : full.left(full.size() / 2 / 4096 * 4096));
        } else {
            QVERIFY(QDir(dir.path()).mkdir("work.db"));
        }
        const QByteArray before = digest(path);

        Store store;
        QCOMPARE(store.open(path), Store::State::Unusable);
        QCOMPARE(store.refusal(), Store::Refusal::Unreadable); // so the user is told
        RecordSet diary(&store, "diary");
        QVERIFY(!diary.open());
        QVERIFY(diary.bof() && diary.eof());
        QVERIFY(!diary.moveFirst());
        QVERIFY(!diary.addNew());
        store.close();

        QCOMPARE(digest(path), before);
        QVERIFY(!QFile::exists(path + "-wal"));
        QVERIFY(!QFile::exists(path + ".new"));
    }

    void leavesLockedDatabaseAlone() {
        QTemporaryDir dir;
        const QString path = dir.filePath("work.db");
        makeValidDatabase(path);
        const QByteArray before = digest(path);
        {
            SqlFile other(path);
            QVERIFY(other.open());
            SqlQuery q(other);
            QVERIFY(q.exec("PRAGMA locking_mode=EXCLUSIVE"));
            QVERIFY(q.exec("BEGIN EXCLUSIVE"));
            QVERIFY(q.exec("SELECT count(*) FROM diary"));

            Store store;
            QCOMPARE(store.open(path), Store::State::Unusable);
            RecordSet diary(&store, "diary");
            QVERIFY(!diary.open());
            q.exec("ROLLBACK");
            other.close();
        }
        QCOMPARE(digest(path), before);
    }

    // Write-protected stores show what they hold and refuse every save: a file
    // marked read-only, a read-only folder (as on read-only media), and one
    // whose newest rows are still in the write-ahead log.
    void readOnlyStoresShowAndRefuse() {
        RUN_AS_ORDINARY_USER();
        QTemporaryDir dir;
        const QString fileRo = dir.filePath("a/work.db"), dirRo = dir.filePath("b/work.db"),
                      logRo = dir.filePath("c/work.db");
        for (const char *sub : {"a", "b", "c"})
            QVERIFY(QDir(dir.path()).mkdir(sub));
        const auto fill = [](const QString &path, int rows) {
            Store store;
            QCOMPARE(store.open(path), Store::State::Open);
            RecordSet diary(&store, "diary");
            QVERIFY(diary.open());
            for (int i = 0; i < rows; ++i) {
                QVERIFY(diary.addNew());
                diary.setField("dates", QStringLiteral("2002010%1").arg(i + 1));
                QVERIFY(diary.update());
            }
        };
        fill(fileRo, 3);
        fill(dirRo, 3);
        {
            // Copied while open: the last rows live only in the log.
            Store live;
            live.open(dir.filePath("live.db"));
            SqlQuery q(live.nativeHandle());
            QVERIFY(q.exec("PRAGMA wal_autocheckpoint=0"));
            RecordSet diary(&live, "diary");
            diary.open();
            for (int i = 0; i < 3; ++i) {
                diary.addNew();
                diary.setField("dates", "20020101");
                QVERIFY(diary.update());
            }
            for (const char *suffix : {"", "-wal", "-shm"})
                QVERIFY(QFile::copy(dir.filePath("live.db") + suffix, logRo + suffix));
        }
        const QFileDevice::Permissions readable =
            QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
        QVERIFY(QFile::setPermissions(fileRo, readable));
        for (const QString &path : {dirRo, logRo}) {
            for (const char *suffix : {"", "-wal", "-shm"})
                QFile::setPermissions(path + suffix, readable);
            QVERIFY(QFile::setPermissions(QFileInfo(path).absolutePath(),
                                          readable | QFileDevice::ExeOwner));
        }
        for (const QString &path : {fileRo, dirRo, logRo}) {
            const QByteArray before = digest(path);
            {
                Store store;
                QCOMPARE(store.open(path), Store::State::Open);
                QVERIFY(store.isReadOnly());
                RecordSet diary(&store, "diary");
                QVERIFY(diary.open());
                QCOMPARE(diary.recordCount(), 3);
                QCOMPARE(diary.text("dates").left(6), QString("200201"));
                QVERIFY(diary.addNew());
                diary.setField("dates", "20990101");
                QVERIFY(!diary.update());
                diary.cancelUpdate();
                QVERIFY(diary.moveFirst());
                diary.setField("things", "x");
                QVERIFY(!diary.update());
                QVERIFY(!diary.deleteCurrent() || !diary.moveNext());
            }
            QCOMPARE(digest(path), before);
        }
        for (const char *sub : {"b", "c"})
            QFile::setPermissions(dir.filePath(sub), QFileDevice::ReadOwner |
                                                         QFileDevice::WriteOwner |
                                                         QFileDevice::ExeOwner);
    }

    // A full disk at start shows everything the store holds, read-only; a
    // save then fails and says so.
    void aFullDiskAtStartShowsTheStore() {
        if (geteuid() != 0)
            QSKIP("needs to mount a small file system");
        QTemporaryDir mountPoint;
        if (QProcess::execute("mount",
                              {"-t", "tmpfs", "-o", "size=640k", "tmpfs", mountPoint.path()}) != 0)
            QSKIP("cannot mount a small file system here");
        const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {mountPoint.path()}); });
        const QString path = mountPoint.filePath("work.db");
        {
            Store store;
            QCOMPARE(store.open(path), Store::State::Open);
            RecordSet diary(&store, "diary");
            QVERIFY(diary.open());
            for (int i = 0; i < 20; ++i)
                QVERIFY(
                    diary.append({{"dates", "20020101"}, {"things", QString("entry %1").arg(i)}}));
        }
        { // every free block taken
            QFile filler(mountPoint.filePath("filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly));
            const QByteArray block(4096, 'x');
            while (filler.write(block) == block.size() && filler.flush()) {
            }
        }
        {
            Store store;
            QCOMPARE(store.open(path), Store::State::Open);
            QVERIFY(store.isReadOnly());
            RecordSet diary(&store, "diary");
            QVERIFY(diary.open());
            QCOMPARE(diary.recordCount(), 20);
            QVERIFY(diary.moveLast());
            QCOMPARE(diary.text("things"), QString("entry 19"));
            QVERIFY(!diary.append({{"dates", "20020102"}, {"things", "more"}}));
        }
    }

    // A long save fills the log; once the log starts over, it is cut back
    // rather than kept that long on the disk till the program ends.
    void theLogIsCutBackAfterALongSave() {
        QTemporaryDir dir;
        const QString path = dir.filePath("work.db");
        Store store;
        QCOMPARE(store.open(path), Store::State::Open);
        RecordSet diary(&store, "diary");
        QVERIFY(diary.open() && diary.addNew());
        diary.setField("dates", "20020101");
        diary.setField("things", QString(int(Store::LogKeptBytes) + (8 << 20), QLatin1Char('a')));
        QVERIFY(diary.update());
        const QFileInfo log(path + "-wal");
        QVERIFY(log.size() > Store::LogKeptBytes);
        // Each save a little later, as the log's next start needs no reader left.
        int saves = 0;
        const auto cutBack = [&] {
            if (QFileInfo(log.filePath()).size() <= Store::LogKeptBytes)
                return true;
            if (diary.addNew()) {
                diary.setField("dates", QStringLiteral("2003%1").arg(++saves, 4, 10, QChar('0')));
                diary.update();
            }
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(cutBack(), 20000);
    }

    void noPathMeansNoStore() {
        Store store;
        QCOMPARE(store.open(QString()), Store::State::Closed);
        RecordSet diary(&store, "diary");
        QVERIFY(!diary.open());
    }

    // start.ini is read only as a regular file and written only as one: a
    // FIFO does not hang the start, a link is replaced, never written through.
    void settingsFileIsOnlyEverAPlainFile() {
        QTemporaryDir dir;
        const QString fifo = dir.filePath("fifo.ini");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QCOMPARE(SettingsFile::readFlag(fifo), 0);
        QVERIFY(!SettingsFile::writeFlag(fifo, false));
        QVERIFY(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());

        const QString target = dir.filePath("elsewhere");
        QFile other(target);
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("1 someone else's file");
        other.close();
        const QString link = dir.filePath("start.ini");
        QVERIFY(QFile::link(target, link));
        QCOMPARE(SettingsFile::readFlag(link), 1);
        QVERIFY(SettingsFile::writeFlag(link, true));
        QVERIFY(!QFileInfo(link).isSymLink());
        QCOMPARE(SettingsFile::readFlag(link), 0);
        QFile check(target);
        QVERIFY(check.open(QIODevice::ReadOnly));
        QCOMPARE(check.readAll(), QByteArray("1 someone else's file"));

        const QString device = dir.filePath("device.ini");
        QVERIFY(QFile::link("/dev/null", device));
        QVERIFY(SettingsFile::writeFlag(device, false));
        QVERIFY(QFileInfo("/dev/null").exists() && !QFileInfo("/dev/null").isFile());
        QCOMPARE(SettingsFile::readFlag(device), 1);
    }

    void dayKeys() {
        QCOMPARE(dayKey(2002, 12, 7), QString("20021207"));
        QCOMPARE(dayKey(1999, 1, 31), QString("19990131"));
        QCOMPARE(dayKey(800, 10, 1), QString("08001001"));
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "test_store.moc"
