// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <QTextStream>

// quillary --backup [FILE]: a snapshot of the user's notebook, to FILE or
// into the backups folder, through a read connection of its own, so it
// works while the program runs (from cron or a timer unit).
int runBackupCommand(const QStringList &arguments, QTextStream &err);
