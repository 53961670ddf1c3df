// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/result.h"
#include "core/snapshots.h"

#include <QString>

// Bringing rows from one notebook file into another.
namespace NotebookMerge {

struct Outcome {
    Result result;
    NotebookCounts rows; // added, or saved
};

// Adds every journal entry, contact and photo of other that notebook has no
// row of with exactly the same fields, in other's order, in one transaction;
// changes and deletes nothing, so merging again adds nothing. A file that is
// not a notebook is refused and neither file is touched.
Outcome merge(const QString &notebook, const QString &other);

// Copies every row of a damaged notebook that can still be read into a new
// notebook at into (which must not exist), passing over pages that cannot be
// read. The damaged file is only read.
Outcome salvage(const QString &damaged, const QString &into);

} // namespace NotebookMerge
