#include "platform/udev/CUdevUsbDeviceList.h"

#include <libudev.h>

#include <memory>
#include <string_view>

#include "platform/udev/UsbHardwareId.h"

namespace sondrel {

namespace {

struct UdevDeleter {
    void operator()(udev* context) const { udev_unref(context); }
    void operator()(udev_enumerate* enumerate) const { udev_enumerate_unref(enumerate); }
    void operator()(udev_device* device) const { udev_device_unref(device); }
};

template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

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

    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
        const char* path = udev_list_entry_get_name(entry);
        UdevPtr<udev_device> device(
            path != nullptr ? udev_device_new_from_syspath(context.get(), path) : nullptr);
        if (!device) {
            // Interfaces are named "1-1:1.0"; anything else is a device whose id is unknown.
            const std::string_view name = path != nullptr ? path : "";
            if (name.substr(name.rfind('/') + 1).find(':') == std::string_view::npos)
                hardwareIds.emplace_back();
            continue;
        }
        const char* devtype = udev_device_get_devtype(device.get());
        if (devtype == nullptr || std::string_view(devtype) != "usb_device")
            continue;
        // Attributes come from sysfs and work without a running udev daemon; the udev
        // database's ID_* properties are the fallback for a device that hides them.
        udev_device* raw = device.get();
        hardwareIds.push_back(
            BuildUsbHardwareId([raw](std::string_view name) -> std::optional<std::string> {
                const std::string key(name);
                if (const char* value = udev_device_get_sysattr_value(raw, key.c_str()))
                    return std::string(value);
                const char* property = nullptr;
                if (name == "idVendor") {
                    property = "ID_VENDOR_ID";
                } else if (name == "idProduct") {
                    property = "ID_MODEL_ID";
                } else if (name == "bcdDevice") {
                    property = "ID_REVISION";
                }
                if (property != nullptr) {
                    if (const char* value = udev_device_get_property_value(raw, property))
                        return std::string(value);
                }
                return std::nullopt;
            }));
    }
    return S_OK;
}

}  // namespace sondrel
