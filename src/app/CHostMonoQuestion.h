// The stereo check of the start page, asked through whatever host shows the pages.
#pragma once

#include <functional>
#include <string>

#include "app/IWizardHost.h"
#include "devices/StereoCheck.h"
#include "platform/IPlatform.h"
#include "recording/IRecorder.h"

namespace sondrel {

class CHostMonoQuestion final : public IMonoRecordingQuestion {
public:
    explicit CHostMonoQuestion(IWizardHost& host) : m_host(host) {}
    bool AskVisitSupportPage() override;

private:
    IWizardHost& m_host;
};

// The name of the capture device the recorder uses, which the stereo check looks for among
// the capture endpoints (whose names it cuts to 31 characters, so this one is cut alike);
// empty when none is selected.
std::string CaptureDeviceInUse(IRecorder& recorder);

// The start page's once-per-run check, on the capture device in use.
std::function<bool()> MonoCheck(IPlatform& platform, IRecorder& recorder,
                                IMonoRecordingQuestion& question);

}  // namespace sondrel
