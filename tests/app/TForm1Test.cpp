#include "app/TForm1.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "app/GlobalTexts.h"
#include "pages/LabeledEdit.h"
#include "pages/StringGrid.h"
#include "sim/VirtualChipDevice.h"
#include "sim/VirtualDeviceLayer.h"
#include "sim/VirtualUsbDevice.h"
#include "support/HexText.h"
#include "support/QtPrinters.h"
#include "support/RecordingModel.h"

namespace {

class TForm1Test : public ::testing::Test {
protected:
    template <typename T>
    T* Find(const char* name) {
        T* control = Form.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    zarn::VirtualClock Time;
    zarn::VirtualDeviceLayer Layer{Time};
    zarn::KeldrixUsb UsbDevice{Layer};
    zarn::ImageStore Images;
    zarn::fakes::TemporaryDirectory Directory;
    TForm1 Form{UsbDevice, Images, {96, [this] { return Directory.Path; }}};
};

TEST_F(TForm1Test, ShowsTheEndUserViewAtStart) {
    EXPECT_EQ(Form.windowTitle(), "Zarn USB Audio firmware update Tool V1.1");
    EXPECT_EQ(Find<QLabel>("lblDetectDevice")->text(), "No device is available");
    EXPECT_EQ(Find<QLabel>("lblUpdaeFileStatus")->text(), "No Updated File !");
    EXPECT_EQ(Find<QLabel>("lblISPProcStatus")->text(), "");
    EXPECT_EQ(Find<QLabel>("lblDetectDevice")->font().pixelSize(), 16);
    EXPECT_EQ(Find<QLabel>("lblISPProcStatus")->font().pixelSize(), 21);
    auto* start = Find<QPushButton>("btnSimpleAuto");
    EXPECT_EQ(start->text(), "Start");
    EXPECT_FALSE(start->isEnabled());
    EXPECT_EQ(start->geometry(), QRect(424, 0, 75, 25));
    auto* lamp = Find<QFrame>("pnlUSBExist");
    EXPECT_EQ(lamp->geometry(), QRect(20, 8, 73, 23));
    EXPECT_EQ(lamp->palette().color(QPalette::Window), Form.palette().color(QPalette::Button));
    EXPECT_EQ(Find<QFrame>("pnlUSB")->geometry(), QRect(16, 8, 537, 120));
}

TEST_F(TForm1Test, DetectionControlsAreSetAndHidden) {
    Form.show();
    auto* detect = Find<QCheckBox>("chkDetectUSB");
    EXPECT_TRUE(detect->isChecked());
    EXPECT_FALSE(detect->isVisible());
    for (const char* name : {"lbledtVID", "lbledtPID"}) {
        auto* edit = Find<LabeledEdit>(name);
        EXPECT_FALSE(edit->isVisible()) << name;
        EXPECT_FALSE(edit->isEnabled()) << name;
    }
    EXPECT_EQ(Find<LabeledEdit>("lbledtVID")->text(), "3e52");
    EXPECT_EQ(Find<LabeledEdit>("lbledtPID")->text(), "f800");
    EXPECT_EQ(Find<LabeledEdit>("lbledtVID")->labelText(), "VID:");
}

TEST_F(TForm1Test, EngineeringPagesExistInOrderButStayHidden) {
    Form.show();
    auto* pages = Find<QTabWidget>("MainPageControl");
    EXPECT_FALSE(pages->isVisible());
    EXPECT_EQ(pages->height(), 100);
    const std::pair<const char*, const char*> expected[] = {
        {"TabSheet1", "Register"},  {"PageMI2CCtrl", "I2C Access"}, {"PageISPCtrl", "ISP"},
        {"Parameter", "Parameter"}, {"Information", "Information"}, {"BinFile", "Gen. Bin File"}};
    ASSERT_EQ(pages->count(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(pages->widget(i)->objectName(), expected[i].first);
        EXPECT_EQ(pages->tabText(i), expected[i].second);
        EXPECT_EQ(pages->isTabVisible(i), i == 2) << expected[i].first;
    }
}

TEST_F(TForm1Test, RegisterGridsAreHeadedInHex) {
    for (const char* name : {"RegStringGrid1", "StringGridMIIC"}) {
        auto* grid = Find<StringGrid>(name);
        ASSERT_EQ(grid->columnCount(), 17);
        ASSERT_EQ(grid->rowCount(), 17);
        QStringList across, down;
        for (int i = 1; i <= 16; ++i) {
            across << grid->Cell(i, 0);
            down << grid->Cell(0, i);
        }
        EXPECT_EQ(across.join(' '), "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F") << name;
        EXPECT_EQ(down.join(' '), "00 10 20 30 40 50 60 70 80 90 A0 B0 C0 D0 E0 F0") << name;
        EXPECT_EQ(grid->Cell(1, 1), "");
        EXPECT_FALSE(grid->item(0, 5)->flags() & Qt::ItemIsEditable);
    }
}

TEST_F(TForm1Test, TimerTicksEverySecondFromTheStart) {
    auto* timer = Find<QTimer>("Timer1");
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 1000);
}

struct DpiCase {
    int LogicalDpi;
    QSize WindowSize;
    int PageControlHeight;
};

void PrintTo(const DpiCase& c, std::ostream* out) {
    *out << c.LogicalDpi << " dpi";
}

class TForm1DpiTest : public ::testing::TestWithParam<DpiCase> {};

TEST_P(TForm1DpiTest, WindowSizeFollowsTheLogicalResolution) {
    zarn::VirtualClock time;
    zarn::VirtualDeviceLayer layer(time);
    zarn::KeldrixUsb usb(layer);
    zarn::ImageStore images;
    TForm1Environment environment;
    environment.LogicalDpi = GetParam().LogicalDpi;
    TForm1 form(usb, images, environment);
    EXPECT_EQ(form.size(), GetParam().WindowSize);
    EXPECT_EQ(form.findChild<QTabWidget*>("MainPageControl")->height(),
              GetParam().PageControlHeight);
}

INSTANTIATE_TEST_SUITE_P(
    Resolutions, TForm1DpiTest,
    ::testing::Values(DpiCase{96, {606, 200}, 100}, DpiCase{119, {606, 200}, 100},
                      DpiCase{120, {746, 340}, 240}, DpiCase{144, {746, 340}, 240}),
    [](const auto& info) { return std::to_string(info.param.LogicalDpi) + "dpi"; });

TEST_F(TForm1Test, ClosingReleasesAHandleHeldOnAFoundDevice) {
    auto model = std::make_shared<zarn::fakes::RecordingModel>();
    auto device = std::make_shared<zarn::VirtualUsbDevice>(Time, 0x1C7A, 0x6000, false, model);
    Layer.Attach(device);
    ASSERT_TRUE(UsbDevice.Connect());
    ASSERT_TRUE(UsbDevice.Open());
    device->ClearRequestLog();
    Form.show();
    Form.close();
    EXPECT_EQ(Layer.OpenHandleCount(), 0u);
    EXPECT_TRUE(device->RequestLog().empty());
}

TEST_F(TForm1Test, ClosingWithNothingFoundTouchesNoDevice) {
    auto device = std::make_shared<zarn::VirtualUsbDevice>(
        Time, 0x1C7A, 0x6000, false, std::make_shared<zarn::fakes::RecordingModel>());
    Layer.Attach(device);
    Form.show();
    Form.close();
    EXPECT_TRUE(device->RequestLog().empty());
    EXPECT_EQ(Layer.OpenHandleCount(), 0u);
}

TEST_F(TForm1Test, StartUpPutsTheBuiltInImageIntoBothBuffers) {
    const auto& image = zarn::BuiltInImage();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), Images.ImageBuffer.begin()));
    EXPECT_TRUE(std::equal(image.begin(), image.end(), Images.ModifyBuffer.begin()));
    EXPECT_EQ(Images.ImageLength, 0u);
}

