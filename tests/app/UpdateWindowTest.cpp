// The whole update as the end user runs it: the window finds the product, loads its file, and
// "Start" with OK brings the virtual device's flash to the image.

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "app/TForm1.h"
#include "sim/VirtualChipDevice.h"
#include "sim/VirtualDeviceLayer.h"
#include "support/HexText.h"
#include "support/QtPrinters.h"
#include "support/QtWait.h"
#include "support/RequestLogQueries.h"

namespace zarn {

void PrintTo(const FlashPart* part, std::ostream* out) {
    *out << part->Name;
}

namespace {

constexpr std::uint32_t ImageLength = 0x1000;

class UpdateWindowTest : public ::testing::TestWithParam<const FlashPart*> {
protected:
    UpdateWindowTest() : Device(Time, *GetParam(), {0x31D4, 0x0054}) {
        Device.LoadFirmware(std::vector<std::uint8_t>(64, 0x00));
        Layer.Attach(Device.Usb());
        Directory.Write("Zarn_Brax.hex", fakes::FirmwareHex(ImageLength));
        Form.Dialog.Ask = [this](const QString& caption, const QString& text) {
            Questions << caption + ": " + text;
            return Answer;
        };
        Form.Timer1Timer();  // row 1 is the first try
        Device.Usb()->ClearRequestLog();
    }

    QPushButton* Start() { return Form.findChild<QPushButton*>("btnSimpleAuto"); }
    QLabel* StatusLine() { return Form.findChild<QLabel*>("lblISPProcStatus"); }

    std::size_t Count(std::uint8_t bRequest, int opcode = -1) const {
        return fakes::CountRequests(Device.Usb()->RequestLog(), bRequest, opcode);
    }

    VirtualClock Time;
    VirtualDeviceLayer Layer{Time};
    KeldrixUsb UsbDevice{Layer};
    ImageStore Images;
    VirtualChipDevice Device;
    fakes::TemporaryDirectory Directory;
    TForm1 Form{UsbDevice, Images, {96, [this] { return Directory.Path; }}};
    QStringList Questions;
    bool Answer = true;
};

TEST_P(UpdateWindowTest, StartWithOkBringsTheFlashToTheImage) {
    const FlashPart& flash = *GetParam();
    ASSERT_TRUE(Start()->isEnabled());
    QTest::mouseClick(Start(), Qt::LeftButton);
    fakes::WaitUntil([this] { return !Form.IsRunning(); });

    ASSERT_EQ(Questions.size(), 1);
    EXPECT_TRUE(Questions[0].startsWith("Warning: Firmware Update is a critical operation."));
    EXPECT_EQ(StatusLine()->text(), "Firmware update success!");
    EXPECT_EQ(StatusLine()->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(StatusLine()->font().pointSize(), 16);
    EXPECT_EQ(Start()->text(), "Finish");
    EXPECT_FALSE(Start()->isEnabled());

    const auto memory = Device.Chip().Flash().Array();
    EXPECT_TRUE(
        std::equal(memory.begin(), memory.begin() + ImageLength, Images.ImageBuffer.begin()));
    EXPECT_TRUE(std::all_of(memory.begin() + ImageLength, memory.end(),
                            [](std::uint8_t byte) { return byte == 0xFF; }));
    EXPECT_EQ(fakes::LastStatusWritten(Device.Usb()->RequestLog()), flash.HasAai ? 0x7F : 0xFF);
    EXPECT_FALSE(Device.Chip().IsIspMode());
    EXPECT_FALSE(Device.Chip().FlashWrittenOutsideIspMode());

    // The requests the procedure implies for a 4 KiB image without blank blocks or retries.
    EXPECT_EQ(Count(0x84), 1u);
    EXPECT_EQ(Count(0x85), 1u);
    EXPECT_EQ(Count(0x80, 0xC7), 1u);
    EXPECT_EQ(Count(0x80, 0x01), 2u);  // unprotect and protect
    EXPECT_EQ(Count(0x81, 0x03), 2 * ImageLength / 64);
    EXPECT_EQ(Count(0x81, 0x9F), 1u);
    if (flash.HasAai) {
        EXPECT_EQ(Count(0x80, 0xAD), ImageLength / 2);
        EXPECT_EQ(Count(0x80, 0x04), ImageLength / 256);
        EXPECT_EQ(Count(0x80, 0x02), 0u);
    } else {
        const std::uint32_t block = flash.PageSize == 32 ? 32 : 256;
        EXPECT_EQ(Count(0x80, 0x02), ImageLength / block);
        EXPECT_EQ(Count(0x80, 0xAD), 0u);
    }

    // The monitor has stopped: unplugging and replugging changes nothing on the window.
    Device.Replug();
    Device.Usb()->Unplug();
    Form.Timer1Timer();
    Form.Timer1Timer();
    EXPECT_EQ(StatusLine()->text(), "Firmware update success!");
    EXPECT_EQ(Form.findChild<QLabel*>("lblDetectDevice")->text(), "Find Device Zarn Brax");
}

TEST_P(UpdateWindowTest, CancelAbortsWithoutARequestAndTheMonitorGoesOn) {
    Answer = false;
    QTest::mouseClick(Start(), Qt::LeftButton);
    EXPECT_EQ(StatusLine()->text(), "Abort Firmware update process");
    EXPECT_EQ(StatusLine()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(StatusLine()->font().pointSize(), 16);
    EXPECT_EQ(Start()->text(), "Start");
    EXPECT_TRUE(Start()->isEnabled());
    EXPECT_TRUE(Device.Usb()->RequestLog().empty());

    Device.Usb()->Unplug();
    Form.Timer1Timer();
    EXPECT_EQ(Form.findChild<QLabel*>("lblDetectDevice")->text(), "No device is available");
}

INSTANTIATE_TEST_SUITE_P(Parts, UpdateWindowTest, ::testing::ValuesIn(FlashModels::All),
                         [](const auto& info) { return std::string(info.param->Name); });

}  // namespace
}  // namespace zarn
