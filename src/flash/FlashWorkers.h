#pragma once
// The flash procedures over an address range of the device's SPI flash: erase, blank check,
// program, verify and read-back, with the steps that clear and restore the flash's protection,
// wait for it, and choose the program operation from its id. They write no widgets: progress and
// failure texts go to a FlashReporter, which also lets the window process its pending events
// once per block or poll.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "chip/SpiFlashBridge.h"
#include "image/ImageStore.h"
#include "transport/KeldrixUsb.h"

namespace zarn {

// The values of a flash sequence.
struct FlashRunValues {
    bool FlashFailed = false;
    // The assigned range of the ISP page; the image byte for flash address a is a - RangeStart.
    std::uint32_t RangeStart = 0;
    std::uint32_t RangeSize = 0x8000;
    FlashIdBytes FlashId{};
    std::uint16_t ProgramBlockSize = 0;
    bool UseAaiProgram = false;
    std::vector<std::uint8_t> ReadBackBuffer = std::vector<std::uint8_t>(ImageSize, 0x00);
};

class FlashReporter {
public:
    virtual ~FlashReporter() = default;
    virtual void ShowProcessInfo(const std::string& text) = 0;     // step and failure texts
    virtual void ShowProcessAddress(const std::string& text) = 0;  // the block in hand
    virtual void ShowStatusRegister(const std::string& text) = 0;  // during erase polls
    virtual void ProcessEvents() = 0;
};

// How the workers read and program: the reference way (64-byte reads, every block of a
// word-programming part gets its write enable), or the fast profile for production lines
// (reads of up to 255 bytes, blank blocks skipped by every program form).
struct WorkerProfile {
    std::uint16_t ReadSize = 64;
    bool SkipBlankBlocks = false;
};
inline constexpr WorkerProfile ReferenceProfile{};
inline constexpr WorkerProfile FastProfile{FlashReadMaxCount, true};

// For runs that show no worker texts and have no window to keep alive.
class SilentReporter final : public FlashReporter {
public:
    void ShowProcessInfo(const std::string&) override {}
    void ShowProcessAddress(const std::string&) override {}
    void ShowStatusRegister(const std::string&) override {}
    void ProcessEvents() override {}
};

// What the workers act on. LastFailure holds the failure text the last worker showed.
struct FlashContext {
    KeldrixUsb& Usb;
    const ImageStore& Images;
    FlashRunValues& Values;
    FlashReporter& Report;
    std::string LastFailure;
    WorkerProfile Profile{};
};

// "0x" and an address as six upper-case digits; "Erase" dots for a poll number.
std::string AddressText(std::uint32_t address);
std::string EraseDots(int poll);

void SelectProgramMode(FlashRunValues& values);
void WaitFlashReady(KeldrixUsb& usb);
bool WaitPageReady(KeldrixUsb& usb);
void UnprotectFlash(KeldrixUsb& usb);
void ProtectFlash(KeldrixUsb& usb, bool useAaiProgram);

// The steps of an update run whose results decide whether it may go on. They send what the
// steps above send and then look at the outcome.
// An id names a flash part unless the read was lost (00 00 00) or no flash answers (FF FF FF).
bool FlashIdIsValid(const FlashIdBytes& id);
// FlashReadId, then SelectProgramMode when the id names a part; false (mode unchanged) if not.
bool ReadFlashIdAndSelectMode(KeldrixUsb& usb, FlashRunValues& values);
// Block-protect bits BP0 and BP1, which every supported part keeps.
inline constexpr std::uint8_t FlashProtectBits = 0x0C;
// ProtectFlash, then the status read back: idle with BP0 and BP1 set. When it is not, the step
// runs once more; false when the flash still does not read protected.
bool ProtectFlashChecked(KeldrixUsb& usb, bool useAaiProgram);

// Polls the status up to 1000 times, 10 ms apart, until the busy bit clears; show sees each
// poll's number and status and the window's events are processed after it. False when the
// busy bit never cleared.
bool WaitEraseDone(FlashContext& context, const std::function<void(int, std::uint8_t)>& show);
// Write enable, chip erase, 10 ms, then the erase poll.
bool EraseWholeChip(FlashContext& context, const std::function<void(int, std::uint8_t)>& show);
// The ISP page's erase: opens and closes the device itself, erases the whole chip or the
// sectors of the assigned range, and ends in "Erase Flash Fail" (FlashFailed set, false
// returned) when any erase poll ran out.
bool EraseFlash(FlashContext& context, bool wholeChip);

bool BlankCheckRange(FlashContext& context, std::uint32_t start, std::uint32_t end);
bool ProgramRange(FlashContext& context, std::uint32_t start, std::uint32_t end);
bool VerifyRange(FlashContext& context, std::uint32_t start, std::uint32_t end);
// Reads the range into ReadBackBuffer, each block twice, then writes the text dump to the file
// chooseFile names (nothing when it names none). True when no block failed three times.
bool ReadBackRange(FlashContext& context, std::uint32_t start, std::uint32_t end,
                   const std::function<std::optional<std::filesystem::path>()>& chooseFile);
// Sixteen bytes a line as "0xAB, ", each line ended by a single carriage return.
bool WriteReadBackDump(const std::filesystem::path& path, const std::vector<std::uint8_t>& buffer,
                       std::uint32_t end);

}  // namespace zarn
