#pragma once
// The "Special I2C access" group of the Information tab: one free-form I2C transaction of up to
// five command bytes and up to five data bytes, written or read back, at the bus address shared
// with the I2C Access page.

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <array>

#include "app/Dialogs.h"
#include "transport/KeldrixUsb.h"

class SpecialI2cGroup : public QGroupBox {
    Q_OBJECT

public:
    explicit SpecialI2cGroup(QWidget* parent);
    void Attach(zarn::KeldrixUsb& usb, std::uint8_t& address, Dialogs& dialog);

    void srblen0Change(int position);
    void srblen1Change(int position);
    // Enter in the address box: its hexadecimal text's low byte becomes the shared address.
    void edtMI2CAddr1KeyDown();
    void btnWriteSpecI2CClick();
    // A failed read writes "--" into the data boxes it was to fill.
    void btnReadSpecI2CClick();

signals:
    void AddressEntered(std::uint8_t address);

private:
    using Boxes = std::array<QLineEdit*, 5>;
    static void ShowLength(QLabel& label, Boxes& boxes, int position);
    static std::vector<std::uint8_t> BoxBytes(const Boxes& boxes, int count);

    zarn::KeldrixUsb* Usb = nullptr;
    std::uint8_t* SlaveAddress = nullptr;
    Dialogs* Dialog = nullptr;
    QLineEdit* AddressBox;
    QScrollBar* CommandLength;
    QScrollBar* DataLength;
    QLabel* CommandLengthText;
    QLabel* DataLengthText;
    Boxes Command{};
    Boxes Data{};
};
