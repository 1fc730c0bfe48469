// One output device of the output device list, a candidate for the listen-through monitor.
#pragma once

#include <string>

#include "base/CSmartPtrTarget.h"
#include "base/Guid.h"

namespace sondrel {

class CRecMonDevice : public CSmartPtrTarget {
public:
    // A null guid stands for the system's default output entry.
    CRecMonDevice(const GUID& guid, std::string description)
        : m_guid(guid), m_description(std::move(description)) {}

    const GUID& Guid() const { return m_guid; }
    const std::string& Description() const { return m_description; }

private:
    GUID m_guid;
    std::string m_description;
};

}  // namespace sondrel
