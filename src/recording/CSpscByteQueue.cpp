#include "recording/CSpscByteQueue.h"

#include <algorithm>
#include <cstring>

namespace sondrel {

CSpscByteQueue::CSpscByteQueue(std::size_t capacityBytes)
    : m_buffer(new std::uint8_t[capacityBytes]), m_capacityBytes(capacityBytes) {}

std::size_t CSpscByteQueue::UsedBytes() const {
    return static_cast<std::size_t>(m_writeTotal.load(std::memory_order_acquire) -
                                    m_readTotal.load(std::memory_order_acquire));
}

std::size_t CSpscByteQueue::FreeBytes() const {
    return m_capacityBytes - UsedBytes();
}

bool CSpscByteQueue::Push(const void* data, std::size_t count) {
    const std::uint64_t written = m_writeTotal.load(std::memory_order_relaxed);
    const std::uint64_t read = m_readTotal.load(std::memory_order_acquire);
    if (count > m_capacityBytes - static_cast<std::size_t>(written - read))
        return false;
    const std::size_t offset = static_cast<std::size_t>(written % m_capacityBytes);
    const std::size_t first = std::min(count, m_capacityBytes - offset);
    const auto* in = static_cast<const std::uint8_t*>(data);
    std::memcpy(m_buffer.get() + offset, in, first);
    std::memcpy(m_buffer.get(), in + first, count - first);
    m_writeTotal.store(written + count, std::memory_order_release);
    return true;
}

const std::uint8_t* CSpscByteQueue::Peek(std::size_t& bytes) const {
    const std::uint64_t written = m_writeTotal.load(std::memory_order_acquire);
    const std::uint64_t read = m_readTotal.load(std::memory_order_relaxed);
    const std::size_t offset = static_cast<std::size_t>(read % m_capacityBytes);
    bytes = std::min(static_cast<std::size_t>(written - read), m_capacityBytes - offset);
    return m_buffer.get() + offset;
}

void CSpscByteQueue::Consume(std::size_t count) {
    m_readTotal.fetch_add(count, std::memory_order_release);
}

}  // namespace sondrel
