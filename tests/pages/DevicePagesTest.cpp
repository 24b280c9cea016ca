// The "Parameter", "Information" and "Gen. Bin File" pages in the engineering window, driven by
// their controls against the virtual chip's firmware model.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "pages/BinFilePage.h"
#include "pages/LabeledEdit.h"
#include "pages/ParameterPage.h"
#include "support/ProductWindow.h"
#include "support/QtPrinters.h"

namespace zarn {
namespace {

class DevicePagesTest : public ::testing::Test, public fakes::ProductWindow {
protected:
    DevicePagesTest() : ProductWindow(true) {
        Form.Timer1Timer();
        ClearLog();
    }

    ChipFirmware& Firmware() { return Device.Chip().Firmware(); }
    bool Ticked(const char* name) { return Find<QAbstractButton>(name)->isChecked(); }
    QString Text(const char* name) { return Find<QLabel>(name)->text(); }
    void Click(const char* name) { Find<QAbstractButton>(name)->click(); }
    void Enter(const char* name, const QString& text) {
        auto* edit = Find<LabeledEdit>(name)->lineEdit();
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    // The names of the ticked buttons among these.
    std::vector<std::string> TickedOf(std::initializer_list<const char*> names) {
        std::vector<std::string> ticked;
        for (const char* name : names) {
            if (Ticked(name)) {
                ticked.emplace_back(name);
            }
        }
        return ticked;
    }
    std::vector<std::string> ShownOptions() {
        return TickedOf({"rbnI2Slen0", "rbnI2Slen1", "rbnSPDIFlen0", "rbnSPDIFlen1", "chkI2SLRSwap",
                         "chkDSDLRSwap", "rbnMCLKOutFreq0", "rbnMCLKOutFreq1", "rbnMCLKOutFreq2",
                         "rbnMCLKOutFreq3", "rbnI2SFormat0", "rbnI2SFormat1", "rbnDSDOut0",
                         "rbnDSDOut1", "chkMCLKOutOff", "chkI2SOutOff", "chkSPDIFOutOff"});
    }
    ParameterBytes Block() { return Find<ParameterPage>("Parameter")->Block(); }
};

TEST_F(DevicePagesTest, ParameterPageStartsFromA1000000) {
    EXPECT_EQ(Block(), (ParameterBytes{0xA1, 0x00, 0x00, 0x00}));
    EXPECT_EQ(ShownOptions(),
              (std::vector<std::string>{"rbnI2Slen0", "rbnSPDIFlen1", "rbnMCLKOutFreq2",
                                        "rbnI2SFormat0", "rbnDSDOut0"}));
    EXPECT_EQ(Text("lblEepAvail"), "EEPROM not Available");
}

TEST_F(DevicePagesTest, ReadBackShowsTheDeviceBlockAndSetSendsItUnchanged) {
    Firmware().ParameterBlock = {0x1E, 0xE0, 0x12, 0x80};
    Click("btnReadPara");
    EXPECT_EQ(ShownOptions(), (std::vector<std::string>{
                                  "rbnI2Slen1", "rbnSPDIFlen0", "chkI2SLRSwap", "chkDSDLRSwap",
                                  "rbnMCLKOutFreq1", "rbnI2SFormat0", "rbnDSDOut1", "chkMCLKOutOff",
                                  "chkI2SOutOff", "chkSPDIFOutOff"}));
    EXPECT_EQ(Text("lblEepAvail"), "EEPROM Exist");
    Firmware().ParameterBlock = {0, 0, 0, 0};
    Click("btnSetPara");
    EXPECT_EQ(Firmware().ParameterBlock, (ParameterBytes{0x1E, 0xE0, 0x12, 0x80}));
    EXPECT_EQ(Text("lblParaResult"), "Parameters set");

    // Each option touches only its own bits.
    Click("rbnMCLKOutFreq3");
    EXPECT_EQ(Block()[0], 0x3E);
    Click("rbnI2SFormat1");
    EXPECT_EQ(Block()[0], 0x7E);
    Click("chkMCLKOutOff");
    EXPECT_EQ(Block(), (ParameterBytes{0x7E, 0x60, 0x12, 0x80}));
}

TEST_F(DevicePagesTest, AFailedReadBackChangesNothingAndSaysSo) {
    Click("rbnMCLKOutFreq3");  // A1 -> B1, not yet sent
    Device.Usb()->FailRequestsWhere(
        [](const SetupPacket& setup, std::size_t) { return setup.bRequest == 0x91; });
    Click("btnReadPara");
    EXPECT_EQ(Block(), (ParameterBytes{0xB1, 0x00, 0x00, 0x00}));
    EXPECT_TRUE(Ticked("rbnMCLKOutFreq3"));
    EXPECT_EQ(Text("lblParaResult"),
              "Read back failed, nothing changed: the device did not answer");
    Click("btnSetPara");
    EXPECT_EQ(Text("lblParaResult"), "Set failed: the device did not answer");
}

TEST_F(DevicePagesTest, IdsAndStringsGoOutOnEnterOnly) {
    Enter("lbledSysPID", "60");
    EXPECT_EQ(Firmware().ProductIdText, (std::array<std::uint8_t, 4>{0x36, 0x30, 0x00, 0x00}));
    Enter("lbledSysVID", "3e50");
    EXPECT_EQ(Firmware().VendorIdText, (std::array<std::uint8_t, 4>{0x33, 0x65, 0x35, 0x30}));
    EXPECT_EQ(Text("lblParaResult"), "VID written");

    Enter("lbledSysStr2", "Keldrix-inc UAC2 22");
    const auto& model = Firmware().StringRecords[1];
    EXPECT_EQ(model[0], 19);
    EXPECT_EQ(std::string(model.begin() + 1, model.begin() + 20), "Keldrix-inc UAC2 22");
    Enter("lbledSysStr3", QString(40, 'x'));
    EXPECT_EQ(Firmware().StringRecords[2][0], 31);
    // Characters that Latin-1 lacks go out as '?'.
    Enter("lbledSysStr1", QString::fromUtf8("Zarn\u00E9\u20AC"));
    const auto& maker = Firmware().StringRecords[0];
    EXPECT_EQ(std::string(maker.begin() + 1, maker.begin() + 7), "Zarn\xE9?");

    ClearLog();
    auto* edit = Find<LabeledEdit>("lbledSysPID")->lineEdit();
    QTest::keyClick(edit, Qt::Key_A);
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_TRUE(Log().empty());
}

struct StatusCase {
    std::uint8_t Rate, Status;
    const char *Connect, *Mute, *Format, *Rate_;
    bool MuteEnabled, DetailsEnabled;
};

TEST_F(DevicePagesTest, UpdateShowsThePlaybackStatus) {
    const StatusCase cases[] = {
        {0x00, 0x00, "USB Disconnected", "Unmute", "PCM", "176.4KHz", false, false},
        {0x00, 0x05, "USB connected", "Mute", "PCM", "176.4KHz", true, false},
        {0x34, 0x01, "USB connected", "Playing", "PCM", "176.4KHz", true, true},
        {0x09, 0x03, "USB connected", "Playing", "DSD", " DSD 128", true, true},
        {0x01, 0x03, "USB connected", "Playing", "DSD", " DoP 128", true, true},
        {0x0C, 0x01, "USB connected", "Playing", "PCM", "        ", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(c.Rate) << " " << int(c.Status));
        Firmware().PlaybackStatus = {c.Rate, 0x00, c.Status};
        Click("btnUpdateStatus");
        EXPECT_EQ(Text("lblConnect"), c.Connect);
        EXPECT_EQ(Text("lblMute"), c.Mute);
        EXPECT_EQ(Text("lblCurrentFormat1"), c.Format);
        EXPECT_EQ(Text("lblCurrentFreq1"), c.Rate_);
        EXPECT_EQ(Find("lblMute")->isEnabled(), c.MuteEnabled);
        EXPECT_EQ(Find("lblCurrentFreq1")->isEnabled(), c.DetailsEnabled);
        EXPECT_EQ(Find("lblCurrentFormat0")->isEnabled(), c.DetailsEnabled);
    }
    Device.Usb()->Unplug();
    Click("btnUpdateStatus");
    EXPECT_EQ(Text("lblConnect"), "Status could not be read");
    EXPECT_FALSE(Find("lblMute")->isEnabled());
    EXPECT_FALSE(Find("lblCurrentFreq1")->isEnabled());
}

TEST_F(DevicePagesTest, MediaKeysSendTheirCodeAndWaitForTheFirmware) {
    Click("btnHID3");  // Vol +
    Click("btnHID0");  // Prev
    EXPECT_EQ(Firmware().MediaKeys, (std::vector<std::uint8_t>{0x01, 0x40}));
    Firmware().AnswersMediaKeys = false;
    ClearLog();
    Click("btnHID2");
    std::size_t polls = 0;
    for (const auto& entry : Log()) {
        polls += entry.Setup.bRequest == 0x91 && entry.Setup.wIndex == 0x90;
    }
    EXPECT_EQ(polls, 10u);
}

class BinFileTest : public DevicePagesTest {
protected:
    BinFileTest() {
        Form.Dialog.OpenFile = [this](const QString&, const QString&) { return OpenPath; };
        Form.Dialog.SaveFile = [this](const QString&, const QString&) { return SavePath; };
    }
    void Open(const std::string& name, const std::string& content) {
        OpenPath = QString::fromStdString(Directory.Write(name, content).string());
        Click("CurrentFileBitBtn");
    }
    static std::string WithMarker(std::size_t size, std::size_t at, const std::string& marker) {
        std::string image(size, '\x5A');
        image.replace(at, marker.size(), marker);
        return image;
    }
    BinFilePage& Page() { return *Find<BinFilePage>("BinFile"); }

