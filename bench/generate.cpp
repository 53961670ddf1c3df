// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate.h"

#include "core/journalindex.h"
#include "core/store.h"

#include "sql.h"
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>

namespace Generate {

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

void journal(Store &store, int entries) {
    QRandomGenerator rng(42);
    sqlite3 *db = store.nativeHandle();
    execute(db, "BEGIN");
    SqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO diary (dates, things) VALUES (?, ?)"));
    QDate day(1990, 1, 1);
    for (int i = 0; i < entries;) {
        const int today = 1 + int(rng.bounded(2));
        for (int k = 0; k < today && i < entries; ++k, ++i) {
            q.addBindValue(day.toString(QStringLiteral("yyyyMMdd")));
            q.addBindValue(entryText(rng));
            q.exec();
        }
        day = day.addDays(1);
    }
    execute(db, "COMMIT");
}

double indexJournal(Store &store) {
    QElapsedTimer t;
    t.start();
    while (JournalIndex::buildSome(store.nativeHandle(), 1000) == JournalIndex::Step::More) {
    }
    return double(t.elapsed()) / 1000.0;
}

void contacts(Store &store, int count) {
    sqlite3 *db = store.nativeHandle();
    execute(db, "BEGIN");
    SqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO address (name, nickname, oicq, email, mobilephone, "
                             "homeaddress, introduce, qqpic) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    for (int i = 0; i < count; ++i) {
        q.addBindValue(QStringLiteral("朋友%1").arg(i));
        q.addBindValue(QStringLiteral("小%1").arg(i % 97));
        q.addBindValue(QString::number(10000 + i));
        q.addBindValue(QStringLiteral("friend%1@example.org").arg(i));
        q.addBindValue(QStringLiteral("138%1").arg(i, 8, 10, QLatin1Char('0')));
        q.addBindValue(QStringLiteral("北京市海淀区某某路%1号").arg(i));
        q.addBindValue(QStringLiteral("大学同学，喜欢爬山和读书。"));
        q.addBindValue(QStringLiteral("%1.bmp").arg(1 + i % 85));
        q.exec();
    }
    execute(db, "COMMIT");
}

void photos(Store &store, int count, const QString &folder) {
    QDir().mkpath(folder);
    sqlite3 *db = store.nativeHandle();
    execute(db, "BEGIN");
    SqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO photo (photopath, introduceph) VALUES (?, ?)"));
    // A handful of real pictures, each used by many rows, as albums repeat places.
    const int distinct = std::min(count, 50);
    for (int i = 0; i < distinct; ++i) {
        QImage img(640, 480, QImage::Format_RGB32);
        img.fill(QColor::fromHsv((i * 37) % 360, 160, 220));
        img.save(QDir(folder).filePath(QStringLiteral("p%1.jpg").arg(i)), "JPG", 80);
    }
    for (int i = 0; i < count; ++i) {
        q.addBindValue(
            QDir(folder).filePath(QStringLiteral("p%1.jpg").arg(i % std::max(1, distinct))));
        q.addBindValue(QStringLiteral("第%1张照片").arg(i));
        q.exec();
    }
    execute(db, "COMMIT");
}

} // namespace Generate
