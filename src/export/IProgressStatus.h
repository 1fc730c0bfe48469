// The interface through which background work (the export worker) reports a completed
// fraction, a status text, a failure and its end to the user-interface thread that polls it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/CUnknownStandAlone.h"
#include "base/Guid.h"
#include "base/Result.h"

namespace sondrel {

// {3C5E7A10-92B4-4D6F-8E21-0B7A9C4D5E61}
inline constexpr GUID IID_IProgressStatus{
    0x3C5E7A10, 0x92B4, 0x4D6F, {0x8E, 0x21, 0x0B, 0x7A, 0x9C, 0x4D, 0x5E, 0x61}};
// {3C5E7A11-92B4-4D6F-8E21-0B7A9C4D5E61}
inline constexpr GUID IID_IProgressStatus2{
    0x3C5E7A11, 0x92B4, 0x4D6F, {0x8E, 0x21, 0x0B, 0x7A, 0x9C, 0x4D, 0x5E, 0x61}};

// Threading: every operation may be called from any thread. The worker reports with the
// Set* operations and calls SetDone last; a failure set with SetError before SetDone is
// always visible to a poller that sees the end (GetResult never answers S_OK for a failed run).
struct IProgressStatus : IUnknown {
    virtual HRESULT GetStatusText(std::string& text) = 0;
    virtual HRESULT GetProgress(float& fraction) = 0;
    // E_FAIL once an error is set; otherwise S_OK once done, S_FALSE while running.
    virtual HRESULT GetResult() = 0;
    // S_OK when a cancel was requested, S_FALSE otherwise.
    virtual HRESULT IsCancelRequested() = 0;
    virtual HRESULT RequestCancel() = 0;
    // Back to "running": flags, error code, value, fraction and text cleared. Only while no
    // worker reports through the object.
    virtual HRESULT Reset() = 0;
    virtual HRESULT SetProgress(float fraction) = 0;
    virtual HRESULT SetStatusText(std::string_view text) = 0;
    virtual HRESULT SetError(HRESULT error) = 0;
    virtual HRESULT GetErrorCode(HRESULT& error) = 0;
    virtual HRESULT SetDone() = 0;

protected:
    ~IProgressStatus() = default;
};

struct IProgressStatus2 : IProgressStatus {
    virtual HRESULT SetValue(std::int32_t value) = 0;
    virtual HRESULT GetValue(std::int32_t& value) = 0;

protected:
    ~IProgressStatus2() = default;
};

}  // namespace sondrel
