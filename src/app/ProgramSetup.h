// What every way of running the wizard wires alike: the simulated or the real devices, the
// services the flow calls on, and the stereo check asked through the host that shows the pages.
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "app/CWizardFlow.h"
#include "app/RunHeadless.h"
#include "devices/StereoCheck.h"
#include "platform/IPlatform.h"

namespace sondrel {

class CSimPlatform;
class CRecorder;
class CWavExporter;

// The simulated computer the command line describes (demo turntable, a device row, a system
// file, a WAV side), fast or in real time.
HRESULT CreateSimulation(const CommandLine& cl, std::unique_ptr<CSimPlatform>& platform,
                         std::string& error);

// The simulation when the command line asks for one (`simulation` then points at it), else the
// real devices. `report` is set when the devices have something to tell at the end (the
// monitor running dry).
HRESULT CreatePlatform(const CommandLine& cl, const HeadlessEnvironment& env,
                       std::unique_ptr<IPlatform>& platform, CSimPlatform*& simulation,
                       std::function<void(std::ostream&)>& report, std::string& error);

// The working folder the recordings of such a run go to, without opening any device.
HRESULT RecordingsFolder(const CommandLine& cl, const HeadlessEnvironment& env,
                         std::filesystem::path& folder, std::string& error);

// The working folder of a run whose platform is made: the environment's, else the platform's.
std::filesystem::path WorkingFolder(const HeadlessEnvironment& env, IPlatform& platform);

// Device lookups and the export, wired to the platform, recorder and exporter; the host is
// left to the caller.
WizardServices MakeWizardServices(IPlatform& platform, CRecorder& recorder, CWavExporter& exporter);

// The folder of --export-folder, created when missing and made absolute; E_FAIL with a
// message when it names a file or cannot be created.
HRESULT UseExportFolderArgument(const std::filesystem::path& argument,
                                std::filesystem::path& folder, std::string& error);

// The stereo check's question, asked through whatever host shows the pages.
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
