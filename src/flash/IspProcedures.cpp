#include "flash/IspProcedures.h"

#include <cstdio>

#include "chip/ChipRegisters.h"

namespace zarn {
namespace {

constexpr std::uint32_t KiB = 1024;
constexpr std::uint32_t AllRangeSize = 0x8000;
constexpr std::uint32_t ReadBackEnd = 0x8000;

std::string ByteText(std::uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

}  // namespace

IspProcedures::IspProcedures(KeldrixUsb& usb, const ImageStore& images, FlashRunValues& values,
                             FlashReporter& report)
    : Context{usb, images, values, report, {}} {}

void IspProcedures::SetRange(const RangeChoice& choice) {
    Context.Values.RangeStart = choice.All ? 0 : choice.StartKiB * KiB;
    Context.Values.RangeSize = choice.All ? AllRangeSize : choice.SizeKiB * KiB;
}

std::pair<std::uint32_t, std::uint32_t> IspProcedures::PageRange(bool all) const {
    const std::uint32_t start = all ? 0 : Context.Values.RangeStart;
    return {start, start + Context.Images.ImageLength};
}

bool IspProcedures::ToggleIspMode() {
    KeldrixUsb& usb = Context.Usb;
    if (!usb.IsFound()) {
        return IspMode;
    }
    usb.Open();
    if (IspMode) {
        SetIspMode(usb, false);
    } else {
        RegWrite(usb, BankSelectRegister, IspBank);
        RegWrite(usb, IspControlRegister1, 0x03);
        SetIspMode(usb, true);
    }
    IspMode = !IspMode;  // follows the clicks, not the device
    usb.Close();
    return IspMode;
}

template <typename Action>
auto IspProcedures::WithDeviceOpen(Action action) {
    Context.Usb.Open();
    const auto result = action(Context.Usb);
    Context.Usb.Close();
    return result;
}

std::string IspProcedures::ReadChipId() {
    WithDeviceOpen([this](KeldrixUsb& usb) { return FlashReadId(usb, Context.Values.FlashId); });
    std::string text;
    for (const std::uint8_t byte : Context.Values.FlashId) {
        text += ByteText(byte) + ",  ";
    }
    return text;
}

std::string IspProcedures::ReadStatus() {
    return ByteText(WithDeviceOpen(FlashReadStatus));
}

void IspProcedures::WriteStatus(std::uint8_t value) {
    WithDeviceOpen([value](KeldrixUsb& usb) { return FlashWriteStatus(usb, value); });
}

void IspProcedures::WriteEnable() {
    WithDeviceOpen(FlashWriteEnable);
}

void IspProcedures::WriteDisable() {
    WithDeviceOpen(FlashWriteDisable);
}

void IspProcedures::Erase(bool all) {
    EraseFlash(Context, all);
}

void IspProcedures::RunPageWorker(bool all, const std::string& opening, const std::string& success,
                                  bool (*worker)(FlashContext&, std::uint32_t, std::uint32_t)) {
    ShowStep(opening);
    const auto [start, end] = PageRange(all);
    Context.Usb.Open();
    if (worker(Context, start, end)) {
        ShowStep(success);
    }
    Context.Usb.Close();
}

void IspProcedures::BlankCheck(bool all) {
    RunPageWorker(all, "Start Blanking Check", "Blanking Success", &BlankCheckRange);
}

void IspProcedures::Program(bool all) {
    if (Context.Values.ProgramBlockSize == 0) {
        WithDeviceOpen(
            [this](KeldrixUsb& usb) { return ReadFlashIdAndSelectMode(usb, Context.Values); });
    }
    RunPageWorker(all, "Start Programming...", "Programming Success", &ProgramRange);
}

void IspProcedures::Verify(bool all) {
    RunPageWorker(all, "Start Verifying Check", "Verifying Success", &VerifyRange);
}

void IspProcedures::ReadBack(
    const std::function<std::optional<std::filesystem::path>()>& chooseFile) {
    ShowStep("Read Flash data back");
    Context.Usb.Open();
    if (ReadBackRange(Context, 0, ReadBackEnd, chooseFile)) {
        ShowStep("Read Flash content Success");
    }
    Context.Usb.Close();
}

std::optional<std::string> IspProcedures::AutoRefusal(bool fileBoxEmpty) const {
    if (!Context.Usb.IsFound()) {
        return "USB device is NOT available !!    ";
    }
    if (!Context.Images.FirmwareFileReady && fileBoxEmpty) {
        return "Program File Not Ready !!    ";
    }
    return std::nullopt;
}

bool IspProcedures::RunAuto(const AutoOptions& options, const RangeChoice& range) {
    if (!range.All) {
        SetRange(range);
    }
    const auto [start, end] = PageRange(range.All);
    FlashSequence steps;
    steps.IspMode = options.IspMode;
    steps.Erase = options.Erase;
    steps.Blank = options.Blank;
    steps.Program = options.Program;
    steps.Verify = options.Verify;
    steps.Protect = options.Protect;
    steps.EraseStep = [this, all = range.All] { return EraseFlash(Context, all); };
    return RunFlashSequence(Context, steps, start, end, *this);
}

void IspProcedures::ShowStep(const std::string& text) {
    Context.Report.ShowProcessInfo(text);
}

void IspProcedures::ShowFailure(const std::string& text) {
    Context.Report.ShowProcessInfo(text);
}

}  // namespace zarn
