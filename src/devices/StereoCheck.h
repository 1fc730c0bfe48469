// The stereo check: on systems that let the user set a capture endpoint to mono, warns when
// the device in use is set so and offers the support page.
#pragma once

#include <string_view>

namespace sondrel {

class ICaptureEndpoints;
class ISystemInfo;

// Filled in by the user interface: shows the mono-recording warning (string 155, caption 159,
// Yes and No, no close button) and answers true when the user chose Yes.
class IMonoRecordingQuestion {
public:
    virtual bool AskVisitSupportPage() = 0;

protected:
    ~IMonoRecordingQuestion() = default;
};

// True when the first active capture endpoint whose friendly name, cut to 31 characters,
// equals name has a one-channel format. Every failure and an empty name count as not mono.
bool IsCaptureEndpointMono(ICaptureEndpoints& endpoints, std::string_view name);

// Asks only on NT systems newer than major version 5 and only when the endpoint is mono.
// True when the user wants the support page. Main thread only.
bool CheckMonoRecording(ISystemInfo& system, ICaptureEndpoints& endpoints, std::string_view name,
                        IMonoRecordingQuestion& question);

}  // namespace sondrel
