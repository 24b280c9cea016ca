#include "image/FirmwareLoaders.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <numeric>

#include "support/HexText.h"

namespace zarn {
namespace {

using fakes::DataRecord;
using fakes::EndOfFile;
using fakes::HexRecord;
using ::testing::Each;
using ::testing::HasSubstr;

std::vector<std::uint8_t> Counting(std::size_t count, std::uint8_t first) {
    std::vector<std::uint8_t> bytes(count);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

std::uint16_t Sum(const std::vector<std::uint8_t>& bytes) {
    return static_cast<std::uint16_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
}

struct GoodHexCase {
    const char* Name;
    std::string Text;
    std::uint32_t Length;
    std::uint16_t Sum;
    std::vector<std::pair<std::uint32_t, std::uint8_t>> Bytes;  // offsets to check
};

void PrintTo(const GoodHexCase& c, std::ostream* out) {
    *out << c.Name;
}

class GoodHexTest : public ::testing::TestWithParam<GoodHexCase> {};

TEST_P(GoodHexTest, LoadsImageLengthAndSum) {
    const GoodHexCase& c = GetParam();
    fakes::TemporaryDirectory directory;
    ImageStore store;
    const LoadResult result = LoadHexFile(store, directory.Write("image.hex", c.Text));
    ASSERT_TRUE(result.Loaded()) << result.Reason;
    EXPECT_EQ(store.ImageLength, c.Length);
    EXPECT_EQ(result.Sum, c.Sum);
    for (const auto& [offset, value] : c.Bytes) {
        EXPECT_EQ(store.ImageBuffer[offset], value) << "offset " << offset;
    }
    // Everything past the image is erased flash.
    EXPECT_THAT(
        std::vector<std::uint8_t>(store.ImageBuffer.begin() + c.Length, store.ImageBuffer.end()),
        Each(0xFF));
}

const std::string TwoRecords =
    DataRecord(0x0010, {1, 2, 3, 4}) + DataRecord(0x0000, {5, 6, 7, 8}) + EndOfFile;

INSTANTIATE_TEST_SUITE_P(
    Files, GoodHexTest,
    ::testing::Values(
        GoodHexCase{"Empty", "", 0, 0, {}}, GoodHexCase{"EndOfFileOnly", EndOfFile, 0, 0, {}},
        // The gap between the records reads 0xFF and counts 12 x 255.
        GoodHexCase{"GapBetweenRecords",
                    TwoRecords,
                    0x14,
                    36 + 12 * 255,
                    {{0, 5}, {3, 8}, {4, 0xFF}, {15, 0xFF}, {16, 1}, {19, 4}}},
        GoodHexCase{"RecordRunsPast64KiB",
                    DataRecord(0xFFF0, Counting(32, 0)) + EndOfFile,
                    0x10010,
                    static_cast<std::uint16_t>(Sum(Counting(32, 0)) + 0xFFF0 * 255),
                    {{0xFFF0, 0}, {0xFFFF, 15}, {0x10000, 16}, {0x1000F, 31}}},
        GoodHexCase{"LeadingLinearAddressZero",
                    HexRecord(0x04, 0, {0, 0}) + TwoRecords,
                    0x14,
                    36 + 12 * 255,
                    {{0, 5}, {1, 6}}},
        GoodHexCase{"LaterRecordWins",
                    DataRecord(0, {1, 1, 1, 1}) + DataRecord(2, {9, 9}) + EndOfFile,
                    4,
                    20,
                    {{1, 1}, {2, 9}, {3, 9}}},
        GoodHexCase{"LowerCaseDigits",
                    ":04000000aabbccddee\n:00000001ff\n",
                    4,
                    0xAA + 0xBB + 0xCC + 0xDD,
                    {{0, 0xAA}, {3, 0xDD}}},
        GoodHexCase{
            "WindowsLineEnds", ":0400000001020304F2\r\n:00000001FF\r\n", 4, 10, {{0, 1}, {3, 4}}},
        GoodHexCase{"ExtendedLinearAddress",
                    HexRecord(0x04, 0, {0x00, 0x03}) + DataRecord(0x0100, {0x42}) + EndOfFile,
                    0x30101,
                    static_cast<std::uint16_t>(0x42 + 0x30100 * 255),
                    {{0x30100, 0x42}, {0x100, 0xFF}}},
        GoodHexCase{"ExtendedSegmentAddress",
                    HexRecord(0x02, 0, {0x10, 0x00}) + DataRecord(0x0001, {0x42}) + EndOfFile,
                    0x10002,
                    static_cast<std::uint16_t>(0x42 + 0x10001 * 255),
                    {{0x10001, 0x42}}},
        GoodHexCase{"StartAddressesIgnored",
                    HexRecord(0x03, 0, {0, 0, 0, 0}) + HexRecord(0x05, 0, {0, 0, 0, 0}) +
                        DataRecord(0, {7}) + EndOfFile,
                    1,
                    7,
                    {{0, 7}}},
        GoodHexCase{"NothingReadAfterEndOfFile",
                    DataRecord(0, {7}) + EndOfFile + DataRecord(0, {1, 2, 3}),
                    1,
                    7,
                    {{0, 7}}},
        GoodHexCase{"BlanksAroundRecordsAndBlankLines",
                    "  \n\t:0100000007F8  \n\n" + EndOfFile + "\n",
                    1,
                    7,
                    {{0, 7}}},
        GoodHexCase{"CarriageReturnLineEnds", ":0100000007F8\r:00000001FF\r", 1, 7, {{0, 7}}},
        GoodHexCase{
            "ByteOrderMark", "\xEF\xBB\xBF" + DataRecord(0, {7}) + EndOfFile, 1, 7, {{0, 7}}},
        // A record without data names no byte, so it does not lengthen the image.
        GoodHexCase{"EmptyDataRecord",
                    DataRecord(0, {7}) + DataRecord(0x100, {}) + EndOfFile,
                    1,
                    7,
                    {{0, 7}}},
        GoodHexCase{"LastByteOfTheImage",
                    HexRecord(0x04, 0, {0x00, 0x03}) + DataRecord(0xFFFF, {0x42}) + EndOfFile,
                    ImageSize,
                    static_cast<std::uint16_t>(0x42 + 0x3FFFF * 255),
                    {{0x3FFFF, 0x42}, {0x3FFFE, 0xFF}}},
        // Under a segment base the offset wraps inside its 64 KiB segment.
        GoodHexCase{"SegmentOffsetWraps",
                    HexRecord(0x02, 0, {0x10, 0x00}) + DataRecord(0xFFFF, {0x42, 0x43}) + EndOfFile,
                    0x20000,
                    static_cast<std::uint16_t>(0x42 + 0x43 + (0x20000 - 2) * 255),
                    {{0x1FFFF, 0x42}, {0x10000, 0x43}, {0x20000, 0xFF}}}),
    [](const auto& info) { return info.param.Name; });

struct BadHexCase {
    const char* Name;
    std::string Text;
    std::string Reason;
};

void PrintTo(const BadHexCase& c, std::ostream* out) {
    *out << c.Name;
}

class BadHexTest : public ::testing::TestWithParam<BadHexCase> {};

TEST_P(BadHexTest, IsRefusedWithLineAndReasonAndChangesNothing) {
    fakes::TemporaryDirectory directory;
    ImageStore store;
    CopyBuiltInImage(store);
    store.ImageLength = 123;
    const auto before = store.ImageBuffer;

    const LoadResult result = LoadHexFile(store, directory.Write("image.hex", GetParam().Text));
    EXPECT_EQ(result.Status, LoadResult::Outcome::Refused);
    EXPECT_EQ(result.Reason, GetParam().Reason);
    EXPECT_EQ(store.ImageLength, 123u);
    EXPECT_TRUE(store.ImageBuffer == before);
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadHexTest,
    ::testing::Values(
        BadHexCase{"WrongChecksum", DataRecord(0, {1}) + ":0100000002FF\n",
                   "line 2: checksum is 0xFF, should be 0xFD"},
        BadHexCase{"NonHexCharacter", ":01000000G1FE\n",
                   "line 1: non-hexadecimal character 'G' in record"},
        BadHexCase{"LineEndsInsideRecord", ":0400000001020304\n:00000001FF\n",
                   "line 1: record cut short"},
        BadHexCase{"FileEndsInsideRecord", DataRecord(0, {1}) + ":04000000010203",
                   "line 2: record cut short"},
        BadHexCase{"UnknownType", HexRecord(0x06, 0, {1}), "line 1: unknown record type 0x06"},
        BadHexCase{"AddressRecordOfWrongSize", HexRecord(0x04, 0, {1}),
                   "line 1: address record holds 1 bytes instead of 2"},
        BadHexCase{"DataAt256KiB", HexRecord(0x04, 0, {0x00, 0x04}) + DataRecord(0, {1}),
                   "line 2: data at 0x040000 lies beyond the 256 KiB image"},
        BadHexCase{"DataRunningInto256KiB",
                   HexRecord(0x04, 0, {0x00, 0x03}) + DataRecord(0xFFFF, {1, 2}) + EndOfFile,
                   "line 2: data at 0x040000 lies beyond the 256 KiB image"},
        // 0xFFFF0000 + 0xFFFF + 1 wraps to 0 in 32 bits.
        BadHexCase{"AddressWrapsIn32Bits", ":02000004FFFFFC\n:01FFFF000001\n:00000001FF\n",
                   "line 2: data at 0xFFFFFFFF lies beyond the 256 KiB image"},
        // A 16-byte record whose count byte lost its bits still checks out without its data.
        BadHexCase{"CountByteFlipped", ":0000000000112233445566778899AABBCCDDEE10E7\n" + EndOfFile,
                   "line 1: text after the record's checksum, from '1' on (is the byte count "
                   "0x00 right?)"},
        BadHexCase{"TwoRecordsOnALine", ":0100000007F8:0100010008F6\n" + EndOfFile,
                   "line 1: text after the record's checksum, from ':' on (is the byte count "
                   "0x01 right?)"},
        BadHexCase{"RecordInTheMiddleOfALine", "x:01000000CF30\n" + EndOfFile,
                   "line 1: text before the record's ':'"},
        BadHexCase{"LostColon", DataRecord(0, {7}) + "01000000CF30\n" + EndOfFile,
                   "line 2: no record on this line (it does not start with ':')"},
        BadHexCase{"CommentLine", "; firmware\n" + DataRecord(0, {7}) + EndOfFile,
                   "line 1: no record on this line (it does not start with ':')"},
        BadHexCase{"CutShortAtALineEnd", DataRecord(0, {7}) + DataRecord(1, {8}),
                   "no end-of-file record: the file may be cut short"},
        BadHexCase{"LinesCountedAtCarriageReturns", ":0100000007F8\r\r\n:0100000007F9\r",
                   "line 3: checksum is 0xF9, should be 0xF8"},
        BadHexCase{"BinaryBlob",
                   std::string("\x7F"
                               "ELF\x02\x01\x01\0\0:\n",
                               11),
                   "line 1: text before the record's ':'"},
        BadHexCase{"HtmlPage", "<!DOCTYPE html>\n<html><body>Not Found</body></html>\n",
                   "line 1: no record on this line (it does not start with ':')"},
        BadHexCase{"UnprintableCharacter",
                   ":01000000\xC3"
                   "0FE\n",
                   "line 1: non-hexadecimal character 0xC3 in record"}),
    [](const auto& info) { return info.param.Name; });

TEST(FirmwareLoaders, FileThatCannotBeOpenedChangesNothing) {
    fakes::TemporaryDirectory directory;
    ImageStore store;
    store.ImageLength = 7;
    for (const auto loader : {&LoadHexFile, &LoadBinaryFile}) {
        const LoadResult result = loader(store, directory.Path / "missing.hex");
        EXPECT_EQ(result.Status, LoadResult::Outcome::CannotOpen);
        EXPECT_THAT(result.Reason, HasSubstr("missing.hex"));
        EXPECT_EQ(store.ImageLength, 7u);
        EXPECT_THAT(store.ImageBuffer, Each(0x00));
        EXPECT_EQ(loader(store, directory.Path).Status, LoadResult::Outcome::CannotOpen);
    }
}

struct BinaryCase {
    const char* Name;
    std::size_t Size;
    bool Loads;
    std::uint16_t Sum;
};

void PrintTo(const BinaryCase& c, std::ostream* out) {
    *out << c.Name;
}

class BinaryTest : public ::testing::TestWithParam<BinaryCase> {};

TEST_P(BinaryTest, LoadsWholeFilesThatFitTheImage) {
    fakes::TemporaryDirectory directory;
    ImageStore store;
    store.ImageLength = 5;
    const auto path = directory.Write("image.bin", std::string(GetParam().Size, '\xFF'));
    const LoadResult result = LoadBinaryFile(store, path);
    EXPECT_EQ(result.Loaded(), GetParam().Loads) << result.Reason;
    EXPECT_EQ(result.Sum, GetParam().Sum);
    EXPECT_EQ(store.ImageLength, GetParam().Loads ? GetParam().Size : 5u);
}

INSTANTIATE_TEST_SUITE_P(Files, BinaryTest,
                         ::testing::Values(BinaryCase{"Empty", 0, true, 0},
                                           BinaryCase{"SumWrapsTo0xFFFF", 257, true, 0xFFFF},
                                           BinaryCase{"SumWrapsTo0x00FE", 258, true, 0x00FE},
                                           BinaryCase{"WholeImage", ImageSize, true, 0x0000},
                                           // Cutting it would flash part of a firmware.
                                           BinaryCase{"OneByteTooMany", ImageSize + 1, false, 0}),
                         [](const auto& info) { return info.param.Name; });

TEST(FirmwareLoaders, ExtensionChoosesTheLoader) {
    fakes::TemporaryDirectory directory;
    const std::string hex = DataRecord(0, {0x11, 0x22}) + EndOfFile;
    ImageStore store;
    for (const char* name : {"a.HEX", "a.H00", "a.hex"}) {
        const auto result = LoadByExtension(store, directory.Write(name, hex).string());
        EXPECT_EQ(result.Sum, 0x33) << name;
        EXPECT_EQ(store.ImageLength, 2u) << name;
    }
    EXPECT_EQ(LoadByExtension(store, directory.Write("a.BIN", hex).string()).Sum,
              Sum(std::vector<std::uint8_t>(hex.begin(), hex.end())));
    store.ImageBuffer[0] = 0x99;
    for (const char* name : {"a.txt", "ab"}) {
        const auto result = LoadByExtension(store, directory.Write(name, hex).string());
        EXPECT_EQ(result.Status, LoadResult::Outcome::UnknownType) << name;
        EXPECT_EQ(store.ImageBuffer[0], 0x99) << name;
    }
}

TEST(FirmwareLoaders, HexFieldValueReadsDigitsAndCountsOthersAsZero) {
    EXPECT_EQ(HexFieldValue("1A", 2), 0x1Au);
    EXPECT_EQ(HexFieldValue("ffFF", 4), 0xFFFFu);
    EXPECT_EQ(HexFieldValue("G1", 2), 0x01u);
    EXPECT_EQ(HexFieldValue("12", 0), 0u);
}

TEST(ImageStore, BuiltInImageIsAPatternCopiedIntoBothBuffers) {
    ImageStore store;
    CopyBuiltInImage(store);
    const auto& image = BuiltInImage();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), store.ImageBuffer.begin()));
    EXPECT_TRUE(std::equal(image.begin(), image.end(), store.ModifyBuffer.begin()));
    EXPECT_EQ(store.ImageBuffer[BuiltInImageSize], 0x00);
    EXPECT_EQ(store.ImageLength, 0u);
    // Not blank, and no two 256-byte pages alike.
    EXPECT_NE(std::count(image.begin(), image.end(), 0xFF), static_cast<long>(image.size()));
    EXPECT_FALSE(std::equal(image.begin(), image.begin() + 256, image.begin() + 256));
}

}  // namespace
}  // namespace zarn
