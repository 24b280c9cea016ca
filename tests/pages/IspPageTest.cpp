// The ISP page in the engineering window, driven by its controls against the virtual chip.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>

#include "app/TForm1.h"
#include "chip/ChipRegisters.h"
#include "pages/IspPage.h"
#include "pages/LabeledEdit.h"
#include "sim/VirtualChipDevice.h"
#include "sim/VirtualDeviceLayer.h"
#include "support/HexText.h"
#include "support/ProductWindow.h"
#include "support/QtPrinters.h"
#include "support/RequestLogQueries.h"

namespace zarn {
namespace {

constexpr std::uint32_t ImageLength = 0x800;

// The text a control shows: a button's or label's caption, an edit's text, a group's title.
QString TextOf(QWidget* control) {
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        return button->text();
    }
    if (auto* label = qobject_cast<QLabel*>(control)) {
        return label->text();
    }
    if (auto* edit = qobject_cast<LabeledEdit*>(control)) {
        return edit->labelText() + "|" + edit->text();
    }
    if (auto* group = qobject_cast<QGroupBox*>(control)) {
        return group->title();
    }
    return {};
}

// The engineering window with a found "Zarn Brax" whose firmware file is loaded.
class IspPageTest : public ::testing::Test, public fakes::ProductWindow {
protected:
    explicit IspPageTest(const FlashPart& flash = FlashModels::W25Q40)
        : ProductWindow(true, flash) {
        Directory.Write("Zarn_Brax.hex", fakes::FirmwareHex(ImageLength));
        Form.Dialog.SaveFile = [this](const QString&, const QString&) { return SaveTo; };
        Find<QTabWidget>("MainPageControl")->setCurrentWidget(Find("PageISPCtrl"));
        Form.Timer1Timer();
        ClearLog();
    }

