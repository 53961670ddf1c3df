// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

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

// The shipped notice that stands in for a chapter's text names the user's
// own chapter folder through this token; every notice carries the marker.
inline const QString NoticeMarker = QStringLiteral("本章的正文没有随程序提供。");
inline const QString NoticeFolderToken = QStringLiteral("〔个人章节文件夹〕");
// The text of line n of a novel as the reading pane shows it: the chapter
// file read by the chapter rules, a notice naming the user's real folder.
std::optional<QString> chapterText(const QString &key, int n);

} // namespace Catalogue
