#pragma once
// Intel HEX records for test files, and temporary directories for the loaders.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "image/HexText.h"

namespace zarn::fakes {

inline std::string HexRecord(std::uint8_t type, std::uint16_t address,
                             const std::vector<std::uint8_t>& data) {
    return zarn::HexRecord(type, address, data);
}

inline std::string DataRecord(std::uint16_t address, const std::vector<std::uint8_t>& data) {
    return HexRecord(0x00, address, data);
}

inline const std::string EndOfFile = HexEndOfFile;

// A firmware byte for each offset: no 0xFF runs, no two pages alike.
inline std::uint8_t FirmwareByte(std::uint32_t offset) {
    return static_cast<std::uint8_t>(offset * 13 + 1);
}

// A HEX file of length bytes of FirmwareByte from offset 0 (length below 64 KiB, a multiple of
// 16), with its end-of-file record.
inline std::string FirmwareHex(std::uint32_t length) {
    std::string text;
    for (std::uint32_t address = 0; address < length; address += 16) {
        std::vector<std::uint8_t> bytes(16);
        for (std::uint32_t i = 0; i < 16; ++i) {
            bytes[i] = FirmwareByte(address + i);
        }
        text += DataRecord(static_cast<std::uint16_t>(address), bytes);
    }
    return text + EndOfFile;
}

// A fresh directory under the system's temporary folder, removed with the object.
class TemporaryDirectory {
public:
    TemporaryDirectory() {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        // The process id keeps suites that run at once (the window suite at several font
        // sizes) out of each other's folders.
        std::string name = "zarn-" + std::to_string(::getpid()) + "-" +
                           std::string(test->test_suite_name()) + "-" + test->name();
        std::replace(name.begin(), name.end(), '/', '_');  // parameterised test names
        Path = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(Path);
        std::filesystem::create_directories(Path);
    }
    ~TemporaryDirectory() {
        std::error_code error;
        std::filesystem::remove_all(Path, error);
    }

    std::filesystem::path Write(const std::string& name, const std::string& content) const {
        const auto file = Path / name;
        std::ofstream(file, std::ios::binary) << content;
        return file;
    }

    std::filesystem::path Path;
};

}  // namespace zarn::fakes
