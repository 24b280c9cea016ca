#include "engineering/DeviceParameters.h"

#include <algorithm>

#include "chip/Mailbox.h"

namespace zarn {
namespace {

constexpr std::uint8_t ParameterCommand = 0x10;
constexpr std::uint8_t SetParametersCode = 0x20;
constexpr std::uint8_t ReadParametersCode = 0x21;
constexpr std::size_t ChunkSize = 8;
constexpr std::uint32_t ChunkPauseMs = 50;

}  // namespace

bool GetBit(const ParameterBytes& block, ParameterBit bit) {
    return (block[static_cast<std::size_t>(bit.Byte)] >> bit.Bit) & 1;
}

void SetBit(ParameterBytes& block, ParameterBit bit, bool set) {
    auto& byte = block[static_cast<std::size_t>(bit.Byte)];
    const auto mask = static_cast<std::uint8_t>(1u << bit.Bit);
    byte = static_cast<std::uint8_t>(set ? byte | mask : byte & ~mask);
}

int MclkIndex(const ParameterBytes& block) {
    return (block[0] >> 4) & 0x03;
}

void SetMclkIndex(ParameterBytes& block, int index) {
    block[0] = static_cast<std::uint8_t>((block[0] & ~0x30) | ((index & 0x03) << 4));
}

std::array<std::uint8_t, 4> IdBytes(std::string_view text) {
    std::array<std::uint8_t, 4> bytes{};
    for (std::size_t i = 0; i < bytes.size() && i < text.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(text[i]);
    }
    return bytes;
}

std::vector<std::vector<std::uint8_t>> StringChunks(std::string_view text) {
    text = text.substr(0, MaxStringCharacters);
    std::vector<std::uint8_t> record{static_cast<std::uint8_t>(text.size())};
    record.insert(record.end(), text.begin(), text.end());
    std::vector<std::vector<std::uint8_t>> chunks;
    for (std::size_t start = 0; start < record.size(); start += ChunkSize) {
        const std::size_t end = std::min(record.size(), start + ChunkSize);
        chunks.emplace_back(record.begin() + static_cast<long>(start),
                            record.begin() + static_cast<long>(end));
    }
    return chunks;
}

bool SetParameters(KeldrixUsb& usb, const ParameterBytes& block) {
    ParameterBytes bytes = block;
    return MailboxCommand(usb, ParameterCommand, SetParametersCode, 0, 4, bytes.data());
}

std::optional<ParameterBytes> ReadParameters(KeldrixUsb& usb) {
    ParameterBytes bytes{};
    if (!MailboxCommand(usb, ParameterCommand, ReadParametersCode, 0, 4, bytes.data())) {
        return std::nullopt;
    }
    return bytes;
}

bool WriteId(KeldrixUsb& usb, std::uint8_t code, std::string_view text) {
    auto bytes = IdBytes(text);
    return MailboxCommand(usb, ParameterCommand, code, 0, 4, bytes.data());
}

bool WriteString(KeldrixUsb& usb, std::uint8_t code, std::string_view text) {
    bool all = true;
    std::uint8_t index = 0;
    for (auto& chunk : StringChunks(text)) {
        all &= MailboxCommand(usb, ParameterCommand, code, index++,
                              static_cast<std::uint8_t>(chunk.size()), chunk.data());
        usb.GetClock().Sleep(ChunkPauseMs);
    }
    return all;
}

}  // namespace zarn
