#pragma once
// Every pause of the system goes through a Clock, so that tests and the virtual device run on
// simulated time while the window waits for real.

#include <chrono>
#include <cstdint>

namespace zarn {

class Clock {
public:
    virtual ~Clock() = default;
    // Waits the given number of milliseconds.
    virtual void Sleep(std::uint32_t milliseconds) = 0;
    // Time since an arbitrary start, never going back.
    virtual std::chrono::nanoseconds Now() const = 0;
};

class RealClock final : public Clock {
public:
    void Sleep(std::uint32_t milliseconds) override;
    std::chrono::nanoseconds Now() const override;
};

// Simulated time: Sleep and Advance move it forward at once, nothing waits. A paced clock also
// waits for real, so that a person can watch the virtual device work.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(bool paced = false) : Paced(paced) {}
    void Sleep(std::uint32_t milliseconds) override {
        Advance(std::chrono::milliseconds(milliseconds));
    }
    std::chrono::nanoseconds Now() const override { return CurrentTime; }
    void Advance(std::chrono::nanoseconds duration);

private:
    bool Paced;
    std::chrono::nanoseconds CurrentTime{0};
};

}  // namespace zarn
