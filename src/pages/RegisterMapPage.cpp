#include "pages/RegisterMapPage.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "app/NumberText.h"
#include "pages/Named.h"

namespace {

QString ValueText(std::optional<std::uint8_t> value) {
    return value ? HexByte(*value) : QStringLiteral("--");
}

const QColor Silver(0xC0, 0xC0, 0xC0);
constexpr int BitBoxGap = 4;

// Spreads "7 6 5 4 3 2 1 0" so that each digit stands over its bit box: a digit and its blank
// take one box's width.
void AlignDigitsWithBoxes(QLabel& digits, int boxPitch) {
    QFont font = digits.font();
    const int pair = QFontMetrics(font).horizontalAdvance(QStringLiteral("0 "));
    font.setLetterSpacing(QFont::AbsoluteSpacing, std::max(0.0, (boxPitch - pair) / 2.0));
    digits.setFont(font);
}

}  // namespace

RegisterMapPage::RegisterMapPage(const RegisterMapNames& names, QWidget* parent)
    : QWidget(parent),
      Names(names),
      ReadButton(new QPushButton(QString::fromLatin1(names.IdleCaption), this)),
      RegisterGrid(new StringGrid(this)),
      AddressLabel(new QLabel(QStringLiteral("Reg 0x00"), this)),
      DataLabel(new QLabel(QStringLiteral("= 0x00"), this)),
      Top(new QHBoxLayout) {
    ReadButton->setObjectName(QString::fromLatin1(names.ReadButton));
    RegisterGrid->setObjectName(QString::fromLatin1(names.Grid));
    AddressLabel->setObjectName(QString::fromLatin1(names.AddressLabel));
    DataLabel->setObjectName(QString::fromLatin1(names.DataLabel));
    RegisterGrid->setFixedSize(26 * 17 + 4, 18 * 17 + 4);

    auto* bitsLabel = new QLabel(QStringLiteral("7 6 5 4 3 2 1 0"), this);
    bitsLabel->setObjectName(QString::fromLatin1(names.BitsLabel));
    auto* bitRow = new QHBoxLayout;
    bitRow->setSpacing(BitBoxGap);
    for (int bit = 7; bit >= 0; --bit) {
        auto* box = new QCheckBox(this);
        box->setObjectName(QString::fromLatin1(names.BitPrefix) + QString::number(bit));
        box->installEventFilter(this);
        connect(box, &QCheckBox::clicked, this, &RegisterMapPage::BitMouseUp);
        Bits[static_cast<std::size_t>(bit)] = box;
        bitRow->addWidget(box);
    }
    auto* side = new QVBoxLayout;
    side->addWidget(ReadButton);
    side->addWidget(AddressLabel);
    side->addWidget(DataLabel);
    AlignDigitsWithBoxes(*bitsLabel, Bits[0]->sizeHint().width() + BitBoxGap);
    side->addWidget(bitsLabel);
    side->addLayout(bitRow);
    side->addStretch();
    auto* body = new QHBoxLayout;
    body->addWidget(RegisterGrid);
    body->addLayout(side);
    body->addStretch();
    auto* page = new QVBoxLayout(this);
    page->addLayout(Top);
    page->addLayout(body);
    page->addStretch();

    connect(ReadButton, &QPushButton::clicked, this, &RegisterMapPage::ReadClick);
    connect(RegisterGrid, &QTableWidget::currentCellChanged, this,
            [this](int row, int column) { SelectCell(column, row); });
    connect(RegisterGrid, &StringGrid::KeyDown, this, &RegisterMapPage::KeyDown);
}

void RegisterMapPage::Attach(zarn::KeldrixUsb& usb, zarn::RegisterMap& map, Dialogs& dialog) {
    Usb = &usb;
    Map = &map;
    Dialog = &dialog;
}

void RegisterMapPage::StopReading() {
    Reading = false;
    ReadButton->setText(QString::fromLatin1(Names.IdleCaption));
}

void RegisterMapPage::ReadClick() {
    if (!Usb->IsFound()) {
        return;
    }
    if (Reading) {
        StopReading();
        return;
    }
    ReadButton->setText(QStringLiteral("Stop"));
    Reading = true;
    emit BusyChanged(true);
    Map->ReadAll([this](std::uint8_t number, std::optional<std::uint8_t> value) {
        RegisterGrid->SetCell(number % 16 + 1, number / 16 + 1, ValueText(value));
        QCoreApplication::processEvents();  // a click on "Stop" lands before the next register
        return Reading;
    });
    StopReading();
    emit BusyChanged(false);
}

void RegisterMapPage::SelectCell(int column, int row) {
    if (Reading || column < 1 || row < 1) {
        return;
    }
    for (int index = 1; index <= 16; ++index) {
        RegisterGrid->SetHeaderColor(index, 0, palette().color(QPalette::Button));
    }
    RegisterGrid->SetHeaderColor(0, HighlightedRow, palette().color(QPalette::Button));
    RegisterGrid->SetHeaderColor(0, row, Silver);
    RegisterGrid->SetHeaderColor(column, 0, Silver);
    HighlightedRow = row;

    const std::uint8_t number = zarn::RegisterMap::RegisterOfCell(column, row);
    const auto value = Map->ReadOne(number);
    ShowValue(column, row, value);
    ShowLabels(number, value);
}