    QString OpenPath;
    QString SavePath;
};

TEST_F(BinFileTest, MarkerFoundEnablesTheSettingsAndNewFile) {
    Open("a.bin", WithMarker(0x2000, 0x1234, "KXUSB_Table01"));
    EXPECT_EQ(Text("lblStatusReport"), "Load file ready");
    EXPECT_EQ(Page().TableMarkerOffset(), 0x1234u);
    EXPECT_EQ(Text("lblCurrentFilePath"), OpenPath);
    EXPECT_TRUE(Find("GroupBox9")->isEnabled());
    EXPECT_TRUE(Find("btnSaveBitBin")->isEnabled());
    EXPECT_EQ(Images.ImageLength, 0x2000u);  // the flash image is the file's now

    Click("btnCheck");
    EXPECT_EQ(Page().TableMarkerOffset(), 0x1234u);

    SavePath = QString::fromStdString((Directory.Path / "new.bin").string());
    EXPECT_FALSE(Find("btnSaveBin")->isEnabled());
    Click("btnSaveBitBin");
    EXPECT_EQ(Text("lblSaveBinPath"), SavePath);
    EXPECT_TRUE(Find("btnSaveBin")->isEnabled());
    Click("btnSaveBin");
    EXPECT_EQ(Images.ModifyBuffer[0], BuiltInImage()[0]);
    EXPECT_FALSE(std::filesystem::exists(Directory.Path / "new.bin"));
}

TEST_F(BinFileTest, FilesWithoutAMarkerOrThatCannotLoadAreInvalid) {
    const std::pair<const char*, std::string> files[] = {
        {"short.bin", WithMarker(0x400, 0x10, "KXUSB_TabX")},
        {"big.bin", WithMarker(ImageSize + 1, 0x10, "KXUSB_Table01")},
        {"bad.hex", ":0100000001FF\n"},
        {"a.txt", WithMarker(0x400, 0x10, "KXUSB_Table01")},
    };
    Open("good.bin", WithMarker(0x400, 0x20, "KXUSB_Table01"));
    for (const auto& [name, content] : files) {
        SCOPED_TRACE(name);
        Images.ModifyBuffer[0x20] = 0x42;
        Open(name, content);
        EXPECT_EQ(Text("lblStatusReport"), "Load file is invalid for modify");
        if (std::string_view(name) != "short.bin") {
            EXPECT_EQ(Images.ModifyBuffer[0x20], 0x42);  // nothing copied
            EXPECT_EQ(Page().ModifyLength(), 0x400u);
        }
    }
}

}  // namespace
}  // namespace zarn
