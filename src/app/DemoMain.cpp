// The tool's window on a virtual device, for trying it without hardware: a "Zarn Pell" with
// old firmware on its flash is attached, and its new firmware file waits in a temporary working
// directory. Device time is paced to real time so that the update can be watched.

#include <QApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/TForm1.h"
#include "app/WindowOptions.h"
#include "image/HexText.h"
#include "sim/VirtualChipDevice.h"
#include "sim/VirtualDeviceLayer.h"
#include "transport/UsbTrace.h"

namespace {

// 64 KiB of firmware as Intel HEX.
void WriteFirmwareFile(const std::filesystem::path& path) {
    std::ofstream file(path);
    for (unsigned address = 0; address < 0x10000; address += 16) {
        std::array<std::uint8_t, 16> bytes{};
        for (unsigned i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<std::uint8_t>((address + i) * 37 + (address >> 10));
        }
        file << zarn::HexRecord(0x00, static_cast<std::uint16_t>(address), bytes);
    }
    file << zarn::HexEndOfFile;
}

}  // namespace

int main(int argc, char* argv[]) {
    const WindowOptions options = ReadWindowOptions(
        argc, argv, "The update window on a virtual Zarn Pell, to try it without hardware.");
    if (!DisplayAvailable("zarn-update-demo")) {
        return 1;
    }
    QApplication application(argc, argv);
    // A fresh folder of this run's own, removed at the end: no other user's files in the way.
    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "zarn-update-demo: cannot make a temporary folder: %s\n",
                     qPrintable(folder.errorString()));
        return 1;
    }
    const std::filesystem::path directory = folder.path().toStdString();
    WriteFirmwareFile(directory / "Zarn_Pell.hex");

    zarn::VirtualClock clock(true);
    zarn::VirtualDeviceLayer deviceLayer(clock);
    zarn::VirtualChipDevice device(clock, zarn::FlashModels::W25Q40, {0x31D4, 0x0053});
    device.LoadFirmware(std::vector<std::uint8_t>(4096, 0x5A));
    deviceLayer.Attach(device.Usb());

    std::unique_ptr<zarn::UsbTraceFile> trace;
    std::unique_ptr<zarn::TracingDeviceLayer> traced;
    if (!options.Trace.empty() && (trace = zarn::UsbTraceFile::Create(options.Trace))) {
        traced = std::make_unique<zarn::TracingDeviceLayer>(deviceLayer, *trace);
    }
    zarn::KeldrixUsb UsbDevice(traced ? static_cast<zarn::DeviceLayer&>(*traced) : deviceLayer);
    zarn::ImageStore images;
    TForm1Environment environment;
    environment.LogicalDpi = qRound(application.primaryScreen()->logicalDotsPerInchX());
    environment.CurrentDirectory = [directory] { return directory; };
    environment.Engineering = options.Engineering;
    TForm1 form(UsbDevice, images, environment);
    form.show();
    return application.exec();
}
