#include "transport/DriverCalls.h"

namespace zarn {
namespace {

constexpr std::uint8_t AudioVendorOut = 0x43;
constexpr std::uint8_t AudioVendorIn = 0xC3;
constexpr std::size_t MaxControlData = 0xFFFF;

std::optional<DriverCall> DecodeAudioCall(std::span<const std::uint8_t> input,
                                          std::span<std::uint8_t> output) {
    const auto header = DecodeKsProperty(input);
    if (!header || header->Set != VendorRequestPropertySet) {
        return std::nullopt;
    }
    if (header->Flags == KSPROPERTY_TYPE_SETSUPPORT) {
        if (header->Id != 0) {
            return std::nullopt;
        }
        DriverCall query;
        query.SupportQuery = true;
        return query;
    }
    const bool get = header->Flags == KSPROPERTY_TYPE_GET;
    if (header->Id != VendorRequestPropertyId || (!get && header->Flags != KSPROPERTY_TYPE_SET)) {
        return std::nullopt;
    }
    const auto fields = DecodeAudioPropertyRequest(input);
    if (!fields || fields->RequestType != AudioRequestTypeByte ||
        fields->DataLength > MaxControlData || (get && output.size() < fields->DataLength)) {
        return std::nullopt;
    }
    DriverCall call;
    call.Setup = {get ? AudioVendorIn : AudioVendorOut, fields->bRequest, fields->wValue,
                  fields->wIndex, static_cast<std::uint16_t>(fields->DataLength)};
    if (get) {
        call.ReceiveBuffer = output.first(fields->DataLength);
    } else {
        call.SentData = fields->Data;
    }
    return call;
}

std::optional<DriverCall> DecodeIspCall(bool deviceToHost, std::span<const std::uint8_t> input,
                                        std::span<std::uint8_t> output) {
    auto setup = DecodeIspRequestRecord(input);
    if (!setup || setup->IsDeviceToHost() != deviceToHost || output.size() > MaxControlData) {
        return std::nullopt;
    }
    // The transfer length is the length of the buffer passed with the call.
    setup->wLength = static_cast<std::uint16_t>(output.size());
    DriverCall call;
    call.Setup = *setup;
    if (deviceToHost) {
        call.ReceiveBuffer = output;
    } else {
        call.SentData = output;
    }
    return call;
}

}  // namespace

std::optional<DriverCall> DecodeDriverCall(DriverPath driver, std::uint32_t code,
                                           std::span<const std::uint8_t> input,
                                           std::span<std::uint8_t> output) {
    if (driver == DriverPath::Audio) {
        return code == IOCTL_KS_PROPERTY ? DecodeAudioCall(input, output) : std::nullopt;
    }
    if (code == IOCTL_ISP_VENDOR_IN || code == IOCTL_ISP_VENDOR_OUT) {
        return DecodeIspCall(code == IOCTL_ISP_VENDOR_IN, input, output);
    }
    return std::nullopt;
}

}  // namespace zarn
