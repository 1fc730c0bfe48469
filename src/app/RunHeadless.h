// Runs the whole wizard without a window from a parsed command line: a session whose pages are
// answered from the command line, then a report of what was made.
#pragma once

#include "app/CSession.h"
#include "app/CommandLine.h"

namespace sondrel {

// Exit code: 0 when every track was exported from a recording written whole, 1 otherwise
// (the wizard ended without an export, the export failed part-way, writing the recording
// failed, or the file filled up before the recording had all that was asked), 2 when an
// argument or the devices could not be used.
int RunHeadless(const CommandLine& commandLine, const SessionEnvironment& environment);

}  // namespace sondrel
