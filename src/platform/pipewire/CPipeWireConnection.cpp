#include "platform/pipewire/CPipeWireConnection.h"

#include <pipewire/pipewire.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/DebugOutput.h"

namespace sondrel {

namespace {

std::string Prop(const spa_dict* props, const char* key) {
    const char* value = props != nullptr ? spa_dict_lookup(props, key) : nullptr;
    return value != nullptr ? value : "";
}

// Where libpipewire looks for the server, for saying so.
std::string SocketPath() {
    const char* remote = std::getenv("PIPEWIRE_REMOTE");
    const std::string name = remote != nullptr && *remote != '\0' ? remote : "pipewire-0";
    if (name.starts_with("/"))
        return name;
    for (const char* variable : {"PIPEWIRE_RUNTIME_DIR", "XDG_RUNTIME_DIR"}) {
        const char* dir = std::getenv(variable);
        if (dir != nullptr && *dir != '\0')
            return std::string(dir) + "/" + name;
    }
    return name + " (no XDG_RUNTIME_DIR)";
}

void UpdateNode(PipeWireNodeInfo& node, const spa_dict* props) {
    node.serial = Prop(props, PW_KEY_OBJECT_SERIAL);
    node.name = Prop(props, PW_KEY_NODE_NAME);
    node.description = Prop(props, PW_KEY_NODE_DESCRIPTION);
    if (node.description.empty())
        node.description = Prop(props, PW_KEY_NODE_NICK);
    if (node.description.empty())
        node.description = node.name;
    node.mediaClass = Prop(props, PW_KEY_MEDIA_CLASS);
    const std::string deviceId = Prop(props, PW_KEY_DEVICE_ID);
    node.deviceId = deviceId.empty()
                        ? kNoPipeWireId
                        : static_cast<std::uint32_t>(std::strtoul(deviceId.c_str(), nullptr, 10));
    node.vendorId = Prop(props, PW_KEY_DEVICE_VENDOR_ID);
    node.productId = Prop(props, PW_KEY_DEVICE_PRODUCT_ID);
    node.alsaCard = Prop(props, "alsa.card");
    if (node.alsaCard.empty())
        node.alsaCard = Prop(props, "api.alsa.pcm.card");
    std::string device = Prop(props, "alsa.device");
    if (device.empty())
        device = Prop(props, "api.alsa.pcm.device");
    node.alsaDevice = device.empty() ? -1 : std::atoi(device.c_str());
    const unsigned long channels =
        std::strtoul(Prop(props, PW_KEY_AUDIO_CHANNELS).c_str(), nullptr, 10);
    node.channels = static_cast<std::uint16_t>(std::min(channels, 0xFFFFul));
}

}  // namespace

// One bound node or device: its proxy keeps its full properties coming.
struct CPipeWireConnection::Entry {
    CPipeWireConnection* owner = nullptr;
    pw_proxy* proxy = nullptr;
    spa_hook listener{};
    bool isDevice = false;
    PipeWireNodeInfo node;
    PipeWireDeviceInfo device;

