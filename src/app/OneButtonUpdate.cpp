#include "app/OneButtonUpdate.h"

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
    Panel.ProcessLine = "Firmware update fail! " + text;
    Panel.ProcessLook = ProcessStyle::Failure;
}

void OneButtonUpdate::Run() {
    Panel.StartCaption = "Stop";
    FlashSequence steps;
    // The whole chip, its texts on the process line; the device stays open around it.
    steps.EraseStep = [this] {
        ShowStep("Flash Erase All ");
        if (EraseWholeChip(Context, [this](int poll, std::uint8_t) {
                ShowStep("Flash Erase All " + EraseDots(poll));
            })) {
            return true;
        }
        Panel.ProcessLine = "Erase Flash Fail";
        Panel.ProcessLook = ProcessStyle::Failure;
        return false;
    };
    const bool succeeded = RunFlashSequence(Context, steps, 0, Context.Images.ImageLength, *this);

    Panel.StartCaption = "Finish";
    Panel.StartEnabled = false;
    if (succeeded) {
        Panel.ProcessLine = "Firmware update success!";
        Panel.ProcessLook = ProcessStyle::Success;
    }
    Monitor.UpdateFinished = true;
}

}  // namespace zarn
