#pragma once
// The "ISP" page: the flash by hand. Its buttons run single flash commands and the flash
// procedures over the page range, "Auto" runs the sequence its option boxes choose, and the
// range group chooses "All" or an assigned range in KiB. The work itself is IspProcedures';
// the page reads its controls and shows texts.

#include <QWidget>
#include <functional>
#include <memory>

#include "app/DeviceMonitor.h"
#include "app/Dialogs.h"
#include "flash/IspProcedures.h"

namespace Ui {
class IspPage;
}

class IspPage : public QWidget {
    Q_OBJECT

public:
    // What the page acts on, given by the window once both exist.
    struct Services {
        zarn::IspProcedures* Procedures = nullptr;
        zarn::MonitorState* Monitor = nullptr;
        zarn::ImageStore* Images = nullptr;
        Dialogs* Dialog = nullptr;
        // The window's ReadProgramFile: loads FirmwareFilePath and shows the checksum.
        std::function<void()> ReadProgramFile;
        // Runs a flash procedure away from the user-interface thread, then the second function
        // back on it.
        std::function<void(std::function<void()>, std::function<void()>)> Background;
    };

    explicit IspPage(QWidget* parent = nullptr);
    ~IspPage() override;

    void Attach(Services services);
    // Start-up: option boxes, "All" with its range handler, the "64" range texts.
    void ApplyDefaults();
    // Start-up hides the controls the end user must never reach; an engineering start shows
    // them again.
    void HideEngineeringControls();
    void ShowEngineeringControls();

    // Adds the path to the history box unless it is there already (exact, case-sensitive) and
    // shows it as the box's text.
    void RememberFirmwareFile(const QString& path);
    void ShowChecksum(const QString& text);
    void ShowProcessInfo(const QString& text);
    void ShowProcessAddress(const QString& text);
    void ShowStatusRegister(const QString& text);

    // While a flash run of this page or of "Start" lasts, the controls that send requests or
    // change the image or range are disabled; "Auto" stays clickable during its own run.
    enum class Run { None, Page, Auto, Update };
    void SetRun(Run run);
    bool IsRunning() const { return Running != Run::None; }

    void btnEnterISPClick();
    void btnUSBChipIDClick();
    void btnUSBReadStatusClick();
    void lbledtUSBWriteStatusKeyDown();
    void btnUSBWriteEnableClick();
    void btnUSBWriteDisableClick();
    void btnUSBEraseClick();
    void btnUSBBlankClick();
    void btnUSBProgramClick();
    void btnUSBVerifyClick();
    void btnReadBackClick();
    void btnUSBISPAutoClick();
    void rbnRangeClick();

signals:
    // A flash run of the page or of "Start" begins or ends.
    void BusyChanged(bool busy);
    void USBLoadFileBitBtnClick();
    void btnSaveBinClick();

private:
    // The range the radio buttons and edits choose; nullopt (after saying why) when an edit
    // holds no number or the range does not fit 32-bit addresses.
    std::optional<zarn::RangeChoice> ReadRange();
    zarn::AutoOptions ReadOptions() const;
    bool AllChecked() const;
    QList<QWidget*> EngineeringControls() const;
    // Runs a flash procedure of the page in the background with the other controls disabled
    // and the device monitor paused; ended runs the page's own closing step.
    void RunPageProcedure(
        Run run, std::function<void()> procedure, std::function<void()> ended = [] {});
    // A flash procedure over the range the radio buttons choose, unless a run is going on.
    void RunOnPageRange(void (zarn::IspProcedures::*procedure)(bool all));
    void ReloadFirmwareFile();
    void Refuse(const std::string& text);

    std::unique_ptr<Ui::IspPage> ui;
    Services Service;
    Run Running = Run::None;
};
