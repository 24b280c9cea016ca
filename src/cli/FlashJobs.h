#pragma once
// What the command line does to one device: the window's update, step for step, or a read of
// its flash into memory, each on the calling thread with progress reported to a sink.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/DeviceSource.h"
#include "flash/UpdateProgress.h"
#include "image/ImageStore.h"

namespace zarn {

// Where a job reports: the phase it is in (a step text) and how far it has come.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void Phase(std::size_t device, const std::string& text) = 0;
    virtual void Progress(std::size_t device, int percent) = 0;
};

struct JobResult {
    bool Ok = false;
    std::string Failure;  // the failure text the window would show
    std::chrono::duration<double> Seconds{0};
};

// Connects to the device and runs the one-button update with the image: the same requests as
// the window's "Start" after OK.
JobResult RunUpdate(DeviceLayer& layer, const DeviceEntry& entry, const ImageStore& images,
                    ProgressSink& sink, std::size_t device, bool fast = false);

// Reads size bytes of flash from start in ISP mode (each 64-byte block up to three times) and
// leaves ISP mode again; nullopt and the failure in result when a block could not be read.
std::optional<std::vector<std::uint8_t>> ReadFlash(DeviceLayer& layer, const DeviceEntry& entry,
                                                   std::uint32_t start, std::uint32_t size,
                                                   ProgressSink& sink, std::size_t device,
                                                   JobResult& result);

}  // namespace zarn
