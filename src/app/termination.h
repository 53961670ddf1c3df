// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Turns SIGTERM, SIGINT and SIGHUP into an orderly end of the event loop, so
// what the program does on quitting (writing pending edits) still happens.
#include <functional>

namespace Termination {
// Catches the signals from the start of main() on; what arrives before
// quitOnSignals() is kept for it.
void catchSignals();
// Needs the application object.
void quitOnSignals();
// A signal came, maybe before the event loop ran, which then must end at once.
bool quitAsked();

// Runs last when the process ends through exit() without leaving the event
// loop, as the display library does when the display goes away. Set it once
// what it touches exists, and clear it before that goes.
void setLastWords(std::function<void()> lastWords);
} // namespace Termination
