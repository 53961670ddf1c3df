// Writes a notice file for every chapter of the catalogue into <folder>/story,
// in GBK: the program ships no novel texts, only where to put them. A file
// that is not such a notice (a chapter the user placed there) is left alone.
#include "core/catalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <cstdio>

namespace {
const QString Marker = QStringLiteral("本章的正文没有随程序提供。");

QString notice(const Catalogue::Novel &novel, const QString &caption, int n) {
    return QStringLiteral(
               "《%1》%2\n\n"
               "本章的正文没有随程序提供。\n\n"
               "如果你有这一章的纯文本文件（GBK 或 UTF-8 编码），把它放到程序文件夹中的\n"
               "    story/%3/%4\n"
               "（文件名就是章节号，没有扩展名），单击这一章就能阅读了。\n")
        .arg(novel.caption, caption, novel.folder)
        .arg(n);
}
} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: makechapters <application folder>\n");
        return 2;
    }
    QStringEncoder gbk("GB18030");
    if (!gbk.isValid())
        return 1;
    const QByteArray marker = gbk.encode(Marker);
    const QDir root(QString::fromLocal8Bit(argv[1]));
    for (const Catalogue::Novel &novel : Catalogue::novels()) {
        const QString folder = QStringLiteral("story/") + novel.folder;
        if (!root.mkpath(folder))
            return 1;
        const QStringList captions = Catalogue::chapterCaptions(novel);
        for (int n = 1; n <= captions.size(); ++n) {
            QFile file(root.filePath(folder + QLatin1Char('/') + QString::number(n)));
            if (file.exists()) {
                if (!file.open(QIODevice::ReadOnly) || !file.read(4096).contains(marker))
                    continue;
                file.close();
            }
            const QByteArray text = gbk.encode(notice(novel, captions[n - 1], n));
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
                file.write(text) != text.size())
                return 1;
        }
    }
    return 0;
}
