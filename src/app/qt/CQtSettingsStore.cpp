#include "app/qt/CQtSettingsStore.h"

#include <sys/stat.h>

#include <QByteArray>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>
#include <iostream>

#include "app/SettingsValue.h"

namespace sondrel {

namespace {

constexpr char kSection[] = "Settings";

QString Key(std::string_view name) {
    return QString::fromLatin1(kSection) + QLatin1Char('/') +
           QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

QString ConfigFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

HRESULT Commit(QSettings& settings) {
    settings.sync();
    return settings.status() == QSettings::NoError ? S_OK : E_FAIL;
}

}  // namespace

CQtSettingsStore::CQtSettingsStore(QString filePath) : m_filePath(std::move(filePath)) {}

bool CQtSettingsStore::FileIsUsable() {
    // Through a link, as the user may keep the file elsewhere; only what it is matters.
    struct stat info {};
    const QByteArray path = m_filePath.toLocal8Bit();
    if (::stat(path.constData(), &info) != 0 || S_ISREG(info.st_mode))
        return true;
    if (!m_warned) {
        m_warned = true;
        std::cerr << "sondrel: " << path.constData()
                  << " is not a regular file; its settings are ignored and the defaults used\n";
    }
    return false;
}

QString CQtSettingsStore::VendorStorePath() {
    return ConfigFolder() + QStringLiteral("/Brevitt/Calvero.conf");
}

QString CQtSettingsStore::ProfileStorePath(const QString& applicationName) {
    return ConfigFolder() + QStringLiteral("/SDRL/") + applicationName + QStringLiteral(".conf");
}

HRESULT CQtSettingsStore::ReadString(std::string_view name, std::string& value) {
    std::lock_guard lock(m_lock);
    if (!FileIsUsable())
        return S_FALSE;
    QSettings settings(m_filePath, QSettings::IniFormat);
    const QVariant stored = settings.value(Key(name));
    if (!stored.isValid())
        return S_FALSE;
    // Plain text in the file reads as a string; "@ByteArray(...)", lists ("a, b") and other
    // encoded types are values of another type.
    if (stored.typeId() != QMetaType::QString)
        return E_FAIL;
    value = stored.toString().toStdString();
    return S_OK;
}

HRESULT CQtSettingsStore::ReadInteger(std::string_view name, std::uint32_t& value) {
    std::lock_guard lock(m_lock);
    if (!FileIsUsable())
        return S_FALSE;
    QSettings settings(m_filePath, QSettings::IniFormat);
    const QVariant stored = settings.value(Key(name));
    if (!stored.isValid())
        return S_FALSE;
    switch (stored.typeId()) {
        case QMetaType::QString:
            return ParseSettingsInteger(stored.toString().toStdString(), value) ? S_OK : E_FAIL;
        case QMetaType::QByteArray: {
            const QByteArray bytes = stored.toByteArray();
            const std::span<const std::uint8_t> data(
                reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                static_cast<std::size_t>(bytes.size()));
            return SettingsIntegerFromBytes(data, value) ? S_OK : E_FAIL;
        }
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong: {
            bool ok = false;
            const qlonglong number = stored.toLongLong(&ok);
            if (!ok || number < -2147483648LL || number > 4294967295LL)
                return E_FAIL;
            value = static_cast<std::uint32_t>(number);
            return S_OK;
        }
        default:
            return E_FAIL;
    }
}

HRESULT CQtSettingsStore::ReadBinary(std::string_view name, std::vector<std::uint8_t>& value) {
    std::lock_guard lock(m_lock);
    if (!FileIsUsable())
        return S_FALSE;
    QSettings settings(m_filePath, QSettings::IniFormat);
    const QVariant stored = settings.value(Key(name));
    if (!stored.isValid())
        return S_FALSE;
    if (stored.typeId() != QMetaType::QByteArray)
        return E_FAIL;
    const QByteArray bytes = stored.toByteArray();
    value.assign(bytes.begin(), bytes.end());
    return S_OK;
}

HRESULT CQtSettingsStore::WriteString(std::string_view name, std::string_view value) {
    std::lock_guard lock(m_lock);
    if (!FileIsUsable())
        return E_FAIL;
    QSettings settings(m_filePath, QSettings::IniFormat);
    settings.setValue(Key(name),
                      QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
    return Commit(settings);
}

HRESULT CQtSettingsStore::WriteInteger(std::string_view name, std::uint32_t value) {
    std::lock_guard lock(m_lock);
    if (!FileIsUsable())
        return E_FAIL;
    QSettings settings(m_filePath, QSettings::IniFormat);
    settings.setValue(Key(name), QString::number(value));
    return Commit(settings);
}

HRESULT CQtSettingsStore::WriteBinary(std::string_view name, std::span<const std::uint8_t> value) {
    std::lock_guard lock(m_lock);
    if (!FileIsUsable())
        return E_FAIL;
    QSettings settings(m_filePath, QSettings::IniFormat);
    settings.setValue(Key(name), QByteArray(reinterpret_cast<const char*>(value.data()),
                                            static_cast<qsizetype>(value.size())));
    return Commit(settings);
}

HRESULT CQtSettingsStore::Remove(std::string_view name) {
    std::lock_guard lock(m_lock);
    if (!FileIsUsable())
        return S_FALSE;
    QSettings settings(m_filePath, QSettings::IniFormat);
    if (!settings.contains(Key(name)))
        return S_FALSE;
    settings.remove(Key(name));
    return Commit(settings);
}

}  // namespace sondrel
