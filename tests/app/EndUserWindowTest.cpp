// The end-user window during and around an update: progress, a window that stays alive while
// the run goes on on its own thread, no unsafe close, texts that fit, and why a file is refused.

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "app/TForm1.h"
#include "support/ProductWindow.h"
#include "support/QtPrinters.h"

namespace zarn {
namespace {

constexpr std::uint32_t ImageLength = 0x2000;

class EndUserWindowTest : public ::testing::Test, public fakes::ProductWindow {
protected:
    explicit EndUserWindowTest(int logicalDpi = 96)
        : ProductWindow(false, FlashModels::W25Q40, logicalDpi) {
        Directory.Write("Zarn_Brax.hex", fakes::FirmwareHex(ImageLength));
        Form.Dialog.Ask = [](const QString&, const QString&) { return true; };
        Form.Timer1Timer();
        ClearLog();
    }

    QLabel* StatusLine() { return Find<QLabel>("lblISPProcStatus"); }
    QColor Lamp() { return Find<QFrame>("pnlUSBExist")->palette().color(QPalette::Window); }
    void Start() { Find<QPushButton>("btnSimpleAuto")->click(); }
};

TEST_F(EndUserWindowTest, ProgressRisesToTheEndAndTheBarGoesAway) {
    auto* bar = Find<QProgressBar>("pbrUpdateProgress");
    EXPECT_FALSE(bar->isVisible());
    std::vector<int> values;
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) { values.push_back(value); });
    Start();
    EXPECT_TRUE(bar->isVisible());
    auto* start = Find<QPushButton>("btnSimpleAuto");
    EXPECT_EQ(start->text(), "Stop");
    EXPECT_FALSE(start->isEnabled());  // stopping mid-write would leave no firmware
    WaitForRun();

    EXPECT_EQ(StatusLine()->text(), "Firmware update success!");
    EXPECT_FALSE(bar->isVisible());
    ASSERT_GE(values.size(), 3u);
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_EQ(values.back(), 100);
    EXPECT_GT(values[values.size() / 2], 10);  // it moved during the run, not only at its end
}

TEST_F(EndUserWindowTest, ADeviceThatStopsAnsweringLeavesTheWindowAliveAndIsSaid) {
    // Unplugged in the middle of the blank check.
    Device.Usb()->FailRequestsWhere(
        [this](const SetupPacket& setup, std::span<const std::uint8_t> data, std::size_t) {
            if (setup.bRequest == 0x81 && data.size() == 4 && data[0] == 0x03 && data[2] == 0x08) {
                Device.Usb()->Unplug();
                return true;
            }
            return false;
        });
    int ticks = 0;
    QTimer heartbeat;
    QObject::connect(&heartbeat, &QTimer::timeout, [&] { ++ticks; });
    heartbeat.start(0);
    Start();
    WaitForRun();
    EXPECT_GT(ticks, 10);  // the window kept processing events all along
    EXPECT_TRUE(StatusLine()->text().startsWith("Firmware update fail! Blanking Fail at 0x"));
    EXPECT_TRUE(StatusLine()->text().endsWith(" (device not responding)"));
    EXPECT_EQ(Lamp(), QColor(255, 0, 0));
    EXPECT_EQ(Find<QPushButton>("btnSimpleAuto")->text(), "Finish");
}

TEST_F(EndUserWindowTest, ClosingDuringARunIsRefused) {
    Start();
    EXPECT_FALSE(Form.close());
    EXPECT_EQ(Messages, QStringList{"Dialog: " + QString::fromLatin1(TForm1::CloseRefusedText)});
    EXPECT_TRUE(Form.isVisible());
    WaitForRun();
    EXPECT_TRUE(Form.close());
}

class FailureTextTest : public EndUserWindowTest, public ::testing::WithParamInterface<int> {
protected:
    FailureTextTest() : EndUserWindowTest(GetParam()) {}
};

