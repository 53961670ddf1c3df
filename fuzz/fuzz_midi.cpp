// SPDX-License-Identifier: GPL-3.0-or-later
// A song file of arbitrary bytes, opened, played, restarted at its end and
// closed the way the main window drives the background music, on the real
// synthesizer module and SoundFont. No sound card: the audio is pulled by
// hand, at most two seconds of it per input.
#include "music/backgroundmusic.h"
#include "music/fluidplayer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHashFunctions>
#include <QTemporaryDir>
#include <QThread>
#include <bit>
#include <cstdio>
#include <cstdlib>

namespace {
QTemporaryDir *folder = nullptr;
FluidPlayer *player = nullptr;

constexpr int Block = 4096; // frames, about what an audio output asks for at once
constexpr int MaxFrames = 2 * 44100;

// FluidSynth is not instrumented: what it made of the bytes is fed back as
// coverage instead, so inputs that reach a new outcome are kept.
__attribute__((used, section("__libfuzzer_extra_counters"))) uint8_t outcomes[4096];

template <typename... Parts> void reached(const Parts &...parts) {
    ++outcomes[qHashMulti(0, parts...) % sizeof outcomes];
}

int magnitude(qint64 n) {
    return n > 0 ? std::bit_width(quint64(n)) : int(n);
}

QString writeSong(const char *data, qint64 size) {
    const QString path = folder->filePath(QStringLiteral("song.mid"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(data, size);
    return path;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    static QCoreApplication app(*argc, *argv); // the module sits beside the program
    folder = new QTemporaryDir;
    player = new FluidPlayer(FluidPlayer::Output::Pulled);
    // The SoundFont loads once, on the first song, as in the program.
    static const char oneNote[] = "MThd\0\0\0\6\0\0\0\1\1\xe0"
                                  "MTrk\0\0\0\x0c\0\x90\x3c\x60\x60\x80\x3c\0\0\xff\x2f\0";
    player->setFileName(writeSong(oneNote, sizeof oneNote - 1));
    BackgroundMusic::start(*player, 0);
    QElapsedTimer waited;
    waited.start();
    while (player->length() <= 0 && waited.elapsed() < 60000) {
        QCoreApplication::processEvents();
        player->pull(Block);
        QThread::msleep(5);
    }
    if (player->length() <= 0) {
        std::fprintf(stderr, "fuzz_midi: no SoundFont, or the synthesizer module did not load\n");
        std::exit(1);
    }
    player->close();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    player->setFileName(writeSong(reinterpret_cast<const char *>(data), qint64(size)));
    BackgroundMusic::start(*player, 0);
    int restarts = 0;
    for (int frames = 0; frames < MaxFrames; frames += Block) {
        player->pull(Block);
        if (frames == 0)
            reached(magnitude(player->length()), magnitude(player->position()));
        // The main window's music timer: a song at its end starts again.
        if (player->position() == player->length()) {
            BackgroundMusic::start(*player, 0);
            ++restarts;
        }
    }
    reached(magnitude(player->length()), magnitude(player->position()), std::min(restarts, 3), -1);
    player->stop();
    player->close();
    return 0;
}
