#include "transport/WireFormat.h"

#include <algorithm>
#include <cstdio>

namespace zarn {
namespace {

void PutLe(std::span<std::uint8_t> out, std::size_t offset, std::uint32_t value, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        out[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t GetLe(std::span<const std::uint8_t> in, std::size_t offset, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        value |= static_cast<std::uint32_t>(in[offset + i]) << (8 * i);
    }
    return value;
}

}  // namespace

std::array<std::uint8_t, 16> Guid::ToBytes() const {
    std::array<std::uint8_t, 16> bytes{};
    PutLe(bytes, 0, Data1, 4);
    PutLe(bytes, 4, Data2, 2);
    PutLe(bytes, 6, Data3, 2);
    std::copy(Data4.begin(), Data4.end(), bytes.begin() + 8);
    return bytes;
}

Guid Guid::FromBytes(std::span<const std::uint8_t, 16> bytes) {
    Guid guid{GetLe(bytes, 0, 4),
              static_cast<std::uint16_t>(GetLe(bytes, 4, 2)),
              static_cast<std::uint16_t>(GetLe(bytes, 6, 2)),
              {}};
    std::copy(bytes.begin() + 8, bytes.end(), guid.Data4.begin());
    return guid;
}

std::string Guid::ToString() const {
    char text[39];
    std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", Data1,
                  Data2, Data3, Data4[0], Data4[1], Data4[2], Data4[3], Data4[4], Data4[5],
                  Data4[6], Data4[7]);
    return text;
}

std::vector<std::uint8_t> EncodeKsProperty(const Guid& set, std::uint32_t id, std::uint32_t flags) {
    std::vector<std::uint8_t> header(KsPropertySize, 0);
    const auto setBytes = set.ToBytes();
    std::copy(setBytes.begin(), setBytes.end(), header.begin());
    PutLe(header, 16, id, 4);
    PutLe(header, 20, flags, 4);
    return header;
}

std::vector<std::uint8_t> EncodeAudioPropertyRequest(bool deviceToHost, std::uint8_t bRequest,
                                                     std::uint16_t wValue, std::uint16_t wIndex,
                                                     std::span<const std::uint8_t> data) {
    // The driver expects length + 47 bytes; with no data the record is still 48 bytes long.
    const std::size_t size = data.empty() ? 48 : data.size() + 47;
    std::vector<std::uint8_t> request =
        EncodeKsProperty(VendorRequestPropertySet, VendorRequestPropertyId,
                         deviceToHost ? KSPROPERTY_TYPE_GET : KSPROPERTY_TYPE_SET);
    request.resize(size, 0);
    request[24] = AudioRequestTypeByte;
    request[25] = bRequest;
    PutLe(request, 26, wValue, 2);
    PutLe(request, 28, wIndex, 2);
    PutLe(request, 36, static_cast<std::uint32_t>(data.size()), 4);
    std::copy(data.begin(), data.end(), request.begin() + AudioRequestHeaderSize);
    return request;
}

std::array<std::uint8_t, IspRequestRecordSize> EncodeIspRequestRecord(const SetupPacket& setup) {
    std::array<std::uint8_t, IspRequestRecordSize> record{};
    record[4] = setup.bmRequestType;
    record[5] = setup.bRequest;
    PutLe(record, 6, setup.wValue, 2);
    PutLe(record, 8, setup.wIndex, 2);
    PutLe(record, 10, setup.wLength, 2);
    return record;
}

std::optional<KsPropertyHeader> DecodeKsProperty(std::span<const std::uint8_t> input) {
    if (input.size() < KsPropertySize) {
        return std::nullopt;
    }
    return KsPropertyHeader{Guid::FromBytes(input.first<16>()), GetLe(input, 16, 4),
                            GetLe(input, 20, 4)};
}

std::optional<AudioPropertyFields> DecodeAudioPropertyRequest(std::span<const std::uint8_t> input) {
    if (input.size() < AudioRequestHeaderSize) {
        return std::nullopt;
    }
    const std::uint32_t dataLength = GetLe(input, 36, 4);
    if (input.size() - AudioRequestHeaderSize < dataLength) {
        return std::nullopt;
    }
    return AudioPropertyFields{input[24],
                               input[25],
                               static_cast<std::uint16_t>(GetLe(input, 26, 2)),
                               static_cast<std::uint16_t>(GetLe(input, 28, 2)),
                               dataLength,
                               input.subspan(AudioRequestHeaderSize, dataLength)};
}

std::optional<SetupPacket> DecodeIspRequestRecord(std::span<const std::uint8_t> input) {
    if (input.size() != IspRequestRecordSize) {
        return std::nullopt;
    }
    return SetupPacket{input[4], input[5], static_cast<std::uint16_t>(GetLe(input, 6, 2)),
                       static_cast<std::uint16_t>(GetLe(input, 8, 2)),
                       static_cast<std::uint16_t>(GetLe(input, 10, 2))};
}

}  // namespace zarn
