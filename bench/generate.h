// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRandomGenerator>
#include <QString>

class Store;

// Stores of realistic size for the benchmarks.
namespace Generate {
// About 600 characters of mixed Chinese and ASCII with a few line breaks.
QString entryText(QRandomGenerator &rng);
// One or two entries a day from 1990 on.
void journal(Store &store, int entries);
// Builds the journal's search index now, as the program would in the
// background; returns the seconds it took.
double indexJournal(Store &store);
void contacts(Store &store, int count);
// Writes count small JPEG pictures into folder and a photo row for each.
void photos(Store &store, int count, const QString &folder);
} // namespace Generate
