// One capture device of the capture device list: its description, device id and the number
// the list gave it.
#pragma once

#include <cstdint>
#include <string>

#include "base/CSmartPtrTarget.h"
#include "base/Guid.h"

namespace sondrel {

class CRecorderDSoundDevice : public CSmartPtrTarget {
public:
    CRecorderDSoundDevice(std::string name, const GUID& guid, std::int32_t id)
        : m_name(std::move(name)), m_guid(guid), m_id(id) {}

    const std::string& Name() const { return m_name; }
    const GUID& Guid() const { return m_guid; }
    std::int32_t Id() const { return m_id; }

private:
    std::string m_name;
    GUID m_guid;
    std::int32_t m_id;
};

}  // namespace sondrel
