#pragma once
// A 16 x 16 map of one-byte registers as the "Register" and "I2C Access" pages show it: the
// chip's selected register bank, or the registers of a device on the chip's I2C bus. The two
// pages differ only in how a byte is reached and in a few rules, given as a RegisterMapKind.
// Every action opens the transport before its requests and closes it afterwards. A read that
// fails yields no value (the page shows "--"); the shadow keeps its last good byte.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "transport/KeldrixUsb.h"

namespace zarn {

// How the map reaches one register; the transport is open.
class RegisterAccess {
public:
    virtual ~RegisterAccess() = default;
    virtual bool Read(std::uint8_t number, std::uint8_t& value) = 0;
    virtual bool Write(std::uint8_t number, std::uint8_t value) = 0;
};

// The chip's register bank: RegRead and RegWrite.
class ChipRegisterAccess final : public RegisterAccess {
public:
    explicit ChipRegisterAccess(KeldrixUsb& usb) : Usb(usb) {}
    bool Read(std::uint8_t number, std::uint8_t& value) override;
    bool Write(std::uint8_t number, std::uint8_t value) override;

private:
    KeldrixUsb& Usb;
};

// A device on the I2C bus at an 8-bit write address that may change between calls.
class I2cRegisterAccess final : public RegisterAccess {
public:
    I2cRegisterAccess(KeldrixUsb& usb, const std::uint8_t& address) : Usb(usb), Address(address) {}
    bool Read(std::uint8_t number, std::uint8_t& value) override;
    bool Write(std::uint8_t number, std::uint8_t value) override;

private:
    KeldrixUsb& Usb;
    const std::uint8_t& Address;
};

struct RegisterMapKind {
    // Insert and Delete step the cell's text (true) or the byte last read or written (false).
    bool StepFromCellText = false;
    // Pauses between a write and its read-back.
    std::uint32_t KeyPauseMs = 1;
    std::uint32_t BitPauseMs = 3;
};

enum class RegisterKey { Enter, Insert, Delete, Other };

// What a key or the bit boxes did: nothing, a refusal to show, or a write whose read-back
// (nullopt when it failed) is now the register's value.
struct RegisterChange {
    bool Written = false;
    std::optional<std::uint8_t> Value;
    std::string Refusal;
};

class RegisterMap {
public:
    RegisterMap(KeldrixUsb& usb, RegisterAccess& access, const RegisterMapKind& kind);

    // The register of a data cell, columns and rows 1 to 16.
    static std::uint8_t RegisterOfCell(int column, int row);

    // Reads one register.
    std::optional<std::uint8_t> ReadOne(std::uint8_t number);
    // Reads all 256 in order; after each, show gets its number and value and returns whether to
    // go on (false: stopped).
    void ReadAll(const std::function<bool(std::uint8_t, std::optional<std::uint8_t>)>& show);
    // A key on the cell of register number holding cellText.
    RegisterChange KeyPressed(RegisterKey key, std::uint8_t number, const std::string& cellText);
    // The bit boxes were released with this value.
    RegisterChange BitsReleased(std::uint8_t number, std::uint8_t value);

    const std::array<std::uint8_t, 256>& Shadow() const { return Bytes; }

private:
    std::optional<std::uint8_t> ReadInto(std::uint8_t number);
    RegisterChange WriteAndReadBack(std::uint8_t number, std::uint32_t pauseMs);

    KeldrixUsb& Usb;
    RegisterAccess& Access;
    RegisterMapKind Kind;
    std::array<std::uint8_t, 256> Bytes{};
};

}  // namespace zarn
