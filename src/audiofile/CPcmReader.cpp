#include "audiofile/CPcmReader.h"

namespace sondrel {

HRESULT CPcmReader::IsOpen() {
    return m_open ? S_OK : S_FALSE;
}

HRESULT CPcmReader::GetDataSize(std::uint64_t* bytes) {
    if (!bytes)
        return E_FAIL;
    *bytes = m_dataSizeBytes;
    return S_OK;
}

HRESULT CPcmReader::GetFrameCount(std::uint64_t* frames) {
    if (!frames)
        return E_FAIL;
    const std::uint16_t blockAlign = m_format.Format.nBlockAlign;
    *frames = blockAlign ? m_dataSizeBytes / blockAlign : 0;
    return S_OK;
}

HRESULT CPcmReader::GetSampleRate(std::uint32_t* framesPerSecond) {
    if (!framesPerSecond)
        return E_FAIL;
    const std::uint32_t rate = m_format.Format.nSamplesPerSec;
    *framesPerSecond = rate ? rate : 1;
    return rate ? S_OK : E_FAIL;
}

HRESULT CPcmReader::Reserved11(void*, void*) {
    return E_NOTIMPL;
}
HRESULT CPcmReader::Reserved12() {
    return E_NOTIMPL;
}
HRESULT CPcmReader::Reserved13(void*, void*) {
    return E_NOTIMPL;
}

}  // namespace sondrel
