#pragma once
// SPI NOR flash parts as the bridge sees them, built from their datasheets: JEDEC id, size,
// status register with busy, write-enable latch and block protection, page program that only
// clears bits and wraps inside its page, 4 KiB sector and chip erase with their busy times, and
// auto-address-increment word programming on the parts that have it. The write-protect pin is
// high, so the status lock bits lock nothing.
//
// Where a datasheet leaves a case open, the model takes the strict reading:
// - while busy, every command but read-status is ignored, and ignored reads return 0xFF;
// - a program or erase aimed at a protected area is ignored and still clears write enable;
// - chip erase is ignored while any block is protected;
// - in auto-address-increment mode only 0xAD, write disable and read-status are obeyed.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "transport/Clock.h"

namespace zarn {

// How a part maps its block-protect bits onto the array.
enum class ProtectionScheme {
    Eighths,           // BP2..BP0: 1/8, 1/4, 1/2 of the array, then all; TB picks bottom or top
    EighthsOrSectors,  // as Eighths, or with SEC set 4, 8, 16, 32 KiB, then all
    Quarters,          // BP1..BP0: 1/4, 1/2, all
    AnyBitAll,         // any BP bit protects the whole array
};

struct FlashPart {
    std::string_view Name;
    std::array<std::uint8_t, 3> JedecId;
    std::uint32_t Size;
    std::uint32_t PageSize = 256;  // page program wraps inside a page of this size
    bool ProgramsOneByte = false;  // 0x02 programs only its first data byte
    bool HasAai = false;           // 0xAD word programming
    std::chrono::nanoseconds ProgramTime;
    std::chrono::nanoseconds SectorEraseTime;
    std::chrono::nanoseconds ChipEraseTime;
    std::chrono::nanoseconds WriteStatusTime;
    std::uint8_t PowerUpStatus = 0x00;  // status after every power-up for volatile parts
    bool VolatileProtection = false;    // block-protect bits return to PowerUpStatus at power-up
    std::uint8_t WritableStatusBits;
    std::uint8_t TopBottomBit = 0x00;  // 0 when the part has none
    std::uint8_t SectorBit = 0x00;     // 0 when the part has none
    ProtectionScheme Protection;
};

namespace FlashModels {
extern const FlashPart W25X40;
extern const FlashPart W25Q40;
extern const FlashPart MX25L2005;
extern const FlashPart MX25L1021E;
extern const FlashPart SST25VF040B;
inline const std::array<const FlashPart*, 5> All = {&W25X40, &W25Q40, &MX25L2005, &MX25L1021E,
                                                    &SST25VF040B};
}  // namespace FlashModels

class SpiFlashModel {
public:
    static constexpr std::uint8_t StatusBusy = 0x01;
    static constexpr std::uint8_t StatusWriteEnable = 0x02;
    static constexpr std::uint8_t StatusAai = 0x40;

    SpiFlashModel(const FlashPart& part, Clock& clock);

    const FlashPart& Part() const { return Model; }

    // A command clocked in while chip select was low, obeyed when it rises.
    void Execute(std::span<const std::uint8_t> command);
    // A command whose answer is count bytes clocked out after it.
    std::vector<std::uint8_t> Answer(std::span<const std::uint8_t> command, std::size_t count);
    // Whether the opcode changes the array or the status register.
    static bool IsWriteCommand(std::uint8_t opcode);

    std::uint8_t Status();
    bool IsBusy();
    // When the part was busy, one period per operation, in order.
    struct BusyPeriod {
        std::chrono::nanoseconds Start;
        std::chrono::nanoseconds End;
    };
    const std::vector<BusyPeriod>& BusyPeriods() const { return Periods; }
    std::span<const std::uint8_t> Array() const { return Memory; }
    // Puts bytes into the array directly, as a programmer fixture would.
    void Load(std::uint32_t address, std::span<const std::uint8_t> bytes);
    void PowerCycle();

    // Faults: the busy bit never clears; chosen reads (by address and read number) return
    // their first byte with bit 0 flipped; a worn cell that programming cannot clear.
    void SetStuckBusy(bool stuck) { StuckBusy = stuck; }
    void SetWornByte(std::uint32_t address, std::uint8_t stuckBits) {
        WornAddress = address;
        WornBits = stuckBits;
    }
    void FlipBitOnReadsWhere(std::function<bool(std::uint32_t address, std::size_t read)> when);

private:
    void Settle();
    void StartBusy(std::chrono::nanoseconds duration);
    bool WriteEnabled();
    bool IsProtected(std::uint32_t start, std::uint32_t length) const;
    std::pair<std::uint32_t, std::uint32_t> ProtectedRange() const;
    std::uint32_t WrapAddress(std::uint32_t address) const { return address % Model.Size; }
    void ProgramByte(std::uint32_t address, std::uint8_t value);

    void WriteStatus(std::span<const std::uint8_t> command);
    void ChipErase();
    void SectorErase(std::span<const std::uint8_t> command);
    void PageProgram(std::span<const std::uint8_t> command);
    void AaiProgram(std::span<const std::uint8_t> command);
    std::vector<std::uint8_t> ReadData(std::span<const std::uint8_t> command, std::size_t count);

    const FlashPart& Model;
    Clock& Time;
    std::vector<std::uint8_t> Memory;
    std::uint8_t StatusBits;  // without busy
    std::chrono::nanoseconds BusyUntil{0};
    std::vector<BusyPeriod> Periods;
    bool Busy = false;
    bool AaiMode = false;
    std::uint32_t AaiAddress = 0;
    bool StuckBusy = false;
    std::function<bool(std::uint32_t, std::size_t)> FlipWhen;
    std::size_t ReadCount = 0;
    std::uint32_t WornAddress = 0;
    std::uint8_t WornBits = 0;
};

}  // namespace zarn
