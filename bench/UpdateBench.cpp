// The whole one-button update on the virtual device, for each flash part, two image sizes and
// both profiles (fast 0: the reference procedure; 1: the production profile of zarn-flash),
// at the default per-request cost. Counters: requests per phase, the device's virtual time, a
// lower bound for that time, their ratio, and the host's real time per request.
//
// The lower bound is the time that the requests and the flash's busy periods cover together:
// neither can be shortened, and the flash works while requests go on. The pauses the procedure
// mandates (10 ms after the chip erase command, 1 ms after a page program) fall inside busy
// periods on every part but the word-programming one. Adding requests, pauses and busy times
// up would count their overlap twice and is no lower bound; the ratio then shows the time spent
// waiting with neither a request nor the flash at work.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <string>

#include "app/OneButtonUpdate.h"
#include "sim/VirtualChipDevice.h"
#include "sim/VirtualDeviceLayer.h"

namespace {

using namespace zarn;

enum Phase { Setup, Unprotect, Erase, Blank, Program, Verify, Protect, PhaseCount };
constexpr std::array<const char*, PhaseCount> PhaseNames = {
    "req_setup",   "req_unprotect", "req_erase",  "req_blank",
    "req_program", "req_verify",    "req_protect"};

// Splits the request log into phases by the flash commands that open them.
std::array<std::size_t, PhaseCount> RequestsPerPhase(const std::vector<RequestLogEntry>& log) {
    std::array<std::size_t, PhaseCount> counts{};
    Phase phase = Setup;
    bool commandStarts = true;
    int statusWrites = 0;
    for (const auto& entry : log) {
        const std::uint8_t opcode = entry.Data.empty() ? 0 : entry.Data[0];
        const bool command =
            commandStarts && (entry.Setup.bRequest == 0x80 || entry.Setup.bRequest == 0x81);
        if (command && entry.Setup.bRequest == 0x80 && opcode == 0x01 && ++statusWrites == 1) {
            phase = Unprotect;
        } else if (command && opcode == 0x01 && statusWrites == 2) {
            phase = Protect;
        } else if (command && opcode == 0xC7) {
            phase = Erase;
        } else if (command && entry.Setup.bRequest == 0x81 && opcode == 0x03 && phase == Erase) {
            phase = Blank;
        } else if (command && (opcode == 0x02 || opcode == 0xAD) &&
                   (phase == Blank || phase == Erase)) {  // the fast profile has no blank pass
            phase = Program;
        } else if (command && entry.Setup.bRequest == 0x81 && opcode == 0x03 && phase == Program) {
            phase = Verify;
        }
        if (entry.Setup.bRequest == 0x80) {
            commandStarts = entry.Setup.wIndex == 1;
        }
        ++counts[phase];
    }
    return counts;
}

// The time covered by the requests and the flash's busy periods together.
std::chrono::nanoseconds LowerBound(const std::vector<RequestLogEntry>& log,
                                    const std::vector<SpiFlashModel::BusyPeriod>& busy) {
    std::vector<SpiFlashModel::BusyPeriod> spans(busy);
    for (const auto& entry : log) {
        spans.push_back({entry.At, entry.At + VirtualUsbDevice::DefaultRequestLatency});
    }
    std::sort(spans.begin(), spans.end(),
              [](const auto& a, const auto& b) { return a.Start < b.Start; });
    std::chrono::nanoseconds covered{0};
    std::chrono::nanoseconds reached{std::chrono::nanoseconds::min()};
    for (const auto& span : spans) {
        const auto from = std::max(span.Start, reached);
        if (span.End > from) {
            covered += span.End - from;
        }
        reached = std::max(reached, span.End);
    }
    return covered;
}

void WholeUpdate(benchmark::State& state, const FlashPart* flash) {
    const auto imageLength = static_cast<std::uint32_t>(state.range(0));
    const bool fast = state.range(1) != 0;
    std::array<std::size_t, PhaseCount> phases{};
    std::size_t requests = 0;
    double virtualSeconds = 0;
    double lowerBoundSeconds = 0;
    double realSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        VirtualClock time;
        VirtualDeviceLayer layer(time);
        VirtualChipDevice device(time, *flash, {0x31D4, 0x0053});
        device.LoadFirmware(std::vector<std::uint8_t>(256, 0x00));
        layer.Attach(device.Usb());
        KeldrixUsb usb(layer);
        usb.SetAudioMode(true);
        usb.SetMatch("vid_31d4&pid_0053");
        usb.Connect();
        ImageStore images;
        FillImage(images, 0xFF);
        for (std::uint32_t i = 0; i < imageLength; ++i) {
            images.ImageBuffer[i] = static_cast<std::uint8_t>(i * 31 + (i >> 9));
        }
        images.ImageLength = imageLength;
        FlashRunValues values;
        MonitorState monitor;
        TopPanel panel;
        SilentReporter reporter;
        InlineUpdateHost host(panel);
        OneButtonUpdate update(usb, images, values, monitor, panel, reporter, host);
        if (fast) {
            update.UseFastProfile();
        }
        device.Usb()->ClearRequestLog();
        const auto startVirtual = time.Now();
        const auto startReal = std::chrono::steady_clock::now();
        state.ResumeTiming();

        update.btnSimpleAutoClick();

        state.PauseTiming();
        realSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - startReal).count();
        if (panel.ProcessLine != "Firmware update success!") {
            state.SkipWithError("the update did not succeed");
            break;
        }
        const auto& log = device.Usb()->RequestLog();
        phases = RequestsPerPhase(log);
        requests = log.size();
        virtualSeconds = std::chrono::duration<double>(time.Now() - startVirtual).count();
        lowerBoundSeconds =
            std::chrono::duration<double>(LowerBound(log, device.Chip().Flash().BusyPeriods()))
                .count();
        state.ResumeTiming();
    }
    for (int phase = 0; phase < PhaseCount; ++phase) {
        state.counters[PhaseNames[phase]] = static_cast<double>(phases[phase]);
    }
    state.counters["requests"] = static_cast<double>(requests);
    state.counters["virtual_s"] = virtualSeconds;
    state.counters["lower_bound_s"] = lowerBoundSeconds;
    state.counters["ratio"] = lowerBoundSeconds > 0 ? virtualSeconds / lowerBoundSeconds : 0;
    state.counters["real_us_per_request"] =
        requests > 0 ? realSeconds * 1e6 / (static_cast<double>(requests) * state.iterations()) : 0;
}

const bool Registered = [] {
    for (const FlashPart* flash : FlashModels::All) {
        auto* benchmark = benchmark::RegisterBenchmark(
            ("WholeUpdate/" + std::string(flash->Name)).c_str(), WholeUpdate, flash);
        benchmark->ArgNames({"image_bytes", "fast"})->Unit(benchmark::kMillisecond)->Iterations(1);
        for (std::uint32_t size : {64u * 1024, 256u * 1024}) {
            if (size <= flash->Size) {
                benchmark->Args({size, 0})->Args({size, 1});
            }
        }
    }
    return true;
}();

}  // namespace
