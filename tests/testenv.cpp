// Linked into every test of the windows: the program's music goes to a
// double, so no test waits for a SoundFont or makes a sound.
#include "fakeplayer.h"
#include "music/backgroundmusic.h"

namespace {
const bool installed = [] {
    BackgroundMusic::setPlayerFactory([] { return std::make_unique<FakePlayer>(); });
    return true;
}();
} // namespace
