#pragma once
// Keeps every text the flash workers show, by label.

#include <string>
#include <vector>

#include "flash/FlashWorkers.h"

namespace zarn::fakes {

class RecordingReporter : public FlashReporter {
public:
    std::vector<std::string> ProcessInfo;
    std::vector<std::string> ProcessAddress;
    std::vector<std::string> StatusRegister;
    int EventsProcessed = 0;

    void ShowProcessInfo(const std::string& text) override { ProcessInfo.push_back(text); }
    void ShowProcessAddress(const std::string& text) override { ProcessAddress.push_back(text); }
    void ShowStatusRegister(const std::string& text) override { StatusRegister.push_back(text); }
    void ProcessEvents() override { ++EventsProcessed; }
};

}  // namespace zarn::fakes
