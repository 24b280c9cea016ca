#include "app/OneButtonUpdate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "chip/ChipRegisters.h"
#include "sim/VirtualChipDevice.h"
#include "sim/VirtualDeviceLayer.h"
#include "support/RecordingReporter.h"

namespace zarn {
namespace {

using ::testing::IsEmpty;

// Counts the questions and checks that the progress never goes back.
class AnsweringHost : public InlineUpdateHost {
public:
    using InlineUpdateHost::InlineUpdateHost;
    int Questions = 0;
    int LastPercent = -1;
    bool AskToProceed() override {
        ++Questions;
        return Answer;
    }
    void ShowProgress(const ProgressFigures& figures) override {
        EXPECT_GE(figures.Percent, LastPercent);
        EXPECT_LE(figures.Percent, 99);
        LastPercent = figures.Percent;
    }
};

class HookedReporter : public fakes::RecordingReporter {
public:
    std::function<void()> OnEvents;
    void ProcessEvents() override {
        RecordingReporter::ProcessEvents();
        if (OnEvents) {
            OnEvents();
        }
    }
};

// A found product with its image loaded, as the monitor leaves it before "Start".
class UpdateBench {
public:
    explicit UpdateBench(const FlashPart& flash, std::uint32_t imageLength = 0x4000)
        : Device(Time, flash, {0x31D4, 0x0053}) {
        Device.LoadFirmware(std::vector<std::uint8_t>(0x100, 0x12));  // the old firmware
        Layer.Attach(Device.Usb());
        Usb.SetAudioMode(true);
        Usb.SetMatch("vid_31d4&pid_0053");
        Usb.Connect();
        FillImage(Images, 0xFF);
        for (std::uint32_t i = 0; i < imageLength; ++i) {
            Images.ImageBuffer[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));
        }
        Images.ImageLength = imageLength;
        Panel.StartEnabled = true;
        Device.Usb()->ClearRequestLog();
    }

    bool FlashHoldsTheImage() {
        const auto flash = Device.Chip().Flash().Array();
        return std::equal(flash.begin(), flash.begin() + Images.ImageLength,
                          Images.ImageBuffer.begin()) &&
               std::all_of(flash.begin() + Images.ImageLength, flash.end(),
                           [](std::uint8_t byte) { return byte == 0xFF; });
    }

    // Index in the request log of the first (or last) 0x80 or 0x81 request whose first byte
    // is the opcode, counting from a position.
    std::size_t FindCommand(std::uint8_t bRequest, std::uint8_t opcode, std::size_t from = 0,
                            bool last = false) const {
        const auto& log = Device.Usb()->RequestLog();
        std::size_t found = log.size();
        for (std::size_t i = from; i < log.size(); ++i) {
            if (log[i].Setup.bRequest == bRequest && !log[i].Data.empty() &&
                log[i].Data[0] == opcode) {
                found = i;
                if (!last) {
                    break;
                }
            }
        }
        return found;
    }

    void ExpectFinished() const {
        EXPECT_EQ(Panel.StartCaption, "Finish");
        EXPECT_FALSE(Panel.StartEnabled);
        EXPECT_TRUE(Monitor.UpdateFinished);
        EXPECT_FALSE(Monitor.MonitorPaused);
    }

