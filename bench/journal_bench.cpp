// Times the journal's operations on a generated journal of realistic size.
// Usage: journal_bench [entries] [runs]     (defaults 100000 and 25)

#include "journal/entrylistmodel.h"
#include "journal/journalpanel.h"
#include "shell/diary.h"
#include "shell/interaction.h"
#include "store/recordset.h"
#include "store/store.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QElapsedTimer>
#include <QListView>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextEdit>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

class AlwaysOk : public Interaction {
public:
    bool confirm(QWidget *, const QString &, const QString &) override { return true; }
};

// About 600 characters of mixed Chinese and ASCII with a few line breaks.
QString entryText(QRandomGenerator &rng) {
    static const QString han = QStringLiteral(
        "今天天气很好我们去公园散步看见许多人在湖边钓鱼孩子们放风筝老人下棋晚上回家写日记");
    static const char *words[] = {"meeting", "coffee", "train", "Qt", "notes", "2024", "ok"};
    QString s;
    while (s.size() < 600) {
        const int pick = int(rng.bounded(10));
        if (pick < 6)
            s += han.mid(int(rng.bounded(han.size() - 8)), 8);
        else if (pick < 9)
            s += QLatin1Char(' ') + QLatin1String(words[rng.bounded(7)]) + QLatin1Char(' ');
        else
            s += QLatin1Char('\n');
    }
    return s;
}

void generate(Store &store, int entries) {
    QRandomGenerator rng(42);
    QSqlDatabase db = store.database();
    db.transaction();
    QSqlQuery q(db);
    q.prepare("INSERT INTO diary (dates, things) VALUES (?, ?)");
    QDate day(1990, 1, 1);
    for (int i = 0; i < entries;) {
        const int today = 1 + int(rng.bounded(2));
        for (int k = 0; k < today && i < entries; ++k, ++i) {
            q.addBindValue(day.toString("yyyyMMdd"));
            q.addBindValue(entryText(rng));
            q.exec();
        }
        day = day.addDays(1);
    }
    db.commit();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void report(const char *what, const std::vector<double> &ms) {
    std::printf("%-34s median %8.2f ms   max %8.2f ms   (%zu runs)\n", what, median(ms),
                *std::max_element(ms.begin(), ms.end()), ms.size());
}

std::vector<double> timeRuns(int runs, const std::function<void(int)> &op) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        op(i);
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    return ms;
}

} // namespace

int main(int argc, char *argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int entries = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 25;

    QTemporaryDir dir;
    {
        Store store;
        store.open(dir.filePath("work.db"));
        QElapsedTimer t;
        t.start();
        generate(store, entries);
        std::printf("generated %d entries in %.1f s\n", entries, t.elapsed() / 1000.0);
    }
    AlwaysOk ok;
    Interaction::install(&ok);
    QRandomGenerator rng(1);

    std::vector<double> startup = timeRuns(std::max(3, runs / 5), [&](int) {
        Store store;
        store.open(dir.filePath("work.db"));
        Diary diary(&store);
    });
    report("start-up (store, window, list)", startup);

    Store store;
    store.open(dir.filePath("work.db"));
    Diary diary(&store);
    diary.show();
    JournalPanel *j = diary.journal;
    const QDate first(1990, 1, 1);
    const int days = int(entries / 1.5);
    auto randomDay = [&] { return first.addDays(rng.bounded(days)); };

    report("list fill (loaddata)", timeRuns(runs, [&](int) {
               j->loaddata();
               j->List1->model()->index(0, 0).data(); // the first screenful is read
           }));
    report("date click", timeRuns(runs, [&](int) {
               j->MonthView1->setSelectedDate(randomDay());
               j->MonthView1_DateClick();
           }));
    report("list click", timeRuns(runs, [&](int) {
               j->List1_Click(j->entries->index(int(rng.bounded(j->entries->rowCount()))));
           }));
    report("save with list refill", timeRuns(runs, [&](int) {
               j->MonthView1->setSelectedDate(randomDay());
               j->RTBox->setPlainText(entryText(rng));
               j->save_Click();
               QCoreApplication::processEvents();
           }));
    report("delete with list refill", timeRuns(runs, [&](int) {
               j->MonthView1->setSelectedDate(randomDay());
               j->deldata_Click();
               QCoreApplication::processEvents();
           }));
    Interaction::install(nullptr);
    return 0;
}
