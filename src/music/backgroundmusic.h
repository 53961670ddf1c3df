// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>

class MusicPlayer;

// The background music's one procedure and the making of the player.
namespace BackgroundMusic {

// Closes the current song, then opens and plays song n (1..10); any other
// number replays the song last set.
void start(MusicPlayer &player, int song);

// The player the program uses; tests put a double in its place.
std::unique_ptr<MusicPlayer> createPlayer();
void setPlayerFactory(std::function<std::unique_ptr<MusicPlayer>()> factory);

} // namespace BackgroundMusic
