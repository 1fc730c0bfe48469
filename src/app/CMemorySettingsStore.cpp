#include "app/CMemorySettingsStore.h"

#include "app/SettingsValue.h"

namespace sondrel {

HRESULT CMemorySettingsStore::ReadString(std::string_view name, std::string& value) {
    std::lock_guard lock(m_lock);
    auto it = m_values.find(name);
    if (it == m_values.end())
        return S_FALSE;
    const auto* text = std::get_if<std::string>(&it->second);
    if (!text)
        return E_FAIL;
    value = *text;
    return S_OK;
}

HRESULT CMemorySettingsStore::ReadInteger(std::string_view name, std::uint32_t& value) {
    std::lock_guard lock(m_lock);
    auto it = m_values.find(name);
    if (it == m_values.end())
        return S_FALSE;
    if (const auto* number = std::get_if<std::uint32_t>(&it->second)) {
        value = *number;
        return S_OK;
    }
    if (const auto* text = std::get_if<std::string>(&it->second)) {
        return ParseSettingsInteger(*text, value) ? S_OK : E_FAIL;
    }
    if (const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&it->second))
        return SettingsIntegerFromBytes(*bytes, value) ? S_OK : E_FAIL;
    return E_FAIL;
}

HRESULT CMemorySettingsStore::ReadBinary(std::string_view name, std::vector<std::uint8_t>& value) {
    std::lock_guard lock(m_lock);
    auto it = m_values.find(name);
    if (it == m_values.end())
        return S_FALSE;
    const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&it->second);
    if (!bytes)
        return E_FAIL;
    value = *bytes;
    return S_OK;
}

HRESULT CMemorySettingsStore::WriteString(std::string_view name, std::string_view value) {
    Put(name, std::string(value));
    return S_OK;
}

HRESULT CMemorySettingsStore::WriteInteger(std::string_view name, std::uint32_t value) {
    Put(name, value);
    return S_OK;
}

HRESULT CMemorySettingsStore::WriteBinary(std::string_view name,
                                          std::span<const std::uint8_t> value) {
    Put(name, std::vector<std::uint8_t>(value.begin(), value.end()));
    return S_OK;
}

HRESULT CMemorySettingsStore::Remove(std::string_view name) {
    std::lock_guard lock(m_lock);
    auto it = m_values.find(name);
    if (it == m_values.end())
        return S_FALSE;
    m_values.erase(it);
    ++m_writeCount;
    return S_OK;
}

void CMemorySettingsStore::Put(std::string_view name, Value value) {
    std::lock_guard lock(m_lock);
    m_values.insert_or_assign(std::string(name), std::move(value));
    ++m_writeCount;
}

bool CMemorySettingsStore::Contains(std::string_view name) const {
    std::lock_guard lock(m_lock);
    return m_values.find(name) != m_values.end();
}

std::size_t CMemorySettingsStore::WriteCount() const {
    std::lock_guard lock(m_lock);
    return m_writeCount;
}

}  // namespace sondrel
