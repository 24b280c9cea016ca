#include "app/FirmwareFiles.h"

#include <cstdio>
#include <string>

#include "app/DeviceTable.h"
#include "image/FirmwareLoaders.h"

namespace zarn {

void ReadProgramFile1(ImageStore& images, TopPanel& panel, std::uint8_t productRow,
                      const std::filesystem::path& directory) {
    const std::string fileName = std::string(DeviceTable.at(productRow).FileStem) + ".hex";
    const std::filesystem::path path = directory / fileName;
    images.FirmwareFilePath = path.string();
    const std::string fileText = "Update Hex file   " + fileName;

    const LoadResult result = LoadHexFile(images, path);
    panel.FileLineTip.clear();
    if (result.Status == LoadResult::Outcome::CannotOpen) {
        panel.FileLine = NoFileText;
    } else if (!result.Loaded() || result.DataBytes == 0) {
        // Nothing that can be flashed: whatever an earlier load made ready is off again.
        panel.FileLine = fileText + (result.Loaded() ? "    is empty!" : "    is damaged!");
        panel.FileLineTip = result.Reason;
        panel.Lamp = LampColor::ButtonFace;
        panel.StartEnabled = false;
        images.FirmwareFileLoaded = false;
    } else {
        panel.Lamp = LampColor::Green;
        panel.FileLine = fileText + "    is Ready!";
        panel.StartEnabled = true;
        images.FirmwareFileLoaded = true;
    }
    images.FirmwareFileReady = true;
}

std::optional<std::string> ReadProgramFile(ImageStore& images) {
    if (images.FirmwareFilePath.empty()) {
        images.FirmwareFileReady = false;
        return std::nullopt;
    }
    const LoadResult result = LoadByExtension(images, images.FirmwareFilePath);
    images.FirmwareFileReady = true;
    if (result.Status == LoadResult::Outcome::CannotOpen ||
        result.Status == LoadResult::Outcome::Refused) {
        return "Checksum : " + result.Reason;
    }
    char sum[8];
    std::snprintf(sum, sizeof sum, "%04X", result.Sum);
    return std::string("Checksum : 0x") + sum;
}

}  // namespace zarn
