#include "transport/Clock.h"

#include <thread>

namespace zarn {

void RealClock::Sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void VirtualClock::Advance(std::chrono::nanoseconds duration) {
    CurrentTime += duration;
    if (Paced) {
        std::this_thread::sleep_for(duration);
    }
}

std::chrono::nanoseconds RealClock::Now() const {
    return std::chrono::steady_clock::now().time_since_epoch();
}

}  // namespace zarn
