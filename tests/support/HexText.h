#pragma once
// Builds Intel HEX records with correct checksums, and temporary files for the loaders.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace zarn::fakes {

inline std::string HexRecord(std::uint8_t type, std::uint16_t address,
                             const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(data.size()),
                                    static_cast<std::uint8_t>(address >> 8),
                                    static_cast<std::uint8_t>(address), type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    std::uint8_t sum = 0;
    for (const auto byte : bytes) {
        sum += byte;
    }
    bytes.push_back(static_cast<std::uint8_t>(0x100 - sum));
    std::string record = ":";
    for (const auto byte : bytes) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", byte);
        record += digits;
    }
    return record + "\n";
}

inline std::string DataRecord(std::uint16_t address, const std::vector<std::uint8_t>& data) {
    return HexRecord(0x00, address, data);
}

inline const std::string EndOfFile = ":00000001FF\n";

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
