#pragma once
// Intel HEX records for test files, and temporary directories for the loaders.

#include <gtest/gtest.h>

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

// A fresh directory under the system's temporary folder, removed with the object.
class TemporaryDirectory {
public:
    TemporaryDirectory() {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "zarn-" + std::string(test->test_suite_name()) + "-" + test->name();
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