TEST_F(TForm1Test, TicksFindAProductAndShowItsFileOnTheTopPanel) {
    zarn::VirtualChipDevice device(Time, zarn::FlashModels::W25Q40, {0x31D4, 0x0054});
    device.LoadFirmware(std::vector<std::uint8_t>{0x02, 0x00});
    Layer.Attach(device.Usb());
    Directory.Write("Zarn_Brax.hex",
                    zarn::fakes::DataRecord(0, {1, 2, 3}) + zarn::fakes::EndOfFile);

    Form.Timer1Timer();  // row 1 answers at once
    EXPECT_EQ(Find<QLabel>("lblDetectDevice")->text(), "Find Device Zarn Brax");
    EXPECT_EQ(Find<QLabel>("lblUpdaeFileStatus")->text(),
              "Update Hex file   Zarn_Brax.hex    is Ready!");
    EXPECT_TRUE(Find<QPushButton>("btnSimpleAuto")->isEnabled());
    EXPECT_EQ(Find<QFrame>("pnlUSBExist")->palette().color(QPalette::Window), QColor(0, 255, 0));
    EXPECT_EQ(Images.ImageLength, 3u);
}

TEST_F(TForm1Test, DamagedFileShowsItsReasonAsTheFileLinesTip) {
    zarn::VirtualChipDevice device(Time, zarn::FlashModels::W25Q40, {0x31D4, 0x0054});
    device.LoadFirmware(std::vector<std::uint8_t>{0x02, 0x00});
    Layer.Attach(device.Usb());
    Directory.Write("Zarn_Brax.hex", ":020000000102\n");

    Form.Timer1Timer();
    auto* fileLine = Find<QLabel>("lblUpdaeFileStatus");
    EXPECT_EQ(fileLine->text(), "Update Hex file   Zarn_Brax.hex    is damaged!");
    EXPECT_EQ(fileLine->toolTip(), "line 1: record cut short");
    EXPECT_FALSE(Find<QPushButton>("btnSimpleAuto")->isEnabled());
}

