// Which unfinished recording a run exports: offered one by one through the host (the windows),
// named on the command line (--recover PATH|newest), or listed (--list-unfinished).
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>

#include "app/IWizardHost.h"
#include "base/Result.h"

namespace sondrel {

// Offers each recording of the folder an earlier run left unexported, newest first, once; the
// first one the user wants is exported now, the others stay for a later start. Empty when none
// was chosen.
std::string OfferRecovery(IWizardHost& host, const std::filesystem::path& recordingsFolder);

// --recover: "newest", or the path of a recording right inside the folder that can be
// recovered and that no other run holds. E_FAIL with a message otherwise.
HRESULT ChooseRecovery(const std::string& which, const std::filesystem::path& recordingsFolder,
                       std::string& path, std::string& error);

// --list-unfinished: each recording's path and what names it (or why it cannot be recovered).
void ListUnfinished(const std::filesystem::path& recordingsFolder, std::ostream& out);

}  // namespace sondrel