// The longest failure: verify fails because the device went away in the middle of it.
TEST_P(FailureTextTest, TheWholeTextFitsTheWindow) {
    bool programmed = false;
    bool gone = false;
    Device.Usb()->FailRequestsWhere(
        [&](const SetupPacket& setup, std::span<const std::uint8_t> data, std::size_t) {
            programmed |= setup.bRequest == 0x80 && !data.empty() && data[0] == 0x02;
            gone |= programmed && setup.bRequest == 0x81 && data.size() == 4 && data[0] == 0x03 &&
                    ((data[1] << 16) | (data[2] << 8) | data[3]) >= 0x1200;
            return gone;
        });
    Start();
    WaitForRun();
    QLabel* line = StatusLine();
    EXPECT_EQ(line->text(),
              "Firmware update fail! Verifying Fail at 0x001200 (device not responding)");
    EXPECT_GE(line->height(), line->heightForWidth(line->width()));
    EXPECT_TRUE(Form.rect().contains(line->geometry()));
    EXPECT_TRUE(Form.grab().save(QStringLiteral("failure-%1dpi.png").arg(GetParam())));
}

INSTANTIATE_TEST_SUITE_P(Dpi, FailureTextTest, ::testing::Values(96, 120));

TEST_F(EndUserWindowTest, ARefusedFileSaysWhyOnTheProcessLineUntilAGoodOneLoads) {
    Device.Usb()->Unplug();
    Form.Timer1Timer();  // the device is gone: the file is looked for again when it is back
    Directory.Write("Zarn_Brax.hex", ":0100000001FF\n:00000001FF\n");
    Device.Replug();
    for (int tick = 0; tick < 40 && StatusLine()->text().isEmpty(); ++tick) {
        Form.Timer1Timer();
    }
    EXPECT_EQ(StatusLine()->text(), "Zarn_Brax.hex: line 1: checksum is 0xFF, should be 0xFE");
    EXPECT_EQ(StatusLine()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_TRUE(Form.grab().save(QStringLiteral("refused-file.png")));

    Directory.Write("Zarn_Brax.hex", fakes::FirmwareHex(0x100));
    Form.Timer1Timer();
    EXPECT_EQ(StatusLine()->text(), "");
    EXPECT_TRUE(Find<QPushButton>("btnSimpleAuto")->isEnabled());
}

TEST_F(EndUserWindowTest, AMissingFileNamesItselfAndTheFoldersSearched) {
    fakes::TemporaryDirectory other;
    KeldrixUsb usb{Layer};
    ImageStore images;
    TForm1 form(usb, images, {96, [this] { return Directory.Path; }, false, {other.Path}});
    std::filesystem::remove(Directory.Path / "Zarn_Brax.hex");
    form.Timer1Timer();
    auto* file = form.findChild<QLabel*>("lblUpdaeFileStatus");
    EXPECT_EQ(file->text(), "No Updated File !");
    EXPECT_EQ(
        file->toolTip().toStdString(),
        "Zarn_Brax.hex was looked for in " + Directory.Path.string() + ", " + other.Path.string());
    // The next folder in the list is used when the current one has no file.
    other.Write("Zarn_Brax.hex", fakes::FirmwareHex(0x100));
    form.Timer1Timer();
    EXPECT_EQ(file->text(), "Update Hex file   Zarn_Brax.hex    is Ready!");
    EXPECT_EQ(images.FirmwareFilePath, (other.Path / "Zarn_Brax.hex").string());
}

TEST(WindowProgram, HelpAndVersionNeedNoDisplayAndNoDisplayIsSaid) {
    QProcess program;
    program.start(QStringLiteral(ZARN_UPDATE_PROGRAM), {QStringLiteral("--version")});
    ASSERT_TRUE(program.waitForFinished());
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(program.readAllStandardOutput().trimmed(), "zarn-update 1.1");

    QProcessEnvironment bare = QProcessEnvironment::systemEnvironment();
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        bare.remove(QString::fromLatin1(variable));
    }
    program.setProcessEnvironment(bare);
    program.start(QStringLiteral(ZARN_UPDATE_PROGRAM), {QStringLiteral("--help")});
    ASSERT_TRUE(program.waitForFinished());
    EXPECT_EQ(program.exitCode(), 0);
    const QString help = QString::fromUtf8(program.readAllStandardOutput());
    for (const char* option : {"--engineering", "--firmware-dir <dir>", "--version"}) {
        EXPECT_TRUE(help.contains(QString::fromLatin1(option))) << option;
    }
    program.start(QStringLiteral(ZARN_UPDATE_PROGRAM), {});
    ASSERT_TRUE(program.waitForFinished());
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1);
    const QString error = QString::fromUtf8(program.readAllStandardError()).trimmed();
    EXPECT_TRUE(error.startsWith("zarn-update: no display")) << error.toStdString();
    EXPECT_EQ(error.count('\n'), 0);
}

}  // namespace
}  // namespace zarn
