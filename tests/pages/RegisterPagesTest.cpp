// The "Register" and "I2C Access" pages and the special I2C access in the engineering window,
// driven by their controls against the virtual chip and its codec at bus address 0x20.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "app/TForm1.h"
#include "chip/I2cMaster.h"
#include "pages/StringGrid.h"
#include "sim/VirtualChipDevice.h"
#include "sim/VirtualDeviceLayer.h"
#include "support/HexText.h"
#include "support/ProductWindow.h"
#include "support/QtPrinters.h"

namespace zarn {
namespace {

class RegisterPagesTest : public ::testing::Test, public fakes::ProductWindow {
protected:
    RegisterPagesTest() : ProductWindow(true) {
        Form.Timer1Timer();
        Codec = static_cast<RegisterI2cDevice*>(Device.Chip().Bus().Find(0x20 >> 1));
        ClearLog();
    }

    QString Text(const char* name) { return Find<QLabel>(name)->text(); }
    void ShowPage(const char* name) {
        Find<QTabWidget>("MainPageControl")->setCurrentWidget(Find(name));
    }
    StringGrid& Grid(const char* name) { return *Find<StringGrid>(name); }
    // Puts text into a cell and presses a key on the grid with that cell current.
    void Key(const char* grid, int column, int row, const QString& text, Qt::Key key) {
        Grid(grid).setCurrentCell(row, column);
        Grid(grid).SetCell(column, row, text);
        QTest::keyClick(&Grid(grid), key);
    }
    std::size_t Count(std::uint8_t bRequest) const {
        std::size_t count = 0;
        for (const auto& entry : Device.Usb()->RequestLog()) {
            count += entry.Setup.bRequest == bRequest;
        }
        return count;
    }

