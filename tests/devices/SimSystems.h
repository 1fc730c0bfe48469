// Shared helpers for the device tests: simulated systems from tests/data/sim and the debug
// output collected while a test runs.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/ProcessState.h"
#include "platform/DebugOutput.h"
#include "platform/sim/CSimPlatform.h"

namespace sondrel::test {

inline std::unique_ptr<CSimPlatform> LoadSimSystem(const std::string& name) {
    std::unique_ptr<CSimPlatform> platform;
    std::string error;
    const HRESULT hr = CSimPlatform::CreateFromFile(
        std::filesystem::path(SONDREL_TEST_DATA_DIR) / "sim" / name, platform, error);
    EXPECT_EQ(hr, S_OK) << error;
    return platform;
}

inline std::unique_ptr<CSimPlatform> ParseSimSystem(std::string_view text) {
    SimSystemDescription description;
    std::string error;
    EXPECT_EQ(SimSystemDescription::Parse(text, {}, description, error), S_OK) << error;
    return std::make_unique<CSimPlatform>(std::move(description));
}

}  // namespace sondrel::test
