#include "image/HexText.h"

#include <cstdio>
#include <vector>

namespace zarn {

int HexDigit(char character) {
    if (character >= '0' && character <= '9') {
        return character - '0';
    }
    if (character >= 'A' && character <= 'F') {
        return character - 'A' + 10;
    }
    if (character >= 'a' && character <= 'f') {
        return character - 'a' + 10;
    }
    return -1;
}

std::string HexRecord(std::uint8_t type, std::uint16_t address,
                      std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(data.size()),
                                    static_cast<std::uint8_t>(address >> 8),
                                    static_cast<std::uint8_t>(address), type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    std::uint8_t sum = 0;
    for (const auto byte : bytes) {
        sum = static_cast<std::uint8_t>(sum + byte);
    }
    bytes.push_back(static_cast<std::uint8_t>(0x100 - sum));
    std::string record = ":";
    for (const auto byte : bytes) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", byte);
        record += digits;
    }
    return record + "\n";
}

}  // namespace zarn
