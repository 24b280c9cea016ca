#pragma once
// The byte layouts that carry one vendor control request to the two device drivers, and the
// I/O control codes that select them.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zarn {

// A device-interface class or property set identifier, held as its fields; ToBytes gives the
// 16 bytes in memory order (first three fields little-endian, the last eight as written).
struct Guid {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::array<std::uint8_t, 8> Data4;

    std::array<std::uint8_t, 16> ToBytes() const;
    static Guid FromBytes(std::span<const std::uint8_t, 16> bytes);
    // "{a5dcbf10-6530-11d2-901f-00c04fb951ed}": the form interface paths end with.
    std::string ToString() const;
    bool operator==(const Guid&) const = default;
};

// {50894FA4-9206-4A91-8728-CF6F268F271D}: interfaces reached through the audio driver.
inline constexpr Guid AudioPathInterfaceClass{
    0x50894FA4, 0x9206, 0x4A91, {0x87, 0x28, 0xCF, 0x6F, 0x26, 0x8F, 0x27, 0x1D}};
// {A5DCBF10-6530-11D2-901F-00C04FB951ED}: every USB device; the ISP driver's interfaces.
inline constexpr Guid GUID_DEVINTERFACE_USB_DEVICE{
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
// {F6D7C04D-C5C3-4181-9ED7-504ABE0CDDFF}: the audio driver's vendor request property set.
inline constexpr Guid VendorRequestPropertySet{
    0xF6D7C04D, 0xC5C3, 0x4181, {0x9E, 0xD7, 0x50, 0x4A, 0xBE, 0x0C, 0xDD, 0xFF}};

inline constexpr std::uint32_t IOCTL_ISP_VENDOR_OUT = 0x00222429;
inline constexpr std::uint32_t IOCTL_ISP_VENDOR_IN = 0x0022242E;
inline constexpr std::uint32_t IOCTL_KS_PROPERTY = 0x002F0003;

inline constexpr std::uint32_t KSPROPERTY_TYPE_GET = 0x00000001;
inline constexpr std::uint32_t KSPROPERTY_TYPE_SET = 0x00000002;
inline constexpr std::uint32_t KSPROPERTY_TYPE_SETSUPPORT = 0x00000100;

// Property id of a vendor request inside VendorRequestPropertySet.
inline constexpr std::uint32_t VendorRequestPropertyId = 7;
// The request type byte the audio driver is given; it builds the real one itself.
inline constexpr std::uint8_t AudioRequestTypeByte = 0x20;

inline constexpr std::size_t KsPropertySize = 24;
inline constexpr std::size_t AudioRequestHeaderSize = 40;
inline constexpr std::size_t IspRequestRecordSize = 24;

// The fields of a USB setup packet. bmRequestType bit 7 set means device to host.
struct SetupPacket {
    std::uint8_t bmRequestType = 0;
    std::uint8_t bRequest = 0;
    std::uint16_t wValue = 0;
    std::uint16_t wIndex = 0;
    std::uint16_t wLength = 0;

    bool IsDeviceToHost() const { return (bmRequestType & 0x80) != 0; }
    bool operator==(const SetupPacket&) const = default;
};

// The 24-byte KSPROPERTY header: set, id, flags.
std::vector<std::uint8_t> EncodeKsProperty(const Guid& set, std::uint32_t id, std::uint32_t flags);

// AudioPropertyRequest: a KSPROPERTY header, request type 0x20, bRequest, wValue, wIndex,
// six reserved bytes, the data length and a copy of the data, then a zero tail. Its size is
// data.size() + 47 bytes, 48 when there is no data.
std::vector<std::uint8_t> EncodeAudioPropertyRequest(bool deviceToHost, std::uint8_t bRequest,
                                                     std::uint16_t wValue, std::uint16_t wIndex,
                                                     std::span<const std::uint8_t> data);

// IspRequestRecord: four reserved bytes, the setup packet, twelve reserved bytes.
std::array<std::uint8_t, IspRequestRecordSize> EncodeIspRequestRecord(const SetupPacket& setup);

// What a driver reads back out of the two layouts.
struct KsPropertyHeader {
    Guid Set;
    std::uint32_t Id;
    std::uint32_t Flags;
};
std::optional<KsPropertyHeader> DecodeKsProperty(std::span<const std::uint8_t> input);

struct AudioPropertyFields {
    std::uint8_t RequestType;
    std::uint8_t bRequest;
    std::uint16_t wValue;
    std::uint16_t wIndex;
    std::uint32_t DataLength;
    std::span<const std::uint8_t> Data;  // inside the decoded input
};
// Empty when the input is too short for its header or for the data length it announces.
std::optional<AudioPropertyFields> DecodeAudioPropertyRequest(std::span<const std::uint8_t> input);

// Empty unless the input is exactly one record. wLength is taken as written.
std::optional<SetupPacket> DecodeIspRequestRecord(std::span<const std::uint8_t> input);

}  // namespace zarn
