// The flash parts' datasheet rules, each checked over every part through the bridge requests.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "chip/ChipRegisters.h"
#include "chip/SpiFlashBridge.h"
#include "support/VirtualChipFixture.h"

namespace zarn {

void PrintTo(const FlashPart* part, std::ostream* out) {
    *out << part->Name;
}

namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr std::uint8_t Busy = 0x01;
constexpr std::uint8_t WriteEnabled = 0x02;

class FlashModelTest : public ::testing::TestWithParam<const FlashPart*> {
protected:
    void SetUp() override {
        Device = std::make_unique<fakes::VirtualChipFixture>(Part());
        SetIspMode(Usb(), true);
        WriteStatusAndWait(0x00);
    }

    const FlashPart& Part() const { return *GetParam(); }
    KeldrixUsb& Usb() { return Device->Usb; }

    std::uint8_t WaitReady() {
        std::uint8_t status = FlashReadStatus(Usb());
        for (int poll = 0; poll < 5000 && (status & Busy) != 0; ++poll) {
            Usb().GetClock().Sleep(1);
            status = FlashReadStatus(Usb());
        }
        return status;
    }

    void WriteStatusAndWait(std::uint8_t value) {
        FlashWriteEnable(Usb());
        FlashWriteStatus(Usb(), value);
        WaitReady();
    }

    // Programs bytes the way the part takes them: one byte per command on a part whose page
    // program writes a single byte, else one page program (the bytes must lie in one page).
    void Program(std::uint32_t address, std::vector<std::uint8_t> bytes) {
        if (Part().ProgramsOneByte) {
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                FlashWriteEnable(Usb());
                FlashPageProgram(Usb(), address + static_cast<std::uint32_t>(i), 1, &bytes[i]);
                WaitReady();
            }
            return;
        }
        FlashWriteEnable(Usb());
        FlashPageProgram(Usb(), address, static_cast<std::uint16_t>(bytes.size()), bytes.data());
        WaitReady();
    }

    std::vector<std::uint8_t> Read(std::uint32_t address, std::uint16_t count) {
        std::vector<std::uint8_t> bytes(count);
        EXPECT_TRUE(FlashRead(Usb(), address, count, bytes.data()));
        return bytes;
    }

    std::uint8_t ReadByte(std::uint32_t address) { return Read(address, 1)[0]; }

    // The status value whose block-protect bits cover the whole array.
    std::uint8_t ProtectAll() const {
        return Part().Protection == ProtectionScheme::Eighths ||
                       Part().Protection == ProtectionScheme::EighthsOrSectors
                   ? 0x1C
                   : 0x0C;
    }

    std::unique_ptr<fakes::VirtualChipFixture> Device;
};

TEST_P(FlashModelTest, ReportsItsJedecId) {
    FlashIdBytes id{};
    ASSERT_TRUE(FlashReadId(Usb(), id));
    EXPECT_EQ(id, Part().JedecId);
}

TEST_P(FlashModelTest, ProgramNeedsWriteEnableWhichItThenClears) {
    std::uint8_t value = 0x12;
    FlashPageProgram(Usb(), 0x40, 1, &value);
    WaitReady();
    EXPECT_EQ(ReadByte(0x40), 0xFF);

    FlashWriteEnable(Usb());
    EXPECT_EQ(FlashReadStatus(Usb()) & WriteEnabled, WriteEnabled);
    FlashPageProgram(Usb(), 0x40, 1, &value);
    EXPECT_EQ(WaitReady() & WriteEnabled, 0);
    EXPECT_EQ(ReadByte(0x40), 0x12);
}

TEST_P(FlashModelTest, ProgrammingOnlyClearsBits) {
    Program(0x80, {0xF0, 0x00});
    Program(0x80, {0x0F, 0xFF});
    EXPECT_THAT(Read(0x80, 2), ElementsAre(0x00, 0x00));
}

TEST_P(FlashModelTest, PageProgramStaysInsideItsPage) {
    const std::uint32_t page = Part().PageSize;
    const std::uint32_t pageStart = 4 * std::max<std::uint32_t>(page, 256);
    FlashWriteEnable(Usb());
    std::vector<std::uint8_t> data{0x01, 0x02, 0x03, 0x04};
    FlashPageProgram(Usb(), pageStart + page - 2, 4, data.data());
    WaitReady();
    if (Part().ProgramsOneByte) {
        EXPECT_THAT(Read(pageStart - 1, 4), ElementsAre(0x01, 0xFF, 0xFF, 0xFF));  // one byte only
        return;
    }
    EXPECT_THAT(Read(pageStart + page - 2, 2), ElementsAre(0x01, 0x02));
    EXPECT_THAT(Read(pageStart, 2), ElementsAre(0x03, 0x04));  // wrapped to the page start
    EXPECT_EQ(ReadByte(pageStart + page), 0xFF);               // the next page is untouched
}

TEST_P(FlashModelTest, SectorEraseClearsTheSectorHoldingTheAddressAndIsBusyMeanwhile) {
    for (std::uint32_t address : {0x0FFFu, 0x1000u, 0x1FFFu, 0x2000u}) {
        Program(address, {0x00});
    }
    FlashWriteEnable(Usb());
    FlashSectorErase(Usb(), 0x1234);
    EXPECT_EQ(FlashReadStatus(Usb()) & Busy, Busy);
    // Commands but read-status are ignored while busy.
    FlashWriteEnable(Usb());
    std::uint8_t zero = 0x00;
    FlashPageProgram(Usb(), 0x3000, 1, &zero);
    EXPECT_EQ(FlashReadStatus(Usb()) & Busy, Busy);

    Usb().GetClock().Sleep(
        static_cast<std::uint32_t>(Part().SectorEraseTime / std::chrono::milliseconds(1)));
    EXPECT_EQ(FlashReadStatus(Usb()) & (Busy | WriteEnabled), 0);
    EXPECT_THAT(std::vector<std::uint8_t>({ReadByte(0x0FFF), ReadByte(0x1000), ReadByte(0x1FFF),
                                           ReadByte(0x2000), ReadByte(0x3000)}),
                ElementsAre(0x00, 0xFF, 0xFF, 0x00, 0xFF));
}

