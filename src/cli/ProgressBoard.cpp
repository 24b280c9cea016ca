#include "cli/ProgressBoard.h"

#include <algorithm>

namespace zarn {
namespace {

constexpr int BarWidth = 20;
constexpr auto RedrawEvery = std::chrono::milliseconds(100);

// The phase without the erase poll's growing dots, so that a new dot is no new phase.
std::string PhaseName(const std::string& text) {
    const auto end = text.find_last_not_of(". ");
    return end == std::string::npos ? text : text.substr(0, end + 1);
}

std::string MinutesAndSeconds(std::chrono::steady_clock::duration duration) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration).count();
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

}  // namespace

ProgressBoard::ProgressBoard(std::vector<std::string> names, bool live, std::FILE* out)
    : Live(live), Out(out) {
    for (auto& name : names) {
        Lines.push_back({std::move(name), "waiting", 0});
    }
}

void ProgressBoard::Phase(std::size_t device, const std::string& text) {
    std::lock_guard lock(Guard);
    Line& line = Lines.at(device);
    const std::string phase = PhaseName(text);
    if (phase == line.Phase) {
        return;
    }
    line.Phase = phase;
    if (Live) {
        Draw();
    } else {
        std::fprintf(Out, "%s: %s\n", line.Name.c_str(), phase.c_str());
        std::fflush(Out);
    }
}

void ProgressBoard::Progress(std::size_t device, int percent) {
    std::lock_guard lock(Guard);
    Lines.at(device).Percent = std::clamp(percent, 0, 100);
    if (Live && std::chrono::steady_clock::now() - LastDraw >= RedrawEvery) {
        Draw();
    }
}

void ProgressBoard::Close() {
    std::lock_guard lock(Guard);
    if (Live) {
        Draw();
    }
}

std::string ProgressBoard::Render(const Line& line) const {
    const int filled = line.Percent * BarWidth / 100;
    const auto elapsed = std::chrono::steady_clock::now() - line.Started;
    std::string left = "--:--";
    if (line.Percent > 0 && line.Percent < 100) {
        left = MinutesAndSeconds(elapsed * (100 - line.Percent) / line.Percent);
    } else if (line.Percent == 100) {
        left = "0:00";
    }
    char text[512];
    std::snprintf(text, sizeof text, "%-28.28s %-32.32s [%s%s] %3d%%  %s  %s left",
                  line.Name.c_str(), line.Phase.c_str(), std::string(filled, '#').c_str(),
                  std::string(BarWidth - filled, '-').c_str(), line.Percent,
                  MinutesAndSeconds(elapsed).c_str(), left.c_str());
    return text;
}

void ProgressBoard::Draw() {
    if (Drawn) {
        std::fprintf(Out, "\x1b[%zuA", Lines.size());  // back to the first line
    }
    for (const Line& line : Lines) {
        std::fprintf(Out, "\r\x1b[2K%s\n", Render(line).c_str());
    }
    std::fflush(Out);
    Drawn = true;
    LastDraw = std::chrono::steady_clock::now();
}

}  // namespace zarn
