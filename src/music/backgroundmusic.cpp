// SPDX-License-Identifier: GPL-3.0-or-later
#include "music/backgroundmusic.h"

#include "core/apppaths.h"
#include "music/fluidplayer.h"
#include "music/songcache.h"

namespace BackgroundMusic {

namespace {
std::function<std::unique_ptr<MusicPlayer>()> &factory() {
    static std::function<std::unique_ptr<MusicPlayer>()> f;
    return f;
}
} // namespace

void start(MusicPlayer &player, int song) {
    player.close();
    if (song >= 1 && song <= 10)
        player.setFileName(AppPaths::song(song));
    player.open();
    player.play();
}

std::unique_ptr<MusicPlayer> createPlayer() {
    if (factory())
        return factory()();
    return std::make_unique<FluidPlayer>(FluidPlayer::Output::Device, SongCache::defaultFolder());
}

void setPlayerFactory(std::function<std::unique_ptr<MusicPlayer>()> f) {
    factory() = std::move(f);
}

} // namespace BackgroundMusic
