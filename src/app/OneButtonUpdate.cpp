#include "app/OneButtonUpdate.h"

#include "chip/ChipRegisters.h"

namespace zarn {

OneButtonUpdate::OneButtonUpdate(KeldrixUsb& usb, const ImageStore& images, FlashRunValues& values,
                                 MonitorState& monitor, TopPanel& panel, FlashReporter& report,
                                 UpdateHost& host)
    : Context{usb, images, values, report, {}}, Monitor(monitor), Panel(panel), Host(host) {}

void OneButtonUpdate::btnSimpleAutoClick() {
    if (Running) {
        return;  // the run in progress goes on undisturbed
    }
    Context.Values.FlashFailed = false;
    Monitor.MonitorPaused = true;
    if (!Host.AskToProceed()) {
        Panel.ProcessLine = "Abort Firmware update process";
        Panel.ProcessLook = ProcessStyle::Failure;
        Monitor.MonitorPaused = false;
        return;
    }
    if (Panel.StartCaption == "Start") {
        Running = true;
        Run();
        Running = false;
    }
    Monitor.MonitorPaused = false;
}

void OneButtonUpdate::ShowStep(const std::string& text) {
    Panel.ProcessLine = text;
    Panel.ProcessLook = ProcessStyle::Step;
}

void OneButtonUpdate::ShowFailure(const std::string& text) {
    Panel.ProcessLine = text;
    Panel.ProcessLook = ProcessStyle::Failure;
}

template <typename Worker>
void OneButtonUpdate::RunStep(const std::string& opening, const std::string& success,
                              Worker worker) {
    if (Context.Values.FlashFailed) {
        return;
    }
    ShowStep(opening);
    Context.LastFailure.clear();
    if (worker()) {
        ShowStep(success);
    } else {
        FailRun(Context.LastFailure.empty() ? opening : Context.LastFailure);
    }
}

void OneButtonUpdate::FailRun(const std::string& text) {
    if (!Context.Values.FlashFailed) {
        ShowFailure("Firmware update fail! " + text);
        Context.Values.FlashFailed = true;
    }
}

void OneButtonUpdate::Run() {
    KeldrixUsb& usb = Context.Usb;
    FlashRunValues& values = Context.Values;
    Panel.StartCaption = "Stop";

    ShowStep("Enter ISP Mode");
    Context.Report.ProcessEvents();
    usb.Open();
    // The flash is touched only in ISP mode: out of it the chip runs its firmware from there.
    const bool inIspMode = SetIspMode(usb, true);
    if (!inIspMode) {
        FailRun("Enter ISP Mode Fail");
    } else if (!ReadFlashIdAndSelectMode(usb, values)) {
        FailRun("Read Flash ID Fail");
    } else {
        WriteImage();
    }
    if (inIspMode && !ProtectFlashChecked(usb, values.UseAaiProgram)) {
        FailRun("Flash Protect Fail");
    }
    if (!SetIspMode(usb, false)) {
        FailRun("Exit ISP Mode Fail");
    }
    usb.Close();

    Panel.StartCaption = "Finish";
    Panel.StartEnabled = false;
    if (!values.FlashFailed) {
        Panel.ProcessLine = "Firmware update success!";
        Panel.ProcessLook = ProcessStyle::Success;
    }
    Monitor.UpdateFinished = true;
}

void OneButtonUpdate::WriteImage() {
    const std::uint32_t start = 0;
    const std::uint32_t end = Context.Images.ImageLength;
    ShowStep("Clear Status register");
    UnprotectFlash(Context.Usb);

    ShowStep("Flash Erase All ");
    const bool erased = EraseWholeChip(Context, [this](int poll, std::uint8_t) {
        ShowStep("Flash Erase All " + EraseDots(poll));
    });
    if (!erased) {
        ShowFailure("Erase Flash Fail");
        Context.Values.FlashFailed = true;
    }

    Context.Usb.Open();
    RunStep("Start Blanking Check", "Blanking Success",
            [&] { return BlankCheckRange(Context, start, end); });
    RunStep("Start Programming", "Programming Success",
            [&] { return ProgramRange(Context, start, end); });
    RunStep("Start Verifying Check", "Verifying Success",
            [&] { return VerifyRange(Context, start, end); });
}

}  // namespace zarn
