#include "image/FirmwareLoaders.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <span>

#include "image/HexText.h"

namespace zarn {
namespace {

// Larger than any HEX text of a 256 KiB image; a bigger file is not firmware for this device.
constexpr std::uintmax_t MaxHexFileSize = 16 * 1024 * 1024;

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

bool IsBlank(char character) {
    return character == ' ' || character == '\t';
}

// A character as a user can read it: itself when printable, else its value (0xC3).
std::string Shown(char character) {
    const auto value = static_cast<unsigned char>(character);
    if (value >= 0x20 && value < 0x7F) {
        return "'" + std::string(1, character) + "'";
    }
    return Hex(value, 2);
}

// Splits the text into lines at LF, CR LF or CR alone and reads one record from each line that
// is not blank. A record must fill its line: only blanks may stand before its ':' and after its
// checksum.
class HexReader {
public:
    explicit HexReader(std::string_view text) : Text(text) { Result.Image.assign(ImageSize, 0xFF); }

    HexImage Parse() {
        constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";  // some editors write one
        if (Text.substr(0, ByteOrderMark.size()) == ByteOrderMark) {
            Position = ByteOrderMark.size();
        }
        bool ended = false;
        while (!ended && Result.Error.empty() && Position < Text.size()) {
            const std::string_view line = NextLine();
            ended = !ReadLine(line);
        }
        if (Result.Error.empty() && !ended && SawRecord) {
            Result.Error = "no end-of-file record: the file may be cut short";
        }
        if (!Result.Error.empty()) {
            Result.Image.clear();
            Result.Length = 0;
            Result.DataBytes = 0;
        } else {
            CollectRanges();
        }
        return std::move(Result);
    }

private:
    std::string_view NextLine() {
        ++Line;
        const std::size_t begin = Position;
        while (Position < Text.size() && Text[Position] != '\n' && Text[Position] != '\r') {
            ++Position;
        }
        const std::string_view line = Text.substr(begin, Position - begin);
        if (Position < Text.size() && Text[Position++] == '\r' && Position < Text.size() &&
            Text[Position] == '\n') {
            ++Position;
        }
        return line;
    }

    bool Fail(const std::string& reason) {
        Result.Error = "line " + std::to_string(Line) + ": " + reason;
        return false;
    }

    // False at the end of file record and on an error.
    bool ReadLine(std::string_view line) {
        std::size_t at = 0;
        while (at < line.size() && IsBlank(line[at])) {
            ++at;
        }
        if (at == line.size()) {
            return true;
        }
        if (line[at] != ':') {
            return Fail(line.find(':') == std::string_view::npos
                            ? "no record on this line (it does not start with ':')"
                            : "text before the record's ':'");
        }
        SawRecord = true;
        Record = line.substr(at + 1);
        Digit = 0;
        return ReadRecord();
    }

    // One byte from the next two hexadecimal digits of the record; false after recording why not.
    bool ReadByte(std::uint8_t& value) {
        for (int digit = 0; digit < 2; ++digit, ++Digit) {
            if (Digit >= Record.size()) {
                return Fail("record cut short");
            }
            const int nibble = HexDigit(Record[Digit]);
            if (nibble < 0) {
                return Fail("non-hexadecimal character " + Shown(Record[Digit]) + " in record");
            }
            value = static_cast<std::uint8_t>((value << 4) | nibble);
        }
        return true;
    }

    bool ReadRecord() {
        std::uint8_t header[4] = {};
        for (auto& byte : header) {
            if (!ReadByte(byte)) {
                return false;
            }
        }
        const std::uint8_t count = header[0];
        const std::uint32_t offset = (header[1] << 8) | header[2];
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
        for (; Digit < Record.size(); ++Digit) {
            if (!IsBlank(Record[Digit])) {
                return Fail("text after the record's checksum, from " + Shown(Record[Digit]) +
                            " on (is the byte count " + Hex(count, 2) + " right?)");
            }
        }
        return Apply(type, offset, std::span<const std::uint8_t>(data, count));
    }

    bool Apply(std::uint8_t type, std::uint32_t offset, std::span<const std::uint8_t> data) {
        switch (type) {
            case 0x00:
                return StoreData(offset, data);
            case 0x01:
                return false;  // end of file: the rest is not read
            case 0x02:
            case 0x04:
                if (data.size() != 2) {
                    return Fail("address record holds " + std::to_string(data.size()) +
                                " bytes instead of 2");
                }
                Segmented = type == 0x02;
                Base = std::uint64_t{static_cast<std::uint32_t>((data[0] << 8) | data[1])}
                       << (Segmented ? 4 : 16);
                return true;
            case 0x03:
            case 0x05:
                return true;  // start addresses mean nothing to the flash
            default:
                return Fail("unknown record type " + Hex(type, 2));
        }
    }

    // Addresses are counted in 64 bits, so no record can wrap past the image. Under a segment
    // base the offset wraps inside its 64 KiB segment; otherwise it runs on.
    bool StoreData(std::uint32_t offset, std::span<const std::uint8_t> data) {
        for (std::size_t i = 0; i < data.size(); ++i) {
            const std::uint64_t address =
                Base + (Segmented ? (offset + i) & 0xFFFF : std::uint64_t{offset} + i);
            if (address >= ImageSize) {
                return Fail(
                    "data at " +
                    Hex(static_cast<unsigned>(std::min<std::uint64_t>(address, 0xFFFFFFFF)), 6) +
                    " lies beyond the 256 KiB image");
            }
            Result.Image[address] = data[i];
            Covered[address] = true;
            Result.Length = std::max(Result.Length, static_cast<std::uint32_t>(address + 1));
        }
        Result.DataBytes += static_cast<std::uint32_t>(data.size());
        return true;
    }

    void CollectRanges() {
        for (std::uint32_t at = 0; at < Result.Length; ++at) {
            if (!Covered[at]) {
                continue;
            }
            if (!Result.Ranges.empty() && Result.Ranges.back().second == at) {
                ++Result.Ranges.back().second;
            } else {
                Result.Ranges.emplace_back(at, at + 1);
            }
        }
    }

    std::string_view Text;
    std::vector<bool> Covered = std::vector<bool>(ImageSize, false);
    std::size_t Position = 0;
    std::size_t Line = 0;
    std::string_view Record;  // the characters after the current record's ':'
    std::size_t Digit = 0;    // the next one to read
    std::uint64_t Base = 0;
    bool Segmented = false;
    bool SawRecord = false;
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
            {},
            parsed.Ranges};
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
    LoadResult result{
        LoadResult::Outcome::Loaded, ImageSum(store.ImageBuffer, length), length, {}, {}};
    if (length > 0) {
        result.Ranges.emplace_back(0, length);
    }
    return result;
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
