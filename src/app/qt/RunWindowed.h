// Runs the wizard in its windows: a session whose pages are the skinned pages, after the offer
// to recover what an earlier run left.
#pragma once

#include <functional>

#include "app/CSession.h"
#include "app/CommandLine.h"

namespace sondrel {

class CQtWizardHost;

// Needs a QApplication. `hostReady` is told the host once it exists (a second start of the
// program brings its page forward through it). Exit code: 0 when the wizard ran to its end,
// 2 when the devices could not be set up.
int RunWindowed(const CommandLine& commandLine, const SessionEnvironment& environment,
                const std::function<void(CQtWizardHost*)>& hostReady);

}  // namespace sondrel