    VirtualClock Time;
    VirtualDeviceLayer Layer{Time};
    VirtualChipDevice Device;
    KeldrixUsb Usb{Layer};
    ImageStore Images;
    FlashRunValues Values;
    MonitorState Monitor;
    TopPanel Panel;
    HookedReporter Report;
    AnsweringHost Host{Panel};
    OneButtonUpdate Update{Usb, Images, Values, Monitor, Panel, Report, Host};
};

TEST(OneButtonUpdate, CancelSendsNothingAndLeavesStartReady) {
    UpdateBench bench(FlashModels::W25X40);
    bench.Host.Answer = false;
    bench.Update.btnSimpleAutoClick();
    EXPECT_EQ(bench.Panel.ProcessLine, "Abort Firmware update process");
    EXPECT_EQ(bench.Panel.ProcessLook, ProcessStyle::Failure);
    EXPECT_EQ(bench.Panel.StartCaption, "Start");
    EXPECT_TRUE(bench.Panel.StartEnabled);
    EXPECT_FALSE(bench.Monitor.MonitorPaused);
    EXPECT_FALSE(bench.Monitor.UpdateFinished);
    EXPECT_THAT(bench.Device.Usb()->RequestLog(), IsEmpty());
}

TEST(OneButtonUpdate, MonitorStaysPausedWhileTheQuestionIsOpenAndTheRunLasts) {
    UpdateBench bench(FlashModels::W25Q40, 0x100);
    bool pausedThroughout = true;
    bench.Report.OnEvents = [&] { pausedThroughout &= bench.Monitor.MonitorPaused; };
    bench.Update.btnSimpleAutoClick();
    EXPECT_TRUE(pausedThroughout);
    EXPECT_GT(bench.Report.EventsProcessed, 0);
    EXPECT_FALSE(bench.Monitor.MonitorPaused);
}

TEST(OneButtonUpdate, ClickDuringTheRunNeitherAsksNorDisturbs) {
    UpdateBench bench(FlashModels::W25Q40, 0x1000);
    bench.Report.OnEvents = [&] {
        EXPECT_TRUE(bench.Update.IsRunning());
        bench.Update.btnSimpleAutoClick();
    };
    bench.Update.btnSimpleAutoClick();
    EXPECT_EQ(bench.Host.Questions, 1);
    EXPECT_EQ(bench.Panel.ProcessLine, "Firmware update success!");
    EXPECT_EQ(bench.FindCommand(0x80, 0xC7, bench.FindCommand(0x80, 0xC7) + 1),
              bench.Device.Usb()->RequestLog().size());  // one erase only
    EXPECT_TRUE(bench.FlashHoldsTheImage());
}

TEST(OneButtonUpdate, EmptyImageErasesTheChipAndSucceeds) {
    UpdateBench bench(FlashModels::MX25L2005, 0);
    bench.Update.btnSimpleAutoClick();
    EXPECT_EQ(bench.Panel.ProcessLine, "Firmware update success!");
    EXPECT_TRUE(bench.FlashHoldsTheImage());
    bench.ExpectFinished();
}

enum class Fault { Unplug, StuckBusy, FlippedRead, WornCell };

struct FaultCase {
    const char* Name;
    Fault Kind;
    // For Unplug: the request that opens the phase (bRequest, opcode, after the last program
    // packet, last of its kind), after which the device vanishes.
    std::uint8_t bRequest;
    std::uint8_t Opcode;
    bool AfterProgramming;
    bool Last;
    const char* FinalText;  // empty: any text but success
};

void PrintTo(const FaultCase& c, std::ostream* out) {
    *out << c.Name;
}

class UpdateFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(UpdateFaultTest, RunEndsAndNeverClaimsSuccessOverAWrongFlash) {
    const FaultCase& c = GetParam();
    UpdateBench bench(FlashModels::W25X40);
    switch (c.Kind) {
        case Fault::Unplug: {
            // A clean run on a twin device tells where the phase begins.
            UpdateBench twin(FlashModels::W25X40);
            twin.Update.btnSimpleAutoClick();
            const std::size_t from = c.AfterProgramming ? twin.FindCommand(0x80, 0x02, 0, true) : 0;
            const std::size_t at = twin.FindCommand(c.bRequest, c.Opcode, from, c.Last);
            ASSERT_LT(at, twin.Device.Usb()->RequestLog().size());
            bench.Device.Usb()->UnplugAfterRequests(at + 1);
            break;
        }
        case Fault::StuckBusy:
            bench.Device.Chip().Flash().SetStuckBusy(true);
            break;
        case Fault::FlippedRead:
            bench.Device.Chip().Flash().FlipBitOnReadsWhere(
                [](std::uint32_t address, std::size_t read) {
                    return address == 0x2040 && read % 2 == 0;
                });
            break;
        case Fault::WornCell:
            bench.Device.Chip().Flash().SetWornByte(0x1234, 0x01);
            break;
    }
    bench.Update.btnSimpleAutoClick();

