// The user's folders and handing folders and web addresses to the desktop.
#pragma once

#include <filesystem>
#include <string>

#include "base/Result.h"

namespace sondrel {

// Threading: main thread only. Opening returns as soon as the request is handed over.
class IShell {
public:
    virtual ~IShell() = default;

    // E_FAIL when the folder is not known; the path is not created here.
    virtual HRESULT GetMusicFolder(std::filesystem::path& folder) = 0;
    virtual HRESULT GetTempFolder(std::filesystem::path& folder) = 0;
    // Where recordings are kept until they are exported: on a disk that survives a reboot,
    // not in memory. Not created here. A shell that knows no such place keeps them in a
    // folder of its temporary folder.
    virtual HRESULT GetRecordingsFolder(std::filesystem::path& folder) {
        if (Failed(GetTempFolder(folder)))
            return E_FAIL;
        folder /= "sondrel-recordings";
        return S_OK;
    }
    virtual HRESULT OpenFolder(const std::filesystem::path& folder) = 0;
    virtual HRESULT OpenWebAddress(const std::string& url) = 0;
};

}  // namespace sondrel
