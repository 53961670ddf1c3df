#pragma once

// Turns SIGTERM, SIGINT and SIGHUP into an orderly end of the event loop, so
// what the program does on quitting (writing pending edits) still happens.
namespace Termination {
void quitOnSignals();
}
