#pragma once
// What the end-user view shows: the lamp, the device, file and process lines and whether
// "Start" can be clicked. The monitor and the file loading write it; the window draws it.

#include <string>

namespace zarn {

enum class LampColor { ButtonFace, Green, Grey, Red };

// How the process line is drawn: as created, a step of a run (size 12, window text), the
// run's success (size 16, blue) or a failure or abort (size 16, red).
enum class ProcessStyle { AsCreated, Step, Success, Failure };

inline constexpr const char* NoDeviceText = "No device is available";
inline constexpr const char* NoFileText = "No Updated File !";

struct TopPanel {
    LampColor Lamp = LampColor::ButtonFace;
    std::string DeviceLine = NoDeviceText;
    std::string FileLine = NoFileText;
    std::string FileLineTip;  // why a file was refused
    std::string ProcessLine;
    ProcessStyle ProcessLook = ProcessStyle::AsCreated;
    // The process line tells why the firmware file was refused.
    bool ProcessLineShowsRefusal = false;
    std::string StartCaption = "Start";
    bool StartEnabled = false;
};

}  // namespace zarn