TEST_P(FlashModelTest, ChipEraseClearsEverythingAfterItsEraseTime) {
    Program(0x10, {0x00});
    Program(Part().Size - 1, {0x00});
    FlashWriteEnable(Usb());
    const auto start = Usb().GetClock().Now();
    FlashChipErase(Usb());
    WaitReady();
    EXPECT_GE(Usb().GetClock().Now() - start, Part().ChipEraseTime);
    EXPECT_THAT(Device->Chip().Flash().Array(), Each(0xFF));
}

TEST_P(FlashModelTest, ReadsRunOnAcrossTheWholeArray) {
    Program(0, {0xA0});
    Program(Part().Size - 1, {0xA1});
    EXPECT_THAT(Read(Part().Size - 1, 2), ElementsAre(0xA1, 0xA0));
}

TEST_P(FlashModelTest, ProtectedArrayRefusesProgramAndEraseSilently) {
    Program(0x1000, {0x55});
    WriteStatusAndWait(ProtectAll());
    EXPECT_EQ(FlashReadStatus(Usb()) & 0x1C, ProtectAll() & 0x1C);

    Program(0x2000, {0x00});
    FlashWriteEnable(Usb());
    FlashSectorErase(Usb(), 0x1000);
    WaitReady();
    FlashWriteEnable(Usb());
    FlashChipErase(Usb());
    WaitReady();
    EXPECT_EQ(ReadByte(0x1000), 0x55);
    EXPECT_EQ(ReadByte(0x2000), 0xFF);

    WriteStatusAndWait(0x00);
    Program(0x2000, {0x00});
    EXPECT_EQ(ReadByte(0x2000), 0x00);
}

TEST_P(FlashModelTest, BusyWriteEnableAndAaiBitsCannotBeWritten) {
    WriteStatusAndWait(0xFF);
    EXPECT_EQ(FlashReadStatus(Usb()), 0xFF & Part().WritableStatusBits);
}

TEST_P(FlashModelTest, OnlyAaiPartsTakeWordProgramming) {
    std::vector<std::uint8_t> words{0x11, 0x22, 0x33, 0x44};
    FlashWriteEnable(Usb());
    FlashAaiProgram(Usb(), 0x100, 4, words.data());
    FlashWriteDisable(Usb());
    WaitReady();
    if (Part().HasAai) {
        EXPECT_THAT(Read(0x100, 4), ElementsAreArray(words));
    } else {
        EXPECT_THAT(Read(0x100, 4), Each(0xFF));
    }
}

INSTANTIATE_TEST_SUITE_P(Parts, FlashModelTest, ::testing::ValuesIn(FlashModels::All),
                         [](const auto& info) { return std::string(info.param->Name); });

// The auto-address-increment part in detail.
class AaiFlashTest : public ::testing::Test, public fakes::VirtualChipFixture {
protected:
    AaiFlashTest() : VirtualChipFixture(FlashModels::SST25VF040B) { SetIspMode(Usb, true); }
};

TEST_F(AaiFlashTest, PowersUpProtected) {
    EXPECT_EQ(FlashReadStatus(Usb), 0x1C);
    FlashWriteEnable(Usb);
    std::uint8_t zero = 0;
    FlashPageProgram(Usb, 0, 1, &zero);
    EXPECT_EQ(Chip().Flash().Array()[0], 0xFF);
}

TEST_F(AaiFlashTest, WordModeShowsInStatusIgnoresOtherCommandsAndEndsWithWriteDisable) {
    FlashWriteEnable(Usb);
    FlashWriteStatus(Usb, 0x00);
    FlashWriteEnable(Usb);
    std::vector<std::uint8_t> words{0x01, 0x02, 0x03, 0x04};
    FlashAaiProgram(Usb, 0x201, 4, words.data());  // a word starts at an even address
    EXPECT_EQ(FlashReadStatus(Usb) & 0x42, 0x42);

    FlashSectorErase(Usb, 0x200);  // ignored in word mode
    std::uint8_t buffer[4] = {};
    EXPECT_TRUE(FlashRead(Usb, 0x200, 4, buffer));
    EXPECT_THAT(buffer, Each(0xFF));  // reads are ignored too

    FlashWriteDisable(Usb);
    EXPECT_EQ(FlashReadStatus(Usb) & 0x42, 0);
    FlashRead(Usb, 0x200, 4, buffer);
    EXPECT_THAT(buffer, ElementsAreArray(words));
}

TEST_F(AaiFlashTest, WritesOutsideIspModeAreRecorded) {
    EXPECT_FALSE(Chip().FlashWrittenOutsideIspMode());
    SetIspMode(Usb, false);
    FlashWriteEnable(Usb);
    EXPECT_FALSE(Chip().FlashWrittenOutsideIspMode());
    FlashChipErase(Usb);
    EXPECT_TRUE(Chip().FlashWrittenOutsideIspMode());
}

}  // namespace
}  // namespace zarn
