#include "transport/UsbTrace.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "app/OneButtonUpdate.h"
#include "chip/ChipRegisters.h"
#include "sim/VirtualChipDevice.h"
#include "sim/VirtualDeviceLayer.h"
#include "support/HexText.h"

namespace zarn {
namespace {

// One usbmon record as the trace holds it.
struct TraceRecord {
    std::uint64_t Id;
    char Type;
    std::uint8_t Endpoint;
    std::int32_t Status;
    SetupPacket Setup;
    std::vector<std::uint8_t> Data;
};

template <typename T>
T Take(const std::string& bytes, std::size_t& at) {
    T value{};
    std::memcpy(&value, bytes.data() + at, sizeof(T));
    at += sizeof(T);
    return value;
}

// A small reader for the file: the global header, then each record's usbmon header and data.
std::vector<TraceRecord> ReadTrace(const std::filesystem::path& path, std::uint32_t& linktype) {
    std::ifstream file(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    std::size_t at = 0;
    EXPECT_EQ(Take<std::uint32_t>(bytes, at), 0xA1B2C3D4u);
    at = 20;
    linktype = Take<std::uint32_t>(bytes, at);
    std::vector<TraceRecord> records;
    while (at + 16 <= bytes.size()) {
        at += 8;
        const auto captured = Take<std::uint32_t>(bytes, at);
        at += 4;
        const std::size_t start = at;
        TraceRecord record{};
        record.Id = Take<std::uint64_t>(bytes, at);
        record.Type = Take<char>(bytes, at);
        at += 1;
        record.Endpoint = Take<std::uint8_t>(bytes, at);
        at = start + 28;
        record.Status = Take<std::int32_t>(bytes, at);
        at += 4;
        const auto dataLength = Take<std::uint32_t>(bytes, at);
        record.Setup.bmRequestType = Take<std::uint8_t>(bytes, at);
        record.Setup.bRequest = Take<std::uint8_t>(bytes, at);
        record.Setup.wValue = Take<std::uint16_t>(bytes, at);
        record.Setup.wIndex = Take<std::uint16_t>(bytes, at);
        record.Setup.wLength = Take<std::uint16_t>(bytes, at);
        at = start + 64;
        record.Data.assign(bytes.begin() + static_cast<long>(at),
                           bytes.begin() + static_cast<long>(at + dataLength));
        at = start + captured;
        records.push_back(std::move(record));
    }
    return records;
}

class UsbTraceTest : public ::testing::Test {
protected:
    UsbTraceTest() : Device(Time, FlashModels::W25Q40, {0x31D4, 0x0054}) {
        Device.LoadFirmware(std::vector<std::uint8_t>(64, 0x00));
        Layer.Attach(Device.Usb());
    }
    std::filesystem::path TracePath() const { return Directory.Path / "trace.pcap"; }

    // A short update through the traced layer, with one failing request in it.
    void RunUpdate(DeviceLayer& layer) {
        KeldrixUsb usb(layer);
        usb.SetAudioMode(true);
        usb.SetMatch("vid_31d4&pid_0054");
        usb.Connect();
        Device.Usb()->ClearRequestLog();
        Device.Usb()->FailRequestsWhere(
            [](const SetupPacket&, std::size_t index) { return index == 40; });
        ImageStore images;
        FillImage(images, 0xFF);
        std::fill_n(images.ImageBuffer.begin(), 0x400, 0x3C);
        images.ImageLength = 0x400;
        FlashRunValues values;
        MonitorState monitor;
        TopPanel panel;
        InlineUpdateHost host(panel);
        SilentReporter quiet;
        OneButtonUpdate(usb, images, values, monitor, panel, quiet, host).btnSimpleAutoClick();
    }

    VirtualClock Time;
    VirtualDeviceLayer Layer{Time};
    VirtualChipDevice Device;
    fakes::TemporaryDirectory Directory;
};

TEST_F(UsbTraceTest, HoldsASubmissionAndACompletionForEveryRequest) {
    {
        auto trace = UsbTraceFile::Create(TracePath().string());
        ASSERT_NE(trace, nullptr);
        TracingDeviceLayer traced(Layer, *trace, 3);
        RunUpdate(traced);
    }
    std::uint32_t linktype = 0;
    const auto records = ReadTrace(TracePath(), linktype);
    EXPECT_EQ(linktype, 220u);
    const auto& log = Device.Usb()->RequestLog();
    ASSERT_GT(log.size(), 100u);
    // The connection's probe comes before the log was cleared.
    ASSERT_GE(records.size(), 2 * log.size());
    const std::size_t first = records.size() - 2 * log.size();
    for (std::size_t i = 0; i < log.size(); ++i) {
        SCOPED_TRACE(i);
        const TraceRecord& submission = records[first + 2 * i];
        const TraceRecord& completion = records[first + 2 * i + 1];
        EXPECT_EQ(submission.Type, 'S');
        EXPECT_EQ(completion.Type, 'C');
        EXPECT_EQ(submission.Id, completion.Id);
        EXPECT_EQ(submission.Setup, log[i].Setup);
        EXPECT_EQ(submission.Endpoint, log[i].Setup.IsDeviceToHost() ? 0x80 : 0x00);
        EXPECT_EQ(completion.Status, log[i].Result ? 0 : -32);
        const auto& data = log[i].Setup.IsDeviceToHost() ? completion.Data : submission.Data;
        if (log[i].Result || !log[i].Setup.IsDeviceToHost()) {
            EXPECT_EQ(data, log[i].Data);
        }
    }
    EXPECT_EQ(records[first + 2 * 40 + 1].Status, -32);
}

TEST_F(UsbTraceTest, TsharkDecodesTheControlTransfers) {
    if (!std::filesystem::exists("/usr/bin/tshark")) {
        GTEST_SKIP() << "tshark is not installed";
    }
    {
        auto trace = UsbTraceFile::Create(TracePath().string());
        TracingDeviceLayer traced(Layer, *trace);
        RunUpdate(traced);
    }
    const auto out = Directory.Path / "fields.txt";
    const std::string command =
        "tshark -r '" + TracePath().string() +
        "' -Y 'usb.urb_type == 83' -T fields -e usb.transfer_type -e usb.bmRequestType "
        "-e usb.setup.bRequest -e usb.setup.wValue -e usb.setup.wIndex -e usb.setup.wLength > '" +
        out.string() + "' 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream fields(out);
    std::string line;
    std::size_t lines = 0;
    std::size_t enterIsp = 0;
    while (std::getline(fields, line)) {
        ++lines;
        // ISP mode: vendor out, request 0x84, value 0x4C63, index 0x2B6A, no data.
        enterIsp += line == "0x02\t0x43\t132\t0x4c63\t11114\t0";
    }
    EXPECT_GE(lines, Device.Usb()->RequestLog().size());
    EXPECT_EQ(enterIsp, 1u);
}

}  // namespace
}  // namespace zarn
