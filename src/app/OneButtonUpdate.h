#pragma once
// What the end user runs with "Start": after the Warning question, the found device goes into
// ISP mode, its flash is unprotected, erased, checked blank, programmed with the loaded image,
// verified and protected again, ISP mode is left and the result shown on the process line.

#include <string>

#include "app/DeviceMonitor.h"
#include "app/TopPanel.h"
#include "flash/FlashSequence.h"

namespace zarn {

// What the run needs from the window besides the workers' labels.
class UpdateHost {
public:
    virtual ~UpdateHost() = default;
    // The Warning question; true for OK.
    virtual bool AskToProceed() = 0;
};

class OneButtonUpdate : private SequenceView {
public:
    static constexpr const char* WarningText =
        "Firmware Update is a critical operation. Please make sure the power stays on and do not "
        "disconnect the device before the update is complete. Would you like to proceed?";

    OneButtonUpdate(KeldrixUsb& usb, const ImageStore& images, FlashRunValues& values,
                    MonitorState& monitor, TopPanel& panel, FlashReporter& report,
                    UpdateHost& host);

    // The click on "Start". A click while a run is in progress does nothing.
    void btnSimpleAutoClick();
    bool IsRunning() const { return Running; }

private:
    void Run();
    void ShowStep(const std::string& text) override;
    // "Firmware update fail! " and what failed.
    void ShowFailure(const std::string& text) override;

    FlashContext Context;
    MonitorState& Monitor;
    TopPanel& Panel;
    UpdateHost& Host;
    bool Running = false;
};

}  // namespace zarn
