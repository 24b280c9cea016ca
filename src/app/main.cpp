// Program entry: the transport exists before the window and outlives it. Real devices are
// reached through libusb.

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <cstdio>
#include <exception>
#include <memory>

#include "app/GlobalTexts.h"
#include "app/TForm1.h"
#include "app/WindowOptions.h"
#include "sim/VirtualDeviceLayer.h"
#include "transport/LibusbDeviceLayer.h"
#include "transport/UsbTrace.h"

namespace {

void ShowException(const QString& message) {
    QMessageBox::critical(
        nullptr, QString::fromUtf8(zarn::WindowTitle.data(), zarn::WindowTitle.size()), message);
}

}  // namespace

int main(int argc, char* argv[]) {
    const WindowOptions options =
        ReadWindowOptions(argc, argv, "Updates the firmware of Zarn USB audio devices.");
    if (!DisplayAvailable("zarn-update")) {
        return 1;
    }
    QApplication application(argc, argv);
    try {
        zarn::RealClock clock;
        std::unique_ptr<zarn::DeviceLayer> deviceLayer = zarn::LibusbDeviceLayer::Create(clock);
        zarn::VirtualClock unusedClock;
        if (!deviceLayer) {
            // Without USB the window still starts; it searches and finds nothing.
            std::fputs("USB is not available on this machine\n", stderr);
            deviceLayer = std::make_unique<zarn::VirtualDeviceLayer>(unusedClock);
        }
        std::unique_ptr<zarn::UsbTraceFile> trace;
        std::unique_ptr<zarn::TracingDeviceLayer> traced;
        if (!options.Trace.empty()) {
            trace = zarn::UsbTraceFile::Create(options.Trace);
            if (!trace) {
                std::fprintf(stderr, "zarn-update: cannot create the trace file %s\n",
                             options.Trace.c_str());
                return 1;
            }
            traced = std::make_unique<zarn::TracingDeviceLayer>(*deviceLayer, *trace);
        }
        zarn::KeldrixUsb UsbDevice(traced ? *traced : *deviceLayer);
        zarn::ImageStore images;
        TForm1Environment environment;
        environment.LogicalDpi = qRound(application.primaryScreen()->logicalDotsPerInchX());
        environment.Engineering = options.Engineering;
        environment.OtherFirmwareFolders = options.FirmwareFolders;
        TForm1 form(UsbDevice, images, environment);
        form.show();
        application.exec();
    } catch (const std::exception& error) {
        ShowException(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        ShowException(QString());
    }
    return 0;
}
