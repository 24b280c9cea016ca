#include "flash/FlashWorkers.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>

#include "chip/ChipRegisters.h"

namespace zarn {
namespace {

constexpr std::uint8_t BusyBit = 0x01;
constexpr int ReadyPolls = 1000;
constexpr int PageReadyPolls = 101;
constexpr int ErasePolls = 1000;
constexpr std::uint32_t ErasePauseMs = 10;
constexpr int SettlePolls = 10;
constexpr std::uint32_t ReadBlock = 64;
constexpr std::uint32_t SectorSize = 4096;
constexpr int Attempts = 3;

bool IsBusy(std::uint8_t status) {
    return (status & BusyBit) != 0;
}

std::string ByteText(std::uint8_t value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}

// The image byte for a flash address; addresses outside the image read as erased flash.
std::uint8_t ImageByte(const FlashContext& context, std::uint32_t address) {
    const std::int64_t index = std::int64_t{address} - context.Values.RangeStart;
    const auto& image = context.Images.ImageBuffer;
    return index >= 0 && index < static_cast<std::int64_t>(image.size())
               ? image[static_cast<std::size_t>(index)]
               : 0xFF;
}

// Reads the range in 64-byte blocks and compares the bytes below end with what expected gives
// for their address; a block gets three attempts in a row before the check fails.
bool CheckRange(FlashContext& context, std::uint32_t start, std::uint32_t end,
                const std::string& progressText, const std::string& failureText,
                const std::function<std::uint8_t(std::uint32_t)>& expected) {
    const std::uint32_t size = context.Profile.ReadSize;
    // Counted wide, so that a range ending at the top of the address space ends.
    std::uint64_t next = start;
    int failures = 0;
    while (next < end) {
        const auto address = static_cast<std::uint32_t>(next);
        std::array<std::uint8_t, FlashReadMaxCount> block{};
        // A failed read names the block's first address.
        std::uint32_t failedAt = address;
        if (FlashRead(context.Usb, address, static_cast<std::uint16_t>(size), block.data())) {
            bool same = true;
            for (std::uint32_t offset = 0; offset < size && next + offset < end; ++offset) {
                if (block[offset] != expected(address + offset)) {
                    failedAt = address + offset;
                    same = false;
                    break;
                }
            }
            failures = same ? 0 : failures + 1;
            context.Report.ShowProcessAddress(progressText + AddressText(address));
            context.Report.ProcessEvents();
        } else {
            ++failures;
        }
        if (failures >= Attempts) {
            context.LastFailure = failureText + AddressText(failedAt);
            context.Report.ShowProcessInfo(context.LastFailure);
            return false;
        }
        if (failures == 0) {
            next += size;
        }
    }
    return true;
}

std::vector<std::uint8_t> CopyBlock(const FlashContext& context, std::uint32_t address) {
    std::vector<std::uint8_t> block(context.Values.ProgramBlockSize);
    for (std::uint32_t i = 0; i < block.size(); ++i) {
        block[i] = ImageByte(context, address + i);
    }
    return block;
}

bool IsBlank(const std::vector<std::uint8_t>& block) {
    return std::all_of(block.begin(), block.end(), [](std::uint8_t byte) { return byte == 0xFF; });
}

bool ProgramPages(FlashContext& context, std::uint32_t start, std::uint32_t end) {
    const std::uint32_t blockSize = context.Values.ProgramBlockSize;
    for (std::uint64_t address = start; address < end; address += blockSize) {
        const auto at = static_cast<std::uint32_t>(address);
        auto block = CopyBlock(context, at);
        if (IsBlank(block)) {
            continue;
        }
        const bool ready = WaitPageReady(context.Usb);
        FlashWriteEnable(context.Usb);
        context.Report.ShowProcessAddress("0x" + AddressText(at));
        context.Report.ProcessEvents();
        if (!ready) {
            return false;
        }
        FlashPageProgram(context.Usb, at, static_cast<std::uint16_t>(blockSize), block.data());
        for (int poll = 0; poll < SettlePolls; ++poll) {
            context.Usb.GetClock().Sleep(1);
            if (SpiReady(context.Usb)) {
                break;
            }
        }
    }
    return true;
}

bool ProgramWords(FlashContext& context, std::uint32_t start, std::uint32_t end) {
    const std::uint32_t blockSize = context.Values.ProgramBlockSize;
    const bool ready = WaitPageReady(context.Usb);
    for (std::uint64_t address = start; address < end; address += blockSize) {
        const auto at = static_cast<std::uint32_t>(address);
        auto block = CopyBlock(context, at);
        if (context.Profile.SkipBlankBlocks && IsBlank(block)) {
            continue;  // an erased flash holds it already; the verify reads it
        }
        context.Report.ShowProcessAddress("0x" + AddressText(at));
        context.Report.ProcessEvents();
        FlashWriteEnable(context.Usb);
        if (IsBlank(block)) {
            continue;
        }
        if (!ready) {
            return false;
        }
        FlashAaiProgram(context.Usb, at, static_cast<std::uint16_t>(blockSize), block.data());
        FlashWriteDisable(context.Usb);  // ends the auto-address-increment sequence
    }
    return true;
}

}  // namespace

std::string AddressText(std::uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", address);
    return text;
}

std::string EraseDots(int poll) {
    return std::string(static_cast<std::size_t>((poll / 20) % 10), '.');
}

void SelectProgramMode(FlashRunValues& values) {
    const auto& id = values.FlashId;
    values.ProgramBlockSize = id[0] == 0xC2 && id[1] == 0x22 ? 32 : 256;
    values.UseAaiProgram = id[0] == 0xBF;
}

void WaitFlashReady(KeldrixUsb& usb) {
    for (int poll = 0; poll < ReadyPolls; ++poll) {
        if (!IsBusy(FlashReadStatus(usb))) {
            return;
        }
        usb.GetClock().Sleep(10);
    }
}

bool WaitPageReady(KeldrixUsb& usb) {
    for (int poll = 0; poll < PageReadyPolls; ++poll) {
        if (!IsBusy(FlashReadStatus(usb))) {
            return true;
        }
        usb.GetClock().Sleep(1);
    }
    return false;
}

void UnprotectFlash(KeldrixUsb& usb) {
    FlashReadStatus(usb);
    FlashWriteEnable(usb);
    FlashWriteStatus(usb, 0x00);
    WaitFlashReady(usb);
}

void ProtectFlash(KeldrixUsb& usb, bool useAaiProgram) {
    FlashWriteEnable(usb);
    FlashWriteStatus(usb, useAaiProgram ? 0x7F : 0xFF);
    WaitFlashReady(usb);
}

bool FlashIdIsValid(const FlashIdBytes& id) {
    const auto all = [&id](std::uint8_t value) {
        return std::all_of(id.begin(), id.end(),
                           [value](std::uint8_t byte) { return byte == value; });
    };
    return !all(0x00) && !all(0xFF);
}

bool ReadFlashIdAndSelectMode(KeldrixUsb& usb, FlashRunValues& values) {
    FlashIdBytes id = values.FlashId;
    if (!FlashReadId(usb, id) || !FlashIdIsValid(id)) {
        return false;
    }
    values.FlashId = id;
    SelectProgramMode(values);
    return true;
}

bool ProtectFlashChecked(KeldrixUsb& usb, bool useAaiProgram) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        ProtectFlash(usb, useAaiProgram);
        const std::uint8_t status = FlashReadStatus(usb);
        if (!IsBusy(status) && (status & FlashProtectBits) == FlashProtectBits) {
            return true;
        }
    }
    return false;
}

