#include "sim/SpiFlashModel.h"

#include <algorithm>

namespace zarn {

using std::chrono::microseconds;
using std::chrono::milliseconds;

namespace FlashModels {
const FlashPart W25X40{.Name = "W25X40",
                       .JedecId = {0xEF, 0x30, 0x13},
                       .Size = 512 * 1024,
                       .ProgramTime = microseconds(1500),
                       .SectorEraseTime = milliseconds(150),
                       .ChipEraseTime = milliseconds(2000),
                       .WriteStatusTime = milliseconds(10),
                       .WritableStatusBits = 0xBC,  // SRP, TB, BP2..BP0
                       .TopBottomBit = 0x20,
                       .Protection = ProtectionScheme::Eighths};
const FlashPart W25Q40{.Name = "W25Q40",
                       .JedecId = {0xEF, 0x40, 0x13},
                       .Size = 512 * 1024,
                       .ProgramTime = microseconds(700),
                       .SectorEraseTime = milliseconds(45),
                       .ChipEraseTime = milliseconds(1000),
                       .WriteStatusTime = milliseconds(10),
                       .WritableStatusBits = 0xFC,  // SRP0, SEC, TB, BP2..BP0
                       .TopBottomBit = 0x20,
                       .SectorBit = 0x40,
                       .Protection = ProtectionScheme::EighthsOrSectors};
const FlashPart MX25L2005{.Name = "MX25L2005",
                          .JedecId = {0xC2, 0x20, 0x12},
                          .Size = 256 * 1024,
                          .ProgramTime = microseconds(1400),
                          .SectorEraseTime = milliseconds(60),
                          .ChipEraseTime = milliseconds(1500),
                          .WriteStatusTime = milliseconds(5),
                          .WritableStatusBits = 0x8C,  // SRWD, BP1..BP0
                          .Protection = ProtectionScheme::Quarters};
const FlashPart MX25L1021E{.Name = "MX25L1021E",
                           .JedecId = {0xC2, 0x22, 0x11},
                           .Size = 128 * 1024,
                           .PageSize = 32,
                           .ProgramTime = microseconds(1000),
                           .SectorEraseTime = milliseconds(20),
                           .ChipEraseTime = milliseconds(1000),
                           .WriteStatusTime = milliseconds(5),
                           .WritableStatusBits = 0x8C,  // SRWD, BP1..BP0
                           .Protection = ProtectionScheme::AnyBitAll};
// Powers up with BP2..BP0 set: the whole array is protected until the status is written.
const FlashPart SST25VF040B{.Name = "SST25VF040B",
                            .JedecId = {0xBF, 0x25, 0x8D},
                            .Size = 512 * 1024,
                            .PageSize = 1,
                            .ProgramsOneByte = true,
                            .HasAai = true,
                            .ProgramTime = microseconds(10),
                            .SectorEraseTime = milliseconds(18),
                            .ChipEraseTime = milliseconds(35),
                            .WriteStatusTime = microseconds(0),
                            .PowerUpStatus = 0x1C,
                            .VolatileProtection = true,
                            .WritableStatusBits = 0xBC,  // BPL, BP3..BP0
                            .Protection = ProtectionScheme::Eighths};
}  // namespace FlashModels

namespace {

constexpr std::uint32_t SectorSize = 4096;

std::uint32_t CommandAddress(std::span<const std::uint8_t> command) {
    return (std::uint32_t{command[1]} << 16) | (std::uint32_t{command[2]} << 8) | command[3];
}

}  // namespace

SpiFlashModel::SpiFlashModel(const FlashPart& part, Clock& clock)
    : Model(part), Time(clock), Memory(part.Size, 0xFF), StatusBits(part.PowerUpStatus) {}

bool SpiFlashModel::IsWriteCommand(std::uint8_t opcode) {
    switch (opcode) {
        case 0x01:
        case 0x02:
        case 0x20:
        case 0x60:
        case 0xC7:
        case 0xAD:
            return true;
        default:
            return false;
    }
}

void SpiFlashModel::Settle() {
    if (Busy && !StuckBusy && Time.Now() >= BusyUntil) {
        Busy = false;
        if (!AaiMode) {
            StatusBits &= ~StatusWriteEnable;
        }
    }
}

bool SpiFlashModel::IsBusy() {
    Settle();
    return Busy || StuckBusy;
}

std::uint8_t SpiFlashModel::Status() {
    const bool busy = IsBusy();
    return StatusBits | (AaiMode ? StatusAai : 0) | (busy ? StatusBusy : 0);
}

void SpiFlashModel::StartBusy(std::chrono::nanoseconds duration) {
    Busy = true;
    BusyUntil = Time.Now() + duration;
    Periods.push_back({Time.Now(), BusyUntil});
}

bool SpiFlashModel::WriteEnabled() {
    return (StatusBits & StatusWriteEnable) != 0;
}

std::pair<std::uint32_t, std::uint32_t> SpiFlashModel::ProtectedRange() const {
    const std::uint32_t level = (StatusBits >> 2) & 0x07;
    std::uint32_t length = 0;
    switch (Model.Protection) {
        case ProtectionScheme::EighthsOrSectors:
            if ((StatusBits & Model.SectorBit) != 0) {
                length = level == 0   ? 0
                         : level == 7 ? Model.Size
                                      : std::min<std::uint32_t>(SectorSize << (level - 1), 32768);
                break;
            }
            [[fallthrough]];
        case ProtectionScheme::Eighths:
            length = level == 0 ? 0 : level >= 4 ? Model.Size : Model.Size >> (4 - level);
            break;
        case ProtectionScheme::Quarters:
            length = (level & 3) == 0   ? 0
                     : (level & 3) == 3 ? Model.Size
                                        : Model.Size >> (3 - (level & 3));
            break;
        case ProtectionScheme::AnyBitAll:
            length = (level & 3) != 0 ? Model.Size : 0;
            break;
    }
    const bool bottom = Model.TopBottomBit != 0 && (StatusBits & Model.TopBottomBit) != 0;
    return bottom ? std::pair{0u, length} : std::pair{Model.Size - length, Model.Size};
}

bool SpiFlashModel::IsProtected(std::uint32_t start, std::uint32_t length) const {
    const auto [protectedStart, protectedEnd] = ProtectedRange();
    return protectedStart < protectedEnd && start < protectedEnd && start + length > protectedStart;
}

void SpiFlashModel::ProgramByte(std::uint32_t address, std::uint8_t value) {
    const std::uint32_t at = WrapAddress(address);
    Memory[at] &= value;  // programming only clears bits
    if (at == WornAddress) {
        Memory[at] |= WornBits;
    }
}

void SpiFlashModel::Execute(std::span<const std::uint8_t> command) {
    if (command.empty() || IsBusy()) {
        return;
    }
    const std::uint8_t opcode = command[0];
    if (AaiMode && opcode != 0xAD && opcode != 0x04) {
        return;
    }
    switch (opcode) {
        case 0x06:
            StatusBits |= StatusWriteEnable;
            break;
        case 0x04:
            StatusBits &= ~StatusWriteEnable;
            AaiMode = false;
            break;
        case 0x01:
            WriteStatus(command);
            break;
        case 0x60:
        case 0xC7:
            ChipErase();
            break;
        case 0x20:
            SectorErase(command);
            break;
        case 0x02:
            PageProgram(command);
            break;
        case 0xAD:
            if (Model.HasAai) {
                AaiProgram(command);
            }
            break;
        default:
            break;
    }
}

void SpiFlashModel::WriteStatus(std::span<const std::uint8_t> command) {
    if (command.size() < 2 || !WriteEnabled()) {
        return;
    }
    StatusBits = (StatusBits & ~Model.WritableStatusBits) | (command[1] & Model.WritableStatusBits);
    StartBusy(Model.WriteStatusTime);
}

void SpiFlashModel::ChipErase() {
    if (!WriteEnabled()) {
        return;
    }
    if (IsProtected(0, Model.Size)) {
        StatusBits &= ~StatusWriteEnable;
        return;
    }
    std::fill(Memory.begin(), Memory.end(), 0xFF);
    StartBusy(Model.ChipEraseTime);
}

void SpiFlashModel::SectorErase(std::span<const std::uint8_t> command) {
    if (command.size() < 4 || !WriteEnabled()) {
        return;
    }
    const std::uint32_t start = WrapAddress(CommandAddress(command)) & ~(SectorSize - 1);
    if (IsProtected(start, SectorSize)) {
        StatusBits &= ~StatusWriteEnable;
        return;
    }
    std::fill_n(Memory.begin() + start, SectorSize, 0xFF);
    StartBusy(Model.SectorEraseTime);
}

void SpiFlashModel::PageProgram(std::span<const std::uint8_t> command) {
    if (command.size() < 4 || !WriteEnabled()) {
        return;
    }
    const std::uint32_t address = WrapAddress(CommandAddress(command));
    const auto data = command.subspan(4);
    const std::uint32_t pageStart =
        Model.ProgramsOneByte ? address : address - address % Model.PageSize;
    const std::uint32_t pageLength = Model.ProgramsOneByte ? 1 : Model.PageSize;
    if (data.empty() || IsProtected(pageStart, pageLength)) {
        StatusBits &= ~StatusWriteEnable;
        return;
    }
    if (Model.ProgramsOneByte) {
        ProgramByte(address, data[0]);
    } else {
        // Bytes past the end of the page wrap to its start; a later byte for the same place
        // replaces an earlier one before anything is programmed.
        std::vector<int> latch(Model.PageSize, -1);
        for (std::size_t i = 0; i < data.size(); ++i) {
            latch[(address - pageStart + i) % Model.PageSize] = data[i];
        }
        for (std::uint32_t offset = 0; offset < Model.PageSize; ++offset) {
            if (latch[offset] >= 0) {
                ProgramByte(pageStart + offset, static_cast<std::uint8_t>(latch[offset]));
            }
        }
    }
    StartBusy(Model.ProgramTime);
}

void SpiFlashModel::AaiProgram(std::span<const std::uint8_t> command) {
    std::span<const std::uint8_t> word;
    if (!AaiMode) {
        if (command.size() < 6 || !WriteEnabled()) {
            return;
        }
        AaiAddress = WrapAddress(CommandAddress(command)) & ~1u;  // words start at even addresses
        word = command.subspan(4, 2);
        AaiMode = true;
    } else {
        if (command.size() < 3) {
            return;
        }
        word = command.subspan(1, 2);
    }
    if (!IsProtected(AaiAddress, 2)) {
        ProgramByte(AaiAddress, word[0]);
        ProgramByte(AaiAddress + 1, word[1]);
    }
    AaiAddress += 2;
    StartBusy(Model.ProgramTime);
    if (AaiAddress >= Model.Size) {
        // The sequence ends by itself at the top of the array.
        AaiMode = false;
    }
}

std::vector<std::uint8_t> SpiFlashModel::Answer(std::span<const std::uint8_t> command,
                                                std::size_t count) {
    const std::uint8_t opcode = command.empty() ? 0x00 : command[0];
    if (opcode == 0x05) {
        return std::vector<std::uint8_t>(count, Status());
    }
    std::vector<std::uint8_t> answer(count, 0xFF);
    if (IsBusy() || AaiMode) {
        return answer;
    }
    if (opcode == 0x9F) {
        std::copy_n(Model.JedecId.begin(), std::min(count, Model.JedecId.size()), answer.begin());
    } else if (opcode == 0x03 && command.size() >= 4) {
        answer = ReadData(command, count);
    }
    return answer;
}

std::vector<std::uint8_t> SpiFlashModel::ReadData(std::span<const std::uint8_t> command,
                                                  std::size_t count) {
    const std::uint32_t address = WrapAddress(CommandAddress(command));
    std::vector<std::uint8_t> answer(count);
    for (std::size_t i = 0; i < count; ++i) {
        answer[i] = Memory[WrapAddress(address + static_cast<std::uint32_t>(i))];
    }
    const std::size_t read = ReadCount++;
    if (FlipWhen && count > 0 && FlipWhen(address, read)) {
        answer[0] ^= 0x01;
    }
    return answer;
}

void SpiFlashModel::Load(std::uint32_t address, std::span<const std::uint8_t> bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        Memory[WrapAddress(address + static_cast<std::uint32_t>(i))] = bytes[i];
    }
}

void SpiFlashModel::PowerCycle() {
    Busy = false;
    AaiMode = false;
    StatusBits &= ~StatusWriteEnable;
    if (Model.VolatileProtection) {
        StatusBits = Model.PowerUpStatus;
    }
}

void SpiFlashModel::FlipBitOnReadsWhere(
    std::function<bool(std::uint32_t address, std::size_t read)> when) {
    FlipWhen = std::move(when);
}

}  // namespace zarn
