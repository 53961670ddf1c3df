// SPDX-License-Identifier: GPL-3.0-or-later
// Steps through an album of large photos (PNG, BMP and JPEG in turn) at a
// user's pace and measures how long the window's event loop is ever kept
// from running. Goal: no stall over 50 ms.
// Usage: photo_bench [megapixels] [steps] [ms between steps]   (defaults 24, 100, 120)

#include "app/mainwindow.h"
#include "core/store.h"
#include "music/backgroundmusic.h"
#include "photos/photopanel.h"
#include "photos/picturefile.h"
#include "photos/picturequeue.h"
#include "silentplayer.h"
#include "widgets/picturebutton.h"

#include "sql.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {
// A photo-like picture: smooth colour with fine noise, so it compresses as
// a real photo does.
QImage photo(QSize size, int seed) {
    QImage img(size, QImage::Format_RGB32);
    QRandomGenerator rng{quint32(seed)};
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int n = int(rng.bounded(24));
            line[x] = qRgb((x * 255 / size.width() + n) & 255, (y * 255 / size.height() + n) & 255,
                           (seed * 70 + n) & 255);
        }
    }
    return img;
}
} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const double megapixels = argc > 1 ? std::atof(argv[1]) : 24;
    const int steps = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;
    const int pace = argc > 3 ? std::max(1, std::atoi(argv[3])) : 120;
    BackgroundMusic::setPlayerFactory([] { return std::make_unique<SilentPlayer>(); });

    QTemporaryDir dir;
    const int width = int(std::sqrt(megapixels * 1e6 * 1.5));
    const QSize size(width, width * 2 / 3);
    QElapsedTimer made;
    made.start();
    const QStringList files = {dir.filePath("a.png"), dir.filePath("b.bmp"), dir.filePath("c.jpg")};
    for (int i = 0; i < files.size(); ++i)
        if (!photo(size, i).save(files[i], nullptr, i == 0 ? 50 : 85))
            return std::fprintf(stderr, "photo_bench: cannot write %s\n", qPrintable(files[i])), 1;
    std::printf("%d x %d photos (PNG, BMP, JPEG) made in %.1f s\n", size.width(), size.height(),
                double(made.elapsed()) / 1000.0);

    // What one step cost when the preview was decoded on the window's thread.
    for (const QString &file : files) {
        QElapsedTimer t;
        t.start();
        PictureFile::load(file, QSize(200, 150));
        std::printf("decoding %s for the preview          %8.2f ms\n",
                    qPrintable(file.section('.', -1)), double(t.nsecsElapsed()) / 1e6);
    }

    Store store;
    store.open(dir.filePath("work.db"));
    SqlQuery q(store.nativeHandle());
    for (int i = 0; i <= steps; ++i) {
        q.prepare("INSERT INTO photo (photopath, introduceph) VALUES (?, ?)");
        q.addBindValue(files[i % files.size()]);
        q.addBindValue(QString::number(i));
        q.exec();
    }

    MainWindow window(&store);
    window.show();
    PhotoPanel *photos = window.photos;

    // The event loop's heartbeat: the longest gap between two ticks is the
    // longest the window could not respond.
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0, worstGap = 0, worstStep = 0;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worstGap = std::max(worstGap, now - lastTick);
        lastTick = now;
    });
    int taken = 0;
    QTimer stepper;
    QObject::connect(&stepper, &QTimer::timeout, [&] {
        QElapsedTimer t;
        t.start();
        if (taken == 0)
            window.photoPageButton->click();
        else
            photos->showNextPhoto();
        worstStep = std::max(worstStep, t.nsecsElapsed());
        if (++taken > steps)
            stepper.stop();
    });
    QElapsedTimer total;
    total.start();
    lastTick = clock.nsecsElapsed();
    heartbeat.start(1);
    stepper.start(pace);
    while (stepper.isActive() || photos->isDecoding())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    heartbeat.stop();

    const double stall = double(worstGap) / 1e6;
    std::printf("%d steps, one every %d ms, in %.1f s; %d decodes, the rest stepped past\n", steps,
                pace, double(total.elapsed()) / 1000.0, photos->decoder()->decodesStarted());
    std::printf("longest step on the window's thread   %8.2f ms\n", double(worstStep) / 1e6);
    std::printf("longest event-loop stall              %8.2f ms   (goal 50 ms)\n", stall);
    std::printf("last photo shown                      %s\n",
                photos->previewPath() == files[steps % files.size()] ? "yes" : "NO");
    return stall <= 50 && photos->previewPath() == files[steps % files.size()] ? 0 : 1;
}
