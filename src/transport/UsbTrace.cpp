#include "transport/UsbTrace.h"

#include <array>
#include <cstring>

#include "transport/DriverCalls.h"

namespace zarn {
namespace {

constexpr std::uint32_t PcapMagic = 0xA1B2C3D4;
constexpr std::uint32_t LinktypeUsbLinuxMmapped = 220;
constexpr std::int32_t InProgress = -115;  // -EINPROGRESS: a submission's status
constexpr std::int32_t Broken = -32;       // -EPIPE: the transfer failed
constexpr std::uint8_t ControlTransfer = 2;

template <typename T>
void Put(std::vector<std::uint8_t>& bytes, T value) {
    std::array<std::uint8_t, sizeof(T)> raw{};
    std::memcpy(raw.data(), &value, sizeof(T));  // the pcap header's magic tells the order
    bytes.insert(bytes.end(), raw.begin(), raw.end());
}

}  // namespace

std::unique_ptr<UsbTraceFile> UsbTraceFile::Create(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return nullptr;
    }
    std::vector<std::uint8_t> header;
    Put<std::uint32_t>(header, PcapMagic);
    Put<std::uint16_t>(header, 2);
    Put<std::uint16_t>(header, 4);
    Put<std::int32_t>(header, 0);
    Put<std::uint32_t>(header, 0);
    Put<std::uint32_t>(header, 65535 + 64);
    Put<std::uint32_t>(header, LinktypeUsbLinuxMmapped);
    std::fwrite(header.data(), 1, header.size(), file);
    std::fflush(file);
    return std::unique_ptr<UsbTraceFile>(new UsbTraceFile(file));
}

UsbTraceFile::~UsbTraceFile() {
    std::fclose(File);
}

void UsbTraceFile::Write(const Transfer& transfer) {
    std::lock_guard lock(Guard);
    Record(transfer, true);
    Record(transfer, false);
    ++NextId;
    std::fflush(File);
}

void UsbTraceFile::Record(const Transfer& transfer, bool submission) {
    const bool in = transfer.Setup.IsDeviceToHost();
    // Data travels with the submission going out and with the completion coming in.
    const bool carries = submission != in && (submission || transfer.Completed);
    const auto data = carries ? transfer.Data : std::span<const std::uint8_t>();
    const auto time = submission ? transfer.Submitted : transfer.Ended;
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(time);
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(time - seconds);

    std::vector<std::uint8_t> usbmon;
    Put<std::uint64_t>(usbmon, NextId);
    usbmon.push_back(submission ? 'S' : 'C');
    usbmon.push_back(ControlTransfer);
    usbmon.push_back(in ? 0x80 : 0x00);
    usbmon.push_back(transfer.Device);
    Put<std::uint16_t>(usbmon, transfer.Bus);
    usbmon.push_back(submission ? 0 : '-');  // the setup packet rides with the submission
    usbmon.push_back(data.empty() ? (in ? '<' : '>') : 0);
    Put<std::int64_t>(usbmon, seconds.count());
    Put<std::int32_t>(usbmon, static_cast<std::int32_t>(micros.count()));
    Put<std::int32_t>(usbmon, submission ? InProgress : (transfer.Completed ? 0 : Broken));
    Put<std::uint32_t>(usbmon, submission || transfer.Completed
                                   ? static_cast<std::uint32_t>(transfer.Data.size())
                                   : 0);
    Put<std::uint32_t>(usbmon, static_cast<std::uint32_t>(data.size()));
    const SetupPacket& setup = transfer.Setup;
    usbmon.push_back(submission ? setup.bmRequestType : 0);
    usbmon.push_back(submission ? setup.bRequest : 0);
    Put<std::uint16_t>(usbmon, submission ? setup.wValue : 0);
    Put<std::uint16_t>(usbmon, submission ? setup.wIndex : 0);
    Put<std::uint16_t>(usbmon, submission ? setup.wLength : 0);
    Put<std::int32_t>(usbmon, 0);   // interval
    Put<std::int32_t>(usbmon, 0);   // start frame
    Put<std::uint32_t>(usbmon, 0);  // transfer flags
    Put<std::uint32_t>(usbmon, 0);  // iso descriptors
    usbmon.insert(usbmon.end(), data.begin(), data.end());

    std::vector<std::uint8_t> record;
    Put<std::uint32_t>(record, static_cast<std::uint32_t>(seconds.count()));
    Put<std::uint32_t>(record, static_cast<std::uint32_t>(micros.count()));
    Put<std::uint32_t>(record, static_cast<std::uint32_t>(usbmon.size()));
    Put<std::uint32_t>(record, static_cast<std::uint32_t>(usbmon.size()));
    record.insert(record.end(), usbmon.begin(), usbmon.end());
    std::fwrite(record.data(), 1, record.size(), File);
}

DeviceHandle TracingDeviceLayer::Open(const std::string& path) {
    const DeviceHandle handle = Inner.Open(path);
    if (handle != NoHandle) {
        auto [number, fresh] =
            DeviceNumbers.emplace(path, static_cast<std::uint8_t>(DeviceNumbers.size() + 1));
        Handles[handle] = {path.find(AudioPathInterfaceClass.ToString()) != std::string::npos,
                           number->second};
    }
    return handle;
}

bool TracingDeviceLayer::IoControl(DeviceHandle handle, std::uint32_t code,
                                   std::span<const std::uint8_t> input,
                                   std::span<std::uint8_t> output) {
    const auto opened = Handles.find(handle);
    const auto submitted = Inner.DeviceClock().Now();
    const bool completed = Inner.IoControl(handle, code, input, output);
    if (opened == Handles.end()) {
        return completed;
    }
    const auto call = DecodeDriverCall(opened->second.Audio ? DriverPath::Audio : DriverPath::Isp,
                                       code, input, output);
    if (call && !call->SupportQuery) {
        UsbTraceFile::Transfer transfer;
        transfer.Bus = Bus;
        transfer.Device = opened->second.Device;
        transfer.Setup = call->Setup;
        transfer.Data = call->Setup.IsDeviceToHost()
                            ? std::span<const std::uint8_t>(call->ReceiveBuffer)
                            : call->SentData;
        transfer.Completed = completed;
        transfer.Submitted = submitted;
        transfer.Ended = Inner.DeviceClock().Now();
        Trace.Write(transfer);
    }
    return completed;
}

void TracingDeviceLayer::Close(DeviceHandle handle) {
    Handles.erase(handle);
    Inner.Close(handle);
}

}  // namespace zarn
