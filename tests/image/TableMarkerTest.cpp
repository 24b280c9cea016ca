#include "image/TableMarker.h"

#include <gtest/gtest.h>

#include "support/HexText.h"

namespace zarn {
namespace {

std::vector<std::uint8_t> ImageWith(std::vector<std::pair<std::uint32_t, std::string>> texts,
                                    std::size_t size = 0x2000) {
    std::vector<std::uint8_t> image(size, 0xFF);
    for (const auto& [offset, text] : texts) {
        std::copy(text.begin(), text.end(), image.begin() + offset);
    }
    return image;
}

TEST(TableMarker, FirstPlaceWhereAtLeastTenCharactersAgree) {
    struct Case {
        const char* Name;
        std::vector<std::uint8_t> Image;
        std::uint32_t Length;
        std::optional<std::uint32_t> Found;
    };
    const Case cases[] = {
        {"Whole", ImageWith({{0x1234, "KXUSB_Table01"}}), 0x2000, 0x1234},
        {"TenCharacters", ImageWith({{0x10, "KXUSB_TablX"}}), 0x2000, 0x10},
        {"NineCharacters", ImageWith({{0x10, "KXUSB_TabX"}}), 0x2000, std::nullopt},
        {"TwoMarkers", ImageWith({{0x800, "KXUSB_Table01"}, {0x100, "KXUSB_Table01"}}), 0x2000,
         0x100},
        {"CutByTheLength", ImageWith({{0x1FF8, "KXUSB_Table01"}}, 0x2008), 0x2000, std::nullopt},
        {"NothingLoaded", ImageWith({{0, "KXUSB_Table01"}}), 0, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindTableMarker(c.Image, c.Length), c.Found) << c.Name;
    }
}

TEST(TableMarker, ModifyFileCopiesLoadedImagesOnly) {
    fakes::TemporaryDirectory directory;
    ImageStore store;
    std::uint32_t length = 77;
    // A HEX file is searched in its image: the marker lies at its load address.
    const std::string marker = "KXUSB_Table01";
    const auto hex = directory.Write(
        "a.hex",
        fakes::DataRecord(0x0300, std::vector<std::uint8_t>(marker.begin(), marker.end())) +
            fakes::EndOfFile);
    ASSERT_TRUE(ReadModifyFile(store, hex.string(), length).Loaded());
    EXPECT_EQ(length, 0x30Du);
    EXPECT_EQ(FindTableMarker(store.ModifyBuffer, length), 0x300u);

    for (const auto& [name, content] :
         {std::pair{"big.bin", std::string(ImageSize + 1, 'K')},
          std::pair{"bad.hex", std::string(":0100000001FF\n")}, std::pair{"a.txt", marker}}) {
        store.ModifyBuffer[0] = 0x42;
        EXPECT_FALSE(
            ReadModifyFile(store, directory.Write(name, content).string(), length).Loaded())
            << name;
        EXPECT_EQ(length, 0x30Du) << name;
        EXPECT_EQ(store.ModifyBuffer[0], 0x42) << name;
    }
    EXPECT_FALSE(ReadModifyFile(store, (directory.Path / "missing.bin").string(), length).Loaded());
}

}  // namespace
}  // namespace zarn
