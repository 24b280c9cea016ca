#include "flash/FlashSequence.h"

#include "chip/ChipRegisters.h"

namespace zarn {
namespace {

class SequenceRun {
public:
    SequenceRun(FlashContext& context, const FlashSequence& steps, SequenceView& view)
        : Context(context), Steps(steps), View(view) {}

    bool Run(std::uint32_t start, std::uint32_t end) {
        KeldrixUsb& usb = Context.Usb;
        Context.Values.FlashFailed = false;
        View.ShowStep("Enter ISP Mode");
        Context.Report.ProcessEvents();
        usb.Open();
        // Out of ISP mode the chip runs its firmware from the flash: leave the flash alone.
        const bool inIspMode = !Steps.IspMode || SetIspMode(usb, true);
        if (!inIspMode) {
            Fail("Enter ISP Mode Fail");
        } else if (!ReadFlashIdAndSelectMode(usb, Context.Values)) {
            Fail("Read Flash ID Fail");
        } else {
            WriteFlash(start, end);
        }
        if (inIspMode && Steps.Protect && !ProtectFlashChecked(usb, Context.Values.UseAaiProgram)) {
            Fail("Flash Protect Fail");
        }
        if (Steps.IspMode && !SetIspMode(usb, false)) {
            Fail("Exit ISP Mode Fail");
        }
        usb.Close();
        return !Context.Values.FlashFailed;
    }

private:
    void Fail(const std::string& text) {
        if (!Context.Values.FlashFailed) {
            View.ShowFailure(text);
            Context.Values.FlashFailed = true;
        }
    }

    void WriteFlash(std::uint32_t start, std::uint32_t end) {
        if (Steps.Erase) {
            View.ShowStep("Clear Status register");
            UnprotectFlash(Context.Usb);
            if (!Steps.EraseStep()) {
                Context.Values.FlashFailed = true;  // the erase showed its own text
            }
        }
        Context.Usb.Open();
        RunWorker(Steps.Blank, "Start Blanking Check", "Blanking Success",
                  [&] { return BlankCheckRange(Context, start, end); });
        RunWorker(Steps.Program, "Start Programming", "Programming Success",
                  [&] { return ProgramRange(Context, start, end); });
        RunWorker(Steps.Verify, "Start Verifying Check", "Verifying Success",
                  [&] { return VerifyRange(Context, start, end); });
    }

    // A worker whose own failure text (or, when it has none, the step's opening text) becomes
    // the run's failure.
    void RunWorker(bool wanted, const std::string& opening, const std::string& success,
                   const std::function<bool()>& worker) {
        if (!wanted || Context.Values.FlashFailed) {
            return;
        }
        View.ShowStep(opening);
        Context.LastFailure.clear();
        if (worker()) {
            View.ShowStep(success);
        } else {
            Fail(Context.LastFailure.empty() ? opening : Context.LastFailure);
        }
    }

    FlashContext& Context;
    const FlashSequence& Steps;
    SequenceView& View;
};

}  // namespace

bool RunFlashSequence(FlashContext& context, const FlashSequence& steps, std::uint32_t start,
                      std::uint32_t end, SequenceView& view) {
    return SequenceRun(context, steps, view).Run(start, end);
}

}  // namespace zarn
