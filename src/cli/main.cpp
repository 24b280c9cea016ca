// zarn-flash: the tool's command line for scripts, production lines and recovery, on the same
// core as the window.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <thread>

#include "app/DeviceTable.h"
#include "app/OneButtonUpdate.h"
#include "cli/DeviceSource.h"
#include "cli/FlashJobs.h"
#include "cli/ProgressBoard.h"
#include "flash/FlashWorkers.h"
#include "image/FirmwareLoaders.h"
#include "transport/UsbTrace.h"

namespace {

using namespace zarn;
using nlohmann::json;

enum Exit { Success = 0, Failed = 1, Usage = 2, NoDevice = 3, FileRefused = 4 };

constexpr const char* ExitCodes =
    "Exit codes: 0 every device succeeded, 1 at least one failed, 2 usage error, 3 no device "
    "found, 4 the firmware file was refused.";

constexpr const char* FastHelp =
    "The production profile: no separate blank check (the verify reads every byte back), "
    "255-byte reads, blank blocks not programmed; about half the time";

// An error the user can act on: one line on stderr, and the exit code.
struct Stop {
    Exit Code;
    std::string Text;
};

struct Options {
    int VirtualProducts = 0;
    int VirtualIsp = 0;
    int VirtualWorn = -1;
    bool Json = false;
    bool Yes = false;
    bool All = false;
    bool Fast = false;
    std::string Device;
    std::string File;
    std::string Out;
    std::string Start = "0";
    std::string Size = "0x40000";
    std::string Trace;
};

// The trace file of --trace and the traced layers of the devices in use.
struct Tracing {
    std::unique_ptr<UsbTraceFile> File;
    std::vector<std::unique_ptr<TracingDeviceLayer>> Layers;

    DeviceLayer& Wrap(DeviceLayer& layer) {
        if (!File) {
            return layer;
        }
        Layers.push_back(std::make_unique<TracingDeviceLayer>(
            layer, *File, static_cast<std::uint16_t>(Layers.size() + 1)));
        return *Layers.back();
    }
};
Tracing Traces;

std::string Hex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

std::uint32_t ParseAddress(const std::string& text, const char* what) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (text.empty() || text[0] == '-' || *end != '\0' || errno != 0 || value > 0x1000000) {
        throw Stop{Usage, std::string("--") + what + " " + text +
                              " is not an address of the 16 MiB flash space (decimal or 0x...)"};
    }
    return static_cast<std::uint32_t>(value);
}

std::unique_ptr<DeviceSource> OpenSource(const Options& options) {
    if (options.VirtualProducts > 0 || options.VirtualIsp > 0) {
        return MakeVirtualSource(
            {options.VirtualProducts, options.VirtualIsp, options.VirtualWorn});
    }
    auto source = MakeUsbSource();
    if (!source) {
        throw Stop{NoDevice, "USB cannot be used on this machine (libusb could not start)"};
    }
    return source;
}

// The devices a command acts on: the one named with --device, every product (--all), or the
// only device of the kind wanted (products, ISP identities, or either when isp is empty).
std::vector<DeviceEntry> ChooseDevices(DeviceSource& source, const Options& options,
                                       std::optional<bool> isp, bool allowAll) {
    std::vector<DeviceEntry> found = source.Devices();
    if (!options.Device.empty()) {
        for (const auto& entry : found) {
            if (entry.Path == options.Device) {
                return {entry};
            }
        }
        throw Stop{NoDevice, "no device with the path " + options.Device +
                                 "; 'zarn-flash list' shows the paths"};
    }
    std::vector<DeviceEntry> chosen;
    for (const auto& entry : found) {
        if (!isp || entry.Isp == *isp) {
            chosen.push_back(entry);
        }
    }
    if (chosen.empty()) {
        throw Stop{NoDevice, isp.value_or(false)
                                 ? "no device in an ISP identity found"
                                 : "no device found; check the cable, or see 'zarn-flash list'"};
    }
    if (chosen.size() > 1 && !(allowAll && options.All)) {
        throw Stop{Usage, std::to_string(chosen.size()) +
                              " devices found; name one with --device PATH" +
                              (allowAll ? " or update them all with --all" : "")};
    }
    return chosen;
}

