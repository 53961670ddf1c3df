// SPDX-License-Identifier: GPL-3.0-or-later
// What a benchmark reads of its own process: processor time and peak memory.
#pragma once

#include <QByteArray>
#include <QFile>
#include <sys/resource.h>

namespace ownprocess {

// The processor time of this thread, in ms: what a piece of work costs,
// however busy the machine.
inline double cpuMs() {
    rusage use{};
    getrusage(RUSAGE_THREAD, &use);
    return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) * 1e3 +
           double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e3;
}

inline long peakKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

// Resets the peak resident memory to what is resident now, and returns it:
// peakKb() less that is then the most the work since took on top.
inline long resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    clear.close();
    return peakKb();
}

} // namespace ownprocess
