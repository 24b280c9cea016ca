#pragma once
// A scripted device layer: it lists the paths a test gives it, opens the paths it is told are
// openable, and records every call the transport makes.

#include <algorithm>
#include <map>
#include <set>

#include "transport/DeviceLayer.h"

namespace zarn::fakes {

struct IoControlCall {
    DeviceHandle Handle;
    std::uint32_t Code;
    std::vector<std::uint8_t> Input;
    std::size_t OutputSize;
};

class FakeDeviceLayer : public DeviceLayer {
public:
    // Interface paths by class; a class that is absent gives "no list".
    std::map<std::string, std::vector<std::string>> PathsByClass;
    std::set<std::string> OpenablePaths;
    // Paths on which every I/O control call fails.
    std::set<std::string> FailingPaths;
    // Bytes the "driver" returns for device-to-host calls.
    std::vector<std::uint8_t> Answer;

    std::vector<std::string> Opened;
    std::vector<DeviceHandle> Closed;
    std::vector<IoControlCall> Calls;

    void SetPaths(const Guid& interfaceClass, std::vector<std::string> paths) {
        PathsByClass[interfaceClass.ToString()] = std::move(paths);
    }
    std::size_t HeldHandles() const { return HandlePaths.size(); }

    std::optional<std::vector<std::string>> ListInterfaces(const Guid& interfaceClass) override {
        const auto found = PathsByClass.find(interfaceClass.ToString());
        if (found == PathsByClass.end()) {
            return std::nullopt;
        }
        return found->second;
    }

    DeviceHandle Open(const std::string& path) override {
        Opened.push_back(path);
        if (OpenablePaths.count(path) == 0) {
            return NoHandle;
        }
        HandlePaths[NextHandle] = path;
        return NextHandle++;
    }

    bool IoControl(DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> input,
                   std::span<std::uint8_t> output) override {
        Calls.push_back({handle, code, {input.begin(), input.end()}, output.size()});
        const auto found = HandlePaths.find(handle);
        if (found == HandlePaths.end() || FailingPaths.count(found->second) != 0) {
            return false;
        }
        const bool deviceToHost =
            code == IOCTL_ISP_VENDOR_IN ||
            (code == IOCTL_KS_PROPERTY && input.size() > 20 && input[20] == KSPROPERTY_TYPE_GET);
        if (deviceToHost) {
            std::copy_n(Answer.begin(), std::min(Answer.size(), output.size()), output.begin());
        }
        return true;
    }

    Clock& DeviceClock() override { return Time; }

    void Close(DeviceHandle handle) override {
        Closed.push_back(handle);
        HandlePaths.erase(handle);
    }

private:
    VirtualClock Time;
    std::map<DeviceHandle, std::string> HandlePaths;
    DeviceHandle NextHandle = 0x100;
};

}  // namespace zarn::fakes
