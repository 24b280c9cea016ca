#include "image/FirmwareLoaders.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <span>

namespace zarn {
namespace {

// Larger than any HEX text of a 256 KiB image; a bigger file is not firmware for this device.
constexpr std::uintmax_t MaxHexFileSize = 16 * 1024 * 1024;

int HexDigit(char character) {
    if (character >= '0' && character <= '9') {
        return character - '0';
    }
    if (character >= 'A' && character <= 'F') {
        return character - 'A' + 10;
    }
    if (character >= 'a' && character <= 'f') {
        return character - 'a' + 10;
    }
    return -1;
}

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

// Reads one record after its ':' and applies it to the image.
class HexReader {
public:
    explicit HexReader(std::string_view text) : Text(text) { Result.Image.assign(ImageSize, 0xFF); }

    HexImage Parse() {
        while (Position < Text.size() && Result.Error.empty()) {
            const char character = Text[Position++];
            if (character == '\n') {
                ++Line;
            } else if (character == ':' && !ReadRecord()) {
                break;  // end of file record, or an error
            }
        }
        if (!Result.Error.empty()) {
            Result.Image.clear();
            Result.Length = 0;
            Result.DataBytes = 0;
        }
        return std::move(Result);
    }

private:
    bool Fail(const std::string& reason) {
        Result.Error = "line " + std::to_string(Line) + ": " + reason;
        return false;
    }

    // One byte from two hexadecimal digits of the record; false after recording why not.
    bool ReadByte(std::uint8_t& value) {
        for (int digit = 0; digit < 2; ++digit) {
            if (Position >= Text.size() || Text[Position] == '\n' || Text[Position] == '\r') {
                return Fail("record cut short");
            }
            const int nibble = HexDigit(Text[Position]);
            if (nibble < 0) {
                return Fail("non-hexadecimal character '" + std::string(1, Text[Position]) +
                            "' in record");
            }
            value = static_cast<std::uint8_t>((value << 4) | nibble);
            ++Position;
        }
        return true;
    }

    // False at the end of file record and on an error.
    bool ReadRecord() {
        std::uint8_t header[4] = {};
        for (auto& byte : header) {
            if (!ReadByte(byte)) {
                return false;
            }
        }
        const std::uint8_t count = header[0];
        const std::uint32_t address = (header[1] << 8) | header[2];
        const std::uint8_t type = header[3];
        std::uint8_t data[255] = {};
        std::uint8_t sum = header[0] + header[1] + header[2] + header[3];
        for (std::uint8_t i = 0; i < count; ++i) {
            if (!ReadByte(data[i])) {
                return false;
            }
            sum += data[i];
        }
        std::uint8_t checksum = 0;
        if (!ReadByte(checksum)) {
            return false;
        }
        const auto expected = static_cast<std::uint8_t>(0x100 - sum);
        if (checksum != expected) {
            return Fail("checksum is " + Hex(checksum, 2) + ", should be " + Hex(expected, 2));
        }
        return Apply(type, address, std::span<const std::uint8_t>(data, count));
    }

    bool Apply(std::uint8_t type, std::uint32_t address, std::span<const std::uint8_t> data) {
        switch (type) {
            case 0x00:
                return StoreData(Base + address, data);
            case 0x01:
                return false;  // end of file: the rest is not read
            case 0x02:
            case 0x04:
                if (data.size() != 2) {
                    return Fail("address record holds " + std::to_string(data.size()) +
                                " bytes instead of 2");
                }
                Base = static_cast<std::uint32_t>((data[0] << 8) | data[1])
                       << (type == 0x02 ? 4 : 16);
                return true;
            case 0x03:
            case 0x05:
                return true;  // start addresses mean nothing to the flash
            default:
                return Fail("unknown record type " + Hex(type, 2));
        }
    }

    bool StoreData(std::uint32_t start, std::span<const std::uint8_t> data) {
        const std::uint32_t end = start + static_cast<std::uint32_t>(data.size());
        if (end > ImageSize || (data.empty() && start > ImageSize)) {
            return Fail("data at " + Hex(start, 6) + " lies beyond the 256 KiB image");
        }
        std::copy(data.begin(), data.end(), Result.Image.begin() + start);
        Result.Length = std::max(Result.Length, end);
        Result.DataBytes += static_cast<std::uint32_t>(data.size());
        return true;
    }

    std::string_view Text;
    std::size_t Position = 0;
    std::size_t Line = 1;
    std::uint32_t Base = 0;
    HexImage Result;
};

void Commit(ImageStore& store, const std::vector<std::uint8_t>& image, std::uint32_t length) {
    std::copy(image.begin(), image.end(), store.ImageBuffer.begin());
    store.ImageLength = length;
}

LoadResult CannotOpen(const std::filesystem::path& path) {
    return {LoadResult::Outcome::CannotOpen, 0, 0, path.filename().string() + " cannot be opened"};
}

}  // namespace

unsigned HexFieldValue(const char* characters, std::size_t count) {
    unsigned value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        value = value * 16 + static_cast<unsigned>(std::max(HexDigit(characters[i]), 0));
    }
    return value;
}

HexImage ParseHex(std::string_view text) {
    return HexReader(text).Parse();
}

LoadResult LoadHexFile(ImageStore& store, const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::error_code error;
    if (!file || std::filesystem::is_directory(path, error)) {
        return CannotOpen(path);
    }
    const auto size = std::filesystem::file_size(path, error);
    if (!error && size > MaxHexFileSize) {
        return {LoadResult::Outcome::Refused, 0, 0, "file is too large for a firmware image"};
    }
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const HexImage parsed = ParseHex(text);
    if (!parsed.Error.empty()) {
        return {LoadResult::Outcome::Refused, 0, 0, parsed.Error};
    }
    Commit(store, parsed.Image, parsed.Length);
    return {LoadResult::Outcome::Loaded,
            ImageSum(store.ImageBuffer, store.ImageLength),
            parsed.DataBytes,
            {}};
}

LoadResult LoadBinaryFile(ImageStore& store, const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::error_code error;
    if (!file || std::filesystem::is_directory(path, error)) {
        return CannotOpen(path);
    }
    std::vector<std::uint8_t> image(ImageSize, 0xFF);
    file.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size()));
    if (file.bad()) {
        return CannotOpen(path);
    }
    const auto length = static_cast<std::uint32_t>(file.gcount());
    // Firmware that does not fit the image would reach the flash cut short.
    if (length == ImageSize && file.peek() != EOF) {
        return {LoadResult::Outcome::Refused, 0, 0, "file is larger than the 256 KiB image"};
    }
    Commit(store, image, length);
    return {LoadResult::Outcome::Loaded, ImageSum(store.ImageBuffer, length), length, {}};
}

LoadResult LoadByExtension(ImageStore& store, const std::string& path) {
    const char letter = path.size() >= 3 ? path[path.size() - 3] : '\0';
    if (letter == 'b' || letter == 'B') {
        return LoadBinaryFile(store, path);
    }
    if (letter == 'h' || letter == 'H') {
        return LoadHexFile(store, path);
    }
    return {LoadResult::Outcome::UnknownType, 0, 0, {}};
}

}  // namespace zarn
