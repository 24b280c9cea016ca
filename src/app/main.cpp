// Program entry: the transport exists before the window and outlives it.

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <exception>

#include "app/GlobalTexts.h"
#include "app/TForm1.h"
#include "transport/VirtualDeviceLayer.h"

namespace {

void ShowException(const QString& message) {
    QMessageBox::critical(
        nullptr, QString::fromUtf8(zarn::WindowTitle.data(), zarn::WindowTitle.size()), message);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    try {
        // Until the USB backend lands the tool runs on an empty virtual bus: it starts, searches
        // and finds nothing.
        zarn::VirtualClock clock;
        zarn::VirtualDeviceLayer deviceLayer(clock);
        zarn::KeldrixUsb UsbDevice(deviceLayer);
        zarn::ImageStore images;
        TForm1Environment environment;
        environment.LogicalDpi = qRound(application.primaryScreen()->logicalDotsPerInchX());
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