ImageStore LoadFirmware(const std::filesystem::path& path) {
    ImageStore images;
    const LoadResult result = LoadByExtension(images, path.string());
    if (result.Status == LoadResult::Outcome::UnknownType) {
        throw Stop{FileRefused,
                   path.string() + ": cannot tell the kind of file; name it .hex or .bin"};
    }
    if (!result.Loaded()) {
        throw Stop{FileRefused, path.string() + ": " + result.Reason};
    }
    if (result.DataBytes == 0) {
        throw Stop{FileRefused, path.string() + ": holds no data"};
    }
    return images;
}

// The product's own file from the firmware folder, as the window takes it.
ImageStore ProductFirmware(const DeviceSource& source, const DeviceEntry& entry) {
    if (!entry.ProductRow) {
        throw Stop{Usage, DeviceLabel(entry) +
                              " waits in its ISP identity, so no product file can be chosen for "
                              "it: name the firmware with --file"};
    }
    const auto path = source.FirmwareFolder() /
                      (std::string(DeviceTable.at(*entry.ProductRow).FileStem) + ".hex");
    if (!std::filesystem::exists(path)) {
        throw Stop{FileRefused, "no firmware file " + path.filename().string() + " in " +
                                    path.parent_path().string() + "; name one with --file"};
    }
    return LoadFirmware(path);
}

void Confirm(const Options& options) {
    if (options.Yes) {
        return;
    }
    if (!isatty(STDIN_FILENO)) {
        throw Stop{Usage, "no terminal to ask on; confirm the update with --yes"};
    }
    std::cout << OneButtonUpdate::WarningText << "\nProceed? [y/N] " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    if (answer != "y" && answer != "Y" && answer != "yes") {
        throw Stop{Failed, "Abort Firmware update process"};
    }
}

