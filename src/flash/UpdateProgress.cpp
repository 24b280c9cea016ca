#include "flash/UpdateProgress.h"

#include <algorithm>

namespace zarn {
namespace {

constexpr std::uint64_t RequestsPerRead = 3;    // command, ready poll, fetch
constexpr std::uint64_t RequestsPerStatus = 3;  // command, ready poll, fetch
constexpr std::uint64_t FixedRequests = 40;     // ISP mode, id, unprotect, protect, leave
constexpr std::uint64_t TypicalErasePolls = 100;
constexpr int MostBeforeTheEnd = 99;

bool BlankBlock(const ImageStore& images, std::uint32_t start, std::uint32_t size) {
    const auto begin = images.ImageBuffer.begin() + start;
    const auto end = images.ImageBuffer.begin() + std::min<std::size_t>(start + size, ImageSize);
    return std::all_of(begin, end, [](std::uint8_t byte) { return byte == 0xFF; });
}

}  // namespace

std::uint64_t ExpectedUpdateRequests(const ImageStore& images, const FlashRunValues& values,
                                     const WorkerProfile& profile) {
    const std::uint64_t length = images.ImageLength;
    const std::uint64_t reads = (length + profile.ReadSize - 1) / profile.ReadSize;
    const std::uint64_t passes =
        profile.SkipBlankBlocks ? 1 : 2;  // the fast one has no blank check
    std::uint64_t program = 0;
    const std::uint32_t block = values.ProgramBlockSize == 0 ? 256 : values.ProgramBlockSize;
    for (std::uint32_t start = 0; start < length; start += block) {
        if (values.UseAaiProgram &&
            !(profile.SkipBlankBlocks && BlankBlock(images, start, block))) {
            // Write enable always; a word packet per two bytes and write disable when not blank.
            program += 1 + (BlankBlock(images, start, block) ? 0 : block / 2 + 1);
        } else if (!BlankBlock(images, start, block)) {
            // Ready poll, write enable, command and data packets, one settle poll.
            program += RequestsPerStatus + 1 + 2 + 1;
        }
    }
    return FixedRequests + TypicalErasePolls * RequestsPerStatus +
           passes * reads * RequestsPerRead + program;
}

UpdateProgress::UpdateProgress(std::uint64_t firstRequest, std::uint64_t expectedRequests,
                               std::chrono::nanoseconds startedAt)
    : First(firstRequest),
      Expected(std::max<std::uint64_t>(expectedRequests, 1)),
      Started(startedAt) {}

ProgressFigures UpdateProgress::At(std::uint64_t requestsSent, std::chrono::nanoseconds now) const {
    const std::uint64_t done = requestsSent - First;
    const double fraction =
        std::min(1.0, static_cast<double>(done) / static_cast<double>(Expected));
    ProgressFigures figures;
    figures.Percent = std::min(MostBeforeTheEnd, static_cast<int>(fraction * 100));
    if (fraction > 0) {
        const auto spent = std::chrono::duration<double>(now - Started).count();
        figures.Left =
            std::chrono::seconds(static_cast<long long>(spent * (1 - fraction) / fraction + 0.5));
    }
    return figures;
}

}  // namespace zarn
