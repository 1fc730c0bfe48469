// A pre-sized byte queue between exactly one producer thread and one consumer thread: the
// capture thread hands the recording's bytes to the file-writer thread through it, so that
// the capture thread never waits for the disk.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace sondrel {

// Threads: Push and FreeBytes on the producer only; Peek and Consume on the consumer only;
// UsedBytes on either. Neither side allocates, locks or waits. The producer publishes
// m_writeTotal with release after copying, the consumer m_readTotal with release after
// reading; each loads the other's count with acquire, so a byte is never read before it is
// written nor overwritten before it is read. The totals count bytes since construction and
// never wrap in practice (64 bits).
class CSpscByteQueue {
public:
    explicit CSpscByteQueue(std::size_t capacityBytes);
    CSpscByteQueue(const CSpscByteQueue&) = delete;
    CSpscByteQueue& operator=(const CSpscByteQueue&) = delete;

    std::size_t CapacityBytes() const { return m_capacityBytes; }
    std::size_t FreeBytes() const;
    std::size_t UsedBytes() const;

    // All or nothing: false (nothing queued) when fewer than count bytes are free.
    bool Push(const void* data, std::size_t count);
    // The oldest queued bytes that lie in one piece; bytes is 0 when the queue is empty.
    const std::uint8_t* Peek(std::size_t& bytes) const;
    // Frees the first count bytes that Peek showed.
    void Consume(std::size_t count);

private:
    std::unique_ptr<std::uint8_t[]> m_buffer;
    std::size_t m_capacityBytes;
    alignas(64) std::atomic<std::uint64_t> m_writeTotal{0};
    alignas(64) std::atomic<std::uint64_t> m_readTotal{0};
};

}  // namespace sondrel
