// A settings store held in memory: for tests and for running without a settings file.
#pragma once

#include <map>
#include <mutex>
#include <variant>

#include "platform/ISettingsStore.h"

namespace sondrel {

class CMemorySettingsStore final : public ISettingsStore {
public:
    // A value of a type the program never writes (say, a registry expandable string or a
    // list in a hand-edited file); tests use it to check that readers reject it.
    struct OtherValue {
        std::string text;
    };
    using Value = std::variant<std::string, std::uint32_t, std::vector<std::uint8_t>, OtherValue>;

    HRESULT ReadString(std::string_view name, std::string& value) override;
    HRESULT ReadInteger(std::string_view name, std::uint32_t& value) override;
    HRESULT ReadBinary(std::string_view name, std::vector<std::uint8_t>& value) override;
    HRESULT WriteString(std::string_view name, std::string_view value) override;
    HRESULT WriteInteger(std::string_view name, std::uint32_t value) override;
    HRESULT WriteBinary(std::string_view name, std::span<const std::uint8_t> value) override;
    HRESULT Remove(std::string_view name) override;

    void Put(std::string_view name, Value value);
    bool Contains(std::string_view name) const;
    std::size_t WriteCount() const;

private:
    mutable std::mutex m_lock;
    std::map<std::string, Value, std::less<>> m_values;
    std::size_t m_writeCount = 0;
};

}  // namespace sondrel
