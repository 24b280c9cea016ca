#pragma once
// A USB device on the virtual bus: its identity, whether it has an audio-class interface,
// whether it is plugged in, and the model that answers its vendor requests. It answers the
// standard device-descriptor request itself, keeps a log of every request that reaches it and
// can be told to fail requests or to vanish after a number of them.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "sim/DeviceModel.h"
#include "transport/Clock.h"
#include "transport/DriverCalls.h"
#include "transport/WireFormat.h"

namespace zarn {

struct RequestLogEntry {
    std::chrono::nanoseconds At;  // device time when the request arrived
    DriverPath Path;
    SetupPacket Setup;
    std::vector<std::uint8_t> Data;  // sent (host to device) or received (device to host)
    bool Result;
};

class VirtualUsbDevice {
public:
    VirtualUsbDevice(VirtualClock& clock, std::uint16_t vendorId, std::uint16_t productId,
                     bool audioClass, std::shared_ptr<DeviceModel> model);

    std::uint16_t VendorId() const { return Vid; }
    std::uint16_t ProductId() const { return Pid; }
    // A device re-enumerates with a new identity when its firmware changes; handles opened on the
    // old identity stop working.
    void SetIdentity(std::uint16_t vendorId, std::uint16_t productId, bool audioClass);
    bool IsAudioClass() const { return AudioClass; }

    bool IsPlugged() const { return Plugged; }
    void Plug();
    void Unplug() { Plugged = false; }
    // Counts the times the device was plugged in; a handle opened before a replug is dead.
    std::size_t Attachment() const { return Attachments; }

    // Where the device sits on the bus, part of its interface paths; unique per device.
    const std::string& Location() const { return BusLocation; }

    // Carries one request to the device: fails when unplugged or when a fault says so,
    // otherwise the device or its model answers. Every request that reaches it is logged.
    bool ControlTransfer(DriverPath path, const SetupPacket& setup, std::span<std::uint8_t> data);

    const std::vector<RequestLogEntry>& RequestLog() const { return Log; }
    void ClearRequestLog() { Log.clear(); }

    // Requests for which the predicate (setup, index in the log) holds fail without reaching
    // the model. The second form also sees the request's data, as sent by the host.
    void FailRequestsWhere(std::function<bool(const SetupPacket&, std::size_t)> predicate);
    using RequestPredicate =
        std::function<bool(const SetupPacket&, std::span<const std::uint8_t>, std::size_t)>;
    void FailRequestsWhere(RequestPredicate predicate) { FailPredicate = std::move(predicate); }
    // The device answers this many more requests and then is unplugged.
    void UnplugAfterRequests(std::size_t count);
    // Each request that reaches the device takes this long on the clock.
    static constexpr std::chrono::nanoseconds DefaultRequestLatency =
        std::chrono::microseconds(250);
    void SetRequestLatency(std::chrono::nanoseconds latency) { Latency = latency; }

private:
    bool Answer(const SetupPacket& setup, std::span<std::uint8_t> data);
    bool AnswerDeviceDescriptor(std::span<std::uint8_t> data) const;

    std::uint16_t Vid;
    std::uint16_t Pid;
    bool AudioClass;
    bool Plugged = true;
    std::size_t Attachments = 1;
    std::string BusLocation;
    std::shared_ptr<DeviceModel> Model;
    std::vector<RequestLogEntry> Log;
    RequestPredicate FailPredicate;
    std::size_t RequestsBeforeUnplug = 0;
    bool UnplugPending = false;
    VirtualClock& Time;
    std::chrono::nanoseconds Latency = DefaultRequestLatency;
};

}  // namespace zarn
