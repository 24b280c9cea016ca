#pragma once
// The tool's one window: the end-user view (device, file and process lines, the lamp and
// "Start") above a page control of engineering pages that start-up builds and hides.

#include <QMainWindow>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "app/DeviceMonitor.h"
#include "app/Dialogs.h"
#include "app/OneButtonUpdate.h"
#include "app/TopPanel.h"
#include "engineering/RegisterMap.h"
#include "flash/IspProcedures.h"
#include "image/ImageStore.h"
#include "transport/KeldrixUsb.h"

namespace Ui {
class TForm1;
}
class QProgressBar;
class QThread;
class QTimer;

// What the window takes from its surroundings.
struct TForm1Environment {
    // The screen's horizontal logical resolution; it decides the window's size.
    int LogicalDpi = 96;
    // Where the product's firmware file is looked for: the current directory first.
    std::function<std::filesystem::path()> CurrentDirectory = [] {
        std::error_code error;
        return std::filesystem::current_path(error);
    };
    // The engineering start: the page control is shown with its six pages.
    bool Engineering = false;
    // Then these folders, in order (--firmware-dir, the installed firmware folder).
    std::vector<std::filesystem::path> OtherFirmwareFolders{};
};

class TForm1 : public QMainWindow, private zarn::FlashReporter, private zarn::UpdateHost {
    Q_OBJECT

public:
    TForm1(zarn::KeldrixUsb& usbDevice, zarn::ImageStore& images,
           const TForm1Environment& environment, QWidget* parent = nullptr);
    ~TForm1() override;

    // Message boxes go through these; tests replace them.
    Dialogs Dialog;
    zarn::DeviceMonitor& Monitor() { return DeviceMonitor; }

    void Timer1Timer();
    void ReadProgramFile();
    void btnSimpleAutoClick();
    // An update run or a flash procedure of the ISP page is going on away from this thread.
    bool IsRunning() const { return Worker != nullptr; }

    static constexpr const char* CloseRefusedText =
        "The firmware update is still running. Closing now could leave the device without "
        "firmware: please wait until it has finished.";

protected:
    // Closing is refused while a run lasts.
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormCreate(int logicalDpi);
    // Shows the page control with all its pages and every control of the ISP page, in a window
    // large enough for them.
    void ShowEngineeringPages(int logicalDpi);
    // Gives the pages what they act on and connects them.
    void AttachPages();
    // The I2C master is set up each time the I2C Access page becomes the active page.
    void MainPageControlChange(int index);
    // While a long operation of a page or the update runs, no other page can be reached and
    // "Start" is ignored.
    void DeviceBusyChanged(bool busy);
    bool DeviceBusy() const;
    void FormClose();
    void chkDetectUSBClick(bool checked);
    void USBLoadFileBitBtnClick();
    void btnSaveBinClick();
    void ShowTopPanel();
    // The process line wraps within the window; the progress bar stands under it.
    void LayOutProcessLine();
    // Runs work on a thread of its own, then done on this one; one run at a time.
    void StartBackground(std::function<void()> work, std::function<void()> done);
    // Calls action on the user-interface thread: now when already there, else queued.
    void OnUiThread(std::function<void()> action);
    void SetLampColor(const QColor& color);
    void ShowProcessLine();

    // The flash workers' texts go to the ISP page; pending events are processed between blocks.
    void ShowProcessInfo(const std::string& text) override;
    void ShowProcessAddress(const std::string& text) override;
    void ShowStatusRegister(const std::string& text) override;
    void ProcessEvents() override;
    bool AskToProceed() override;
    void RunInBackground(std::function<void()> work, std::function<void()> done) override;
    void ShowProcessLine(const std::string& text, zarn::ProcessStyle style) override;
    void ShowProgress(const zarn::ProgressFigures& figures) override;

    std::unique_ptr<Ui::TForm1> ui;
    zarn::KeldrixUsb& UsbDevice;
    zarn::ImageStore& Images;
    zarn::TopPanel Panel;
    zarn::DeviceMonitor DeviceMonitor;
    zarn::FlashRunValues FlashValues;
    zarn::OneButtonUpdate Update;
    zarn::IspProcedures IspWork;
    // The bus address shared by the I2C Access page and the special I2C access, write form.
    std::uint8_t I2cSlaveAddress = 0x20;
    zarn::ChipRegisterAccess ChipRegisters;
    zarn::I2cRegisterAccess I2cRegisters;
    zarn::RegisterMap RegisterShadow;
    zarn::RegisterMap I2cShadow;
    QTimer* Timer1;
    QProgressBar* ProgressBar;
    QThread* Worker = nullptr;
};