    RegisterI2cDevice* Codec = nullptr;
};

TEST_F(RegisterPagesTest, SelectingACellReadsItsRegisterAndHighlightsItsHeaders) {
    ShowPage("TabSheet1");
    Grid("RegStringGrid1").setCurrentCell(16, 16);
    EXPECT_EQ(Text("lblRegAddr"), "Reg 0xFF");
    Grid("RegStringGrid1").setCurrentCell(1, 1);  // the bank select register
    EXPECT_EQ(Text("lblRegAddr"), "Reg 0x00");
    const QString bank =
        QStringLiteral("%1").arg(Device.Chip().SelectedBank(), 2, 16, QLatin1Char('0')).toUpper();
    EXPECT_EQ(Text("lblRegData"), "= 0x" + bank);
    EXPECT_EQ(Grid("RegStringGrid1").Cell(1, 1), bank);
    const QColor silver(0xC0, 0xC0, 0xC0);
    EXPECT_EQ(Grid("RegStringGrid1").item(1, 0)->background().color(), silver);
    EXPECT_EQ(Grid("RegStringGrid1").item(0, 1)->background().color(), silver);
    EXPECT_NE(Grid("RegStringGrid1").item(16, 0)->background().color(), silver);
    EXPECT_NE(Grid("RegStringGrid1").item(0, 16)->background().color(), silver);
}

TEST_F(RegisterPagesTest, WritingTheBankRegisterSwitchesTheBankThatReadBankShows) {
    ShowPage("TabSheet1");
    Key("RegStringGrid1", 1, 1, "0E", Qt::Key_Return);
    EXPECT_EQ(Device.Chip().SelectedBank(), 14);
    Device.Usb()->ClearRequestLog();
    Find<QPushButton>("btnReadAll")->click();
    EXPECT_EQ(Grid("RegStringGrid1").Cell(1, 1), "0E");
    const QString config = QStringLiteral("%1")
                               .arg(Device.Chip().Register(14, 0x11), 2, 16, QLatin1Char('0'))
                               .toUpper();
    EXPECT_EQ(Grid("RegStringGrid1").Cell(2, 2), config);
    EXPECT_EQ(Find<QPushButton>("btnReadAll")->text(), "Read Bank");
    EXPECT_EQ(Count(0x91), 256u);
}

TEST_F(RegisterPagesTest, KeysAndBitBoxesOnBothPages) {
    struct Case {
        const char* Page;
        const char* Grid;
        const char* BitPrefix;
    };
    for (const Case& c : {Case{"TabSheet1", "RegStringGrid1", "chkBit"},
                          Case{"PageMI2CCtrl", "StringGridMIIC", "chkMI2CBit"}}) {
        SCOPED_TRACE(c.Page);
        ShowPage(c.Page);
        const int column = 3, row = 5;  // register 0x42
        Key(c.Grid, column, row, "1FF", Qt::Key_Return);
        EXPECT_EQ(Grid(c.Grid).Cell(column, row), "FF");
        Device.Usb()->ClearRequestLog();
        Key(c.Grid, column, row, "FF", Qt::Key_Insert);  // at 0xFF: nothing
        Key(c.Grid, column, row, "00", Qt::Key_A);       // other keys: nothing
        EXPECT_EQ(Count(0x90), 0u);
        for (int bit = 0; bit < 8; ++bit) {
            Find<QCheckBox>((c.BitPrefix + std::to_string(bit)).c_str())->setChecked(bit == 7);
        }
        Find<QCheckBox>((std::string(c.BitPrefix) + "7").c_str())->click();  // unticks it
        Find<QCheckBox>((std::string(c.BitPrefix) + "7").c_str())->click();  // ticks it again
        EXPECT_EQ(Grid(c.Grid).Cell(column, row), "80");
    }
    EXPECT_EQ(Codec->Registers[0x42], 0x80);
    EXPECT_EQ(Text("lblMI2CRegData"), "= 0x80");
    EXPECT_EQ(Text("lblMI2CRegAddr"), "Reg 0x42");
}

TEST_F(RegisterPagesTest, StopLeavesTheCellsNotYetReadAsTheyWere) {
    ShowPage("PageMI2CCtrl");
    Grid("StringGridMIIC").SetCell(16, 16, "zz");
    int registersRead = 0;
    QTimer::singleShot(0, &Form, [&] {
        registersRead = static_cast<int>(Count(0x91));
        EXPECT_EQ(Find<QPushButton>("btnReadMI2C")->text(), "Stop");
        EXPECT_FALSE(Find<QTabWidget>("MainPageControl")->tabBar()->isEnabled());
        Find<QPushButton>("btnReadMI2C")->click();
    });
    Find<QPushButton>("btnReadMI2C")->click();
    EXPECT_GT(registersRead, 0);
    EXPECT_EQ(Find<QPushButton>("btnReadMI2C")->text(), "Read");
    EXPECT_EQ(Grid("StringGridMIIC").Cell(1, 1), "00");
    EXPECT_EQ(Grid("StringGridMIIC").Cell(16, 16), "zz");
    EXPECT_TRUE(Find<QTabWidget>("MainPageControl")->tabBar()->isEnabled());
}

TEST_F(RegisterPagesTest, TheI2cAddressBoxAndTheMasterSetUpOnEveryVisit) {
    ShowPage("PageMI2CCtrl");
    ShowPage("TabSheet1");
    ShowPage("PageMI2CCtrl");
    std::size_t setUps = 0;
    for (const auto& entry : Device.Usb()->RequestLog()) {
        setUps += entry.Setup.bRequest == 0x90 && entry.Setup.wIndex == I2cConfigRegister &&
                  entry.Data.at(0) == 0x04;
    }
    EXPECT_EQ(setUps, 2u);

    auto* box = Find<QLineEdit>("edtMI2CAddr");
    EXPECT_EQ(box->text(), "20");
    const std::pair<const char*, const char*> typed[] = {{"1a", "1A"}, {"120", "20"}};
    for (const auto& [text, shown] : typed) {
        box->setText(text);
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_EQ(box->text(), shown);
    }
    box->setText("x1");
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(Messages, QStringList{"Dialog: 'x1' is not a valid hexadecimal number"});

    // Nobody answers at 0x44: the cells say so instead of showing an old byte.
    box->setText("44");
    QTest::keyClick(box, Qt::Key_Return);
    Find<QPushButton>("btnReadMI2C")->click();
    EXPECT_EQ(Grid("StringGridMIIC").Cell(1, 1), "--");
    Grid("StringGridMIIC").setCurrentCell(1, 1);
    EXPECT_EQ(Text("lblMI2CRegData"), "= 0x--");
}

TEST_F(RegisterPagesTest, SpecialI2cAccess) {
    ShowPage("PageMI2CCtrl");  // sets the master up
    ShowPage("Information");
    EXPECT_EQ(Find<QLineEdit>("edtMI2CAddr1")->text(), "60");
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Find(("edtI2Ccmd" + std::to_string(i)).c_str())->isEnabled(), i == 0);
    }
    Find<QScrollBar>("srblen0")->setValue(3);
    EXPECT_EQ(Text("lbllencmd"), "3");
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Find(("edtI2Ccmd" + std::to_string(i)).c_str())->isEnabled(), i < 3);
    }
    Find<QScrollBar>("srblen0")->setValue(1);

    Device.Chip().ClearI2cBusTrace();
    Find<QLineEdit>("edtI2Ccmd0")->setText("5A");
    Find<QLineEdit>("edtI2Cdat0")->setText("07");
    Find<QPushButton>("btnWriteSpecI2C")->click();
    EXPECT_EQ(Device.Chip().I2cBusTrace(),
              (std::vector<std::string>{"S", "A:20", "W:5A", "W:07", "P"}));

    Codec->Registers[0x5A] = 0x12;
    Codec->Registers[0x5B] = 0x34;
    Find<QScrollBar>("srblen1")->setValue(2);
    for (int i = 2; i < 5; ++i) {
        Find<QLineEdit>(("edtI2Cdat" + std::to_string(i)).c_str())->setText("EE");
    }
    Find<QPushButton>("btnReadSpecI2C")->click();
    const char* expected[] = {"12", "34", "EE", "EE", "EE"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Find<QLineEdit>(("edtI2Cdat" + std::to_string(i)).c_str())->text(), expected[i]);
    }

    auto* address = Find<QLineEdit>("edtMI2CAddr1");
    address->setText("6");
    QTest::keyClick(address, Qt::Key_Return);
    EXPECT_EQ(address->text(), "6");
    EXPECT_EQ(Find<QLineEdit>("edtMI2CAddr")->text(), "06");
    Find<QPushButton>("btnReadSpecI2C")->click();  // nobody at 0x06
    EXPECT_EQ(Find<QLineEdit>("edtI2Cdat0")->text(), "--");
    EXPECT_EQ(Find<QLineEdit>("edtI2Cdat1")->text(), "--");
}

TEST_F(RegisterPagesTest, EngineeringPagesFitTheirTabsAt96And120Dpi) {
    for (const int dpi : {96, 120}) {
        TForm1 form(UsbDevice, Images, {dpi, [this] { return Directory.Path; }, true});
        form.show();
        auto* pages = form.findChild<QTabWidget*>("MainPageControl");
        for (const char* name :
             {"TabSheet1", "PageMI2CCtrl", "Parameter", "Information", "BinFile"}) {
            pages->setCurrentWidget(form.findChild<QWidget*>(name));
            for (QWidget* control : pages->currentWidget()->findChildren<QWidget*>()) {
                if (control->isVisible() && control->parentWidget()) {
                    EXPECT_TRUE(control->parentWidget()->rect().contains(control->geometry()))
                        << name << " " << control->objectName().toStdString();
                }
            }
            EXPECT_TRUE(form.grab().save(QStringLiteral("%1-%2dpi.png").arg(name).arg(dpi)));
        }
    }
}

}  // namespace
}  // namespace zarn
