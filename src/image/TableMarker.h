#pragma once
// The user parameter table of a firmware image, found by its marker "KXUSB_Table01": a
// position counts when at least "KXUSB_Tabl" of "KXUSB_Table0" agrees there.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image/FirmwareLoaders.h"
#include "image/ImageStore.h"

namespace zarn {

// The first matching offset below length.
std::optional<std::uint32_t> FindTableMarker(const std::vector<std::uint8_t>& buffer,
                                             std::uint32_t length);

// Loads the file by its extension into the image and copies the image into ModifyBuffer,
// setting modifyLength. A file that cannot be opened, is refused or has an extension that is
// neither b nor h copies nothing and changes nothing.
LoadResult ReadModifyFile(ImageStore& store, const std::string& path, std::uint32_t& modifyLength);

}  // namespace zarn
