// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRandomGenerator>

// The crash harness's kills during the file work beside the store: novel
// imports and song renderings.
namespace CrashFiles {

// The child modes: "--import <story folder> <seed>" and
// "--render <cache> <song folder> <seed>"; -1 for any other command line.
int runChild(int argc, char *argv[]);

// Kills children this many times each while they import and render, and
// checks after every kill; the number of faults found.
int killDuringFileWork(int kills, QRandomGenerator &rng);

} // namespace CrashFiles
