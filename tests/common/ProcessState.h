// Guards for what belongs to the whole test process (environment variables, the string
// table's language-pack entries, the debug output's sink): each puts back what it found when
// it goes, so a failing assertion cannot leave the next test in a changed process.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "base/StringTable.h"
#include "platform/DebugOutput.h"

namespace sondrel::test {

// Sets (or with nullptr removes) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

// Language-pack entries for one scope; the built-in texts come back at its end.
class ScopedStringOverrides {
public:
    explicit ScopedStringOverrides(std::map<StringId, std::string> overrides) {
        SetStringOverrides(std::move(overrides));
    }
    ~ScopedStringOverrides() { ClearStringOverrides(); }
    ScopedStringOverrides(const ScopedStringOverrides&) = delete;
    ScopedStringOverrides& operator=(const ScopedStringOverrides&) = delete;
};

// Collects everything written to the debug output during its lifetime.
class DebugCapture {
public:
    DebugCapture() {
        SetDebugOutputSink([this](std::string_view text) { m_text += text; });
    }
    ~DebugCapture() { SetDebugOutputSink({}); }
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;
    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
};

}  // namespace sondrel::test
