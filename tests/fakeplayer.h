// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "music/musicplayer.h"

#include <QStringList>

// A sequencer double: records the commands it is given and reports a song
// as finished when told to.
class FakePlayer : public MusicPlayer {
public:
    FakePlayer() { last = this; }
    ~FakePlayer() override {
        if (last == this)
            last = nullptr;
    }

    QStringList commands;
    bool playing = false;
    bool finished = false;
    QString openedFile;

    void close() override {
        commands << "close";
        playing = false;
        openedFile.clear();
    }
    void open() override {
        commands << "open";
        openedFile = fileName();
        finished = false;
    }
    void play() override {
        commands << "play";
        playing = !openedFile.isEmpty();
    }
    void stop() override {
        commands << "stop";
        playing = false;
    }
    qint64 position() const override { return finished ? 100 : openedFile.isEmpty() ? 0 : 10; }
    qint64 length() const override { return openedFile.isEmpty() ? -1 : 100; }

    static inline FakePlayer *last = nullptr;
};
