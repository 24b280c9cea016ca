#pragma once
// Finding and loading firmware files: the product's file that the monitor found, and the file
// the ISP page names.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/TopPanel.h"
#include "image/ImageStore.h"

namespace zarn {

// Loads <stem of the product's row>.hex from the first of the folders that holds it and reports
// on the file line. The lamp turns green and "Start" is enabled only when the file loaded and
// holds data; a damaged or empty file keeps "Start" disabled and FirmwareFileLoaded false, so
// the next tick tries again. A missing file's tooltip names the folders searched; a damaged
// file's reason also stands on the process line until a good file is loaded.
void ReadProgramFile1(ImageStore& images, TopPanel& panel, std::uint8_t productRow,
                      const std::vector<std::filesystem::path>& folders);

// Loads FirmwareFilePath by its extension for the ISP page and gives the checksum line:
// "Checksum : 0x" and the image sum in four digits, or "Checksum : " and why the file was not
// loaded. Empty when there is no path: nothing is loaded and FirmwareFileReady turns false.
std::optional<std::string> ReadProgramFile(ImageStore& images);

}  // namespace zarn
