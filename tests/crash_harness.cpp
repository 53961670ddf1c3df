// Kills the program with SIGKILL at random moments while it saves journal
// entries, contacts and photos, and checks the store after every kill: it
// passes SQLite's integrity check, every save that had returned is there
// exactly once, and no row holds parts of another.
// Usage: crash_harness <kills>      (the child mode is internal)

#include "app/mainwindow.h"
#include "contacts/contactspanel.h"
#include "core/store.h"
#include "journal/journalpanel.h"
#include "music/backgroundmusic.h"
#include "photos/photopanel.h"
#include "silentplayer.h"
#include "widgets/interaction.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

class AlwaysOk : public Interaction {
public:
    bool confirm(QWidget *, const QString &, const QString &) override { return true; }
    QString chooseOpenFile(QWidget *, const QList<FileFilter> &) override { return picture; }
    QString picture;
};

// Saves forever, announcing each save once it has returned.
int child(const QString &dbPath, quint32 seed) {
    BackgroundMusic::setPlayerFactory([] { return std::make_unique<SilentPlayer>(); });
    AlwaysOk ok;
    Interaction::install(&ok);
    Store store;
    store.open(dbPath);
    MainWindow diary(&store);
    QRandomGenerator rng(seed);
    for (int i = 0;; ++i) {
        const QString id = QStringLiteral("%1-%2").arg(seed).arg(i);
        switch (rng.bounded(3)) {
        case 0: {
            JournalPanel *j = diary.journal;
            j->calendar->setSelectedDate(QDate(2000, 1, 1).addDays(rng.bounded(3000)));
            j->editor->setPlainText(QStringLiteral("J ") + id +
                                    QString(int(rng.bounded(2000)), QChar(0x65e5)));
            j->saveEntry();
            std::printf("J %s\n", qPrintable(id));
            break;
        }
        case 1: {
            ContactsPanel *c = diary.contacts;
            c->addContact();
            for (int f = 0; f < 10; ++f)
                c->field(f)->setText(id + QLatin1Char('|') + QString::number(f));
            c->field(0)->setText(QStringLiteral("C ") + id);
            c->saveContact();
            std::printf("C %s\n", qPrintable(id));
            break;
        }
        default: {
            PhotoPanel *p = diary.photos;
            // As a person adds one: choose the picture, describe it, add it.
            ok.picture = QStringLiteral("/pictures/") + id + QStringLiteral(".jpg");
            p->choosePicture();
            p->descriptionBox->setText(QStringLiteral("P ") + id);
            p->addPhoto();
            std::printf("P %s\n", qPrintable(id));
            break;
        }
        }
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char *argv[]) {
    if (argc == 4 && qstrcmp(argv[1], "--child") == 0) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return child(QString::fromLocal8Bit(argv[2]), quint32(atoll(argv[3])));
    }
    QCoreApplication app(argc, argv);
    // The environment may ask for a longer run (or a briefer one).
    const QByteArray brief = qgetenv("QUILLARY_KILLS");
    const int kills = std::max(1, !brief.isEmpty() ? brief.toInt() : argc > 1 ? atoi(argv[1]) : 20);
    QTemporaryDir dir;
    const QString dbPath = dir.filePath("work.db");
    QRandomGenerator rng(quint32(QCoreApplication::applicationPid()));
    qint64 checked = 0;
    int failures = 0;
    for (int k = 0; k < kills && failures == 0; ++k) {
        QProcess proc;
        proc.setProcessChannelMode(QProcess::SeparateChannels);
        proc.setStandardErrorFile(QProcess::nullDevice());
        proc.start(QCoreApplication::applicationFilePath(),
                   {"--child", dbPath, QString::number(rng.bounded(1000000) + k * 1000000)});
        proc.waitForStarted();
        QThread::msleep(150 + rng.bounded(500));
        ::kill(pid_t(proc.processId()), SIGKILL);
        proc.waitForFinished(10000);
        const QList<QByteArray> acked = proc.readAllStandardOutput().split('\n');

        Store store;
        if (store.open(dbPath) != Store::State::Open) {
            QFile f(dbPath);
            f.open(QIODevice::ReadOnly);
            const QByteArray head = f.read(100);
            std::printf("kill %d: the store no longer opens (size %lld, wal %lld, header %s)\n", k,
                        f.size(), QFileInfo(dbPath + "-wal").size(), head.toHex().constData());
            ++failures;
            break;
        }
        QSqlDatabase db = store.database();
        QSqlQuery q(db);
        if (!q.exec("PRAGMA integrity_check") || !q.next() || q.value(0).toString() != "ok") {
            std::printf("kill %d: integrity check failed\n", k);
            ++failures;
        }
        // How often each save's mark is stored, read in one pass per table.
        QHash<QString, int> stored;
        auto tally = [&](const char *sql) {
            QSqlQuery rows(db);
            rows.setForwardOnly(true);
            rows.exec(QString::fromUtf8(sql));
            while (rows.next())
                ++stored[rows.value(0).toString()];
        };
        tally("SELECT rtrim(substr(things, 1, instr(things || '日', '日') - 1)) FROM diary");
        tally("SELECT name FROM address");
        tally("SELECT introduceph FROM photo");
        for (const QByteArray &line : acked) {
            if (line.size() < 3)
                continue;
            const QString mark = QString::fromLatin1(line.left(1)) + QLatin1Char(' ') +
                                 QString::fromLatin1(line.mid(2));
            ++checked;
            if (stored.value(mark) != 1) {
                std::printf("kill %d: %s stored %d times\n", k, line.constData(),
                            stored.value(mark));
                ++failures;
            }
        }
        // No row holds parts of another: each contact's fields and each
        // photo's path belong to one save.
        q.exec("SELECT count(*) FROM address WHERE name LIKE 'C %' AND ("
               "nickname <> substr(name, 3) || '|1' OR homeaddress <> substr(name, 3) || '|8' OR "
               "code <> substr(name, 3) || '|9')");
        if (q.next() && q.value(0).toInt() != 0) {
            std::printf("kill %d: a contact mixes two saves\n", k);
            ++failures;
        }
        q.exec("SELECT count(*) FROM photo WHERE introduceph LIKE 'P %' AND "
               "photopath <> '/pictures/' || substr(introduceph, 3) || '.jpg'");
        if (q.next() && q.value(0).toInt() != 0) {
            std::printf("kill %d: a photo mixes two saves\n", k);
            ++failures;
        }
    }
    if (failures) {
        dir.setAutoRemove(false);
        std::printf("store kept at %s\n", qPrintable(dbPath));
    }
    std::printf("crash harness: %d kills, %lld returned saves checked, %d losses or faults\n",
                kills, checked, failures);
    return failures == 0 ? 0 : 1;
}
