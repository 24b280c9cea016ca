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
    Context.Values.FlashFailed = !worker();
    if (Context.Values.FlashFailed) {
        ShowFailure("Firmware update fail! " +
                    (Context.LastFailure.empty() ? opening : Context.LastFailure));
    } else {
        ShowStep(success);
    }
}

void OneButtonUpdate::Run() {
    KeldrixUsb& usb = Context.Usb;
    FlashRunValues& values = Context.Values;
    Panel.StartCaption = "Stop";
    const std::uint32_t start = 0;
    const std::uint32_t end = Context.Images.ImageLength;

    ShowStep("Enter ISP Mode");
    Context.Report.ProcessEvents();
    usb.Open();
    SetIspMode(usb, true);
    FlashReadId(usb, values.FlashId);
    SelectProgramMode(values);

    ShowStep("Clear Status register");
    UnprotectFlash(usb);

    ShowStep("Flash Erase All ");
    const bool erased = EraseWholeChip(Context, [this](int poll, std::uint8_t) {
        ShowStep("Flash Erase All " + EraseDots(poll));
    });
    if (!erased) {
        ShowFailure("Erase Flash Fail");
        values.FlashFailed = true;
    }

    usb.Open();
    RunStep("Start Blanking Check", "Blanking Success",
            [&] { return BlankCheckRange(Context, start, end); });
    RunStep("Start Programming", "Programming Success",
            [&] { return ProgramRange(Context, start, end); });
    RunStep("Start Verifying Check", "Verifying Success",
            [&] { return VerifyRange(Context, start, end); });

    ProtectFlash(usb, values.UseAaiProgram);
    SetIspMode(usb, false);
    usb.Close();

    Panel.StartCaption = "Finish";
    Panel.StartEnabled = false;
    if (!values.FlashFailed) {
        Panel.ProcessLine = "Firmware update success!";
        Panel.ProcessLook = ProcessStyle::Success;
    }
    Monitor.UpdateFinished = true;
}

}  // namespace zarn
