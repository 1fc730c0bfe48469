// A shell for tests: a music folder the test chooses (none makes the lookup fail), the
// system's temporary folder, and a list of what was asked to be opened.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/IShell.h"

namespace sondrel::test {

class FakeShell final : public IShell {
public:
    HRESULT GetMusicFolder(std::filesystem::path& folder) override {
        ++musicLookups;
        if (music.empty())
            return E_FAIL;
        folder = music;
        return S_OK;
    }
    HRESULT GetTempFolder(std::filesystem::path& folder) override {
        folder = temp.empty() ? std::filesystem::temp_directory_path() : temp;
        return S_OK;
    }
    HRESULT OpenFolder(const std::filesystem::path& folder) override {
        opened.push_back(folder.string());
        return S_OK;
    }
    HRESULT OpenWebAddress(const std::string& url) override {
        opened.push_back(url);
        return S_OK;
    }

    std::filesystem::path music;
    std::filesystem::path temp;
    int musicLookups = 0;
    std::vector<std::string> opened;
};

}  // namespace sondrel::test
