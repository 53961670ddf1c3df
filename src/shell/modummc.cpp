#include "shell/modummc.h"

#include "options/frmoptions.h"
#include "shell/fluidplayer.h"
#include "shell/formholder.h"
#include "store/apppaths.h"

#include <QComboBox>

namespace Modummc {

namespace {
std::function<std::unique_ptr<MusicPlayer>()> &factory() {
    static std::function<std::unique_ptr<MusicPlayer>()> f;
    return f;
}
} // namespace

void startmusic(MusicPlayer &player, FormHolder<FrmOptions> &options) {
    player.close();
    const QString number = options.get()->Combomid->currentText();
    for (int n = 1; n <= 10; ++n)
        if (number == QString::number(n)) {
            player.setFileName(AppPaths::song(n));
            break;
        }
    player.open();
    player.play();
}

std::unique_ptr<MusicPlayer> createPlayer() {
    if (factory())
        return factory()();
    return std::make_unique<FluidPlayer>();
}

void setPlayerFactory(std::function<std::unique_ptr<MusicPlayer>()> f) { factory() = std::move(f); }

} // namespace Modummc
