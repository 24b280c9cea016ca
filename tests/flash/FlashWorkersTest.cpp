#include "flash/FlashWorkers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "chip/ChipRegisters.h"
#include "support/HexText.h"
#include "support/RecordingReporter.h"
#include "support/VirtualChipFixture.h"

namespace zarn {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

class FlashWorkersTest : public ::testing::Test, public fakes::VirtualChipFixture {
protected:
    explicit FlashWorkersTest(const FlashPart& flash = FlashModels::W25X40)
        : VirtualChipFixture(flash) {
        SetIspMode(Usb, true);
        UnprotectFlash(Usb);
        FlashReadId(Usb, Values.FlashId);
        SelectProgramMode(Values);
        ClearLog();
    }

    // A loaded image of count bytes counting up from 1.
    void SetImage(std::uint32_t count) {
        FillImage(Images, 0xFF);
        for (std::uint32_t i = 0; i < count; ++i) {
            Images.ImageBuffer[i] = static_cast<std::uint8_t>(i + 1);
        }
        Images.ImageLength = count;
    }

    // Flash addresses of the logged 0x81 read commands.
    std::vector<std::uint32_t> ReadAddresses() const {
        std::vector<std::uint32_t> addresses;
        for (const auto& entry : Requests(0x81)) {
            if (entry.Data.size() == 4 && entry.Data[0] == 0x03) {
                addresses.push_back((entry.Data[1] << 16) | (entry.Data[2] << 8) | entry.Data[3]);
            }
        }
        return addresses;
    }

    // The logged 0x80 packets that begin with the opcode.
    std::vector<RequestLogEntry> Packets(std::uint8_t opcode) const {
        std::vector<RequestLogEntry> packets;
        for (const auto& entry : Requests(0x80)) {
            if (!entry.Data.empty() && entry.Data[0] == opcode) {
                packets.push_back(entry);
            }
        }
        return packets;
    }

