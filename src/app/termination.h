// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Turns SIGTERM, SIGINT and SIGHUP into an orderly end of the event loop, so
// what the program does on quitting (writing pending edits) still happens.
#include <functional>

namespace Termination {
void quitOnSignals();

// Runs last when the process ends through exit() without leaving the event
// loop, as the display library does when the display goes away. Set it once
// what it touches exists, and clear it before that goes.
void setLastWords(std::function<void()> lastWords);
} // namespace Termination
