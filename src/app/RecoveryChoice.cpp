#include "app/RecoveryChoice.h"

#include <ostream>

#include "app/RecoveryText.h"
#include "platform/DebugOutput.h"
#include "recording/CRecordingLock.h"
#include "recording/UnfinishedRecordings.h"

namespace sondrel {

std::string OfferRecovery(IWizardHost& host, const std::filesystem::path& recordingsFolder) {
    for (const UnfinishedRecording& recording : FindUnfinishedRecordings(recordingsFolder)) {
        if (!recording.CanBeRecovered()) {
            OutputDebugText("not offered: " + recording.path.string() + " (" + recording.problem +
                            ")\n");
            continue;
        }
        if (host.MessageBox(FormatUnfinishedQuestion(recording), MessageButtons::YesNo,
                            MessageIcon::Question) == kAnswerYes) {
            return recording.path.string();
        }
    }
    return {};
}

HRESULT ChooseRecovery(const std::string& which, const std::filesystem::path& folder,
                       std::string& path, std::string& error) {
    if (which == "newest") {
        for (const UnfinishedRecording& recording : FindUnfinishedRecordings(folder)) {
            if (recording.CanBeRecovered()) {
                path = recording.path.string();
                return S_OK;
            }
        }
        error = "no unfinished recording in " + folder.string();
        return E_FAIL;
    }
    // Only the program's own recordings: never a file of an album or of the user's elsewhere,
    // which the export would move away.
    if (!IsRecordingIn(which, folder)) {
        error = which + " is not an unfinished recording in " + folder.string() +
                " (see --list-unfinished)";
        return E_FAIL;
    }
    const UnfinishedRecording recording = InspectRecording(which);
    if (!recording.CanBeRecovered()) {
        error = which + " cannot be recovered: " + recording.problem;
        return E_FAIL;
    }
    if (CRecordingLock::IsHeldElsewhere(which)) {
        error = which + " is in use by another run of Sondrel";
        return E_FAIL;
    }
    path = which;
    return S_OK;
}

void ListUnfinished(const std::filesystem::path& recordingsFolder, std::ostream& out) {
    const auto found = FindUnfinishedRecordings(recordingsFolder);
    if (found.empty())
        out << "No unfinished recordings in " << recordingsFolder.string() << "\n";
    for (const UnfinishedRecording& recording : found) {
        out << recording.path.string();
        if (recording.CanBeRecovered())
            out << "\t" << DescribeUnfinished(recording);
        else
            out << "\t(" << recording.problem << ")";
        out << "\n";
    }
}

}  // namespace sondrel
