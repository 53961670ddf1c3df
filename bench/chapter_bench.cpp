// Times loading 2 MB and 6 MB GBK chapters into the reading pane, as a chapter click does.
// Uses the real novels beside the project when present, generated text otherwise.
// Usage: chapter_bench [runs]

#include "core/chapterfile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTextEdit>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char *argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 15;

    QByteArray real;
    for (const char *novel : {"hlm", "shz"}) {
        const QDir folder(QStringLiteral(QUILLARY_SHARED_DATA "/story/") + QLatin1String(novel));
        for (int i = 1; folder.exists(QString::number(i)); ++i) {
            QFile f(folder.filePath(QString::number(i)));
            if (f.open(QIODevice::ReadOnly))
                real += f.readAll();
        }
    }
    const char *source = real.isEmpty() ? "generated text" : "real chapters";
    if (real.isEmpty()) {
        QString text;
        while (text.size() < 1024 * 1024)
            text +=
                QStringLiteral("　　话说天下大势，分久必合，合久必分。周末七国分争，并入于秦。\n");
        real = QStringEncoder("GB18030").encode(text);
    }
    QTemporaryDir dir;
    QTextEdit pane;
    pane.resize(409, 305);
    pane.show();
    for (const int megabytes : {2, 6}) {
        QByteArray gbk;
        while (gbk.size() < megabytes * 1024 * 1024)
            gbk += real;
        gbk.truncate(megabytes * 1024 * 1024);
        const QString path = dir.filePath(QStringLiteral("chapter%1").arg(megabytes));
        QFile out(path);
        out.open(QIODevice::WriteOnly);
        out.write(gbk);
        out.close();

        std::vector<double> ms;
        for (int i = 0; i < runs; ++i) {
            pane.clear();
            QCoreApplication::processEvents();
            QElapsedTimer t;
            t.start();
            pane.setPlainText(ChapterFile::read(path).value_or(QString()));
            QCoreApplication::processEvents(); // the first text painted
            ms.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        std::sort(ms.begin(), ms.end());
        std::printf("%d MB GBK chapter (%s), read + decode + first text: median %.1f ms, "
                    "max %.1f ms (%d runs)\n",
                    megabytes, source, ms[ms.size() / 2], ms.back(), runs);
    }
    return 0;
}
