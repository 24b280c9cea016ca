#pragma once
// What the end-user view shows: the lamp, the device, file and process lines and whether
// "Start" can be clicked. The monitor and the file loading write it; the window draws it.

#include <string>

namespace zarn {

enum class LampColor { ButtonFace, Green, Grey };

inline constexpr const char* NoDeviceText = "No device is available";
inline constexpr const char* NoFileText = "No Updated File !";

struct TopPanel {
    LampColor Lamp = LampColor::ButtonFace;
    std::string DeviceLine = NoDeviceText;
    std::string FileLine = NoFileText;
    std::string FileLineTip;  // why a file was refused
    std::string ProcessLine;
    bool StartEnabled = false;
};

}  // namespace zarn
