#include "engineering/RegisterMap.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "chip/ChipRegisters.h"
#include "chip/I2cMaster.h"
#include "engineering/SpecialI2c.h"
#include "support/VirtualChipFixture.h"

namespace zarn {
namespace {

using ::testing::ElementsAre;

TEST(RegisterMap, CellsNumberTheRegistersRowByRow) {
    EXPECT_EQ(RegisterMap::RegisterOfCell(1, 1), 0x00);
    EXPECT_EQ(RegisterMap::RegisterOfCell(16, 1), 0x0F);
    EXPECT_EQ(RegisterMap::RegisterOfCell(1, 2), 0x10);
    EXPECT_EQ(RegisterMap::RegisterOfCell(16, 16), 0xFF);
}

// The register bank page's rules against the chip, the I2C page's against the codec at 0x20.
class RegisterMapTest : public ::testing::Test, public fakes::VirtualChipFixture {
protected:
    RegisterMapTest() {
        I2cInit(Usb);
        Codec = static_cast<RegisterI2cDevice*>(Chip().Bus().Find(0x20 >> 1));
    }

    // The values written to register 0x42 of the map's target, in order.
    std::vector<std::uint8_t> WritesTo42(bool i2c) {
        std::vector<std::uint8_t> values;
        for (const auto& entry : Log()) {
            if (!i2c && entry.Setup.bRequest == 0x90 && entry.Setup.wIndex == 0x42) {
                values.push_back(entry.Data.at(0));
            }
        }
        if (i2c) {
            const auto& trace = Chip().I2cBusTrace();
            for (std::size_t i = 0; i + 3 < trace.size(); ++i) {
                if (trace[i] == "A:20" && trace[i + 1] == "W:42" && trace[i + 3] == "P") {
                    values.push_back(
                        static_cast<std::uint8_t>(std::stoi(trace[i + 2].substr(2), nullptr, 16)));
                }
            }
        }
        return values;
    }

