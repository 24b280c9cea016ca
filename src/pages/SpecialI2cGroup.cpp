#include "pages/SpecialI2cGroup.h"

#include <QGridLayout>
#include <QPushButton>

#include "app/NumberText.h"
#include "engineering/SpecialI2c.h"
#include "pages/Named.h"

namespace {

QScrollBar* LengthBar(const char* name, QWidget* parent) {
    auto* bar = new QScrollBar(Qt::Horizontal, parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setRange(1, zarn::SpecialI2cMaxBytes);
    bar->setPageStep(0);
    bar->setMinimumWidth(120);
    return bar;
}

}  // namespace

SpecialI2cGroup::SpecialI2cGroup(QWidget* parent)
    : QGroupBox(QStringLiteral("Special I2C access"), parent),
      AddressBox(new QLineEdit(QStringLiteral("60"), this)),
      CommandLength(LengthBar("srblen0", this)),
      DataLength(LengthBar("srblen1", this)),
      CommandLengthText(NamedLabel("lbllencmd", "1", this)),
      DataLengthText(NamedLabel("lbllendat", "1", this)) {
    setObjectName(QStringLiteral("GroupBox7"));
    AddressBox->setObjectName(QStringLiteral("edtMI2CAddr1"));
    AddressBox->setMaximumWidth(60);
    auto* grid = new QGridLayout(this);
    grid->addWidget(NamedLabel("Label16", "Slave Address: 0x", this), 0, 0);
    grid->addWidget(AddressBox, 0, 1);
    grid->addWidget(NamedLabel("Label17", "(enter)", this), 0, 2);
    grid->addWidget(NamedLabel("Label18", "Command Len.", this), 1, 0);
    grid->addWidget(CommandLength, 1, 1, 1, 3);
    grid->addWidget(CommandLengthText, 1, 4);
    grid->addWidget(NamedLabel("Label19", "Data Len.", this), 2, 0);
    grid->addWidget(DataLength, 2, 1, 1, 3);
    grid->addWidget(DataLengthText, 2, 4);
    grid->addWidget(NamedLabel("Add", "Command", this), 3, 0);
    grid->addWidget(NamedLabel("Label22", "Data", this), 4, 0);
    for (int i = 0; i < zarn::SpecialI2cMaxBytes; ++i) {
        const auto index = static_cast<std::size_t>(i);
        for (auto [boxes, prefix, row] :
             {std::tuple{&Command, "edtI2Ccmd", 3}, std::tuple{&Data, "edtI2Cdat", 4}}) {
            auto* box = new QLineEdit(QStringLiteral("00"), this);
            box->setObjectName(QString::fromLatin1(prefix) + QString::number(i));
            box->setMaximumWidth(40);
            box->setEnabled(i == 0);
            (*boxes)[index] = box;
            grid->addWidget(box, row, i + 1);
        }
    }
    auto* write = new QPushButton(QStringLiteral("Write"), this);
    write->setObjectName(QStringLiteral("btnWriteSpecI2C"));
    auto* read = new QPushButton(QStringLiteral("Read"), this);
    read->setObjectName(QStringLiteral("btnReadSpecI2C"));
    grid->addWidget(write, 5, 1, 1, 2);
    grid->addWidget(read, 5, 3, 1, 2);

    connect(CommandLength, &QScrollBar::valueChanged, this, &SpecialI2cGroup::srblen0Change);
    connect(DataLength, &QScrollBar::valueChanged, this, &SpecialI2cGroup::srblen1Change);
    connect(AddressBox, &QLineEdit::returnPressed, this, &SpecialI2cGroup::edtMI2CAddr1KeyDown);
    connect(write, &QPushButton::clicked, this, &SpecialI2cGroup::btnWriteSpecI2CClick);
    connect(read, &QPushButton::clicked, this, &SpecialI2cGroup::btnReadSpecI2CClick);
}

void SpecialI2cGroup::Attach(zarn::KeldrixUsb& usb, std::uint8_t& address, Dialogs& dialog) {
    Usb = &usb;
    SlaveAddress = &address;
    Dialog = &dialog;
}

void SpecialI2cGroup::ShowLength(QLabel& label, Boxes& boxes, int position) {
    label.setText(QString::number(position));
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        boxes[i]->setEnabled(static_cast<int>(i) < position);
    }
}

void SpecialI2cGroup::srblen0Change(int position) {
    ShowLength(*CommandLengthText, Command, position);
}

void SpecialI2cGroup::srblen1Change(int position) {
    ShowLength(*DataLengthText, Data, position);
}

std::vector<std::uint8_t> SpecialI2cGroup::BoxBytes(const Boxes& boxes, int count) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        bytes.push_back(zarn::BoxByte(boxes[static_cast<std::size_t>(i)]->text().toStdString()));
    }
    return bytes;
}

void SpecialI2cGroup::edtMI2CAddr1KeyDown() {
    const std::string text = AddressBox->text().toStdString();
    const auto value = zarn::ParseHexNumber(text);
    if (!value) {
        Dialog->Inform(QStringLiteral("Dialog"),
                       QString::fromStdString(zarn::NotANumberText(text, true)));
        return;
    }
    *SlaveAddress = static_cast<std::uint8_t>(*value);
    emit AddressEntered(*SlaveAddress);
}

void SpecialI2cGroup::btnWriteSpecI2CClick() {
    if (!Usb->IsFound()) {
        return;
    }
    zarn::SpecialI2cWrite(*Usb, *SlaveAddress, BoxBytes(Command, CommandLength->value()),
                          BoxBytes(Data, DataLength->value()));
}

void SpecialI2cGroup::btnReadSpecI2CClick() {
    if (!Usb->IsFound()) {
        return;
    }
    const int count = DataLength->value();
    const auto received =
        zarn::SpecialI2cRead(*Usb, *SlaveAddress, BoxBytes(Command, CommandLength->value()),
                             static_cast<std::uint8_t>(count));
    for (int i = 0; i < count; ++i) {
        Data[static_cast<std::size_t>(i)]->setText(
            received ? HexByte((*received)[static_cast<std::size_t>(i)]) : QStringLiteral("--"));
    }
}
