// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the program sets on the application before any window: its name and
// desktop identity, and Qt's own strings (standard buttons, file, font and
// colour dialogs, editors' context menus) in Chinese like the rest.
namespace ApplicationSetup {

inline constexpr const char *DesktopFileName = "org.quillary.Quillary";

void setIdentity();
// True when Qt's Chinese strings were found and installed; without them
// everything else still works, in Qt's English.
bool installTranslations();

} // namespace ApplicationSetup