    // Clicks and lets a flash procedure the click started run to its end.
    void Click(const char* name) {
        Find<QAbstractButton>(name)->click();
        WaitForRun();
    }
    void TypeAndEnter(const char* name, const QString& text) {
        QLineEdit* edit = Find<LabeledEdit>(name)->lineEdit();
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    // Ticks exactly the named option boxes of "Auto".
    void TickOnly(const std::vector<std::string>& names) {
        for (const char* box : {"chkISPMode", "chkProtect", "chkReadFile", "chkErase", "chkBlank",
                                "chkProgram", "chkVerify"}) {
            Find<QCheckBox>(box)->setChecked(std::find(names.begin(), names.end(), box) !=
                                             names.end());
        }
    }
    void AssignRange(const QString& startKiB, const QString& sizeKiB) {
        Click("rbnRange1");
        Find<LabeledEdit>("lbledISPStart")->setText(startKiB);
        Find<LabeledEdit>("lbledISPRange")->setText(sizeKiB);
        Click("rbnRange1");
    }

    QString ProcessInfo() { return Find<QLabel>("lblUSBProcessInfo")->text(); }
    std::size_t Count(std::uint8_t bRequest, int opcode = -1) const {
        return fakes::CountRequests(Log(), bRequest, opcode);
    }
    // The 24-bit addresses of the commands that begin with the opcode.
    std::vector<std::uint32_t> Addresses(std::uint8_t bRequest, std::uint8_t opcode) const {
        std::vector<std::uint32_t> addresses;
        for (const auto& entry : Log()) {
            if (entry.Setup.bRequest == bRequest && entry.Data.size() >= 4 &&
                entry.Data[0] == opcode) {
                addresses.push_back((entry.Data[1] << 16) | (entry.Data[2] << 8) | entry.Data[3]);
            }
        }
        return addresses;
    }
    bool FlashHoldsTheImageAt(std::uint32_t address) {
        const auto flash = Device.Chip().Flash().Array();
        for (std::uint32_t i = 0; i < ImageLength; ++i) {
            if (flash[address + i] != fakes::FirmwareByte(i)) {
                return false;
            }
        }
        return true;
    }

    QString SaveTo;
};

struct ControlCase {
    const char* Name;
    const char* Text;
    int Checked;  // -1: not a check box or radio button
    bool Enabled;
};

TEST_F(IspPageTest, StartUpStateOfEveryControl) {
    const ControlCase cases[] = {
        {"btnUSBISPAuto", "Auto", -1, true},
        {"lblUSBProcessInfo", "Status:", -1, true},
        {"lblUSBISPStatusReg", "Status Register: 0x00", -1, true},
        {"lblUSBISPProcess", "Process Addr: 0x000000", -1, true},
        {"USBLoadFileBitBtn", "File", -1, true},
        {"chkISPMode", "ISP Mode", 1, true},
        {"chkProtect", "Flash Protect", 0, true},
        {"chkReadFile", "Reload File", 1, true},
        {"chkErase", "Erase", 1, true},
        {"chkBlank", "Blank", 1, true},
        {"chkProgram", "Program", 1, true},
        {"chkVerify", "Verify", 1, true},
        {"gbxISPRange", "Flash Access Range", -1, true},
        {"rbnRange0", "All", 1, true},
        {"rbnRange1", "Assign Range", 0, true},
        {"lbledISPStart", "Start Addr:|64", -1, false},
        {"Label20", "KB", -1, false},
        {"lbledISPRange", "Size: |64", -1, false},
        {"Label21", "KB", -1, false},
        {"GroupBox1", "Function Test", -1, true},
        {"btnUSBChipID", "Chip ID", -1, true},
        {"lblUSBChipID", "0x00", -1, true},
        {"btnEnterISP", "Enter ISP", -1, true},
        {"btnUSBErase", "Erase", -1, true},
        {"btnUSBBlank", "Blank Check", -1, true},
        {"btnUSBProgram", "Program", -1, true},
        {"btnUSBVerify", "Verify", -1, true},
        {"btnUSBReadStatus", "Read Status", -1, true},
        {"lblUSBStatus", "0x00", -1, true},
        {"lbledtUSBWriteStatus", "Write Status : 0x|", -1, true},
        {"btnUSBWriteEnable", "Write Enable", -1, true},
        {"btnUSBWriteDisable", "Write Disable", -1, true},
        {"btnReadBack", "Read Flash", -1, true},
        {"Button1", " Save", -1, true},
        {"gbxFlashCMD", "Flash Instruction", -1, true},
        {"lbledIspCmdRDID", "Chip ID:|9F", -1, true},
        {"lbledIspCmdWREN", "Write Enable:|06", -1, true},
        {"lbledIspCmdWRDS", "Write Disable:|04", -1, true},
        {"lbledIspCmdRDSD", "Read Status:|05", -1, true},
        {"lbledIspCmdWRSD", "Write Status: |01", -1, true},
        {"lbledIspCmdERAL", "Erase All:|C7", -1, true},
        {"lbledIspCmdPP", "Page Program: |02", -1, true},
        {"lbledIspCmdRead", "Read:|03", -1, true},
    };
    // The end-user window holds the same page with its engineering controls hidden.
    TForm1 endUser(UsbDevice, Images, {96, [this] { return Directory.Path; }});
    const std::set<std::string> hiddenForEndUsers = {
        "gbxISPRange", "chkISPMode", "chkProtect", "chkReadFile",       "chkErase",      "chkBlank",
        "chkProgram",  "chkVerify",  "GroupBox1",  "USBLoadFileBitBtn", "cbxReadISPFile"};
    auto* endUserPage = endUser.findChild<QWidget*>("PageISPCtrl");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QWidget* control = Find(c.Name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(TextOf(control), QString::fromLatin1(c.Text));
        EXPECT_EQ(control->isEnabled(), c.Enabled);
        if (c.Checked >= 0) {
            EXPECT_EQ(qobject_cast<QAbstractButton*>(control)->isChecked(), c.Checked == 1);
        }
        EXPECT_TRUE(control->isVisibleTo(Find("PageISPCtrl")));
        bool shownToEndUsers = true;
        for (QWidget* at = endUser.findChild<QWidget*>(c.Name); at != endUserPage;
             at = at->parentWidget()) {
            shownToEndUsers &= !hiddenForEndUsers.contains(at->objectName().toStdString());
        }
        EXPECT_EQ(endUser.findChild<QWidget*>(c.Name)->isVisibleTo(endUserPage), shownToEndUsers);
    }
}

TEST_F(IspPageTest, EngineeringStartShowsSixPagesWithNothingCutOff) {
    for (const int dpi : {96, 120}) {
        SCOPED_TRACE(dpi);
        TForm1 form(UsbDevice, Images, {dpi, [this] { return Directory.Path; }, true});
        form.show();
        auto* pages = form.findChild<QTabWidget*>("MainPageControl");
        ASSERT_TRUE(pages->isVisible());
        for (int index = 0; index < pages->count(); ++index) {
            EXPECT_TRUE(pages->isTabVisible(index)) << index;
        }
        EXPECT_TRUE(form.rect().contains(pages->geometry()));
        pages->setCurrentWidget(form.findChild<QWidget*>("PageISPCtrl"));
        for (QWidget* control : form.findChild<QWidget*>("PageISPCtrl")->findChildren<QWidget*>()) {
            if (control->isVisible() && control->parentWidget()) {
                EXPECT_TRUE(control->parentWidget()->rect().contains(control->geometry()))
                    << control->objectName().toStdString();
                EXPECT_GE(control->width(), control->minimumSizeHint().width())
                    << control->objectName().toStdString();
            }
        }
        EXPECT_TRUE(form.grab().save(QStringLiteral("IspPage-%1dpi.png").arg(dpi)));
    }
}

TEST_F(IspPageTest, RangeButtonsSwitchTheEditsAndAnAssignedRangePlacesTheImage) {
    Click("rbnRange1");
    for (const char* name : {"lbledISPStart", "lbledISPRange", "Label20", "Label21"}) {
        EXPECT_TRUE(Find(name)->isEnabled()) << name;
    }
    // 64 KiB at 64 KiB: sixteen sectors erased from 0x10000, the image's byte 0 at 0x10000.
    Click("btnUSBISPAuto");
    EXPECT_EQ(ProcessInfo(), "Verifying Success");
    std::vector<std::uint32_t> sectors;
    for (std::uint32_t sector = 0x10000; sector < 0x20000; sector += 0x1000) {
        sectors.push_back(sector);
    }
    EXPECT_EQ(Addresses(0x80, 0x20), sectors);
    EXPECT_EQ(Addresses(0x81, 0x03).front(), 0x10000u);
    EXPECT_TRUE(FlashHoldsTheImageAt(0x10000));

    Click("rbnRange0");
    for (const char* name : {"lbledISPStart", "lbledISPRange", "Label20", "Label21"}) {
        EXPECT_FALSE(Find(name)->isEnabled()) << name;
    }
    ClearLog();
    Click("btnUSBVerify");  // "All" puts the image at 0 again
    EXPECT_EQ(Addresses(0x81, 0x03).front(), 0x000000u);
    EXPECT_EQ(ProcessInfo(), "Verifying Fail at 0x000000");
}

TEST_F(IspPageTest, SingleCommandButtonsAndTheirTexts) {
    Click("btnUSBChipID");
    EXPECT_EQ(TextOf(Find("lblUSBChipID")), "0xEF,  0x40,  0x13,  ");
    Click("btnUSBReadStatus");
    EXPECT_EQ(TextOf(Find("lblUSBStatus")), "0x00");

    Click("btnEnterISP");
    EXPECT_EQ(TextOf(Find("btnEnterISP")), "Exit ISP");
    EXPECT_TRUE(Device.Chip().IsIspMode());
    Click("btnEnterISP");
    EXPECT_EQ(TextOf(Find("btnEnterISP")), "Enter ISP");
    EXPECT_FALSE(Device.Chip().IsIspMode());
    EXPECT_EQ(Count(0x84), 1u);
    EXPECT_EQ(Count(0x85), 1u);

    // The write-status edit: Enter sends the low eight bits of its hexadecimal text.
    const std::pair<const char*, int> statuses[] = {{"9c", 0x9C}, {"1FF", 0xFF}, {"0x0c", 0x0C}};
    for (const auto& [text, value] : statuses) {
        TypeAndEnter("lbledtUSBWriteStatus", text);
        EXPECT_EQ(fakes::LastStatusWritten(Log()), value) << text;
    }
    ClearLog();
    QTest::keyClick(Find<LabeledEdit>("lbledtUSBWriteStatus")->lineEdit(), Qt::Key_A);
    TypeAndEnter("lbledtUSBWriteStatus", "9g");
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(Messages, QStringList{"Dialog: '9g' is not a valid hexadecimal number"});

    Click("btnUSBWriteEnable");
    Click("btnUSBWriteDisable");
    EXPECT_EQ(Count(0x80, 0x06), 1u);
    EXPECT_EQ(Count(0x80, 0x04), 1u);
}

struct AutoCase {
    const char* Name;
    std::vector<std::string> Ticked;
    const char* FinalText;
    std::size_t Erases, Programs, Reads, IspSwitches;
    bool Protected;
};

void PrintTo(const AutoCase& c, std::ostream* out) {
    *out << c.Name;
}

class AutoOptionsTest : public IspPageTest, public ::testing::WithParamInterface<AutoCase> {};

TEST_P(AutoOptionsTest, StepsFollowTheOptionBoxes) {
    const AutoCase& c = GetParam();
    TickOnly(c.Ticked);
    Click("btnUSBISPAuto");
    EXPECT_EQ(ProcessInfo(), c.FinalText);
    EXPECT_EQ(Count(0x80, 0xC7), c.Erases);
    EXPECT_EQ(Count(0x80, 0x02), c.Programs);
    EXPECT_EQ(Count(0x81, 0x03), c.Reads);
    EXPECT_EQ(Count(0x84) + Count(0x85), c.IspSwitches);
    const std::uint8_t protectBits = Device.Chip().Flash().Status() & FlashProtectBits;
    EXPECT_EQ(protectBits, c.Protected ? FlashProtectBits : 0);
    EXPECT_EQ(TextOf(Find("btnUSBISPAuto")), "Auto");
    EXPECT_FALSE(Form.Monitor().State.MonitorPaused);
    // "Reload File" with an empty file box loads the product's file again, without a question.
    EXPECT_TRUE(Messages.isEmpty()) << Messages.join('\n').toStdString();
}

constexpr std::size_t Blocks = ImageLength / 64;
constexpr std::size_t Pages = ImageLength / 256;

INSTANTIATE_TEST_SUITE_P(
    Options, AutoOptionsTest,
    ::testing::Values(
        // As at start-up: no protect step, so the status stays as "Clear Status register" left it.
        AutoCase{"StartUpOptions",
                 {"chkISPMode", "chkReadFile", "chkErase", "chkBlank", "chkProgram", "chkVerify"},
                 "Verifying Success",
                 1,
                 Pages,
                 2 * Blocks,
                 2,
                 false},
        AutoCase{"WithProtect",
                 {"chkISPMode", "chkProtect", "chkErase", "chkBlank", "chkProgram", "chkVerify"},
                 "Verifying Success",
                 1,
                 Pages,
                 2 * Blocks,
                 2,
                 true},
        // The old firmware is still there: the first block fails three times.
        AutoCase{"OnlyVerify", {"chkVerify"}, "Verifying Fail at 0x000000", 0, 0, 3, 0, false},
        AutoCase{"WithoutIspMode",
                 {"chkErase", "chkBlank", "chkProgram", "chkVerify"},
                 "Verifying Success",
                 1,
                 Pages,
                 2 * Blocks,
                 0,
                 false}),
    [](const auto& info) { return info.param.Name; });

// "Auto" runs the update's checked steps: without ISP mode nothing is erased.
TEST_F(IspPageTest, AutoStopsBeforeErasingWhenIspModeCannotBeEntered) {
    Device.Usb()->FailRequestsWhere(
        [](const SetupPacket& setup, std::size_t) { return setup.bRequest == RequestEnterIsp; });
    Click("btnUSBISPAuto");
    EXPECT_EQ(ProcessInfo(), "Enter ISP Mode Fail");
    EXPECT_EQ(Count(0x80, 0xC7) + Count(0x80, 0x01) + Count(0x80, 0x02), 0u);
    EXPECT_FALSE(Device.Chip().FlashWrittenOutsideIspMode());
}

TEST_F(IspPageTest, ReadFlashDumpsTheFirst32KiBWhenAFileIsChosen) {
    SaveTo = QString::fromStdString((Directory.Path / "dump.txt").string());
    Click("btnReadBack");
    EXPECT_EQ(ProcessInfo(), "Read Flash content Success");
    EXPECT_EQ(Count(0x81, 0x03), 2 * 512u);  // every block read twice
    std::ifstream dump(SaveTo.toStdString(), std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(dump), {}};
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 2048);
    EXPECT_EQ(text.substr(0, 6), "0x00, ");  // the old firmware

