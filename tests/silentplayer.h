// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "music/musicplayer.h"

// A sequencer that plays nothing and never reports a song's end: for runs
// that time or stress the interface, not the synthesiser.
class SilentPlayer : public MusicPlayer {
public:
    void close() override {}
    void open() override {}
    void play() override {}
    void stop() override {}
    qint64 position() const override { return 0; }
    qint64 length() const override { return -1; }
};