void RegisterMapPage::KeyDown(int key) {
    const int column = RegisterGrid->currentColumn();
    const int row = RegisterGrid->currentRow();
    if (Reading || column < 1 || row < 1) {
        return;
    }
    const zarn::RegisterKey which = key == Qt::Key_Return   ? zarn::RegisterKey::Enter
                                    : key == Qt::Key_Insert ? zarn::RegisterKey::Insert
                                    : key == Qt::Key_Delete ? zarn::RegisterKey::Delete
                                                            : zarn::RegisterKey::Other;
    ShowChange(Map->KeyPressed(which, zarn::RegisterMap::RegisterOfCell(column, row),
                               RegisterGrid->Cell(column, row).toStdString()),
               column, row, false);
}

void RegisterMapPage::BitMouseUp() {
    const int column = RegisterGrid->currentColumn();
    const int row = RegisterGrid->currentRow();
    if (Reading || column < 1 || row < 1) {
        return;
    }
    std::uint8_t value = 0;
    for (std::size_t bit = 0; bit < Bits.size(); ++bit) {
        value |= Bits[bit]->isChecked() ? static_cast<std::uint8_t>(1u << bit) : 0;
    }
    ShowChange(Map->BitsReleased(zarn::RegisterMap::RegisterOfCell(column, row), value), column,
               row, true);
}

bool RegisterMapPage::eventFilter(QObject* watched, QEvent* event) {
    // A release of any other mouse button over a bit box writes the unchanged value again.
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) {
        BitMouseUp();
    }
    return QWidget::eventFilter(watched, event);
}

void RegisterMapPage::ShowChange(const zarn::RegisterChange& change, int column, int row,
                                 bool labels) {
    if (!change.Refusal.empty()) {
        Dialog->Inform(QStringLiteral("Dialog"), QString::fromStdString(change.Refusal));
        return;
    }
    if (!change.Written) {
        return;
    }
    ShowValue(column, row, change.Value);
    if (labels) {
        ShowLabels(zarn::RegisterMap::RegisterOfCell(column, row), change.Value);
    }
}

void RegisterMapPage::ShowValue(int column, int row, std::optional<std::uint8_t> value) {
    RegisterGrid->SetCell(column, row, ValueText(value));
    for (std::size_t bit = 0; bit < Bits.size(); ++bit) {
        Bits[bit]->setChecked(value && (*value >> bit) & 1);
    }
}

void RegisterMapPage::ShowLabels(std::uint8_t number, std::optional<std::uint8_t> value) {
    AddressLabel->setText(QStringLiteral("Reg 0x") + HexByte(number));
    DataLabel->setText(QStringLiteral("= 0x") + ValueText(value));
}

RegisterBankPage::RegisterBankPage(QWidget* parent)
    : RegisterMapPage({"btnReadAll", "Read Bank", "RegStringGrid1", "lblRegAddr", "lblRegData",
                       "chkBit", "Label1"},
                      parent) {}

I2cAccessPage::I2cAccessPage(QWidget* parent)
    : RegisterMapPage({"btnReadMI2C", "Read", "StringGridMIIC", "lblMI2CRegAddr", "lblMI2CRegData",
                       "chkMI2CBit", "Label3"},
                      parent),
      AddressBox(new QLineEdit(QStringLiteral("20"), this)) {
    auto* before = new QLabel(QStringLiteral("Slave Address: 0x"), this);
    before->setObjectName(QStringLiteral("Label6"));
    auto* hint = new QLabel(QStringLiteral("(enter)"), this);
    hint->setObjectName(QStringLiteral("Label15"));
    AddressBox->setObjectName(QStringLiteral("edtMI2CAddr"));
    AddressBox->setMaximumWidth(60);
    TopRow().addWidget(before);
    TopRow().addWidget(AddressBox);
    TopRow().addWidget(hint);
    TopRow().addStretch();
    connect(AddressBox, &QLineEdit::returnPressed, this, &I2cAccessPage::edtMI2CAddrKeyDown);
}

void I2cAccessPage::edtMI2CAddrKeyDown() {
    if (IsReading()) {
        return;
    }
    const std::string text = AddressBox->text().toStdString();
    const auto value = zarn::ParseHexNumber(text);
    if (!value) {
        Messages().Inform(QStringLiteral("Dialog"),
                          QString::fromStdString(zarn::NotANumberText(text, true)));
        return;
    }
    *SlaveAddress = static_cast<std::uint8_t>(*value);
    ShowAddress(*SlaveAddress);
}

void I2cAccessPage::ShowAddress(std::uint8_t address) {
    AddressBox->setText(HexByte(address));
}
