// A settings store kept in an INI file through QSettings, section "Settings": the vendor
// store is <config>/Brevitt/Calvero.conf, the application profile
// <config>/SDRL/<application name>.conf, where <config> is the user's configuration folder
// ($XDG_CONFIG_HOME, by default ~/.config). A path that holds something other than a regular
// file (a pipe, a device, a folder) is left alone: reading a pipe would wait for a writer
// forever. The store then reads as empty, so the defaults apply, refuses writes, and says so
// once on standard error.
#pragma once

#include <QString>
#include <mutex>

#include "platform/ISettingsStore.h"

namespace sondrel {

class CQtSettingsStore final : public ISettingsStore {
public:
    explicit CQtSettingsStore(QString filePath);

    static QString VendorStorePath();
    // applicationName: the executable's file name without its extension.
    static QString ProfileStorePath(const QString& applicationName);

    const QString& FilePath() const { return m_filePath; }

    HRESULT ReadString(std::string_view name, std::string& value) override;
    HRESULT ReadInteger(std::string_view name, std::uint32_t& value) override;
    HRESULT ReadBinary(std::string_view name, std::vector<std::uint8_t>& value) override;
    HRESULT WriteString(std::string_view name, std::string_view value) override;
    HRESULT WriteInteger(std::string_view name, std::uint32_t value) override;
    HRESULT WriteBinary(std::string_view name, std::span<const std::uint8_t> value) override;
    HRESULT Remove(std::string_view name) override;

private:
    // False, with the warning the first time, when the path holds something that is not a
    // regular file; true when it is one or does not exist yet. Call with m_lock held.
    bool FileIsUsable();

    // Every call opens the file afresh, so values are never cached and another instance of
    // the store (or the user's editor) is seen at once; the lock serialises this object's
    // own readers and writers across threads.
    std::mutex m_lock;
    QString m_filePath;
    bool m_warned = false;
};

}  // namespace sondrel
