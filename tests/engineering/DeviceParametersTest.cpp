#include "engineering/DeviceParameters.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "chip/ChipRegisters.h"
#include "engineering/PlaybackStatus.h"
#include "support/VirtualChipFixture.h"

namespace zarn {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

TEST(DeviceParameters, OptionsTouchOnlyTheirBits) {
    ParameterBytes block = StartParameterBlock;
    SetMclkIndex(block, 3);  // 1024 Fs
    EXPECT_EQ(block[0], 0xB1);
    SetBit(block, LeftJustified, true);
    EXPECT_EQ(block[0], 0xF1);
    SetBit(block, MclkOutputOff, true);
    SetBit(block, I2sLength32, false);
    EXPECT_EQ(block, (ParameterBytes{0xF0, 0x80, 0x00, 0x00}));
    EXPECT_EQ(MclkIndex(block), 3);
    EXPECT_FALSE(GetBit(block, EepromPresent));
}

TEST(DeviceParameters, IdsAreTheirFirstFourCharactersZeroPadded) {
    EXPECT_THAT(IdBytes("6012"), ElementsAre(0x36, 0x30, 0x31, 0x32));
    EXPECT_THAT(IdBytes("60"), ElementsAre(0x36, 0x30, 0x00, 0x00));
    EXPECT_THAT(IdBytes("3e50ab"), ElementsAre(0x33, 0x65, 0x35, 0x30));
}

TEST(DeviceParameters, StringRecordsGoInChunksOfEight) {
    const std::pair<std::size_t, std::vector<std::size_t>> cases[] = {
        {19, {8, 8, 4}}, {7, {8}}, {8, {8, 1}}, {40, {8, 8, 8, 8}}, {0, {1}}};
    for (const auto& [characters, sizes] : cases) {
        const std::string text(characters, 'k');
        const auto chunks = StringChunks(text);
        std::vector<std::size_t> got;
        for (const auto& chunk : chunks) {
            got.push_back(chunk.size());
        }
        EXPECT_EQ(got, sizes) << characters;
        EXPECT_EQ(chunks.front().front(), std::min<std::size_t>(characters, 31)) << characters;
    }
}

class DeviceParametersDevice : public ::testing::Test, public fakes::VirtualChipFixture {};

TEST_F(DeviceParametersDevice, BlockStringsAndIdsReachTheFirmware) {
    EXPECT_TRUE(SetParameters(Usb, {0x1E, 0xE0, 0x12, 0x80}));
    EXPECT_EQ(Chip().Firmware().ParameterBlock, (ParameterBytes{0x1E, 0xE0, 0x12, 0x80}));
    Chip().Firmware().ParameterBlock = {0x01, 0x02, 0x03, 0x84};
    EXPECT_EQ(ReadParameters(Usb), (ParameterBytes{0x01, 0x02, 0x03, 0x84}));

    EXPECT_TRUE(WriteId(Usb, ProductIdCode, "6012"));
    EXPECT_THAT(Chip().Firmware().ProductIdText, ElementsAre('6', '0', '1', '2'));
    const auto before = Time.Now();
    EXPECT_TRUE(WriteString(Usb, StringCodes[1], "Keldrix-inc UAC2 22"));
    EXPECT_GE(Time.Now() - before, std::chrono::milliseconds(3 * 50));
    const auto& record = Chip().Firmware().StringRecords[1];
    EXPECT_EQ(record[0], 19);
    EXPECT_EQ(std::string(record.begin() + 1, record.begin() + 20), "Keldrix-inc UAC2 22");
}

TEST_F(DeviceParametersDevice, AnExchangeThatIsNotCompletedReadsAsNothing) {
    SetIspMode(Usb, true);  // the firmware does not run in ISP mode
    EXPECT_EQ(ReadParameters(Usb), std::nullopt);
    EXPECT_FALSE(SetParameters(Usb, StartParameterBlock));
    EXPECT_FALSE(WriteString(Usb, StringCodes[0], "x"));
}

struct StatusCase {
    std::uint8_t Rate;
    std::uint8_t Status;
    bool Connected, Muted, Dsd;
    const char* RateText;
};

TEST(PlaybackStatus, DecodedAsThePageShowsIt) {
    const StatusCase cases[] = {{0x00, 0x00, false, false, false, " 44.1KHz"},
                                {0x00, 0x05, true, true, false, " 44.1KHz"},
                                {0x34, 0x01, true, false, false, "176.4KHz"},
                                {0x09, 0x03, true, false, true, " DSD 128"},
                                {0x01, 0x03, true, false, true, " DoP 128"},
                                {0x0C, 0x01, true, false, false, "        "}};
    for (const auto& c : cases) {
        const PlaybackView view = DecodeStatus({c.Rate, 0x00, c.Status});
        EXPECT_EQ(view.Connected, c.Connected);
        EXPECT_EQ(view.Muted, c.Muted);
        EXPECT_EQ(view.Dsd, c.Dsd);
        EXPECT_EQ(view.RateText, c.RateText) << int(c.Rate) << " " << int(c.Status);
    }
}

TEST_F(DeviceParametersDevice, StatusRegistersAndMediaKeys) {
    Chip().Firmware().PlaybackStatus = {0x34, 0x77, 0x01};
    EXPECT_EQ(ReadStatusBytes(Usb), (StatusBytes{0x34, 0x77, 0x01}));

    ClearLog();
    EXPECT_TRUE(SendMediaKey(Usb, 3));  // Vol +
    EXPECT_THAT(Chip().Firmware().MediaKeys, ElementsAre(0x01));
    EXPECT_THAT(RegisterWrites(),
                ElementsAre(std::pair{0x00, 0x00}, std::pair{0x91, 0x01}, std::pair{0x90, 0x30}));
    Chip().Firmware().AnswersMediaKeys = false;
    ClearLog();
    EXPECT_FALSE(SendMediaKey(Usb, 0));
    EXPECT_EQ(Requests(0x91).size(), 10u);  // at most ten polls

    Device.Usb()->Unplug();
    EXPECT_EQ(ReadStatusBytes(Usb), std::nullopt);
}

}  // namespace
}  // namespace zarn
