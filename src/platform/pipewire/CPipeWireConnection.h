// The connection to the user's PipeWire server: its own event thread (pw_thread_loop), the
// core, and a registry view of the audio nodes and devices with their full properties. Rings
// create their streams on it and are told when their node goes away or the server dies.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/Result.h"
#include "platform/pipewire/PipeWireNodes.h"

struct pw_thread_loop;
struct pw_context;
struct pw_core;
struct spa_dict;

namespace sondrel {

// Told on the connection's thread, with its lock held; must not call back into it.
class IPipeWireWatcher {
public:
    virtual ~IPipeWireWatcher() = default;
    virtual void OnNodeRemoved(std::uint32_t id) = 0;
    virtual void OnServerGone() = 0;
};

// Threading: the public calls come from the main thread. Lock()/Unlock() take the connection
// thread's lock, which every call on the core or a stream needs.
class CPipeWireConnection {
public:
    // S_OK once a server answered a round trip within timeoutMs; otherwise E_FAIL and the
    // reason in why.
    static HRESULT Connect(int timeoutMs, std::unique_ptr<CPipeWireConnection>& connection,
                           std::string& why);
    ~CPipeWireConnection();
    CPipeWireConnection(const CPipeWireConnection&) = delete;
    CPipeWireConnection& operator=(const CPipeWireConnection&) = delete;

    // The server's audio nodes and devices as they are after a round trip; false when the
    // server is gone or does not answer.
    bool Snapshot(std::vector<PipeWireNodeInfo>& nodes, std::vector<PipeWireDeviceInfo>& devices);

    // "PipeWire 0.3.65 at /run/user/1000/pipewire-0"
    const std::string& ServerDescription() const { return m_description; }
    bool ServerGone() const { return m_serverGone.load(std::memory_order_acquire); }

    void Lock();
    void Unlock();
    // With the lock held: waits for a Signal() or at most timeoutMs.
    void Wait(int timeoutMs);
    void Signal();
    pw_thread_loop* Loop() const { return m_loop; }
    pw_core* Core() const { return m_core; }
    // With the lock held.
    void AddWatcher(IPipeWireWatcher* watcher);
    // With the lock held: whether the node is in its error state, and why.
    bool NodeFailed(std::uint32_t id, std::string& error) const;
    void RemoveWatcher(IPipeWireWatcher* watcher);

private:
    friend struct PipeWireConnectionEvents;
    struct Objects;
    struct Entry;
    CPipeWireConnection();
    HRESULT Open(int timeoutMs, std::string& why);
    // With the lock held: a round trip to the server, so that everything it sent before has
    // arrived. False when it did not answer in time.
    bool RoundTrip(int timeoutMs);
    void OnGlobal(std::uint32_t id, const char* type, const spa_dict* props);
    void OnGlobalRemove(std::uint32_t id);
    void OnCoreError(std::uint32_t id, int res, const char* message);
    void OnDone(std::uint32_t id, int seq);

    pw_thread_loop* m_loop = nullptr;
    pw_context* m_context = nullptr;
    pw_core* m_core = nullptr;
    std::unique_ptr<Objects> m_objects;
    std::vector<IPipeWireWatcher*> m_watchers;
    std::atomic<bool> m_serverGone{false};
    int m_pendingSeq = -1;
    bool m_synced = false;
    std::string m_description;
};

// Locks a connection for a scope.
class CPipeWireLock {
public:
    explicit CPipeWireLock(CPipeWireConnection& connection) : m_connection(connection) {
        m_connection.Lock();
    }
    ~CPipeWireLock() { m_connection.Unlock(); }
    CPipeWireLock(const CPipeWireLock&) = delete;
    CPipeWireLock& operator=(const CPipeWireLock&) = delete;

private:
    CPipeWireConnection& m_connection;
};

}  // namespace sondrel
