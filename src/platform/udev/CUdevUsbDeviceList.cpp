#include "platform/udev/CUdevUsbDeviceList.h"

#include <libudev.h>

#include <memory>
#include <string_view>

#include "platform/UsbHardwareId.h"

namespace sondrel {

namespace {

struct UdevDeleter {
    void operator()(udev* context) const { udev_unref(context); }
    void operator()(udev_enumerate* enumerate) const { udev_enumerate_unref(enumerate); }
    void operator()(udev_device* device) const { udev_device_unref(device); }
};

template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

// Each sysfs attribute of the id and the udev property that stands in for it.
constexpr std::pair<const char*, const char*> kIdNames[] = {
    {"idVendor", "ID_VENDOR_ID"}, {"idProduct", "ID_MODEL_ID"}, {"bcdDevice", "ID_REVISION"}};

UdevUsbEntry ReadEntry(udev* context, const char* path) {
    UdevUsbEntry entry;
    entry.sysPath = path != nullptr ? path : "";
    UdevPtr<udev_device> device(path != nullptr ? udev_device_new_from_syspath(context, path)
                                                : nullptr);
    if (!device)
        return entry;
    entry.opened = true;
    if (const char* devtype = udev_device_get_devtype(device.get()))
        entry.devtype = devtype;
    for (const auto& [attribute, property] : kIdNames) {
        if (const char* value = udev_device_get_sysattr_value(device.get(), attribute))
            entry.attributes.emplace(attribute, value);
        if (const char* value = udev_device_get_property_value(device.get(), property))
            entry.properties.emplace(property, value);
    }
    return entry;
}

}  // namespace

bool CUdevUsbDeviceList::IsAvailable() {
    return UdevPtr<udev>(udev_new()) != nullptr;
}

HRESULT CUdevUsbDeviceList::EnumeratePresentDevices(std::vector<std::string>& hardwareIds) {
    hardwareIds.clear();
    UdevPtr<udev> context(udev_new());
    if (!context)
        return E_FAIL;
    UdevPtr<udev_enumerate> enumerate(udev_enumerate_new(context.get()));
    if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "usb") < 0)
        return E_FAIL;
    // A machine without a USB bus (or without sysfs entries for it) simply has no devices.
    if (udev_enumerate_scan_devices(enumerate.get()) < 0)
        return S_OK;

    std::vector<UdevUsbEntry> entries;
    udev_list_entry* item = nullptr;
    udev_list_entry_foreach(item, udev_enumerate_get_list_entry(enumerate.get())) {
        entries.push_back(ReadEntry(context.get(), udev_list_entry_get_name(item)));
    }
    hardwareIds = HardwareIds(entries);
    return S_OK;
}

std::vector<std::string> CUdevUsbDeviceList::HardwareIds(const std::vector<UdevUsbEntry>& entries) {
    std::vector<std::string> ids;
    for (const UdevUsbEntry& entry : entries) {
        if (!entry.opened) {
            // Interfaces are named "1-1:1.0"; anything else is a device whose id is unknown.
            const std::string_view name = entry.sysPath;
            if (name.substr(name.rfind('/') + 1).find(':') == std::string_view::npos)
                ids.emplace_back();
            continue;
        }
        if (entry.devtype != "usb_device")
            continue;
        // Attributes come from sysfs and work without a running udev daemon; the udev
        // database's properties are the fallback for a device that hides them.
        ids.push_back(
            BuildUsbHardwareId([&entry](std::string_view name) -> std::optional<std::string> {
                if (const auto found = entry.attributes.find(name); found != entry.attributes.end())
                    return found->second;
                for (const auto& [attribute, property] : kIdNames) {
                    if (name != attribute)
                        continue;
                    if (const auto found = entry.properties.find(property);
                        found != entry.properties.end())
                        return found->second;
                }
                return std::nullopt;
            }));
    }
    return ids;
}

}  // namespace sondrel