    std::uint8_t Address = 0x20;
    RegisterI2cDevice* Codec = nullptr;
    ChipRegisterAccess ChipAccess{Usb};
    I2cRegisterAccess I2cAccess{Usb, Address};
    RegisterMap Bank{Usb, ChipAccess, {false, 1, 3}};
    RegisterMap I2c{Usb, I2cAccess, {true, 1, 30}};
};

struct KeyCase {
    const char* Name;
    bool I2c;
    std::uint8_t Before;  // the register's byte, read into the shadow first
    const char* CellText;
    RegisterKey Key;
    std::vector<std::uint8_t> Written;
    std::uint8_t ShadowAfter;
};

void PrintTo(const KeyCase& c, std::ostream* out) {
    *out << c.Name;
}

class RegisterKeyTest : public RegisterMapTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(RegisterKeyTest, KeysWriteWhatTheirRuleSays) {
    const KeyCase& c = GetParam();
    if (c.I2c) {
        Codec->Registers[0x42] = c.Before;
    } else {
        Usb.Open();
        RegWrite(Usb, 0x42, c.Before);
    }
    RegisterMap& map = c.I2c ? I2c : Bank;
    ASSERT_EQ(map.ReadOne(0x42), c.Before);
    ClearLog();
    Chip().ClearI2cBusTrace();
    const RegisterChange change = map.KeyPressed(c.Key, 0x42, c.CellText);
    EXPECT_EQ(WritesTo42(c.I2c), c.Written);
    EXPECT_EQ(change.Written, !c.Written.empty());
    EXPECT_EQ(map.Shadow()[0x42], c.ShadowAfter);
    if (change.Written) {
        EXPECT_EQ(change.Value, c.ShadowAfter);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RegisterKeyTest,
    ::testing::Values(
        KeyCase{
            "EnterTakesTheLowByteOfTheText", false, 0x00, "1FF", RegisterKey::Enter, {0xFF}, 0xFF},
        KeyCase{
            "BankInsertStepsTheStoredByte", false, 0x41, "99", RegisterKey::Insert, {0x42}, 0x42},
        KeyCase{"BankInsertAtFFSendsNothing", false, 0xFF, "00", RegisterKey::Insert, {}, 0xFF},
        KeyCase{"BankDeleteAt00SendsNothing", false, 0x00, "10", RegisterKey::Delete, {}, 0x00},
        KeyCase{"OtherKeysSendNothing", false, 0x10, "20", RegisterKey::Other, {}, 0x10},
        KeyCase{"I2cDeleteStepsTheText", true, 0x00, "3C", RegisterKey::Delete, {0x3B}, 0x3B},
        KeyCase{"I2cInsertOnFFTakesTheTextOnly", true, 0x10, "FF", RegisterKey::Insert, {}, 0xFF},
        KeyCase{"I2cEnter", true, 0x10, "a5", RegisterKey::Enter, {0xA5}, 0xA5}),
    [](const auto& info) { return info.param.Name; });

TEST_F(RegisterMapTest, TextThatIsNoNumberIsRefusedWithoutARequest) {
    ClearLog();
    for (RegisterMap* map : {&Bank, &I2c}) {
        const RegisterChange change = map->KeyPressed(RegisterKey::Enter, 0x42, "4G");
        EXPECT_FALSE(change.Written);
        EXPECT_EQ(change.Refusal, "'4G' is not a valid hexadecimal number");
    }
    EXPECT_TRUE(Log().empty());
}

TEST_F(RegisterMapTest, BitBoxesWriteTheirValueAndWaitBeforeTheReadBack) {
    for (auto [map, pause] : {std::pair{&Bank, 3}, std::pair{&I2c, 30}}) {
        const auto before = Time.Now();
        const RegisterChange change = map->BitsReleased(0x42, 0x80);
        EXPECT_EQ(change.Value, 0x80);
        EXPECT_GE(Time.Now() - before, std::chrono::milliseconds(pause));
    }
    EXPECT_EQ(Codec->Registers[0x42], 0x80);
}

TEST_F(RegisterMapTest, AFailedReadGivesNoValueAndKeepsTheLastGoodByte) {
    Codec->Registers[0x42] = 0x17;
    ASSERT_EQ(I2c.ReadOne(0x42), 0x17);
    Address = 0x44;  // nobody answers there
    EXPECT_EQ(I2c.ReadOne(0x42), std::nullopt);
    EXPECT_EQ(I2c.Shadow()[0x42], 0x17);

    ASSERT_EQ(Bank.ReadOne(0x42), Chip().Register(I2cBank, 0x42));
    Device.Usb()->FailRequestsWhere(
        [](const SetupPacket& setup, std::size_t) { return setup.bRequest == 0x91; });
    EXPECT_EQ(Bank.BitsReleased(0x42, 0x55).Value, std::nullopt);
    EXPECT_EQ(Bank.Shadow()[0x42], 0x55);  // what was written stays the last good byte
}

TEST_F(RegisterMapTest, ReadAllStopsWhereItIsTold) {
    std::vector<std::uint8_t> shown;
    Bank.ReadAll([&](std::uint8_t number, std::optional<std::uint8_t>) {
        shown.push_back(number);
        return number < 2;
    });
    EXPECT_THAT(shown, ElementsAre(0, 1, 2));
}

TEST(SpecialI2c, BoxBytesTakeTwoCharactersAndCountOthersAsZero) {
    const std::pair<const char*, std::uint8_t> cases[] = {{"5A", 0x5A}, {"5", 0x50},  {"123", 0x12},
                                                          {"", 0x00},   {"g7", 0x07}, {"ff", 0xFF}};
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(BoxByte(text), value) << text;
    }
}

TEST_F(RegisterMapTest, SpecialTransactionsPutTheirBytesOnTheBus) {
    Chip().ClearI2cBusTrace();
    EXPECT_TRUE(SpecialI2cWrite(Usb, 0x20, {0x5A}, {0x07}));
    EXPECT_THAT(Chip().I2cBusTrace(), ElementsAre("S", "A:20", "W:5A", "W:07", "P"));
    Codec->Registers[0x10] = 0xAB;
    Codec->Registers[0x11] = 0xCD;
    EXPECT_EQ(SpecialI2cRead(Usb, 0x20, {0x10}, 2), (std::vector<std::uint8_t>{0xAB, 0xCD}));
    EXPECT_EQ(SpecialI2cRead(Usb, 0x44, {0x10}, 2), std::nullopt);
}

}  // namespace
}  // namespace zarn
