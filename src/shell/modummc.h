#pragma once

#include <functional>
#include <memory>

class FrmOptions;
class MusicPlayer;
template <typename T> class FormHolder;

// The background music's one procedure and the making of the player.
namespace Modummc {

// Closes the current song, takes the song number from the options dialog's
// song box and opens and plays that song; an unknown number replays the
// song last set.
void startmusic(MusicPlayer &player, FormHolder<FrmOptions> &options);

// The player the program uses; tests put a double in its place.
std::unique_ptr<MusicPlayer> createPlayer();
void setPlayerFactory(std::function<std::unique_ptr<MusicPlayer>()> factory);

} // namespace Modummc
