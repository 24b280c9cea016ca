#pragma once
// The firmware image that the flash procedures write to and compare with the device's flash,
// the second buffer of the binary-image tools, and the firmware file's path and flags.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zarn {

inline constexpr std::size_t ImageSize = 0x40000;  // 256 KiB
inline constexpr std::size_t BuiltInImageSize = 32768;

struct ImageStore {
    // Indexed by flash offset; bytes a file does not cover read 0xFF after a load.
    std::vector<std::uint8_t> ImageBuffer = std::vector<std::uint8_t>(ImageSize, 0x00);
    // Meaningful bytes counted from offset 0; only the loaders set it.
    std::uint32_t ImageLength = 0;
    std::vector<std::uint8_t> ModifyBuffer = std::vector<std::uint8_t>(ImageSize, 0x00);
    std::string FirmwareFilePath;
    // The product's firmware file was found and loaded.
    bool FirmwareFileLoaded = false;
    // A file load has been attempted.
    bool FirmwareFileReady = false;
};

// A fixed block of the program: a pattern that no erased or zeroed flash matches.
const std::array<std::uint8_t, BuiltInImageSize>& BuiltInImage();

void FillImage(ImageStore& store, std::uint8_t value);
// Copies BuiltInImage into the first 32,768 bytes of both buffers; nothing else changes.
void CopyBuiltInImage(ImageStore& store);
// The 16-bit wrapping sum of the first length bytes of an image.
std::uint16_t ImageSum(const std::vector<std::uint8_t>& image, std::uint32_t length);

}  // namespace zarn