    ~Entry() {
        spa_hook_remove(&listener);
        if (proxy != nullptr)  // a bind that failed has none
            pw_proxy_destroy(proxy);
    }
};

struct CPipeWireConnection::Objects {
    pw_registry* registry = nullptr;
    spa_hook registryListener{};
    spa_hook coreListener{};
    std::map<std::uint32_t, std::unique_ptr<Entry>> entries;
    std::string version;
};

// The C callbacks, which reach the connection's private handlers. What they keep may need
// memory; running out of it must not unwind through PipeWire's C code, so the object is then
// left as it was.
struct PipeWireConnectionEvents {
    template <typename Handler>
    static void Guarded(Handler&& handler) noexcept {
        try {
            handler();
        } catch (...) {
        }
    }
    static void Global(void* data, std::uint32_t id, std::uint32_t, const char* type, std::uint32_t,
                       const spa_dict* props) {
        Guarded([&] { static_cast<CPipeWireConnection*>(data)->OnGlobal(id, type, props); });
    }
    static void GlobalRemove(void* data, std::uint32_t id) {
        Guarded([&] { static_cast<CPipeWireConnection*>(data)->OnGlobalRemove(id); });
    }
    static void CoreInfo(void* data, const pw_core_info* info) {
        auto* connection = static_cast<CPipeWireConnection*>(data);
        if (info->version != nullptr)
            Guarded([&] { connection->m_objects->version = info->version; });
    }
    static void Done(void* data, std::uint32_t id, int seq) {
        Guarded([&] { static_cast<CPipeWireConnection*>(data)->OnDone(id, seq); });
    }
    static void Error(void* data, std::uint32_t id, int, int res, const char* message) {
        Guarded([&] { static_cast<CPipeWireConnection*>(data)->OnCoreError(id, res, message); });
    }
    static void NodeInfo(void* data, const pw_node_info* info) {
        auto* entry = static_cast<CPipeWireConnection::Entry*>(data);
        if ((info->change_mask & PW_NODE_CHANGE_MASK_PROPS) != 0)
            Guarded([&] { UpdateNode(entry->node, info->props); });
        if ((info->change_mask & PW_NODE_CHANGE_MASK_STATE) != 0) {
            entry->node.suspended = info->state == PW_NODE_STATE_SUSPENDED;
            entry->node.failed = info->state == PW_NODE_STATE_ERROR;
            Guarded([&] { entry->node.error = info->error != nullptr ? info->error : ""; });
            // Whoever waits for the node to start learns that it failed.
            entry->owner->Signal();
        }
    }
    static void DeviceInfo(void* data, const pw_device_info* info) {
        auto* entry = static_cast<CPipeWireConnection::Entry*>(data);
        if ((info->change_mask & PW_DEVICE_CHANGE_MASK_PROPS) == 0)
            return;
        Guarded([&] {
            entry->device.vendorId = Prop(info->props, PW_KEY_DEVICE_VENDOR_ID);
            entry->device.productId = Prop(info->props, PW_KEY_DEVICE_PRODUCT_ID);
        });
    }
};

namespace {

const pw_registry_events kRegistryEvents = [] {
    pw_registry_events events{};
    events.version = PW_VERSION_REGISTRY_EVENTS;
    events.global = PipeWireConnectionEvents::Global;
    events.global_remove = PipeWireConnectionEvents::GlobalRemove;
    return events;
}();

const pw_node_events kNodeEvents = [] {
    pw_node_events events{};
    events.version = PW_VERSION_NODE_EVENTS;
    events.info = PipeWireConnectionEvents::NodeInfo;
    return events;
}();

const pw_device_events kDeviceEvents = [] {
    pw_device_events events{};
    events.version = PW_VERSION_DEVICE_EVENTS;
    events.info = PipeWireConnectionEvents::DeviceInfo;
    return events;
}();

const pw_core_events kCoreEvents = [] {
    pw_core_events events{};
    events.version = PW_VERSION_CORE_EVENTS;
    events.info = PipeWireConnectionEvents::CoreInfo;
    events.done = PipeWireConnectionEvents::Done;
    events.error = PipeWireConnectionEvents::Error;
    return events;
}();

}  // namespace

CPipeWireConnection::CPipeWireConnection() : m_objects(std::make_unique<Objects>()) {}

HRESULT CPipeWireConnection::Connect(int timeoutMs,
                                     std::unique_ptr<CPipeWireConnection>& connection,
                                     std::string& why) {
    connection.reset(new CPipeWireConnection());
    if (Failed(connection->Open(timeoutMs, why))) {
        connection.reset();
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CPipeWireConnection::Open(int timeoutMs, std::string& why) {
    pw_init(nullptr, nullptr);
    const std::string socket = SocketPath();
    m_loop = pw_thread_loop_new("sondrel-pipewire", nullptr);
    if (m_loop == nullptr) {
        why = "its client library cannot start a thread";
        return E_FAIL;
    }
    // The client configuration with real-time data threads: the capture callback runs there.
    m_context = pw_context_new(pw_thread_loop_get_loop(m_loop),
                               pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr), 0);
    if (m_context == nullptr || pw_thread_loop_start(m_loop) < 0) {
        why = "its client library cannot be set up";
        return E_FAIL;
    }
    CPipeWireLock lock(*this);
    m_core = pw_context_connect(m_context, nullptr, 0);
    if (m_core == nullptr) {
        std::error_code ec;
        why = "nothing answers at " + socket +
              (std::filesystem::exists(socket, ec) ? " (the socket refused the connection)"
                                                   : " (there is no socket)");
        return E_FAIL;
    }
    pw_core_add_listener(m_core, &m_objects->coreListener, &kCoreEvents, this);
    m_objects->registry = pw_core_get_registry(m_core, PW_VERSION_REGISTRY, 0);
    pw_registry_add_listener(m_objects->registry, &m_objects->registryListener, &kRegistryEvents,
                             this);
    if (!RoundTrip(timeoutMs)) {
        why = "the server at " + socket + " does not answer";
        return E_FAIL;
    }
    m_description = "PipeWire " + m_objects->version + ", which answers at " + socket;
    return S_OK;
}

CPipeWireConnection::~CPipeWireConnection() {
    if (m_loop != nullptr) {
        Lock();
        m_objects->entries.clear();
        if (m_objects->registry != nullptr) {
            spa_hook_remove(&m_objects->registryListener);
            pw_proxy_destroy(reinterpret_cast<pw_proxy*>(m_objects->registry));
        }
        if (m_core != nullptr) {
            spa_hook_remove(&m_objects->coreListener);
            pw_core_disconnect(m_core);
        }
        Unlock();
        pw_thread_loop_stop(m_loop);
    }
    if (m_context != nullptr)
        pw_context_destroy(m_context);
    if (m_loop != nullptr)
        pw_thread_loop_destroy(m_loop);
}

void CPipeWireConnection::Lock() {
    pw_thread_loop_lock(m_loop);
}

void CPipeWireConnection::Unlock() {
    pw_thread_loop_unlock(m_loop);
}

void CPipeWireConnection::Wait(int timeoutMs) {
    // Whole seconds are all the thread loop offers for a timed wait; a deadline in between
    // comes from pw_thread_loop_timed_wait_full.
    timespec deadline{};
    pw_thread_loop_get_time(m_loop, &deadline, std::int64_t{timeoutMs} * 1000000);
    pw_thread_loop_timed_wait_full(m_loop, &deadline);
}

void CPipeWireConnection::Signal() {
    pw_thread_loop_signal(m_loop, false);
}

void CPipeWireConnection::AddWatcher(IPipeWireWatcher* watcher) {
    m_watchers.push_back(watcher);
}

void CPipeWireConnection::RemoveWatcher(IPipeWireWatcher* watcher) {
    m_watchers.erase(std::remove(m_watchers.begin(), m_watchers.end(), watcher), m_watchers.end());
}

bool CPipeWireConnection::NodeFailed(std::uint32_t id, std::string& error) const {
    const auto entry = m_objects->entries.find(id);
    if (entry == m_objects->entries.end() || entry->second->isDevice || !entry->second->node.failed)
        return false;
    error = entry->second->node.error;
    return true;
}

bool CPipeWireConnection::RoundTrip(int timeoutMs) {
    if (ServerGone())
        return false;
    m_synced = false;
    m_pendingSeq = pw_core_sync(m_core, PW_ID_CORE, 0);
    timespec deadline{};
    pw_thread_loop_get_time(m_loop, &deadline, std::int64_t{timeoutMs} * 1000000);
    while (!m_synced && !ServerGone()) {
        if (pw_thread_loop_timed_wait_full(m_loop, &deadline) != 0)
            break;
    }
    return m_synced;
}

bool CPipeWireConnection::Snapshot(std::vector<PipeWireNodeInfo>& nodes,
                                   std::vector<PipeWireDeviceInfo>& devices) {
    nodes.clear();
    devices.clear();
    CPipeWireLock lock(*this);
    // Two trips: the first brings new objects, whose bound proxies then send their properties.
    if (!RoundTrip(2000) || !RoundTrip(2000))
        return false;
    for (const auto& [id, entry] : m_objects->entries) {
        if (entry->isDevice)
            devices.push_back(entry->device);
        else
            nodes.push_back(entry->node);
    }
    return true;
}

void CPipeWireConnection::OnGlobal(std::uint32_t id, const char* type, const spa_dict* props) {
    const bool node = std::strcmp(type, PW_TYPE_INTERFACE_Node) == 0;
    const bool device = std::strcmp(type, PW_TYPE_INTERFACE_Device) == 0;
    const std::string mediaClass = Prop(props, PW_KEY_MEDIA_CLASS);
    if (!(node && mediaClass.starts_with("Audio/")) && !(device && mediaClass == "Audio/Device"))
        return;
    auto entry = std::make_unique<Entry>();
    entry->owner = this;
    entry->isDevice = device;
    entry->proxy = static_cast<pw_proxy*>(pw_registry_bind(
        m_objects->registry, id, type, device ? PW_VERSION_DEVICE : PW_VERSION_NODE, 0));
    if (entry->proxy == nullptr)
        return;
    if (device) {
        entry->device.id = id;
        pw_device_add_listener(reinterpret_cast<pw_device*>(entry->proxy), &entry->listener,
                               &kDeviceEvents, entry.get());
    } else {
        entry->node.id = id;
        UpdateNode(entry->node, props);
        pw_node_add_listener(reinterpret_cast<pw_node*>(entry->proxy), &entry->listener,
                             &kNodeEvents, entry.get());
    }
    m_objects->entries[id] = std::move(entry);
}

void CPipeWireConnection::OnGlobalRemove(std::uint32_t id) {
    if (m_objects->entries.erase(id) == 0)
        return;
    for (IPipeWireWatcher* watcher : m_watchers)
        watcher->OnNodeRemoved(id);
    Signal();
}

void CPipeWireConnection::OnDone(std::uint32_t id, int seq) {
    if (id == PW_ID_CORE && seq == m_pendingSeq) {
        m_synced = true;
        Signal();
    }
}

void CPipeWireConnection::OnCoreError(std::uint32_t id, int res, const char* message) {
    OutputDebugText("PipeWire error on object " + std::to_string(id) + ": " +
                    (message != nullptr ? message : "") + " (" + std::strerror(-res) + ")\n");
    // A broken connection is reported as an error on the core itself.
    if (id != PW_ID_CORE || res != -EPIPE || ServerGone())
        return;
    m_serverGone.store(true, std::memory_order_release);
    for (IPipeWireWatcher* watcher : m_watchers)
        watcher->OnServerGone();
    Signal();
}

}  // namespace sondrel
