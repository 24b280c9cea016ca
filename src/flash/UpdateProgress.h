#pragma once
// How far an update run has come: the vendor requests sent so far against the requests the run
// needs, estimated from the image and the program mode, with the time left extrapolated from the
// time spent. The estimate never reaches 100 % before the run has ended.

#include <chrono>
#include <cstdint>

#include "flash/FlashWorkers.h"

namespace zarn {

struct ProgressFigures {
    int Percent = 0;
    std::chrono::seconds Left{0};
};

// The requests a whole update of the image needs: ISP mode, id, unprotect, a typical erase
// poll, blank check and verify (three requests per 64-byte read), programming by the mode in
// values (blank blocks cost nothing in page mode), protect and leaving ISP mode.
std::uint64_t ExpectedUpdateRequests(const ImageStore& images, const FlashRunValues& values,
                                     const WorkerProfile& profile = ReferenceProfile);

class UpdateProgress {
public:
    UpdateProgress(std::uint64_t firstRequest, std::uint64_t expectedRequests,
                   std::chrono::nanoseconds startedAt);
    void SetExpected(std::uint64_t expectedRequests) { Expected = expectedRequests; }
    ProgressFigures At(std::uint64_t requestsSent, std::chrono::nanoseconds now) const;

private:
    std::uint64_t First;
    std::uint64_t Expected;
    std::chrono::nanoseconds Started;
};

}  // namespace zarn
