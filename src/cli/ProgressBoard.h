#pragma once
// The command line's progress: on a terminal one live line per device (name, phase, a bar,
// percent, elapsed and remaining time), redrawn in place; elsewhere one plain line per phase
// change. Jobs on several threads report to it at once.

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "cli/FlashJobs.h"

namespace zarn {

class ProgressBoard final : public ProgressSink {
public:
    ProgressBoard(std::vector<std::string> names, bool live, std::FILE* out);
    void Phase(std::size_t device, const std::string& text) override;
    void Progress(std::size_t device, int percent) override;
    // Draws the final state once more (live) so that the summary follows below.
    void Close();

private:
    struct Line {
        std::string Name;
        std::string Phase;
        int Percent = 0;
        std::chrono::steady_clock::time_point Started = std::chrono::steady_clock::now();
    };
    void Draw();
    std::string Render(const Line& line) const;

    std::vector<Line> Lines;
    bool Live;
    std::FILE* Out;
    std::mutex Guard;
    bool Drawn = false;
    std::chrono::steady_clock::time_point LastDraw{};
};

}  // namespace zarn
