// Feeds HEX texts to the HEX parser and, through a file, to both loaders. A crash, a sanitizer
// report or a broken invariant is a finding. The custom mutator changes the texts record by
// record (see HexMutator.h) and leaves a share of the runs to libFuzzer's byte mutations.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

#include "HexMutator.h"
#include "image/FirmwareLoaders.h"

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

const std::string& ScratchFile() {
    static const std::string path = "/tmp/zarn-loader-fuzz-" + std::to_string(getpid());
    return path;
}

void CheckLoad(zarn::ImageStore& store, const zarn::LoadResult& result,
               std::uint32_t lengthBefore) {
    if (result.Loaded()) {
        Check(store.ImageLength <= zarn::ImageSize);
        Check(result.Sum == zarn::ImageSum(store.ImageBuffer, store.ImageLength));
    } else {
        Check(store.ImageLength == lengthBefore);
        Check(!result.Reason.empty());
    }
    Check(store.ImageBuffer.size() == zarn::ImageSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const zarn::HexImage parsed = zarn::ParseHex(text);
    if (parsed.Error.empty()) {
        Check(parsed.Image.size() == zarn::ImageSize);
        Check(parsed.Length <= zarn::ImageSize);
        Check(parsed.DataBytes == 0 || parsed.Length > 0);
    } else {
        Check(parsed.Image.empty());
    }

    std::ofstream(ScratchFile(), std::ios::binary | std::ios::trunc).write(text.data(), size);
    zarn::ImageStore store;
    store.ImageLength = 77;
    CheckLoad(store, zarn::LoadHexFile(store, ScratchFile()), 77);
    const std::uint32_t length = store.ImageLength;
    CheckLoad(store, zarn::LoadBinaryFile(store, ScratchFile()), length);
    return 0;
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t maxSize, unsigned int seed) {
    std::minstd_rand random(seed);
    if (random() % 4 == 0) {
        return LLVMFuzzerMutate(data, size, maxSize);
    }
    auto lines = zarn::fuzz::SplitHex(std::string(reinterpret_cast<const char*>(data), size));
    const auto changes = 1 + random() % 3;
    for (unsigned i = 0; i < changes; ++i) {
        zarn::fuzz::MutateRecords(lines, random);
    }
    // Most runs mend every checksum so that the records reach the image; the rest keep the
    // broken ones.
    if (random() % 8 != 0) {
        for (auto& line : lines) {
            zarn::fuzz::MendChecksum(line);
        }
    }
    const std::string text = zarn::fuzz::JoinHex(lines);
    if (text.size() > maxSize) {
        return LLVMFuzzerMutate(data, size, maxSize);
    }
    std::copy(text.begin(), text.end(), data);
    return text.size();
}
