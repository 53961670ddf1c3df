#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The fixed catalogue of novels: five categories, eleven novels, their
// chapter captions and where their chapter files lie.
namespace Catalogue {

struct Novel {
    QString key;
    QString caption;
    QString folder; // under story/
    int chapters;   // numbered chapters
    QString unit;   // 回 or 集
    bool prologue;  // one more line, 序幕, after the numbered ones
};

struct Category {
    QString key;
    QString caption;
    QList<Novel> novels;
};

// In the order the tree shows them.
const QList<Category> &categories();
// The novel of a key, compared exactly; nullptr for anything else.
const Novel *novel(const QString &key);
// The chapter list's lines: 第1回 ... and, for the prologue, 序幕.
QStringList chapterCaptions(const Novel &novel);
// The chapter file of line n (from 1) of the novel with this key; empty when
// the key is none of the eleven.
QString chapterPath(const QString &key, int n);
// Every novel, in tree order.
QList<Novel> novels();

} // namespace Catalogue
