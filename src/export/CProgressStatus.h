// The reference-counted progress object: the only state shared between the export worker and
// the user-interface thread that polls it.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "base/CUnknownStandAlone.h"
#include "export/IProgressStatus.h"

namespace sondrel {

// Memory ordering: the flags, the error code and the value are atomics. SetError stores the
// code and then the failed flag with release; SetDone stores the done flag with release.
// GetResult reads done with acquire before it reads failed, so a poller that sees the end also
// sees a failure set before it, and the fraction stored (under the lock) before SetDone.
// The fraction and the text are guarded by m_lock.
class CProgressStatus final : public CUnknownStandAlone<IProgressStatus2> {
public:
    // Starts with one reference, held by the creator, in the reset state.
    CProgressStatus();

    HRESULT QueryInterface(const GUID& iid, void** object) override;

    HRESULT GetStatusText(std::string& text) override;
    HRESULT GetProgress(float& fraction) override;
    HRESULT GetResult() override;
    HRESULT IsCancelRequested() override;
    HRESULT RequestCancel() override;
    HRESULT Reset() override;
    HRESULT SetProgress(float fraction) override;
    HRESULT SetStatusText(std::string_view text) override;
    HRESULT SetError(HRESULT error) override;
    HRESULT GetErrorCode(HRESULT& error) override;
    HRESULT SetDone() override;
    HRESULT SetValue(std::int32_t value) override;
    HRESULT GetValue(std::int32_t& value) override;

private:
    ~CProgressStatus() override = default;

    std::atomic<bool> m_cancelRequested{false};
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_failed{false};
    std::atomic<HRESULT> m_errorCode{S_OK};
    std::atomic<std::int32_t> m_value{0};
    float m_fraction = 0.0f;
    std::string m_statusText;
    std::mutex m_lock;
};

}  // namespace sondrel
