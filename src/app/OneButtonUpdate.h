#pragma once
// What the end user runs with "Start": after the Warning question, the found device goes into
// ISP mode, its flash is unprotected, erased, checked blank, programmed with the loaded image,
// verified and protected again, ISP mode is left and the result shown on the process line. The
// run itself goes on away from the user-interface thread; its texts and progress reach the
// window through the host.

#include <functional>
#include <string>

#include "app/DeviceMonitor.h"
#include "app/TopPanel.h"
#include "flash/FlashSequence.h"
#include "flash/UpdateProgress.h"

namespace zarn {

// What the run needs from the window besides the workers' labels.
class UpdateHost {
public:
    virtual ~UpdateHost() = default;
    // The Warning question; true for OK.
    virtual bool AskToProceed() = 0;
    // Runs work away from the user-interface thread, then done back on it.
    virtual void RunInBackground(std::function<void()> work, std::function<void()> done) = 0;
    // From the run's thread: a text of the process line, and how far the run has come.
    virtual void ShowProcessLine(const std::string& text, ProcessStyle style) = 0;
    virtual void ShowProgress(const ProgressFigures& figures) = 0;
};

// Answers the question as told, runs the update on the calling thread and puts its texts straight
// on the panel: for front ends and tests without an event loop of their own.
class InlineUpdateHost : public UpdateHost {
public:
    explicit InlineUpdateHost(TopPanel& panel, bool answer = true) : Panel(panel), Answer(answer) {}
    bool AskToProceed() override { return Answer; }
    void RunInBackground(std::function<void()> work, std::function<void()> done) override {
        work();
        done();
    }
    void ShowProcessLine(const std::string& text, ProcessStyle style) override {
        Panel.ProcessLine = text;
        Panel.ProcessLook = style;
    }
    void ShowProgress(const ProgressFigures&) override {}

protected:
    TopPanel& Panel;

public:
    bool Answer;
};

class OneButtonUpdate : private SequenceView, private FlashReporter {
public:
    static constexpr const char* WarningText =
        "Firmware Update is a critical operation. Please make sure the power stays on and do not "
        "disconnect the device before the update is complete. Would you like to proceed?";
    static constexpr const char* NotRespondingText = " (device not responding)";

    OneButtonUpdate(KeldrixUsb& usb, const ImageStore& images, FlashRunValues& values,
                    MonitorState& monitor, TopPanel& panel, FlashReporter& report,
                    UpdateHost& host);

    // The click on "Start". A click while a run is in progress does nothing.
    void btnSimpleAutoClick();
    // The fast profile for production lines: no separate blank check (the verify reads every
    // byte back and catches an erase that did not happen), reads of 255 bytes, blank program
    // blocks skipped. The window keeps the reference procedure.
    void UseFastProfile() { Context.Profile = FastProfile; }
    bool IsRunning() const { return Running; }

private:
    // On the run's thread: the sequence; true when it succeeded.
    bool Run();
    // Back on the user-interface thread.
    void Finish();
    void ShowStep(const std::string& text) override;
    // "Firmware update fail! " and what failed.
    void ShowFailure(const std::string& text) override;
    void ShowLine(const std::string& text, ProcessStyle style);

    // The workers' texts go on to the window's reporter; each block or poll also reports the
    // progress.
    void ShowProcessInfo(const std::string& text) override { Workers.ShowProcessInfo(text); }
    void ShowProcessAddress(const std::string& text) override { Workers.ShowProcessAddress(text); }
    void ShowStatusRegister(const std::string& text) override { Workers.ShowStatusRegister(text); }
    void ProcessEvents() override;

    FlashReporter& Workers;
    FlashContext Context;
    MonitorState& Monitor;
    TopPanel& Panel;
    UpdateHost& Host;
    UpdateProgress Progress;
    bool Running = false;
    // Set by the run's thread, read after it ended.
    bool Succeeded = false;
    bool DeviceLost = false;
    std::string LastLine;
};

}  // namespace zarn
