// A recorder as the recording pages see it: levels and status it is told to report; it counts
// marks and keeps the last gain. For the page tests and the page benchmark.
#pragma once

#include <string>
#include <vector>

#include "recording/IRecorder.h"

namespace sondrel {

class FakePageRecorder : public IRecorder {
public:
    HRESULT QueryInterface(const GUID&, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    std::uint32_t AddRef() override { return 2; }
    std::uint32_t Release() override { return 1; }
    HRESULT OpenInput(WindowHandle, bool) override { return S_OK; }
    HRESULT StartRecording() override { return S_OK; }
    HRESULT StopRecording() override { return S_OK; }
    HRESULT FinishRecording(bool, bool, std::vector<std::string>&) override { return S_OK; }
    HRESULT CloseInput() override { return S_OK; }
    HRESULT GetLevels(float& l, float& r, float& hl, float& hr, bool&) override {
        l = levels[0];
        r = levels[1];
        hl = levels[2];
        hr = levels[3];
        return S_OK;
    }
    HRESULT GetDeviceInfo(std::uint32_t, std::uint32_t&, std::string&) override { return S_FALSE; }
    HRESULT SelectDevice(std::uint32_t) override { return S_OK; }
    HRESULT GetSelectedDevice(std::uint32_t&) override { return E_FAIL; }
    HRESULT GetStatus(std::uint32_t& s, bool& w, std::uint32_t& marks, std::uint32_t&) override {
        s = seconds;
        w = writing;
        marks = markCount;
        return S_OK;
    }
    HRESULT GetChannelInfo(std::uint32_t, std::int32_t&, std::string&) override { return S_FALSE; }
    HRESULT SelectChannel(std::int32_t, const KnownDevice*) override { return S_OK; }
    HRESULT GetSelectedChannel(std::int32_t&) override { return E_FAIL; }
    HRESULT GetRecordLevel(float&) override { return E_FAIL; }
    HRESULT SetRecordLevel(float) override { return S_OK; }
    HRESULT MarkTrack() override {
        ++markCount;
        return S_OK;
    }
    HRESULT SetInputGain(float gainDb) override {
        lastGainDb = gainDb;
        return S_OK;
    }

    float levels[4] = {-12.0f, -10.0f, -6.0f, -5.0f};
    std::uint32_t seconds = 0;
    bool writing = true;
    std::uint32_t markCount = 0;
    float lastGainDb = 100.0f;
};

}  // namespace sondrel
