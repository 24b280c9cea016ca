#include "app/NumberText.h"

#include "image/HexText.h"

namespace zarn {
namespace {

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<std::uint32_t> ParseNumber(std::string_view text, unsigned base) {
    text = Trimmed(text);
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char character : text) {
        const int digit = HexDigit(character);
        if (digit < 0 || static_cast<unsigned>(digit) >= base) {
            return std::nullopt;
        }
        value = value * base + static_cast<unsigned>(digit);
        if (value > 0xFFFFFFFF) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace

std::optional<std::uint32_t> ParseHexNumber(std::string_view text) {
    text = Trimmed(text);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);  // the digits are hexadecimal anyway
    }
    return ParseNumber(text, 16);
}

std::optional<std::uint32_t> ParseDecimalNumber(std::string_view text) {
    return ParseNumber(text, 10);
}

std::string NotANumberText(std::string_view text, bool hexadecimal) {
    return "'" + std::string(text) + "' is not a valid " +
           (hexadecimal ? "hexadecimal" : "decimal") + " number";
}

}  // namespace zarn
