#pragma once
// The window's command line, read before any window exists, so that --help and --version work
// without a display: --engineering, --firmware-dir DIR, --trace FILE, --help, --version.

#include <filesystem>
#include <string>
#include <vector>

struct WindowOptions {
    bool Engineering = false;
    // Searched after the current directory, in order: --firmware-dir, then the firmware folder
    // installed beside the program (share/zarn-update/firmware).
    std::vector<std::filesystem::path> FirmwareFolders;
    // --trace FILE: every control transfer into a pcap file.
    std::string Trace;
};

// Reads the options; --help and --version print and end the program (exit 0), a bad option
// prints why and ends it with exit 1.
WindowOptions ReadWindowOptions(int argc, char* argv[], const std::string& description);

// False (after one line on stderr) when there is no display for the window; the program should
// end with exit 1 then.
bool DisplayAvailable(const char* program);