    ImageStore Images;
    FlashRunValues Values;
    fakes::RecordingReporter Report;
    FlashContext Context{Usb, Images, Values, Report, {}};
};

struct ModeCase {
    FlashIdBytes Id;
    std::uint16_t BlockSize;
    bool Aai;
};

class SelectProgramModeTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(SelectProgramModeTest, BlockSizeAndMethodFollowTheFlashId) {
    FlashRunValues values;
    values.FlashId = GetParam().Id;
    SelectProgramMode(values);
    EXPECT_EQ(values.ProgramBlockSize, GetParam().BlockSize);
    EXPECT_EQ(values.UseAaiProgram, GetParam().Aai);
}

INSTANTIATE_TEST_SUITE_P(Ids, SelectProgramModeTest,
                         ::testing::Values(ModeCase{{0xC2, 0x22, 0x11}, 32, false},
                                           ModeCase{{0xC2, 0x20, 0x12}, 256, false},
                                           ModeCase{{0xBF, 0x25, 0x8D}, 256, true},
                                           ModeCase{{0xEF, 0x40, 0x13}, 256, false},
                                           ModeCase{{0x00, 0x00, 0x00}, 256, false}));

TEST_F(FlashWorkersTest, EmptyImageSendsNothing) {
    EXPECT_TRUE(BlankCheckRange(Context, 0, 0));
    EXPECT_TRUE(ProgramRange(Context, 0, 0));
    EXPECT_TRUE(VerifyRange(Context, 0, 0));
    EXPECT_THAT(Log(), IsEmpty());
}

TEST_F(FlashWorkersTest, HundredByteImageIsOnePageAndTwoReadBlocks) {
    SetImage(100);
    ASSERT_TRUE(BlankCheckRange(Context, 0, 100));
    EXPECT_THAT(ReadAddresses(), ElementsAre(0, 64));

    ASSERT_TRUE(ProgramRange(Context, 0, 100));
    const auto pages = Packets(0x02);
    ASSERT_THAT(pages, SizeIs(1));
    EXPECT_EQ(pages[0].Setup.wIndex, 0);
    const auto payload = Requests(0x80).back();
    ASSERT_THAT(payload.Data, SizeIs(256));
    EXPECT_EQ(payload.Data[99], 100);
    EXPECT_THAT(std::vector<std::uint8_t>(payload.Data.begin() + 100, payload.Data.end()),
                Each(0xFF));

    // Bytes past the image do not take part in the verify.
    Chip().Flash().Load(100, std::vector<std::uint8_t>(28, 0x00));
    ClearLog();
    EXPECT_TRUE(VerifyRange(Context, 0, 100));
    EXPECT_THAT(ReadAddresses(), ElementsAre(0, 64));
}

TEST_F(FlashWorkersTest, BlankPageIsSkippedEntirely) {
    SetImage(512);
    std::fill_n(Images.ImageBuffer.begin(), 256, 0xFF);
    ASSERT_TRUE(ProgramRange(Context, 0, 512));
    const auto pages = Packets(0x02);
    ASSERT_THAT(pages, SizeIs(1));
    EXPECT_THAT(pages[0].Data, ElementsAre(0x02, 0x00, 0x01, 0x00));
    EXPECT_THAT(Report.ProcessAddress, ElementsAre("0x000100"));
    EXPECT_TRUE(VerifyRange(Context, 0, 512));
}

TEST_F(FlashWorkersTest, BlankCheckReadsABadBlockThreeTimesAndNamesTheByte) {
    Chip().Flash().Load(0x12A, std::vector<std::uint8_t>{0x00});
    EXPECT_FALSE(BlankCheckRange(Context, 0, 0x200));
    EXPECT_THAT(ReadAddresses(), ElementsAre(0x000, 0x040, 0x080, 0x0C0, 0x100, 0x100, 0x100));
    EXPECT_THAT(Report.ProcessInfo, ElementsAre("Blanking Fail at 0x00012A"));
    EXPECT_EQ(Context.LastFailure, "Blanking Fail at 0x00012A");
}

// Every byte of a block takes part in the comparison: the first and last of the first block,
// the last of an inner block, and the last byte of the range.
TEST_F(FlashWorkersTest, BlankCheckAndVerifyCompareEveryByteOfEveryBlock) {
    SetImage(0x100);
    ASSERT_TRUE(ProgramRange(Context, 0, 0x100));
    for (const std::uint32_t address : {0x000u, 0x001u, 0x03Fu, 0x07Fu, 0x0BFu, 0x0FFu}) {
        const std::uint8_t good = Chip().Flash().Array()[address];
        Chip().Flash().Load(address,
                            std::vector<std::uint8_t>{static_cast<std::uint8_t>(good ^ 0x80)});
        EXPECT_FALSE(VerifyRange(Context, 0, 0x100));
        EXPECT_EQ(Context.LastFailure, "Verifying Fail at 0x" + AddressText(address));
        Chip().Flash().Load(address, std::vector<std::uint8_t>{good});
    }
    EXPECT_TRUE(VerifyRange(Context, 0, 0x100));
    for (const std::uint32_t address : {0x100u, 0x13Fu, 0x17Fu, 0x1FFu}) {
        Chip().Flash().Load(address, std::vector<std::uint8_t>{0x7F});
        EXPECT_FALSE(BlankCheckRange(Context, 0x100, 0x200));
        EXPECT_EQ(Context.LastFailure, "Blanking Fail at 0x" + AddressText(address));
        Chip().Flash().Load(address, std::vector<std::uint8_t>{0xFF});
    }
    EXPECT_TRUE(BlankCheckRange(Context, 0x100, 0x200));
}

TEST_F(FlashWorkersTest, VerifyRetriesABlockThatReadWrongOnce) {
    SetImage(256);
    ASSERT_TRUE(ProgramRange(Context, 0, 256));
    Chip().Flash().FlipBitOnReadsWhere(
        [](std::uint32_t address, std::size_t read) { return address == 0x40 && read == 1; });
    ClearLog();
    EXPECT_TRUE(VerifyRange(Context, 0, 256));
    EXPECT_THAT(ReadAddresses(), ElementsAre(0x00, 0x40, 0x40, 0x80, 0xC0));
}

TEST_F(FlashWorkersTest, VerifyNamesAByteThatWouldNotProgram) {
    SetImage(256);
    Chip().Flash().SetWornByte(0x0B3, 0x01);
    ASSERT_TRUE(ProgramRange(Context, 0, 256));
    EXPECT_FALSE(VerifyRange(Context, 0, 256));
    EXPECT_EQ(Context.LastFailure, "Verifying Fail at 0x0000B3");
}

TEST_F(FlashWorkersTest, WithoutADeviceEveryCheckFailsAtItsFirstBlock) {
    Device.Usb()->Unplug();
    EXPECT_FALSE(BlankCheckRange(Context, 0, 0x1000));
    EXPECT_EQ(Context.LastFailure, "Blanking Fail at 0x000000");
    EXPECT_FALSE(VerifyRange(Context, 0, 0x1000));
}

TEST_F(FlashWorkersTest, ProgramGivesUpWhenTheFlashStaysBusy) {
    SetImage(256);
    Chip().Flash().SetStuckBusy(true);
    EXPECT_FALSE(ProgramRange(Context, 0, 256));
    EXPECT_THAT(Packets(0x02), IsEmpty());
    EXPECT_THAT(Packets(0x06), SizeIs(1));  // write enable was already sent
    EXPECT_THAT(Requests(0x81), SizeIs(101));
}

TEST_F(FlashWorkersTest, RangeEndingAtTheTopOfTheAddressSpaceEnds) {
    EXPECT_TRUE(BlankCheckRange(Context, 0xFFFFFF80u, 0xFFFFFFFFu));
    EXPECT_THAT(ReadAddresses(), SizeIs(2));
}

TEST_F(FlashWorkersTest, ProgramWithoutAChosenModeRefusesInsteadOfLooping) {
    SetImage(16);
    Values.ProgramBlockSize = 0;
    EXPECT_FALSE(ProgramRange(Context, 0, 16));
    EXPECT_TRUE(ProgramRange(Context, 0, 0));
}

TEST_F(FlashWorkersTest, AssignedRangeTakesImageBytesFromItsStart) {
    SetImage(64);
    Values.RangeStart = 0x1000;
    ASSERT_TRUE(ProgramRange(Context, 0x1000, 0x1040));
    EXPECT_EQ(Chip().Flash().Array()[0x1000], 1);
    EXPECT_EQ(Chip().Flash().Array()[0x103F], 64);
    EXPECT_TRUE(VerifyRange(Context, 0x1000, 0x1040));
}

TEST_F(FlashWorkersTest, ImageEndingInsideABlockIsPaddedNotOverrun) {
    Images.ImageBuffer.back() = 0x42;
    Images.ImageLength = ImageSize;
    Values.RangeStart = 0x100;  // the last block reaches past the end of the image buffer
    ASSERT_TRUE(ProgramRange(Context, ImageSize + 0x100 - 256, ImageSize + 0x100));
    EXPECT_EQ(Chip().Flash().Array()[ImageSize + 0xFF], 0x42);
}

TEST(FlashWorkerTexts, EraseDotsGrowEveryTwentyPollsAndStartAgainAfterNine) {
    EXPECT_EQ(EraseDots(0), "");
    EXPECT_EQ(EraseDots(19), "");
    EXPECT_EQ(EraseDots(20), ".");
    EXPECT_EQ(EraseDots(44), "..");  // the 45th poll
    EXPECT_EQ(EraseDots(199), ".........");
    EXPECT_EQ(EraseDots(200), "");
    EXPECT_EQ(AddressText(0), "000000");
    EXPECT_EQ(AddressText(0x1000000), "1000000");
}

TEST_F(FlashWorkersTest, WholeChipEraseShowsItsPollsAndLeavesTheDeviceClosed) {
    Chip().Flash().Load(0x500, std::vector<std::uint8_t>{0x00});
    EraseFlash(Context, true);
    EXPECT_FALSE(Values.FlashFailed);
    EXPECT_FALSE(Usb.HasHandle());
    EXPECT_EQ(Chip().Flash().Array()[0x500], 0xFF);
    ASSERT_GT(Report.ProcessInfo.size(), 2u);
    EXPECT_EQ(Report.ProcessInfo.front(), "Flash Erase All ");
    for (std::size_t poll = 0; poll + 1 < Report.ProcessInfo.size(); ++poll) {
        EXPECT_EQ(Report.ProcessInfo[poll + 1], "Flash Erase All " + EraseDots(int(poll)));
    }
    EXPECT_EQ(Report.StatusRegister.back(), "Status Register: 0x00");
    EXPECT_EQ(Report.StatusRegister.front(), "Status Register: 0x03");
}

TEST_F(FlashWorkersTest, SectorEraseCoversTheAssignedRange) {
    Values.RangeStart = 0x10000;
    Values.RangeSize = 0x10000;
    EraseFlash(Context, false);
    const auto sectors = Packets(0x20);
    ASSERT_THAT(sectors, SizeIs(16));
    EXPECT_THAT(sectors.front().Data, ElementsAre(0x20, 0x01, 0x00, 0x00));
    EXPECT_THAT(sectors.back().Data, ElementsAre(0x20, 0x01, 0xF0, 0x00));
    EXPECT_EQ(Report.ProcessInfo.back(), "Flash Sector Erase: 0x 01F000");
    EXPECT_FALSE(Values.FlashFailed);
}

TEST_F(FlashWorkersTest, SectorEraseOfNothingErasesNothing) {
    Values.RangeSize = 0;
    EraseFlash(Context, false);
    EXPECT_THAT(Packets(0x20), IsEmpty());
    EXPECT_FALSE(Values.FlashFailed);
}

TEST_F(FlashWorkersTest, EraseThatNeverFinishesFailsAfterAThousandPolls) {
    Values.RangeSize = 0x3000;
    Chip().Flash().SetStuckBusy(true);
    const auto start = Time.Now();
    EraseFlash(Context, false);
    EXPECT_TRUE(Values.FlashFailed);
    EXPECT_EQ(Report.ProcessInfo.back(), "Erase Flash Fail");
    EXPECT_THAT(Packets(0x20), SizeIs(1));  // the first sector that timed out ends the erase
    EXPECT_GE(Time.Now() - start, std::chrono::seconds(10));
}

TEST_F(FlashWorkersTest, ReadBackDumpsSixteenBytesALineEndedByACarriageReturn) {
    Chip().Flash().Load(0, std::vector<std::uint8_t>{0xAB, 0x01});
    fakes::TemporaryDirectory directory;
    const auto dump = directory.Path / "dump.bin";
    ASSERT_TRUE(ReadBackRange(Context, 0, 0x8000, [&] { return dump; }));
    std::ifstream file(dump, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 2048);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 0);
    EXPECT_EQ(text.substr(0, 18), "0xAB, 0x01, 0xFF, ");
    EXPECT_EQ(text.size(), 2048u * (16 * 6 + 1));
    EXPECT_THAT(ReadAddresses(), SizeIs(2 * 0x8000 / 64));  // every block is read twice
}

