// zarn-flash's update of N devices at once, each on its own thread with its own transport,
// against N devices whose requests take real time (the virtual device paced to real time, as
// on hardware). Reported: wall time, and the throughput of N devices against one
// (N x the one-device time / the N-device time; N would be perfect).

#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>
#include <vector>

#include "cli/DeviceSource.h"
#include "cli/FlashJobs.h"

namespace {

using namespace zarn;

class NoSink final : public ProgressSink {
public:
    void Phase(std::size_t, const std::string&) override {}
    void Progress(std::size_t, int) override {}
};

// A small image, so that the run is dominated by requests rather than the chip erase.
ImageStore SmallImage() {
    ImageStore images;
    FillImage(images, 0xFF);
    for (std::uint32_t i = 0; i < 0x800; ++i) {
        images.ImageBuffer[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    images.ImageLength = 0x800;
    return images;
}

double UpdateAll(int count) {
    auto source = MakeVirtualSource({count, 0, -1, true});
    const auto devices = source->Devices();
    const ImageStore images = SmallImage();
    NoSink sink;
    std::vector<JobResult> results(devices.size());
    const auto started = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        DeviceLayer& layer = source->LayerFor(devices[i]);
        threads.emplace_back(
            [&, i] { results[i] = RunUpdate(layer, devices[i], images, sink, i); });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (const auto& result : results) {
        if (!result.Ok) {
            return -1;
        }
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

void ParallelUpdate(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    static const double one = UpdateAll(1);
    double seconds = 0;
    for (auto _ : state) {
        seconds = UpdateAll(count);
        if (seconds < 0) {
            state.SkipWithError("an update failed");
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["devices"] = count;
    state.counters["wall_s"] = seconds;
    state.counters["one_device_s"] = one;
    state.counters["throughput_ratio"] = one * count / seconds;
}

BENCHMARK(ParallelUpdate)
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Arg(8)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
