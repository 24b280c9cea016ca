#pragma once
// The products the tool knows: identity searched for in interface paths, name shown on the
// device line, and the stem of the firmware file.

#include <array>
#include <cstddef>

namespace zarn {

struct DeviceTableRow {
    char Identity[20];
    char DisplayName[20];
    char FileStem[20];
};

inline constexpr std::array<DeviceTableRow, 8> DeviceTable = {{
    {"vid_31d4&pid_0053", "Zarn Pell", "Zarn_Pell"},
    {"vid_31d4&pid_0054", "Zarn Brax", "Zarn_Brax"},
    {"vid_31d4&pid_0055", "Zarn Tovi", "Zarn_Tovi"},
    {"vid_31d4&pid_0056", "Zarn Lume Series", "Zarn_LumeSer"},
    {"vid_31d4&pid_0052", "Zarn reserve", "Zarn_LumeSer"},
    {"vid_31d4&pid_0057", "Zarn reserve", "Zarn_LumeSer"},
    {"vid_31d4&pid_0058", "Zarn reserve", "Zarn_LumeSer"},
    {"vid_31d4&pid_0059", "Zarn reserve", "Zarn_LumeSer"},
}};

// The two identities of a chip in ISP mode, tried in turn over the ISP path.
inline constexpr const char* IspMatch3E52 = "vid_3e52&pid_6000";
inline constexpr const char* IspMatch1C7A = "vid_1c7a&pid_6000";

}  // namespace zarn