// A second read that fails leaves the first read in the block buffer: the block counts as read.
TEST_F(FlashWorkersTest, ReadBackTakesABlockWhoseSecondReadFailed) {
    SetImage(0x100);
    ASSERT_TRUE(ProgramRange(Context, 0, 0x100));
    int fetches = 0;
    Device.Usb()->FailRequestsWhere([&](const SetupPacket& setup, std::size_t) {
        return setup.bRequest == RequestSpiFetch && setup.wLength == 64 && ++fetches % 2 == 0;
    });
    EXPECT_TRUE(ReadBackRange(Context, 0, 0x100, [] { return std::nullopt; }));
    EXPECT_TRUE(std::equal(Values.ReadBackBuffer.begin(), Values.ReadBackBuffer.begin() + 0x100,
                           Images.ImageBuffer.begin()));
    EXPECT_EQ(fetches, 8);
}

TEST_F(FlashWorkersTest, ReadBackThatCannotReadStillDumpsAndOnlyWhenAsked) {
    Device.Usb()->Unplug();
    bool asked = false;
    EXPECT_FALSE(ReadBackRange(Context, 0, 0x100, [&] {
        asked = true;
        return std::optional<std::filesystem::path>();
    }));
    EXPECT_TRUE(asked);
    EXPECT_EQ(Report.ProcessInfo.back(), "Verifying Fail at 0x000000");
    EXPECT_THAT(std::vector<std::uint8_t>(Values.ReadBackBuffer.begin(),
                                          Values.ReadBackBuffer.begin() + 0x100),
                Each(0x5A));
}

class AaiWorkersTest : public FlashWorkersTest {
protected:
    AaiWorkersTest() : FlashWorkersTest(FlashModels::SST25VF040B) {}
};

TEST_F(AaiWorkersTest, BlankBlockStillGetsItsTextAndWriteEnable) {
    SetImage(512);
    std::fill_n(Images.ImageBuffer.begin(), 256, 0xFF);
    ASSERT_TRUE(Values.UseAaiProgram);
    ASSERT_TRUE(ProgramRange(Context, 0, 512));
    EXPECT_THAT(Report.ProcessAddress, ElementsAre("0x000000", "0x000100"));
    EXPECT_THAT(Packets(0x06), SizeIs(2));
    EXPECT_THAT(Packets(0xAD), SizeIs(128));
    EXPECT_THAT(Packets(0x04), SizeIs(1));
    EXPECT_TRUE(VerifyRange(Context, 0, 512));
}

}  // namespace
}  // namespace zarn