    std::filesystem::remove(SaveTo.toStdString());
    SaveTo.clear();  // cancelled: nothing written
    Click("btnReadBack");
    EXPECT_FALSE(std::filesystem::exists(Directory.Path / "dump.txt"));
}

TEST_F(IspPageTest, ARunDisablesTheOtherControlsAndIgnoresAutoClicks) {
    std::vector<std::pair<std::string, bool>> seen;
    // While the run goes on on its own thread, the window is free and its controls say so.
    Find<QAbstractButton>("btnUSBISPAuto")->click();
    ASSERT_TRUE(Form.IsRunning());
    for (const char* name : {"btnUSBErase", "btnUSBChipID", "btnEnterISP", "btnReadBack",
                             "lbledtUSBWriteStatus", "Button1", "gbxISPRange"}) {
        seen.emplace_back(name, Find(name)->isEnabled());
    }
    seen.emplace_back("btnUSBISPAuto", Find("btnUSBISPAuto")->isEnabled());
    seen.emplace_back("MonitorPaused", Form.Monitor().State.MonitorPaused);
    seen.emplace_back(TextOf(Find("btnUSBISPAuto")).toStdString(), true);
    seen.emplace_back("tabs", Find<QTabWidget>("MainPageControl")->tabBar()->isEnabled());
    Find<QAbstractButton>("btnUSBISPAuto")->click();  // ignored
    Form.btnSimpleAutoClick();                        // "Start" too: the page's run has it
    WaitForRun();
    const std::vector<std::pair<std::string, bool>> expected = {{"btnUSBErase", false},
                                                                {"btnUSBChipID", false},
                                                                {"btnEnterISP", false},
                                                                {"btnReadBack", false},
                                                                {"lbledtUSBWriteStatus", false},
                                                                {"Button1", false},
                                                                {"gbxISPRange", false},
                                                                {"btnUSBISPAuto", true},
                                                                {"MonitorPaused", true},
                                                                {"Stop", true},
                                                                {"tabs", false}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(Count(0x84), 1u);
    EXPECT_EQ(Count(0x80, 0xC7), 1u);
    EXPECT_EQ(ProcessInfo(), "Verifying Success");
    EXPECT_TRUE(Find("btnUSBErase")->isEnabled());
    EXPECT_FALSE(Form.Monitor().State.MonitorPaused);

    // During the one-button update the page's buttons are off as well.
    Form.Dialog.Ask = [](const QString&, const QString&) { return true; };
    Form.btnSimpleAutoClick();
    EXPECT_FALSE(Find("btnUSBISPAuto")->isEnabled());
    WaitForRun();
    EXPECT_EQ(TextOf(Find("lblISPProcStatus")), "Firmware update success!");
    EXPECT_TRUE(Find("btnUSBISPAuto")->isEnabled());
}

TEST_F(IspPageTest, ProgramBeforeAnyRunChoosesTheModeFromTheFlashId) {
    Click("btnUSBProgram");
    EXPECT_EQ(ProcessInfo(), "Programming Success");
    ASSERT_EQ(Count(0x81, 0x9F), 1u);
    EXPECT_LT(std::find_if(Log().begin(), Log().end(),
                           [](const auto& e) { return e.Setup.bRequest == 0x81; }),
              std::find_if(Log().begin(), Log().end(), [](const auto& e) {
                  return e.Setup.bRequest == 0x80 && !e.Data.empty() && e.Data[0] == 0x02;
              }));
    EXPECT_EQ(Count(0x80, 0x02), Pages);
}

TEST_F(IspPageTest, RefusalsSendNothing) {
    Click("rbnRange1");
    Find<LabeledEdit>("lbledISPStart")->setText("6x4");
    Click("btnUSBISPAuto");
    Find<LabeledEdit>("lbledISPStart")->setText("4194303");  // fits, but not with the size
    Click("rbnRange1");
    Device.Usb()->Unplug();
    Form.Timer1Timer();
    Click("btnUSBISPAuto");
    EXPECT_EQ(Messages,
              (QStringList{"Dialog: '6x4' is not a valid decimal number",
                           "Dialog: The range 4194303 KB + 64 KB lies beyond the flash's address "
                           "space",
                           "Dialog: USB device is NOT available !!    "}));
    EXPECT_EQ(TextOf(Find("btnUSBISPAuto")), "Auto");
    EXPECT_FALSE(Form.Monitor().State.MonitorPaused);
    EXPECT_EQ(Count(0x84) + Count(0x81) + Count(0x80), 0u);
}

TEST_F(IspPageTest, FileButtonWithADamagedFileTakesTheReadyStateBack) {
    auto* lamp = Find("pnlUSBExist");
    ASSERT_EQ(lamp->palette().color(QPalette::Window), QColor(0, 255, 0));
    Directory.Write("Zarn_Brax.hex", ":0100000001FF\n");
    Click("USBLoadFileBitBtn");
    EXPECT_NE(lamp->palette().color(QPalette::Window), QColor(0, 255, 0));
    EXPECT_FALSE(Find("btnSimpleAuto")->isEnabled());
    EXPECT_FALSE(Images.FirmwareFileLoaded);
}

}  // namespace
}  // namespace zarn
