#pragma once
// A page that shows a RegisterMap as a 16 x 16 grid of hexadecimal bytes, with a read button
// ("Stop" while reading), the selected register's number and value, and its eight bit boxes.
// The "Register" and "I2C Access" tabs are the same page with other object names and rules.

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <array>

#include "app/Dialogs.h"
#include "engineering/RegisterMap.h"
#include "pages/StringGrid.h"

// The object names and the idle caption of one register-map page.
struct RegisterMapNames {
    const char* ReadButton;
    const char* IdleCaption;
    const char* Grid;
    const char* AddressLabel;
    const char* DataLabel;
    const char* BitPrefix;  // + 0 to 7
    const char* BitsLabel;
};

class RegisterMapPage : public QWidget {
    Q_OBJECT

public:
    RegisterMapPage(const RegisterMapNames& names, QWidget* parent);

    void Attach(zarn::KeldrixUsb& usb, zarn::RegisterMap& map, Dialogs& dialog);
    StringGrid& Grid() { return *RegisterGrid; }
    bool IsReading() const { return Reading; }
    // Ends a read in progress before its next register.
    void StopReading();

    void ReadClick();
    void SelectCell(int column, int row);
    void KeyDown(int key);
    void BitMouseUp();

signals:
    // A read of all registers starts or ends; while it lasts nothing else may use the device.
    void BusyChanged(bool busy);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Controls a subclass adds above the grid (the I2C page's address box).
    QHBoxLayout& TopRow() { return *Top; }
    Dialogs& Messages() { return *Dialog; }

private:
    void ShowValue(int column, int row, std::optional<std::uint8_t> value);
    void ShowLabels(std::uint8_t number, std::optional<std::uint8_t> value);
    void ShowChange(const zarn::RegisterChange& change, int column, int row, bool labels);

    const RegisterMapNames Names;
    zarn::KeldrixUsb* Usb = nullptr;
    zarn::RegisterMap* Map = nullptr;
    Dialogs* Dialog = nullptr;
    QPushButton* ReadButton;
    StringGrid* RegisterGrid;
    QLabel* AddressLabel;
    QLabel* DataLabel;
    std::array<QCheckBox*, 8> Bits{};
    QHBoxLayout* Top;
    bool Reading = false;  // the button's running flag
    int HighlightedRow = 1;
};

// The "Register" tab: the chip's selected register bank.
class RegisterBankPage : public RegisterMapPage {
    Q_OBJECT

public:
    explicit RegisterBankPage(QWidget* parent = nullptr);
    void btnReadAllClick() { ReadClick(); }
    void RegStringGridSelectCell(int column, int row) { SelectCell(column, row); }
    void RegStringGridKeyDown(int key) { KeyDown(key); }
    void chkBit0MouseUp() { BitMouseUp(); }
};

// The "I2C Access" tab: a device on the I2C bus at the shared I2cSlaveAddress.
class I2cAccessPage : public RegisterMapPage {
    Q_OBJECT

public:
    explicit I2cAccessPage(QWidget* parent = nullptr);
    void AttachAddress(std::uint8_t& address) { SlaveAddress = &address; }
    void btnReadMI2CClick() { ReadClick(); }
    void StringGridMIICSelectCell(int column, int row) { SelectCell(column, row); }
    void StringGridMIICKeyDown(int key) { KeyDown(key); }
    void chkMI2CBitMouseUp() { BitMouseUp(); }
    // Enter in the address box: its hexadecimal text's low byte becomes the address.
    void edtMI2CAddrKeyDown();
    // The address was set elsewhere (the special I2C access): the box shows it.
    void ShowAddress(std::uint8_t address);

private:
    std::uint8_t* SlaveAddress = nullptr;
    QLineEdit* AddressBox;
};
