// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a notice file for every chapter of the catalogue into <folder>/story,
// in UTF-8: the program ships no novel texts, only how to add them. A file
// that is not such a notice (a chapter placed there by hand) is left alone.
#include "core/catalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <cstdio>

namespace {
QString notice(const Catalogue::Novel &novel, const QString &caption, int n) {
    return QStringLiteral("《%1》%2\n\n"
                          "%3\n\n"
                          "有这部小说的纯文本文件（GBK 或 UTF-8 编码）时，在目录窗口中用右键单击"
                          "《%1》，选择“导入小说文本…”，整部小说就按章节导入了。\n\n"
                          "也可以只放这一章：把它的纯文本保存为\n"
                          "    %4/%5\n"
                          "（文件名就是章节号，没有扩展名），单击这一章就能阅读了。\n")
        .arg(novel.caption, caption, Catalogue::NoticeMarker, Catalogue::NoticeFolderToken)
        .arg(n);
}
} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: makechapters <application folder>\n");
        return 2;
    }
    // Notices of earlier builds were written in GBK.
    QStringEncoder gbk("GB18030");
    if (!gbk.isValid())
        return 1;
    const QByteArray markers[] = {Catalogue::NoticeMarker.toUtf8(),
                                  gbk.encode(Catalogue::NoticeMarker)};
    const QDir root(QString::fromLocal8Bit(argv[1]));
    for (const Catalogue::Novel &novel : Catalogue::novels()) {
        const QString folder = QStringLiteral("story/") + novel.folder;
        if (!root.mkpath(folder))
            return 1;
        const QStringList captions = Catalogue::chapterCaptions(novel);
        for (int n = 1; n <= captions.size(); ++n) {
            QFile file(root.filePath(folder + QLatin1Char('/') + QString::number(n)));
            if (file.exists()) {
                if (!file.open(QIODevice::ReadOnly))
                    continue;
                const QByteArray head = file.read(4096);
                if (!head.contains(markers[0]) && !head.contains(markers[1]))
                    continue;
                file.close();
            }
            const QByteArray text = notice(novel, captions[n - 1], n).toUtf8();
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
                file.write(text) != text.size())
                return 1;
        }
    }
    return 0;
}