    bench.ExpectFinished();
    if (bench.Panel.ProcessLine == "Firmware update success!") {
        EXPECT_TRUE(bench.FlashHoldsTheImage());
    } else {
        EXPECT_EQ(bench.Panel.ProcessLook, ProcessStyle::Failure);
    }
    // A device that is gone is said so, and the lamp turns red.
    const bool lost = c.Kind == Fault::Unplug;
    if (*c.FinalText != '\0') {
        EXPECT_EQ(bench.Panel.ProcessLine,
                  c.FinalText + std::string(lost ? OneButtonUpdate::NotRespondingText : ""));
    }
    EXPECT_EQ(bench.Panel.Lamp == LampColor::Red, lost);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, UpdateFaultTest,
    ::testing::Values(
        FaultCase{"UnplugInUnprotect", Fault::Unplug, 0x80, 0x01, false, false, "Erase Flash Fail"},
        FaultCase{"UnplugInErase", Fault::Unplug, 0x80, 0xC7, false, false, "Erase Flash Fail"},
        FaultCase{"UnplugInBlankCheck", Fault::Unplug, 0x81, 0x03, false, false,
                  "Firmware update fail! Blanking Fail at 0x000000"},
        FaultCase{"UnplugInProgram", Fault::Unplug, 0x80, 0x02, false, false,
                  "Firmware update fail! Start Programming"},
        FaultCase{"UnplugInVerify", Fault::Unplug, 0x81, 0x03, true, false,
                  "Firmware update fail! Verifying Fail at 0x000000"},
        FaultCase{"UnplugInProtect", Fault::Unplug, 0x80, 0x01, false, true, ""},
        // A busy flash ignores the id command and answers FF FF FF.
        FaultCase{"BusyBitNeverClears", Fault::StuckBusy, 0, 0, false, false,
                  "Firmware update fail! Read Flash ID Fail"},
        FaultCase{"BitFlippedOnOneRead", Fault::FlippedRead, 0, 0, false, false,
                  "Firmware update success!"},
        FaultCase{"CellThatWillNotProgram", Fault::WornCell, 0, 0, false, false,
                  "Firmware update fail! Verifying Fail at 0x001234"}),
    [](const auto& info) { return info.param.Name; });

// A fault that begins at the protect step or at a request of a given kind. Protect is located
// in a clean run of a twin device: every request before it is the same in the faulty run.
enum class StepFault { LoseRequests, StickBusy };

struct StepFaultCase {
    const char* Name;
    StepFault Kind;
    bool FromProtect;       // only requests from the protect step's write enable on
    std::uint8_t bRequest;  // requests of this kind are lost ...
    int Opcode;             // ... with this first data byte (-1: any)
    int Losses;             // at most this many of them
    const char* FinalText;
};

void PrintTo(const StepFaultCase& c, std::ostream* out) {
    *out << c.Name;
}

class UpdateStepFaultTest : public ::testing::TestWithParam<StepFaultCase> {};

TEST_P(UpdateStepFaultTest, SuccessOnlyWithTheImageProtectedAndIspModeLeft) {
    const StepFaultCase& c = GetParam();
    for (const FlashPart* part : {&FlashModels::W25X40, &FlashModels::SST25VF040B}) {
        SCOPED_TRACE(part->Name);
        std::size_t protectAt = 0;
        if (c.FromProtect) {
            UpdateBench twin(*part, 0x800);
            twin.Update.btnSimpleAutoClick();
            ASSERT_EQ(twin.Panel.ProcessLine, "Firmware update success!");
            protectAt = twin.FindCommand(0x80, FlashOpWriteEnable, 0, true);
        }
        UpdateBench bench(*part, 0x800);
        int losses = 0;
        bench.Device.Usb()->FailRequestsWhere(
            [&](const SetupPacket& setup, std::span<const std::uint8_t> data, std::size_t index) {
                if (index < protectAt) {
                    return false;
                }
                if (c.Kind == StepFault::StickBusy) {
                    bench.Device.Chip().Flash().SetStuckBusy(true);
                    return false;
                }
                const bool matches = setup.bRequest == c.bRequest &&
                                     (c.Opcode < 0 || (!data.empty() && data[0] == c.Opcode));
                return matches && losses < c.Losses && ++losses > 0;
            });
        bench.Update.btnSimpleAutoClick();

        EXPECT_EQ(bench.Panel.ProcessLine, c.FinalText);
        EXPECT_EQ(bench.Panel.ProcessLook == ProcessStyle::Success,
                  bench.Panel.ProcessLine == "Firmware update success!");
        bench.ExpectFinished();
        EXPECT_FALSE(bench.Device.Chip().FlashWrittenOutsideIspMode());
        if (bench.Panel.ProcessLine == "Firmware update success!") {
            EXPECT_TRUE(bench.FlashHoldsTheImage());
            EXPECT_FALSE(bench.Device.Chip().IsIspMode());
            const std::uint8_t status = bench.Device.Chip().Flash().Status();
            EXPECT_EQ(status & FlashProtectBits, FlashProtectBits);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, UpdateStepFaultTest,
    ::testing::Values(
        // Nothing is erased while the chip still runs its firmware from the flash.
        StepFaultCase{"LostEnterIsp", StepFault::LoseRequests, false, RequestEnterIsp, -1, 1,
                      "Firmware update fail! Enter ISP Mode Fail"},
        StepFaultCase{"LostIdCommand", StepFault::LoseRequests, false, RequestSpiReadCommand,
                      FlashOpReadId, 1, "Firmware update fail! Read Flash ID Fail"},
        StepFaultCase{"LostIdFetch", StepFault::LoseRequests, false, RequestSpiFetch, -1, 1,
                      "Firmware update fail! Read Flash ID Fail"},
        // One lost request in the protect step is mended by the second protect step.
        StepFaultCase{"OneLostProtectWriteEnable", StepFault::LoseRequests, true, RequestSpiWrite,
                      FlashOpWriteEnable, 1, "Firmware update success!"},
        StepFaultCase{"LostProtectWriteEnables", StepFault::LoseRequests, true, RequestSpiWrite,
                      FlashOpWriteEnable, 2, "Firmware update fail! Flash Protect Fail"},
        StepFaultCase{"LostProtectWriteStatus", StepFault::LoseRequests, true, RequestSpiWrite,
                      FlashOpWriteStatus, 2, "Firmware update fail! Flash Protect Fail"},
        StepFaultCase{"LostStatusReadBack", StepFault::LoseRequests, true, RequestSpiFetch, -1,
                      1 << 30, "Firmware update fail! Flash Protect Fail"},
        StepFaultCase{"BusyFromProtectOn", StepFault::StickBusy, true, 0, -1, 0,
                      "Firmware update fail! Flash Protect Fail"},
        StepFaultCase{"LostLeaveIsp", StepFault::LoseRequests, false, RequestLeaveIsp, -1, 1,
                      "Firmware update fail! Exit ISP Mode Fail"}),
    [](const auto& info) { return info.param.Name; });

TEST(OneButtonUpdate, AnEarlierFailureKeepsItsTextThroughLaterOnes) {
    UpdateBench bench(FlashModels::W25Q40, 0x800);
    bench.Device.Chip().Flash().SetWornByte(0x123, 0x01);
    bench.Device.Usb()->FailRequestsWhere(
        [](const SetupPacket& setup, std::size_t) { return setup.bRequest == RequestLeaveIsp; });
    bench.Update.btnSimpleAutoClick();
    EXPECT_EQ(bench.Panel.ProcessLine, "Firmware update fail! Verifying Fail at 0x000123");
    EXPECT_EQ(bench.Device.Chip().Flash().Status() & FlashProtectBits, FlashProtectBits);
}

// The fast profile on every part: the flash ends as the image, with no blank check, reads of
// 255 bytes, and no request at all for a blank program block, which the verify still reads.
class FastProfileTest : public ::testing::TestWithParam<const FlashPart*> {};

TEST_P(FastProfileTest, WritesTheImageWithFewerRequestsAndReadsEveryByteBack) {
    UpdateBench bench(*GetParam(), 0x3000);
    std::fill_n(bench.Images.ImageBuffer.begin() + 0x1000, 0x800, 0xFF);  // blank blocks
    bench.Update.UseFastProfile();
    bench.Update.btnSimpleAutoClick();
    ASSERT_EQ(bench.Panel.ProcessLine, "Firmware update success!");
    EXPECT_TRUE(bench.FlashHoldsTheImage());
    std::uint32_t covered = 0;
    bool programmedBlank = false;
    for (const auto& entry : bench.Device.Usb()->RequestLog()) {
        const auto& data = entry.Data;
        if (entry.Setup.bRequest == 0x81 && data.size() == 4 && data[0] == 0x03) {
            EXPECT_EQ(entry.Setup.wValue, 255);
            const std::uint32_t address = (data[1] << 16) | (data[2] << 8) | data[3];
            EXPECT_EQ(address, covered);  // one pass, every byte, in order
            covered = address + 255;
        }
        if (entry.Setup.bRequest == 0x80 && data.size() >= 4 &&
            (data[0] == 0x02 || data[0] == 0xAD)) {
            const std::uint32_t address = (data[1] << 16) | (data[2] << 8) | data[3];
            programmedBlank |= address >= 0x1000 && address < 0x1800;
        }
    }
    EXPECT_GE(covered, 0x3000u);
    EXPECT_FALSE(programmedBlank);
}

INSTANTIATE_TEST_SUITE_P(Parts, FastProfileTest, ::testing::ValuesIn(FlashModels::All),
                         [](const auto& info) { return std::string(info.param->Name); });

struct FastFaultCase {
    const char* Name;
    std::function<void(UpdateBench&)> Inject;
    const char* FinalText;
};

void PrintTo(const FastFaultCase& c, std::ostream* out) {
    *out << c.Name;
}

class FastFaultTest : public ::testing::TestWithParam<FastFaultCase> {};

TEST_P(FastFaultTest, TheVerifyCatchesItWithItsAddress) {
    UpdateBench bench(FlashModels::W25X40, 0x3000);
    std::fill_n(bench.Images.ImageBuffer.begin() + 0x1000, 0x800, 0xFF);
    GetParam().Inject(bench);
    bench.Update.UseFastProfile();
    bench.Update.btnSimpleAutoClick();
    EXPECT_EQ(bench.Panel.ProcessLine, GetParam().FinalText);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FastFaultTest,
    ::testing::Values(
        FastFaultCase{
            "WornCell",
            [](UpdateBench& bench) { bench.Device.Chip().Flash().SetWornByte(0x2345, 0x01); },
            "Firmware update fail! Verifying Fail at 0x002345"},
        // The old firmware (0x12 from 0 to 0xFF) stays where the erase did not happen; programming
        // only clears bits, so image byte 0x00 comes out right and byte 0x07 at 1 does not.
        FastFaultCase{"EraseThatDidNotHappen",
                      [](UpdateBench& bench) {
                          bench.Device.Usb()->FailRequestsWhere(
                              [](const SetupPacket&, std::span<const std::uint8_t> data,
                                 std::size_t) { return !data.empty() && data[0] == 0xC7; });
                      },
                      "Firmware update fail! Verifying Fail at 0x000001"},
        // A byte inside a blank block that the flash holds wrongly is read and caught.
        FastFaultCase{
            "WrongByteInABlankBlock",
            [](UpdateBench& bench) {
                bench.Device.Usb()->FailRequestsWhere([&bench](const SetupPacket& setup,
                                                               std::span<const std::uint8_t> data,
                                                               std::size_t) {
                    if (setup.bRequest == 0x81 && data.size() == 4 && data[0] == 0x03) {
                        bench.Device.Chip().Flash().Load(0x1400, std::vector<std::uint8_t>{0x7E});
                    }
                    return false;
                });
            },
            "Firmware update fail! Verifying Fail at 0x001400"}),
    [](const auto& info) { return info.param.Name; });

TEST(OneButtonUpdate, EraseTimeOutSkipsTheWorkersButStillProtectsAndLeavesIsp) {
    UpdateBench bench(FlashModels::W25X40);
    bench.Device.Usb()->FailRequestsWhere(
        [&](const SetupPacket&, std::span<const std::uint8_t> data, std::size_t) {
            if (!data.empty() && data[0] == FlashOpChipErase) {
                bench.Device.Chip().Flash().SetStuckBusy(true);
            }
            return false;
        });
    bench.Update.btnSimpleAutoClick();
    EXPECT_EQ(bench.Panel.ProcessLine, "Erase Flash Fail");
    EXPECT_EQ(bench.FindCommand(0x81, 0x03), bench.Device.Usb()->RequestLog().size());
    EXPECT_EQ(bench.FindCommand(0x80, 0x02), bench.Device.Usb()->RequestLog().size());
    EXPECT_LT(bench.FindCommand(0x80, 0x01, bench.FindCommand(0x80, 0xC7)),
              bench.Device.Usb()->RequestLog().size());  // the protect step ran
    EXPECT_FALSE(bench.Device.Chip().IsIspMode());
    EXPECT_FALSE(bench.Usb.HasHandle());
}

}  // namespace
}  // namespace zarn
