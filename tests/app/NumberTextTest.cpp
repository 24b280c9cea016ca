#include "app/NumberText.h"

#include <gtest/gtest.h>

namespace zarn {
namespace {

struct NumberCase {
    const char* Text;
    std::optional<std::uint32_t> Hexadecimal;
    std::optional<std::uint32_t> Decimal;
};

TEST(NumberText, TypedNumbersAreReadOrRefused) {
    const NumberCase cases[] = {
        {"9c", 0x9C, std::nullopt},
        {"1FF", 0x1FF, std::nullopt},
        {" 64 ", 0x64, 64},
        {"0x0C", 0x0C, std::nullopt},
        {"FFFFFFFF", 0xFFFFFFFF, std::nullopt},
        {"100000000", std::nullopt, 100000000},
        {"4294967295", std::nullopt, 4294967295u},
        {"4294967296", std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt},
        {"  ", std::nullopt, std::nullopt},
        {"0x", std::nullopt, std::nullopt},
        {"-5", std::nullopt, std::nullopt},
        {"6x4", std::nullopt, std::nullopt},
        {"12 34", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseHexNumber(c.Text), c.Hexadecimal) << '"' << c.Text << '"';
        EXPECT_EQ(ParseDecimalNumber(c.Text), c.Decimal) << '"' << c.Text << '"';
    }
    EXPECT_EQ(NotANumberText("6x4", false), "'6x4' is not a valid decimal number");
    EXPECT_EQ(NotANumberText("9g", true), "'9g' is not a valid hexadecimal number");
}

}  // namespace
}  // namespace zarn
