#include "app/FirmwareFiles.h"

#include <cstdio>
#include <string>

#include "app/DeviceTable.h"
#include "image/FirmwareLoaders.h"

namespace zarn {

namespace {

// The first folder that holds the file; the first folder when none does.
std::filesystem::path LocateFile(const std::vector<std::filesystem::path>& folders,
                                 const std::string& fileName) {
    for (const auto& folder : folders) {
        std::error_code error;
        if (std::filesystem::is_regular_file(folder / fileName, error)) {
            return folder / fileName;
        }
    }
    return folders.empty() ? std::filesystem::path(fileName) : folders.front() / fileName;
}

std::string LookedFor(const std::vector<std::filesystem::path>& folders,
                      const std::string& fileName) {
    std::string text = fileName + " was looked for in";
    for (std::size_t i = 0; i < folders.size(); ++i) {
        text += (i == 0 ? " " : ", ") + folders[i].string();
    }
    return text;
}

}  // namespace

void ReadProgramFile1(ImageStore& images, TopPanel& panel, std::uint8_t productRow,
                      const std::vector<std::filesystem::path>& folders) {
    const std::string fileName = std::string(DeviceTable.at(productRow).FileStem) + ".hex";
    const std::filesystem::path path = LocateFile(folders, fileName);
    images.FirmwareFilePath = path.string();
    const std::string fileText = "Update Hex file   " + fileName;

    const LoadResult result = LoadHexFile(images, path);
    panel.FileLineTip.clear();
    if (result.Status == LoadResult::Outcome::CannotOpen) {
        panel.FileLine = NoFileText;
        panel.FileLineTip = LookedFor(folders, fileName);
    } else if (!result.Loaded() || result.DataBytes == 0) {
        // Nothing that can be flashed: whatever an earlier load made ready is off again.
        panel.FileLine = fileText + (result.Loaded() ? "    is empty!" : "    is damaged!");
        panel.FileLineTip = result.Reason;
        panel.Lamp = LampColor::ButtonFace;
        panel.StartEnabled = false;
        images.FirmwareFileLoaded = false;
        if (!result.Loaded()) {
            panel.ProcessLine = fileName + ": " + result.Reason;
            panel.ProcessLook = ProcessStyle::Failure;
            panel.ProcessLineShowsRefusal = true;
        }
    } else {
        panel.Lamp = LampColor::Green;
        panel.FileLine = fileText + "    is Ready!";
        panel.StartEnabled = true;
        images.FirmwareFileLoaded = true;
        if (panel.ProcessLineShowsRefusal) {
            panel.ProcessLine.clear();
            panel.ProcessLook = ProcessStyle::AsCreated;
            panel.ProcessLineShowsRefusal = false;
        }
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
