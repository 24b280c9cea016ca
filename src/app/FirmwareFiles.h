#pragma once
// Finding and loading firmware files: the product's file that the monitor found, and the file
// the ISP page names.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "app/TopPanel.h"
#include "image/ImageStore.h"

namespace zarn {

// Loads <directory>/<stem of the product's row>.hex and reports on the file line. The lamp
// turns green and "Start" is enabled only when the file loaded and holds data; a damaged or
// empty file keeps "Start" disabled and FirmwareFileLoaded false, so the next tick tries again.
void ReadProgramFile1(ImageStore& images, TopPanel& panel, std::uint8_t productRow,
                      const std::filesystem::path& directory);

// Loads FirmwareFilePath by its extension for the ISP page and gives the checksum line:
// "Checksum : 0x" and the image sum in four digits, or "Checksum : " and why the file was not
// loaded. Empty when there is no path: nothing is loaded and FirmwareFileReady turns false.
std::optional<std::string> ReadProgramFile(ImageStore& images);

}  // namespace zarn