int UpdateCommand(const Options& options, bool recover) {
    auto source = OpenSource(options);
    const auto devices = ChooseDevices(*source, options, recover, !recover);
    std::vector<ImageStore> images;
    for (const auto& entry : devices) {
        images.push_back(options.File.empty() ? ProductFirmware(*source, entry)
                                              : LoadFirmware(options.File));
    }
    Confirm(options);

    std::vector<std::string> names;
    for (const auto& entry : devices) {
        names.push_back(DeviceLabel(entry));
    }
    const bool live = !options.Json && isatty(STDOUT_FILENO);
    ProgressBoard board(names, live, options.Json ? stderr : stdout);
    std::vector<JobResult> results(devices.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        DeviceLayer& layer = Traces.Wrap(source->LayerFor(devices[i]));
        threads.emplace_back([&, i] {
            results[i] = RunUpdate(layer, devices[i], images[i], board, i, options.Fast);
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    board.Close();

    bool all = true;
    json report = json::array();
    for (std::size_t i = 0; i < devices.size(); ++i) {
        all &= results[i].Ok;
        report.push_back({{"path", devices[i].Path},
                          {"name", devices[i].Name},
                          {"result", results[i].Ok ? "success" : "failure"},
                          {"failure", results[i].Failure},
                          {"seconds", results[i].Seconds.count()}});
    }
    if (options.Json) {
        std::cout << json{{"results", report}}.dump(2) << "\n";
    } else {
        std::printf("\n%-7s %-40s %8s  %s\n", "RESULT", "DEVICE", "SECONDS", "FAILURE");
        for (std::size_t i = 0; i < devices.size(); ++i) {
            std::printf("%-7s %-40s %8.1f  %s\n", results[i].Ok ? "ok" : "FAILED", names[i].c_str(),
                        results[i].Seconds.count(), results[i].Failure.c_str());
        }
    }
    return all ? Success : Failed;
}

int ListCommand(const Options& options) {
    auto source = OpenSource(options);
    const auto devices = source->Devices();
    json list = json::array();
    for (const auto& entry : devices) {
        list.push_back({{"identity", entry.Identity},
                        {"name", entry.Name},
                        {"path", entry.Path},
                        {"isp", entry.Isp}});
        if (!options.Json) {
            std::printf("%-18s %-26s %s\n", entry.Identity.c_str(), entry.Name.c_str(),
                        entry.Path.c_str());
        }
    }
    if (options.Json) {
        std::cout << list.dump(2) << "\n";
    }
    if (devices.empty()) {
        throw Stop{NoDevice, "no device found; check the cable and the udev rule (see README)"};
    }
    return Success;
}

int InfoCommand(const Options& options) {
    ImageStore images;
    const LoadResult result = LoadByExtension(images, options.File);
    json info{{"file", options.File}};
    if (result.Status == LoadResult::Outcome::UnknownType) {
        throw Stop{FileRefused,
                   options.File + ": cannot tell the kind of file; name it .hex or .bin"};
    }
    if (!result.Loaded()) {
        if (options.Json) {
            info["error"] = result.Reason;
            std::cout << info.dump(2) << "\n";
        }
        throw Stop{FileRefused, options.File + ": " + result.Reason};
    }
    json ranges = json::array();
    for (const auto& [start, end] : result.Ranges) {
        ranges.push_back({{"start", start}, {"end", end}});
    }
    info.update({{"length", images.ImageLength},
                 {"sum", Hex(result.Sum, 4)},
                 {"data_bytes", result.DataBytes},
                 {"ranges", ranges}});
    if (options.Json) {
        std::cout << info.dump(2) << "\n";
        return Success;
    }
    std::printf("%s\nlength      %u bytes (%s)\nsum         %s\ndata bytes  %u\n",
                options.File.c_str(), images.ImageLength, Hex(images.ImageLength, 6).c_str(),
                Hex(result.Sum, 4).c_str(), result.DataBytes);
    for (const auto& [start, end] : result.Ranges) {
        std::printf("covers      %s - %s\n", Hex(start, 6).c_str(), Hex(end - 1, 6).c_str());
    }
    return Success;
}

// Reads from the one chosen device, product or ISP identity alike.
std::vector<std::uint8_t> ReadDevice(const Options& options, std::uint32_t start,
                                     std::uint32_t size, DeviceEntry& chosen) {
    auto source = OpenSource(options);
    chosen = ChooseDevices(*source, options, std::nullopt, false).front();
    ProgressBoard board({DeviceLabel(chosen)}, !options.Json && isatty(STDOUT_FILENO),
                        options.Json ? stderr : stdout);
    JobResult result;
    auto bytes =
        ReadFlash(Traces.Wrap(source->LayerFor(chosen)), chosen, start, size, board, 0, result);
    board.Close();
    if (!bytes || !result.Ok) {
        throw Stop{Failed, chosen.Path + ": " + result.Failure};
    }
    return *bytes;
}

int ReadCommand(const Options& options) {
    const std::uint32_t start = ParseAddress(options.Start, "start");
    const std::uint32_t size = ParseAddress(options.Size, "size");
    if (size == 0 || start + size > 0x1000000) {
        throw Stop{Usage, "--start and --size must name bytes inside the 16 MiB flash space"};
    }
    DeviceEntry chosen;
    const auto bytes = ReadDevice(options, start, size, chosen);
    std::ofstream out(options.Out, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(size));
    if (!out) {
        throw Stop{Failed, "cannot write " + options.Out};
    }
    if (options.Json) {
        std::cout << json{{"path", chosen.Path},
                          {"out", options.Out},
                          {"start", start},
                          {"size", size},
                          {"result", "success"}}
                         .dump(2)
                  << "\n";
    } else {
        std::printf("read %u bytes from %s into %s\n", size, Hex(start, 6).c_str(),
                    options.Out.c_str());
    }
    return Success;
}

int VerifyCommand(const Options& options) {
    const ImageStore images = LoadFirmware(options.File);
    DeviceEntry chosen;
    const auto bytes = ReadDevice(options, 0, images.ImageLength, chosen);
    std::uint32_t differences = 0;
    std::optional<std::uint32_t> first;
    for (std::uint32_t i = 0; i < images.ImageLength; ++i) {
        if (bytes[i] != images.ImageBuffer[i]) {
            ++differences;
            first = first.value_or(i);
        }
    }
    json report{{"path", chosen.Path},
                {"file", options.File},
                {"result", differences == 0 ? "equal" : "differs"},
                {"differences", differences}};
    if (first) {
        report["first_difference"] = *first;
    }
    if (options.Json) {
        std::cout << report.dump(2) << "\n";
    } else if (first) {
        std::printf("differs: first at %s, %u bytes differ\n", Hex(*first, 6).c_str(), differences);
    } else {
        std::printf("equal: the flash holds the file's %u bytes\n", images.ImageLength);
    }
    return differences == 0 ? Success : Failed;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "zarn-flash: updates, reads and verifies the firmware of Zarn USB audio devices, "
        "and recovers devices left in their ISP identity."};
    app.footer(ExitCodes);
    app.require_subcommand(1);
    Options options;
    app.add_option("--virtual", options.VirtualProducts,
                   "Work on N virtual products with old firmware (their new firmware files wait "
                   "in a temporary folder) instead of USB devices")
        ->check(CLI::Range(0, 64));
    app.add_option("--virtual-isp", options.VirtualIsp,
                   "Also N virtual chips with a blank flash in their ISP identity")
        ->check(CLI::Range(0, 64));
    app.add_option("--trace", options.Trace,
                   "Record every control transfer into this pcap file (usbmon link type; "
                   "Wireshark and tshark open it)");
    app.add_option("--virtual-worn", options.VirtualWorn,
                   "The virtual device with this number (from 0) has a flash cell that will not "
                   "program, for trying failures");

    auto* list = app.add_subcommand("list", "List the devices found: products and ISP identities");
    list->add_flag("--json", options.Json, "Print JSON");
    auto* info = app.add_subcommand("info", "Check a HEX or binary firmware file");
    info->add_option("FILE", options.File, "The firmware file")->required();
    info->add_flag("--json", options.Json, "Print JSON");
    auto* update = app.add_subcommand(
        "update", "Update products as the window's \"Start\" does (each on its own thread)");
    update->add_option("--file", options.File,
                       "The firmware file (default: each product's own file from the current "
                       "directory)");
    auto* device = update->add_option("--device", options.Device, "The device's path (see list)");
    update->add_flag("--all", options.All, "Every product found, at once")->excludes(device);
    update->add_flag("--yes", options.Yes, "Do not ask before updating");
    update->add_flag("--fast", options.Fast, FastHelp);
    update->add_flag("--json", options.Json, "Print the results as JSON");
    auto* recover = app.add_subcommand(
        "recover", "Update a device that an interrupted update left in its ISP identity");
    recover->add_option("--file", options.File, "The firmware file")->required();
    recover->add_option("--device", options.Device, "The device's path (see list)");
    recover->add_flag("--yes", options.Yes, "Do not ask before updating");
    recover->add_flag("--fast", options.Fast, FastHelp);
    recover->add_flag("--json", options.Json, "Print the results as JSON");
    auto* read = app.add_subcommand("read", "Read the flash into a binary file");
    read->add_option("--out", options.Out, "The binary file to write")->required();
    read->add_option("--start", options.Start, "First address (default 0)");
    read->add_option("--size", options.Size, "Bytes to read (default 0x40000)");
    read->add_option("--device", options.Device, "The device's path (see list)");
    read->add_flag("--json", options.Json, "Print JSON");
    auto* verify = app.add_subcommand("verify", "Compare the flash with a firmware file");
    verify->add_option("--file", options.File, "The firmware file")->required();
    verify->add_option("--device", options.Device, "The device's path (see list)");
    verify->add_flag("--json", options.Json, "Print JSON");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? Success : Usage;
    }
    try {
        if (!options.Trace.empty()) {
            Traces.File = UsbTraceFile::Create(options.Trace);
            if (!Traces.File) {
                throw Stop{Usage, "cannot create the trace file " + options.Trace};
            }
        }
        if (*list) {
            return ListCommand(options);
        }
        if (*info) {
            return InfoCommand(options);
        }
        if (*update || *recover) {
            return UpdateCommand(options, recover->parsed());
        }
        if (*read) {
            return ReadCommand(options);
        }
        return VerifyCommand(options);
    } catch (const Stop& stop) {
        std::fprintf(stderr, "zarn-flash: %s\n", stop.Text.c_str());
        return stop.Code;
    }
}