bool WaitEraseDone(FlashContext& context, const std::function<void(int, std::uint8_t)>& show) {
    for (int poll = 0; poll < ErasePolls; ++poll) {
        const std::uint8_t status = FlashReadStatus(context.Usb);
        show(poll, status);
        context.Report.ProcessEvents();
        if (!IsBusy(status)) {
            return true;
        }
        context.Usb.GetClock().Sleep(ErasePauseMs);
    }
    return false;
}

bool EraseWholeChip(FlashContext& context, const std::function<void(int, std::uint8_t)>& show) {
    FlashWriteEnable(context.Usb);
    FlashChipErase(context.Usb);
    context.Usb.GetClock().Sleep(ErasePauseMs);
    return WaitEraseDone(context, show);
}

bool EraseFlash(FlashContext& context, bool wholeChip) {
    FlashReporter& report = context.Report;
    const auto showStatus = [&report](std::uint8_t status) {
        report.ShowStatusRegister("Status Register: 0x" + ByteText(status));
    };
    context.Usb.Open();
    bool done = true;
    if (wholeChip) {
        report.ShowProcessInfo("Flash Erase All ");
        done = EraseWholeChip(context, [&](int poll, std::uint8_t status) {
            report.ShowProcessInfo("Flash Erase All " + EraseDots(poll));
            showStatus(status);
        });
    } else {
        report.ShowProcessInfo("Flash Sector Erase");
        const std::uint64_t end =
            std::uint64_t{context.Values.RangeStart} + context.Values.RangeSize;
        for (std::uint64_t address = context.Values.RangeStart; address < end && done;
             address += SectorSize) {
            const auto sector = static_cast<std::uint32_t>(address);
            FlashWriteEnable(context.Usb);
            FlashSectorErase(context.Usb, sector);
            context.Usb.GetClock().Sleep(ErasePauseMs);
            done = WaitEraseDone(context, [&](int, std::uint8_t status) {
                report.ShowProcessInfo("Flash Sector Erase: 0x " + AddressText(sector));
                showStatus(status);
            });
        }
    }
    context.Usb.Close();
    if (!done) {
        context.LastFailure = "Erase Flash Fail";
        report.ShowProcessInfo(context.LastFailure);
        context.Values.FlashFailed = true;
    }
    return done;
}

