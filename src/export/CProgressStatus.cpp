#include "export/CProgressStatus.h"

#include <cmath>

namespace sondrel {

CProgressStatus::CProgressStatus() {
    Reset();
}

HRESULT CProgressStatus::QueryInterface(const GUID& iid, void** object) {
    if (!object)
        return E_FAIL;
    if (iid == IID_IUnknown || iid == IID_IProgressStatus || iid == IID_IProgressStatus2) {
        *object = static_cast<IProgressStatus2*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT CProgressStatus::GetStatusText(std::string& text) {
    std::lock_guard lock(m_lock);
    text = m_statusText;
    return S_OK;
}

HRESULT CProgressStatus::GetProgress(float& fraction) {
    std::lock_guard lock(m_lock);
    fraction = m_fraction;
    return S_OK;
}

HRESULT CProgressStatus::GetResult() {
    // Done first: if the end is visible, so is every failure recorded before it.
    const bool done = m_done.load(std::memory_order_acquire);
    if (m_failed.load(std::memory_order_acquire))
        return E_FAIL;
    return done ? S_OK : S_FALSE;
}

HRESULT CProgressStatus::IsCancelRequested() {
    return m_cancelRequested.load(std::memory_order_acquire) ? S_OK : S_FALSE;
}

HRESULT CProgressStatus::RequestCancel() {
    m_cancelRequested.store(true, std::memory_order_release);
    return S_OK;
}

HRESULT CProgressStatus::Reset() {
    std::lock_guard lock(m_lock);
    m_cancelRequested.store(false, std::memory_order_relaxed);
    m_done.store(false, std::memory_order_relaxed);
    m_failed.store(false, std::memory_order_relaxed);
    m_errorCode.store(S_OK, std::memory_order_relaxed);
    m_value.store(0, std::memory_order_relaxed);
    m_fraction = 0.0f;
    m_statusText.clear();
    return S_OK;
}

HRESULT CProgressStatus::SetProgress(float fraction) {
    // A bar position is derived from this; keep it a number within 0..1.
    if (std::isnan(fraction))
        fraction = 0.0f;
    fraction = std::fmin(std::fmax(fraction, 0.0f), 1.0f);
    std::lock_guard lock(m_lock);
    m_fraction = fraction;
    return S_OK;
}

HRESULT CProgressStatus::SetStatusText(std::string_view text) {
    std::lock_guard lock(m_lock);
    m_statusText.assign(text);
    return S_OK;
}

HRESULT CProgressStatus::SetError(HRESULT error) {
    m_errorCode.store(error, std::memory_order_relaxed);
    m_failed.store(true, std::memory_order_release);
    return S_OK;
}

HRESULT CProgressStatus::GetErrorCode(HRESULT& error) {
    error = m_errorCode.load(std::memory_order_acquire);
    return S_OK;
}

HRESULT CProgressStatus::SetDone() {
    m_done.store(true, std::memory_order_release);
    return S_OK;
}

HRESULT CProgressStatus::SetValue(std::int32_t value) {
    m_value.store(value, std::memory_order_release);
    return S_OK;
}

HRESULT CProgressStatus::GetValue(std::int32_t& value) {
    value = m_value.load(std::memory_order_acquire);
    return S_OK;
}

}  // namespace sondrel
