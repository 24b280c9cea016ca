#pragma once
// The Intel HEX and raw binary loaders. A load parses into a scratch image and replaces the
// image only when the whole file was good: a file that cannot be opened or is refused leaves
// ImageBuffer and ImageLength as they were.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "image/ImageStore.h"

namespace zarn {

struct LoadResult {
    enum class Outcome { Loaded, CannotOpen, Refused, UnknownType };
    Outcome Status = Outcome::Loaded;
    std::uint16_t Sum = 0;        // of ImageBuffer[0, ImageLength) after a load
    std::uint32_t DataBytes = 0;  // bytes the file put into the image
    std::string Reason;           // why a file was refused or could not be opened
    // The address ranges [start, end) the file put data into, in order.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> Ranges{};

    bool Loaded() const { return Status == Outcome::Loaded; }
};

// The first count characters read as one hexadecimal number; other characters count as 0.
unsigned HexFieldValue(const char* characters, std::size_t count);

// An Intel HEX text parsed into a full image (0xFF where no record lands). Lines end in LF,
// CR LF or CR; each line holds one whole record or only blanks. Every record's checksum is
// checked; types 00 (data), 01 (end of file: reading stops), 02 and 04 (extended segment and
// linear address) are obeyed, 03 and 05 accepted and ignored. A text with records but no end of
// file record is refused as cut short. Length is the highest data byte's offset + 1.
struct HexImage {
    std::vector<std::uint8_t> Image;
    std::uint32_t Length = 0;
    std::uint32_t DataBytes = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> Ranges;  // covered, in order
    std::string Error;  // "line N: reason"; empty when the text is good
};
HexImage ParseHex(std::string_view text);

LoadResult LoadHexFile(ImageStore& store, const std::filesystem::path& path);
// Loads a file of up to 262,144 bytes; a longer one is refused.
LoadResult LoadBinaryFile(ImageStore& store, const std::filesystem::path& path);

// Loads by the first letter of a three-letter extension: b or B binary, h or H HEX; any other
// path loads nothing (UnknownType, sum 0, image unchanged).
LoadResult LoadByExtension(ImageStore& store, const std::string& path);

}  // namespace zarn
