#include "app/OneButtonUpdate.h"

#include "chip/ChipRegisters.h"

namespace zarn {
namespace {

// One register read tells whether the device still answers at all.
bool DeviceAnswers(KeldrixUsb& usb) {
    usb.Open();
    std::uint8_t bank = 0;
    const bool answered = RegRead(usb, BankSelectRegister, &bank);
    usb.Close();
    return answered;
}

}  // namespace

OneButtonUpdate::OneButtonUpdate(KeldrixUsb& usb, const ImageStore& images, FlashRunValues& values,
                                 MonitorState& monitor, TopPanel& panel, FlashReporter& report,
                                 UpdateHost& host)
    : Workers(report),
      Context{usb, images, values, *this, {}},
      Monitor(monitor),
      Panel(panel),
      Host(host),
      Progress(0, 1, {}) {}

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
    if (Panel.StartCaption != "Start") {
        Monitor.MonitorPaused = false;
        return;
    }
    Running = true;
    // Stopping in the middle of a write would leave the device without firmware.
    Panel.StartCaption = "Stop";
    Panel.StartEnabled = false;
    Host.RunInBackground([this] { Succeeded = Run(); }, [this] { Finish(); });
}

void OneButtonUpdate::ShowLine(const std::string& text, ProcessStyle style) {
    LastLine = text;
    Host.ShowProcessLine(text, style);
}

void OneButtonUpdate::ShowStep(const std::string& text) {
    ShowLine(text, ProcessStyle::Step);
}

void OneButtonUpdate::ShowFailure(const std::string& text) {
    ShowLine("Firmware update fail! " + text, ProcessStyle::Failure);
}

void OneButtonUpdate::ProcessEvents() {
    Host.ShowProgress(Progress.At(Context.Usb.RequestsSent(), Context.Usb.GetClock().Now()));
    Workers.ProcessEvents();
}

bool OneButtonUpdate::Run() {
    DeviceLost = false;
    Progress =
        UpdateProgress(Context.Usb.RequestsSent(),
                       ExpectedUpdateRequests(Context.Images, Context.Values, Context.Profile),
                       Context.Usb.GetClock().Now());
    FlashSequence steps;
    steps.Blank = !Context.Profile.SkipBlankBlocks;
    // The whole chip, its texts on the process line; the device stays open around it.
    steps.EraseStep = [this] {
        Progress.SetExpected(
            ExpectedUpdateRequests(Context.Images, Context.Values, Context.Profile));
        ShowStep("Flash Erase All ");
        if (EraseWholeChip(Context, [this](int poll, std::uint8_t) {
                ShowStep("Flash Erase All " + EraseDots(poll));
            })) {
            return true;
        }
        ShowLine("Erase Flash Fail", ProcessStyle::Failure);
        return false;
    };
    if (RunFlashSequence(Context, steps, 0, Context.Images.ImageLength, *this)) {
        return true;
    }
    DeviceLost = !DeviceAnswers(Context.Usb);
    if (DeviceLost) {
        ShowLine(LastLine + NotRespondingText, ProcessStyle::Failure);
    }
    return false;
}

void OneButtonUpdate::Finish() {
    Running = false;
    Panel.StartCaption = "Finish";
    Panel.StartEnabled = false;
    if (Succeeded) {
        Panel.ProcessLine = "Firmware update success!";
        Panel.ProcessLook = ProcessStyle::Success;
    }
    if (DeviceLost) {
        Panel.Lamp = LampColor::Red;
    }
    Monitor.UpdateFinished = true;
    Monitor.MonitorPaused = false;
}

}  // namespace zarn
