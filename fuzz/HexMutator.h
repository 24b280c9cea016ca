#pragma once
// A structure-aware mutator for Intel HEX texts: it reads the text as records, changes their
// fields (count, address, type, extended-address values, data), adds, copies and drops records,
// and writes them back with their checksums mended on most runs and broken on purpose on the
// rest, so that the fuzzer spends its time past the checksum check.

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace zarn::fuzz {

struct HexLine {
    bool IsRecord = false;
    std::vector<std::uint8_t> Bytes;  // count, address high, address low, type, data, checksum
    std::string Raw;                  // the line's text when it is not a record
    std::string LineEnd = "\n";
};

std::vector<HexLine> SplitHex(const std::string& text);
std::string JoinHex(const std::vector<HexLine>& lines);
// One random change to the records: a field, a record added, copied or dropped.
void MutateRecords(std::vector<HexLine>& lines, std::minstd_rand& random);
void MendChecksum(HexLine& line);

}  // namespace zarn::fuzz
