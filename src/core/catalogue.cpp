// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/catalogue.h"

#include "core/apppaths.h"
#include "core/chapterfile.h"

namespace Catalogue {

const QList<Category> &categories() {
    static const QString hui = QStringLiteral("回"), ji = QStringLiteral("集");
    static const QList<Category> tree = {
        {QStringLiteral("wuxiastory"),
         QStringLiteral("武侠小说"),
         {{QStringLiteral("she"), QStringLiteral("射雕英雄传"), QStringLiteral("she"), 43, hui,
           false},
          {QStringLiteral("lu"), QStringLiteral("鹿鼎记"), QStringLiteral("lu"), 52, hui, false}}},
        {QStringLiteral("newstory"),
         QStringLiteral("言情小说"),
         {{QStringLiteral("qssymm"), QStringLiteral("情深深雨蒙蒙"), QStringLiteral("qssymm"), 43,
           ji, false}}},
        {QStringLiteral("netstory"),
         QStringLiteral("网络小说"),
         {{QStringLiteral("diyici"), QStringLiteral("第一次亲密接触"), QStringLiteral("firsttouch"),
           6, ji, false},
          {QStringLiteral("ircoffee"), QStringLiteral("爱尔兰咖啡"), QStringLiteral("ircoffee"), 4,
           ji, false},
          {QStringLiteral("yuyi"), QStringLiteral("雨衣"), QStringLiteral("yuyi"), 5, ji, false}}},
        {QStringLiteral("foreignstory"),
         QStringLiteral("国外经典小说"),
         {{QStringLiteral("titanic"), QStringLiteral("泰坦尼克"), QStringLiteral("titanic"), 11, ji,
           true}}},
        {QStringLiteral("oldstory"),
         QStringLiteral("四大名著"),
         {{QStringLiteral("xyj"), QStringLiteral("西游记"), QStringLiteral("xyj"), 101, hui, false},
          {QStringLiteral("shz"), QStringLiteral("水浒传"), QStringLiteral("shz"), 120, hui, false},
          {QStringLiteral("hlm"), QStringLiteral("红楼梦"), QStringLiteral("hlm"), 120, hui, false},
          {QStringLiteral("sgyy"), QStringLiteral("三国演义"), QStringLiteral("sgyy"), 120, hui,
           false}}},
    };
    return tree;
}

QList<Novel> novels() {
    QList<Novel> all;
    for (const Category &c : categories())
        all += c.novels;
    return all;
}

const Novel *novel(const QString &key) {
    for (const Category &c : categories())
        for (const Novel &n : c.novels)
            if (n.key == key)
                return &n;
    return nullptr;
}

QStringList chapterCaptions(const Novel &novel) {
    QStringList lines;
    for (int i = 1; i <= novel.chapters; ++i)
        lines << QStringLiteral("第") + QString::number(i) + novel.unit;
    if (novel.prologue)
        lines << QStringLiteral("序幕");
    return lines;
}

std::optional<QString> chapterText(const QString &key, int n) {
    const Novel *found = novel(key);
    if (!found)
        return std::nullopt;
    const QString path = AppPaths::chapter(found->folder, n);
    std::optional<QString> text = ChapterFile::read(path);
    if (text && path == AppPaths::shippedChapter(found->folder, n) && text->contains(NoticeMarker))
        text->replace(NoticeFolderToken, AppPaths::userChapterFolder(found->folder));
    return text;
}

QString chapterPath(const QString &key, int n) {
    const Novel *found = novel(key);
    return found ? AppPaths::chapter(found->folder, n) : QString();
}

} // namespace Catalogue
