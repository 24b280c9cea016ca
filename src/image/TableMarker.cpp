#include "image/TableMarker.h"

#include <algorithm>
#include <string_view>

namespace zarn {
namespace {

constexpr std::string_view Compared = "KXUSB_Table0";
constexpr std::size_t Enough = 10;  // "KXUSB_Tabl"

}  // namespace

std::optional<std::uint32_t> FindTableMarker(const std::vector<std::uint8_t>& buffer,
                                             std::uint32_t length) {
    length = std::min<std::uint32_t>(length, static_cast<std::uint32_t>(buffer.size()));
    for (std::uint32_t offset = 0; offset < length; ++offset) {
        std::size_t agree = 0;
        while (agree < Compared.size() && offset + agree < length &&
               buffer[offset + agree] == static_cast<std::uint8_t>(Compared[agree])) {
            ++agree;
        }
        if (agree >= Enough) {
            return offset;
        }
    }
    return std::nullopt;
}

LoadResult ReadModifyFile(ImageStore& store, const std::string& path, std::uint32_t& modifyLength) {
    LoadResult result = LoadByExtension(store, path);
    if (result.Loaded()) {
        std::copy_n(store.ImageBuffer.begin(), store.ImageLength, store.ModifyBuffer.begin());
        modifyLength = store.ImageLength;
    }
    return result;
}

}  // namespace zarn
