#pragma once

// The commands of vantrel-transfer. Each prints what the user asked for on stdout, messages on
// stderr, and returns the exit status: 0 success, 1 a failure (the recorder, a clip), 2 a usage error.

#include "cli/CommandLine.h"

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

int runList(const CommandLine &line);
// Needs a QCoreApplication: the transfers report through its event loop.
int runTransfer(const CommandLine &line);
// Re-reads a finished file and checks it against its report: 0 when it passes, 1 otherwise.
int runVerify(const CommandLine &line);
// Checks a file's structure and, with its report beside it, its descriptors against the clip: 0 when it
// conforms, 1 with one line per failed check on stdout otherwise.
int runCheck(const CommandLine &line);
