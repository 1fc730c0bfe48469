// Runs the wizard in its windows: the same devices, settings, recorder and exporter as the
// headless run, with the skinned pages as the host.
#pragma once

#include <functional>

#include "app/CommandLine.h"
#include "app/RunHeadless.h"

namespace sondrel {

class CQtWizardHost;

// Needs a QApplication. `hostReady` is told the host once it exists (a second start of the
// program brings its page forward through it). Exit code: 0 when the wizard ran to its end,
// 2 when the devices could not be set up.
int RunWindowed(const CommandLine& commandLine, const HeadlessEnvironment& environment,
                const std::function<void(CQtWizardHost*)>& hostReady);

}  // namespace sondrel
