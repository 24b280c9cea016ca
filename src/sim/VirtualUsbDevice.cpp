#include "sim/VirtualUsbDevice.h"

#include <algorithm>
#include <array>
#include <atomic>

namespace zarn {
namespace {

constexpr std::uint8_t GetDescriptor = 6;
constexpr std::uint8_t DeviceDescriptorType = 1;

std::string NextLocation() {
    static std::atomic<unsigned> counter{0};
    return "virtual" + std::to_string(++counter);
}

}  // namespace

VirtualUsbDevice::VirtualUsbDevice(VirtualClock& clock, std::uint16_t vendorId,
                                   std::uint16_t productId, bool audioClass,
                                   std::shared_ptr<DeviceModel> model)
    : Vid(vendorId),
      Pid(productId),
      AudioClass(audioClass),
      BusLocation(NextLocation()),
      Model(std::move(model)),
      Time(clock) {}

void VirtualUsbDevice::SetIdentity(std::uint16_t vendorId, std::uint16_t productId,
                                   bool audioClass) {
    Vid = vendorId;
    Pid = productId;
    AudioClass = audioClass;
}

void VirtualUsbDevice::Plug() {
    if (!Plugged) {
        Plugged = true;
        ++Attachments;
    }
}

void VirtualUsbDevice::FailRequestsWhere(
    std::function<bool(const SetupPacket&, std::size_t)> predicate) {
    FailPredicate = [predicate = std::move(predicate)](
                        const SetupPacket& setup, std::span<const std::uint8_t>,
                        std::size_t index) { return predicate(setup, index); };
}

void VirtualUsbDevice::UnplugAfterRequests(std::size_t count) {
    RequestsBeforeUnplug = count;
    UnplugPending = true;
}

bool VirtualUsbDevice::ControlTransfer(DriverPath path, const SetupPacket& setup,
                                       std::span<std::uint8_t> data) {
    if (UnplugPending && RequestsBeforeUnplug == 0) {
        UnplugPending = false;
        Plugged = false;
    }
    if (!Plugged) {
        return false;
    }
    if (UnplugPending) {
        --RequestsBeforeUnplug;
    }
    const auto arrived = Time.Now();
    Time.Advance(Latency);
    const std::size_t index = Log.size();
    const bool failed = FailPredicate && FailPredicate(setup, data, index);
    const bool result = !failed && Answer(setup, data);
    Log.push_back(
        {arrived, path, setup, std::vector<std::uint8_t>(data.begin(), data.end()), result});
    return result;
}

bool VirtualUsbDevice::Answer(const SetupPacket& setup, std::span<std::uint8_t> data) {
    if (setup.bmRequestType == 0x80 && setup.bRequest == GetDescriptor &&
        (setup.wValue >> 8) == DeviceDescriptorType) {
        return AnswerDeviceDescriptor(data);
    }
    return Model != nullptr && Model->ControlTransfer(setup, data);
}

bool VirtualUsbDevice::AnswerDeviceDescriptor(std::span<std::uint8_t> data) const {
    // USB 2.0, vendor-specific class, 64-byte endpoint 0, one configuration.
    const std::array<std::uint8_t, 18> descriptor{18,
                                                  DeviceDescriptorType,
                                                  0x00,
                                                  0x02,
                                                  0x00,
                                                  0x00,
                                                  0x00,
                                                  64,
                                                  static_cast<std::uint8_t>(Vid),
                                                  static_cast<std::uint8_t>(Vid >> 8),
                                                  static_cast<std::uint8_t>(Pid),
                                                  static_cast<std::uint8_t>(Pid >> 8),
                                                  0x00,
                                                  0x01,
                                                  1,
                                                  2,
                                                  0,
                                                  1};
    const std::size_t count = std::min(data.size(), descriptor.size());
    std::copy_n(descriptor.begin(), count, data.begin());
    return true;
}

}  // namespace zarn
