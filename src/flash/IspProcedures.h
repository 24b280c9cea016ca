#pragma once
// The ISP page's work without its widgets: single flash commands, the flash procedures one at a
// time over the page range, the read-back, the range choice and the "Auto" sequence with its
// option boxes. Texts go to the FlashReporter (the page's process, address and status-register
// lines); the page reads its controls and shows what these return. Each operation that sends
// requests opens the device before them and closes it afterwards.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "flash/FlashSequence.h"

namespace zarn {

// The option boxes of "Auto".
struct AutoOptions {
    bool IspMode = true;
    bool Protect = false;
    bool ReloadFile = true;
    bool Erase = true;
    bool Blank = true;
    bool Program = true;
    bool Verify = true;
};

// The range radio buttons and edits: "All", or an assigned start and size in KiB.
struct RangeChoice {
    bool All = true;
    std::uint32_t StartKiB = 0;
    std::uint32_t SizeKiB = 0;
};

class IspProcedures : private SequenceView {
public:
    IspProcedures(KeldrixUsb& usb, const ImageStore& images, FlashRunValues& values,
                  FlashReporter& report);

    // "All" sets the range to 0 and 0x8000, "Assign Range" to the edits' KiB.
    void SetRange(const RangeChoice& choice);
    // Blank check, program and verify cover the image: at 0 with "All", at RangeStart otherwise.
    std::pair<std::uint32_t, std::uint32_t> PageRange(bool all) const;

    // "Enter ISP"/"Exit ISP"; nothing without a found device. Returns whether ISP mode is on.
    bool ToggleIspMode();
    bool IspModeOn() const { return IspMode; }
    // The id bytes as "0xEF,  0x40,  0x13,  "; after a failed read, the bytes held before.
    std::string ReadChipId();
    // "0x" and the status byte ("0xFF" when it could not be read).
    std::string ReadStatus();
    void WriteStatus(std::uint8_t value);
    void WriteEnable();
    void WriteDisable();

    void Erase(bool all);
    void BlankCheck(bool all);
    // Without a chosen program mode the flash id is read first to choose one.
    void Program(bool all);
    void Verify(bool all);
    void ReadBack(const std::function<std::optional<std::filesystem::path>()>& chooseFile);

    // Why "Auto" must not start: no device found, or no firmware file loaded and none named in
    // the file box.
    std::optional<std::string> AutoRefusal(bool fileBoxEmpty) const;
    // The sequence of "Auto" (the page has checked for a device and a file and reloaded the
    // file when "Reload File" is ticked). True when no step failed.
    bool RunAuto(const AutoOptions& options, const RangeChoice& range);

private:
    // Opens the device, runs action on it, closes it again; gives the action's result.
    template <typename Action>
    auto WithDeviceOpen(Action action);
    void ShowStep(const std::string& text) override;
    void ShowFailure(const std::string& text) override;
    // Opening text, open, the worker over the page range, success text, close.
    void RunPageWorker(bool all, const std::string& opening, const std::string& success,
                       bool (*worker)(FlashContext&, std::uint32_t, std::uint32_t));

    FlashContext Context;
    bool IspMode = false;
};

}  // namespace zarn
