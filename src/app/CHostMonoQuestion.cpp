#include "app/CHostMonoQuestion.h"

#include "base/StringTable.h"

namespace sondrel {

bool CHostMonoQuestion::AskVisitSupportPage() {
    return m_host.MessageBox(LoadString(kIdsMsgMonoRecording), MessageButtons::YesNo,
                             MessageIcon::Exclamation) == kAnswerYes;
}

std::string CaptureDeviceInUse(IRecorder& recorder) {
    std::uint32_t selected = 0;
    if (Failed(recorder.GetSelectedDevice(selected)))
        return {};
    std::uint32_t id = 0;
    std::string name;
    for (std::uint32_t i = 0; recorder.GetDeviceInfo(i, id, name) == S_OK; ++i) {
        if (id == selected)
            return name;
    }
    return {};
}

std::function<bool()> MonoCheck(IPlatform& platform, IRecorder& recorder,
                                IMonoRecordingQuestion& question) {
    return [&platform, &recorder, &question] {
        return CheckMonoRecording(platform.System(), platform.Endpoints(),
                                  CaptureDeviceInUse(recorder), question);
    };
}

}  // namespace sondrel