TEST_F(TForm1Test, SearchSpeedsUpAfterTheFirstTwoTicks) {
    auto* timer = Find<QTimer>("Timer1");
    Form.Timer1Timer();
    EXPECT_EQ(timer->interval(), 1000);
    Form.Timer1Timer();
    EXPECT_EQ(timer->interval(), 100);
}

TEST_F(TForm1Test, IspPageFileLoadNeedsAPathAndRemembersEachPathOnce) {
    QString caption, text;
    Form.Dialog.Inform = [&](const QString& c, const QString& t) {
        caption = c;
        text = t;
    };
    Form.ReadProgramFile();
    EXPECT_EQ(caption, "Dialog");
    EXPECT_EQ(text, "Program File Not Ready !!    ");
    EXPECT_FALSE(Images.FirmwareFileReady);

    Images.FirmwareFilePath = Directory
                                  .Write("image.hex", zarn::fakes::DataRecord(0x10, {1, 2, 3, 4}) +
                                                          zarn::fakes::EndOfFile)
                                  .string();
    Form.ReadProgramFile();
    Form.ReadProgramFile();
    EXPECT_EQ(Find<QLabel>("lblUSBChecksum")->text(), "Checksum : 0x0FFA");  // 10 + 16 x 255
    auto* history = Find<QComboBox>("cbxReadISPFile");
    EXPECT_EQ(history->count(), 1);
    EXPECT_EQ(history->currentText(), QString::fromStdString(Images.FirmwareFilePath));
    EXPECT_TRUE(Images.FirmwareFileReady);

    Images.FirmwareFilePath = Directory.Write("bad.hex", ":0100000001FF\n").string();
    Form.ReadProgramFile();
    EXPECT_EQ(Find<QLabel>("lblUSBChecksum")->text(),
              "Checksum : line 1: checksum is 0xFF, should be 0xFE");
    EXPECT_EQ(history->count(), 2);
}

TEST_F(TForm1Test, SaveButtonRestoresTheBuiltInImage) {
    Images.ImageBuffer[0] ^= 0xFF;
    Find<QPushButton>("Button1")->click();
    EXPECT_EQ(Images.ImageBuffer[0], zarn::BuiltInImage()[0]);
}

TEST(GlobalTexts, RateTextsAreEightCharactersEach) {
    for (const auto text : zarn::RateTexts) {
        EXPECT_EQ(text.size(), 8u) << text;
    }
    EXPECT_EQ(zarn::RateTexts[0], " 44.1KHz");
    EXPECT_EQ(zarn::RateTexts[9], "  768KHz");
    EXPECT_EQ(zarn::RateTexts[16], " DoP  64");
    EXPECT_EQ(zarn::RateTexts[27], " DSD 512");
    EXPECT_EQ(zarn::RateTexts[31], "        ");
}

TEST_F(TForm1Test, WindowRendersToAScreenshot) {
    Form.show();
    const QPixmap shot = Form.grab();
    EXPECT_EQ(shot.size(), Form.size() * shot.devicePixelRatio());
    EXPECT_TRUE(shot.save(QStringLiteral("TForm1.png")));
}

}  // namespace
