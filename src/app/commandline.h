// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <QTextStream>

#include <functional>

// Work asked for on the command line, done without a window: it runs beside
// a program already open on the same notebook and ends with an exit status.
namespace CommandLine {

struct Command {
    const char *option;      // "--backup"
    const char *arguments;   // "[FILE]", shown in the help text
    const char *description; // one line for --help
    // The words after the option; a non-zero status comes with one line on err.
    std::function<int(const QStringList &arguments, QTextStream &err)> run;
};

// When argv asks for a command (or --help), runs it and returns its exit
// status; otherwise returns -1 and the window starts as usual.
int runIfAsked(int argc, char *argv[]);

// The text --help prints.
QString helpText();

} // namespace CommandLine
