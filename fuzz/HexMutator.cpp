#include "HexMutator.h"

#include "image/HexText.h"

#include <cstdio>

namespace zarn::fuzz {
namespace {

// A line ":" + an even number (at least 10) of hexadecimal digits; anything else stays raw.
bool ParseRecord(const std::string& text, std::vector<std::uint8_t>& bytes) {
    if (text.size() < 11 || text[0] != ':' || (text.size() - 1) % 2 != 0) {
        return false;
    }
    for (std::size_t i = 1; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return true;
}

// Values that sit on the edges of the 16-bit offsets, the 64 KiB segments and the image.
constexpr std::uint16_t InterestingWords[] = {0x0000, 0x0001, 0x0003, 0x0004, 0x1000, 0x3FFF,
                                              0x4000, 0x8000, 0xF000, 0xFFF0, 0xFFFE, 0xFFFF};
constexpr std::uint8_t RecordTypes[] = {0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06};

std::uint16_t PickWord(std::minstd_rand& random) {
    if (random() % 4 == 0) {
        return static_cast<std::uint16_t>(random());
    }
    return InterestingWords[random() % std::size(InterestingWords)];
}

void SetCount(HexLine& line, std::size_t count) {
    line.Bytes.resize(5 + count, 0xFF);  // header, data, checksum
    line.Bytes[0] = static_cast<std::uint8_t>(count);
}

HexLine NewRecord(std::minstd_rand& random) {
    HexLine line;
    line.IsRecord = true;
    line.Bytes = {0, 0, 0, RecordTypes[random() % std::size(RecordTypes)]};
    const std::uint16_t address = PickWord(random);
    line.Bytes[1] = static_cast<std::uint8_t>(address >> 8);
    line.Bytes[2] = static_cast<std::uint8_t>(address);
    const std::size_t count = line.Bytes[3] == 0x02 || line.Bytes[3] == 0x04 ? 2 : random() % 33;
    SetCount(line, count);
    for (std::size_t i = 0; i < count; ++i) {
        line.Bytes[4 + i] = static_cast<std::uint8_t>(random());
    }
    return line;
}

}  // namespace

std::vector<HexLine> SplitHex(const std::string& text) {
    std::vector<HexLine> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = at;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') {
            ++end;
        }
        HexLine line;
        line.Raw = text.substr(at, end - at);
        line.IsRecord = ParseRecord(line.Raw, line.Bytes);
        std::size_t next = end;
        if (next < text.size() && text[next] == '\r') {
            ++next;
        }
        if (next < text.size() && text[next] == '\n') {
            ++next;
        }
        line.LineEnd = text.substr(end, next - end);
        lines.push_back(std::move(line));
        at = next;
    }
    return lines;
}

std::string JoinHex(const std::vector<HexLine>& lines) {
    std::string text;
    for (const auto& line : lines) {
        if (line.IsRecord) {
            text += ':';
            for (const auto byte : line.Bytes) {
                char digits[3];
                std::snprintf(digits, sizeof digits, "%02X", byte);
                text += digits;
            }
        } else {
            text += line.Raw;
        }
        text += line.LineEnd;
    }
    return text;
}

void MendChecksum(HexLine& line) {
    if (!line.IsRecord || line.Bytes.empty()) {
        return;
    }
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i + 1 < line.Bytes.size(); ++i) {
        sum = static_cast<std::uint8_t>(sum + line.Bytes[i]);
    }
    line.Bytes.back() = static_cast<std::uint8_t>(0x100 - sum);
}

void MutateRecords(std::vector<HexLine>& lines, std::minstd_rand& random) {
    std::vector<std::size_t> records;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].IsRecord) {
            records.push_back(i);
        }
    }
    const auto choice = random() % 9;
    if (records.empty() || choice == 0) {
        lines.insert(lines.begin() + static_cast<long>(random() % (lines.size() + 1)),
                     NewRecord(random));
        return;
    }
    HexLine& line = lines[records[random() % records.size()]];
    auto& bytes = line.Bytes;
    switch (choice) {
        case 1:
            bytes[3] = RecordTypes[random() % std::size(RecordTypes)];
            break;
        case 2: {  // an extended address value, usually on an address record
            if (random() % 2 == 0) {
                bytes[3] = random() % 2 == 0 ? 0x02 : 0x04;
            }
            SetCount(line, 2);
            const std::uint16_t value = PickWord(random);
            bytes[4] = static_cast<std::uint8_t>(value >> 8);
            bytes[5] = static_cast<std::uint8_t>(value);
            break;
        }
        case 3: {
            const std::uint16_t address = PickWord(random);
            bytes[1] = static_cast<std::uint8_t>(address >> 8);
            bytes[2] = static_cast<std::uint8_t>(address);
            break;
        }
        case 4:
            SetCount(line, random() % 2 == 0 ? random() % 256 : random() % 33);
            break;
        case 5:  // the count byte alone, so the record's length and count disagree
            bytes[0] = static_cast<std::uint8_t>(random());
            break;
        case 6:
            lines.insert(lines.begin() + static_cast<long>(random() % (lines.size() + 1)),
                         HexLine(line));
            break;
        case 7:
            lines.erase(lines.begin() + static_cast<long>(records[random() % records.size()]));
            break;
        default: {  // line ends, which number the lines
            static const char* const Ends[] = {"\n", "\r\n", "\r", "", "  \n"};
            line.LineEnd = Ends[random() % std::size(Ends)];
            break;
        }
    }
}

}  // namespace zarn::fuzz
