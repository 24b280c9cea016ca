#include "transport/Clock.h"

#include <thread>

namespace zarn {

void RealClock::Sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::chrono::nanoseconds RealClock::Now() const {
    return std::chrono::steady_clock::now().time_since_epoch();
}

}  // namespace zarn
