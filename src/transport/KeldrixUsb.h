#pragma once
// The device transport: finds an interface of the bridge chip by its USB identity, remembers its
// path, opens it and carries one vendor control request at a time, either through the audio
// driver (while the device runs its audio firmware) or through the ISP driver (while it shows
// its in-system-programming identity).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "transport/DeviceLayer.h"

namespace zarn {

class KeldrixUsb {
public:
    static constexpr std::size_t DevicePathSize = 512;
    static constexpr std::size_t MatchTextSize = 50;
    static constexpr const char* InitialMatch = "vid_1c7a&pid_6000";

    explicit KeldrixUsb(DeviceLayer& layer);
    virtual ~KeldrixUsb();
    KeldrixUsb(const KeldrixUsb&) = delete;
    KeldrixUsb& operator=(const KeldrixUsb&) = delete;

    // Path selector: true = audio path, false = ISP path.
    void SetAudioMode(bool audioMode) { AudioMode = audioMode; }
    bool IsAudioMode() const { return AudioMode; }

    // Copies the identity text searched for in interface paths; at most 49 characters are kept.
    void SetMatch(const char* text);
    const char* GetMatch() const { return MatchText; }

    virtual bool IsFound() const { return Found; }
    void ClearFound() { Found = false; }

    // Walks the interfaces of the selected class. Every match becomes DevicePath, sets Found
    // and is probed; the result is the last probe's (false when nothing matched).
    virtual bool Connect();
    // Walks the interfaces of the selected class and sets Found to whether any path matched.
    virtual bool Scan();

    // Opens DevicePath for requests, closing a held handle first.
    bool Open();
    void Close();
    bool HasHandle() const { return RequestHandle != NoHandle; }
    const char* GetDevicePath() const { return DevicePath; }
    // The clock for pauses between this device's requests.
    Clock& GetClock() { return Layer.DeviceClock(); }

    // Carries one control request on the selected path. For device-to-host requests (bit 7 of
    // bmRequestType set) the received bytes land in data. Fails without any I/O when no handle
    // is held, or when the request cannot be a control transfer (length over 65,535 bytes, or
    // no buffer for a non-zero length).
    bool VendorRequest(std::uint8_t bmRequestType, std::uint8_t bRequest, std::uint16_t wValue,
                       std::uint16_t wIndex, std::uint8_t* data, std::uint32_t length);
    // Vendor requests passed to the driver so far, answered or not; a run's progress.
    std::uint64_t RequestsSent() const { return Sent; }

private:
    // Calls visit with every present interface path of the selected class that holds the match
    // text and fits DevicePath; false when the platform gave no list.
    bool WalkMatchingInterfaces(const std::function<void(std::string_view path)>& visit);
    bool Probe();
    bool AudioRequest(std::uint8_t bmRequestType, std::uint8_t bRequest, std::uint16_t wValue,
                      std::uint16_t wIndex, std::uint8_t* data, std::uint32_t length);
    bool IspRequest(std::uint8_t bmRequestType, std::uint8_t bRequest, std::uint16_t wValue,
                    std::uint16_t wIndex, std::uint8_t* data, std::uint32_t length);

    DeviceLayer& Layer;
    bool Found = false;
    bool AudioMode = false;
    char DevicePath[DevicePathSize] = {};
    char MatchText[MatchTextSize] = {};
    DeviceHandle RequestHandle = NoHandle;
    std::uint64_t Sent = 0;
};

}  // namespace zarn
