// SPDX-License-Identifier: GPL-3.0-or-later
// Rendering the background songs as the song cache does: the time each
// takes at normal priority, the size of what the cache keeps, and the peak
// memory of rendering. Usage: music_bench [songs] (default 10)

#include "core/apppaths.h"
#include "measure.h"
#include "music/fluidplayer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using ownprocess::peakKb;

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const int songs = std::clamp(argc > 1 ? atoi(argv[1]) : 10, 1, 10);
    const QString soundFont = FluidPlayer::systemSoundFont();
    if (soundFont.isEmpty()) {
        std::fprintf(stderr, "music_bench: no General MIDI SoundFont\n");
        return 77;
    }
    QTemporaryDir dir;
    std::printf("%-6s %10s %10s %12s %10s\n", "song", "length s", "render ms", "x real time",
                "FLAC KiB");
    double totalMs = 0, totalSeconds = 0;
    qint64 totalBytes = 0;
    for (int n = 1; n <= songs; ++n) {
        const QString audio = dir.filePath(QStringLiteral("%1.flac").arg(n));
        QElapsedTimer t;
        t.start();
        const FluidPlayer::Render r =
            FluidPlayer::renderToFile(AppPaths::song(n), audio, soundFont);
        const double ms = double(t.nsecsElapsed()) / 1e6;
        if (!r.ok) {
            std::fprintf(stderr, "music_bench: song %d did not render\n", n);
            return 1;
        }
        const double seconds = double(r.frames) / 44100.0;
        const qint64 bytes = QFileInfo(audio).size();
        std::printf("%-6d %10.1f %10.0f %12.0f %10lld\n", n, seconds, ms, seconds * 1000 / ms,
                    bytes / 1024);
        totalMs += ms;
        totalSeconds += seconds;
        totalBytes += bytes;
    }
    std::printf("%-6s %10.1f %10.0f %12.0f %10lld\n", "all", totalSeconds, totalMs,
                totalSeconds * 1000 / totalMs, totalBytes / 1024);
    std::printf("peak resident memory while rendering: %ld KiB\n", peakKb());
    return 0;
}