bool BlankCheckRange(FlashContext& context, std::uint32_t start, std::uint32_t end) {
    return CheckRange(context, start, end, "Blanking Addr: 0x", "Blanking Fail at 0x",
                      [](std::uint32_t) { return std::uint8_t{0xFF}; });
}

bool VerifyRange(FlashContext& context, std::uint32_t start, std::uint32_t end) {
    return CheckRange(context, start, end, "Verifying Addr: 0x", "Verifying Fail at 0x",
                      [&context](std::uint32_t address) { return ImageByte(context, address); });
}

bool ProgramRange(FlashContext& context, std::uint32_t start, std::uint32_t end) {
    if (context.Values.ProgramBlockSize == 0) {
        return start >= end;  // no program mode chosen: nothing can be programmed
    }
    return context.Values.UseAaiProgram ? ProgramWords(context, start, end)
                                        : ProgramPages(context, start, end);
}

bool ReadBackRange(FlashContext& context, std::uint32_t start, std::uint32_t end,
                   const std::function<std::optional<std::filesystem::path>()>& chooseFile) {
    auto& buffer = context.Values.ReadBackBuffer;
    const auto limit = static_cast<std::uint32_t>(buffer.size());
    end = std::min(end, limit);
    if (start < end) {
        std::fill(buffer.begin() + start, buffer.begin() + end, 0x5A);
    }
    bool result = true;
    std::uint32_t address = start;
    int failures = 0;
    while (address < end) {
        std::array<std::uint8_t, ReadBlock> block{};
        std::uint32_t failedAt = address;
        if (FlashRead(context.Usb, address, ReadBlock, block.data())) {
            const std::uint32_t kept = std::min(ReadBlock, limit - address);
            std::copy_n(block.begin(), kept, buffer.begin() + address);
            // The second read goes into the same block buffer: one that fails leaves the first
            // read there, which then compares equal.
            FlashRead(context.Usb, address, ReadBlock, block.data());
            const auto first = buffer.begin() + address;
            const auto differs = std::mismatch(first, first + kept, block.begin());
            failedAt = address + static_cast<std::uint32_t>(differs.first - first);
            failures = differs.first == first + kept ? 0 : failures + 1;
            context.Report.ShowProcessAddress("Verifying Addr: 0x" + AddressText(address));
            context.Report.ProcessEvents();
        } else {
            ++failures;
        }
        if (failures >= Attempts) {
            context.LastFailure = "Verifying Fail at 0x" + AddressText(failedAt);
            context.Report.ShowProcessInfo(context.LastFailure);
            result = false;
            break;
        }
        if (failures == 0) {
            address += ReadBlock;
        }
    }
    if (const auto path = chooseFile()) {
        WriteReadBackDump(*path, buffer, end);
    }
    return result;
}

bool WriteReadBackDump(const std::filesystem::path& path, const std::vector<std::uint8_t>& buffer,
                       std::uint32_t end) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        return false;
    }
    std::string line;
    for (std::uint32_t lineStart = 0; lineStart < end && lineStart < buffer.size();
         lineStart += 16) {
        line.clear();
        for (std::uint32_t i = lineStart; i < lineStart + 16 && i < buffer.size(); ++i) {
            line += "0x" + ByteText(buffer[i]) + ", ";
        }
        line += '\r';
        file << line;
    }
    return static_cast<bool>(file);
}

}  // namespace zarn
