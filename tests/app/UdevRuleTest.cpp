// The udev rule must let the user open every device the tool looks for, and no more.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "app/DeviceTable.h"

namespace zarn {
namespace {

std::string RuleFor(const std::string& identity) {
    // "vid_31d4&pid_0053" -> the attribute matches of that device
    return "ATTR{idVendor}==\"" + identity.substr(4, 4) + "\", ATTR{idProduct}==\"" +
           identity.substr(13, 4) + "\", TAG+=\"uaccess\"";
}

TEST(UdevRule, CoversEveryProductAndIspIdentityWithoutOpeningThemToEveryone) {
    std::ifstream file(ZARN_UDEV_RULES);
    ASSERT_TRUE(file) << ZARN_UDEV_RULES;
    std::stringstream text;
    text << file.rdbuf();
    const std::string rules = text.str();
    for (const auto& row : DeviceTable) {
        EXPECT_THAT(rules, ::testing::HasSubstr(RuleFor(row.Identity))) << row.Identity;
    }
    EXPECT_THAT(rules, ::testing::HasSubstr(RuleFor(IspMatch3E52)));
    EXPECT_THAT(rules, ::testing::HasSubstr(RuleFor(IspMatch1C7A)));
    EXPECT_THAT(rules, ::testing::Not(::testing::HasSubstr("MODE")));
}

}  // namespace
}  // namespace zarn
