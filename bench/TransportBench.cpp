// The host's own cost of carrying one vendor request through the transport and the virtual
// device, on each driver path, for the request sizes the flash work uses.

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "sim/DeviceModel.h"
#include "sim/VirtualDeviceLayer.h"
#include "transport/KeldrixUsb.h"

namespace {

class NullModel : public zarn::DeviceModel {
public:
    bool ControlTransfer(const zarn::SetupPacket&, std::span<std::uint8_t>) override {
        return true;
    }
};

void VendorRequestRoundTrip(benchmark::State& state) {
    const bool audioPath = state.range(0) != 0;
    const auto length = static_cast<std::uint32_t>(state.range(1));
    zarn::VirtualClock clock;
    zarn::VirtualDeviceLayer layer(clock);
    auto device = std::make_shared<zarn::VirtualUsbDevice>(
        clock, 0x31D4, audioPath ? 0x0053 : 0x6000, audioPath, std::make_shared<NullModel>());
    layer.Attach(device);
    zarn::KeldrixUsb usb(layer);
    usb.SetAudioMode(audioPath);
    usb.SetMatch(audioPath ? "vid_31d4&pid_0053" : "vid_31d4&pid_6000");
    usb.Connect();
    usb.Open();
    std::vector<std::uint8_t> data(length);
    for (auto _ : state) {
        benchmark::DoNotOptimize(usb.VendorRequest(0xC3, 0x82, 0, 0, data.data(), length));
        if (device->RequestLog().size() > 4096) {
            device->ClearRequestLog();
        }
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(VendorRequestRoundTrip)
    ->ArgNames({"audio", "bytes"})
    ->ArgsProduct({{0, 1}, {0, 64, 256}});

}  // namespace
