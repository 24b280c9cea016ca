#include "image/ImageStore.h"

#include <algorithm>

namespace zarn {

const std::array<std::uint8_t, BuiltInImageSize>& BuiltInImage() {
    static const auto image = [] {
        std::array<std::uint8_t, BuiltInImageSize> bytes{};
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            // Low byte of the offset mixed with its page number: every 256-byte page differs.
            bytes[i] = static_cast<std::uint8_t>((i & 0xFF) ^ ((i >> 8) * 0x35) ^ 0x5A);
        }
        return bytes;
    }();
    return image;
}

void FillImage(ImageStore& store, std::uint8_t value) {
    std::fill(store.ImageBuffer.begin(), store.ImageBuffer.end(), value);
}

void CopyBuiltInImage(ImageStore& store) {
    const auto& image = BuiltInImage();
    std::copy(image.begin(), image.end(), store.ImageBuffer.begin());
    std::copy(image.begin(), image.end(), store.ModifyBuffer.begin());
}

std::uint16_t ImageSum(const std::vector<std::uint8_t>& image, std::uint32_t length) {
    std::uint16_t sum = 0;
    for (std::uint32_t i = 0; i < length && i < image.size(); ++i) {
        sum = static_cast<std::uint16_t>(sum + image[i]);
    }
    return sum;
}

}  // namespace zarn
