#include "pages/ParameterPage.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "pages/Named.h"

namespace {

constexpr const char* DidNotAnswer = ": the device did not answer";

// A group of radio buttons, each with its object name and caption, sharing one handler.
QGroupBox* RadioGroup(ParameterPage* page, const char* name, const char* title,
                      std::initializer_list<std::pair<const char*, const char*>> buttons,
                      void (ParameterPage::*handler)()) {
    auto* group = Named<QGroupBox>(name, QString::fromLatin1(title), page);
    auto* layout = new QVBoxLayout(group);
    for (const auto& [buttonName, caption] : buttons) {
        auto* button = Named<QRadioButton>(buttonName, QString::fromLatin1(caption), group);
        QObject::connect(button, &QRadioButton::clicked, page, handler);
        layout->addWidget(button);
    }
    return group;
}

}  // namespace

ParameterPage::ParameterPage(QWidget* parent) : QWidget(parent) {
    auto* grid = new QGridLayout(this);
    grid->addWidget(NamedLabel("Label8", "System General Setting", this), 0, 0, 1, 3);
    grid->addWidget(RadioGroup(this, "GroupBox3", "I2S Output length",
                               {{"rbnI2Slen0", "32 bit"}, {"rbnI2Slen1", "24 bit"}},
                               &ParameterPage::rbnI2SlenClick),
                    1, 0);
    grid->addWidget(RadioGroup(this, "GroupBox4", "SPDIF Output length",
                               {{"rbnSPDIFlen0", "32 bit"}, {"rbnSPDIFlen1", "24 bit"}},
                               &ParameterPage::rbnSPDIFlenClick),
                    1, 1);
    grid->addWidget(
        RadioGroup(this, "GroupBox2", "Output when  DSD in",
                   {{"rbnDSDOut0", "DSD"}, {"rbnDSDOut1", "DoP"}}, &ParameterPage::rbnDSDOutClick),
        1, 2);
    grid->addWidget(RadioGroup(this, "GroupBox5", "I2S MCLK Output Frequency",
                               {{"rbnMCLKOutFreq0", "128 Fs"},
                                {"rbnMCLKOutFreq1", "256 Fs"},
                                {"rbnMCLKOutFreq2", "512 Fs"},
                                {"rbnMCLKOutFreq3", "1024 Fs"}},
                               &ParameterPage::rbnMCLKOutFreqClick),
                    2, 0, 2, 1);
    grid->addWidget(RadioGroup(this, "GroupBox6", "I2S Format ",
                               {{"rbnI2SFormat0", "Standard"}, {"rbnI2SFormat1", "Left Justify"}},
                               &ParameterPage::rbnI2SFormatClick),
                    2, 1);
    auto* switches = new QVBoxLayout;
    const std::pair<const char*, const char*> boxes[] = {
        {"chkI2SLRSwap", "I2S Output Channel Swap"},
        {"chkDSDLRSwap", "DSD Output Channel Swap"},
        {"chkMCLKOutOff", "MCLK Output Off"},
        {"chkI2SOutOff", "I2S Output Off"},
        {"chkSPDIFOutOff", "SPDIF Output Off"}};
    const std::array<void (ParameterPage::*)(), 5> boxHandlers = {
        &ParameterPage::chkI2SLRSwapClick, &ParameterPage::chkDSDLRSwapClick,
        &ParameterPage::chkMCLKOutOffClick, &ParameterPage::chkI2SOutOffClick,
        &ParameterPage::chkSPDIFOutOffClick};
    for (std::size_t i = 0; i < std::size(boxes); ++i) {
        auto* box = Named<QCheckBox>(boxes[i].first, QString::fromLatin1(boxes[i].second), this);
        connect(box, &QCheckBox::clicked, this, boxHandlers[i]);
        switches->addWidget(box);
    }
    grid->addLayout(switches, 2, 2, 2, 1);
    grid->addWidget(NamedLabel("lblEepAvail", "EEPROM Exist", this), 3, 1);
    auto* buttons = new QHBoxLayout;
    auto* set = Named<QPushButton>("btnSetPara", QStringLiteral("Set"), this);
    auto* read = Named<QPushButton>("btnReadPara", QStringLiteral("Read back"), this);
    connect(set, &QPushButton::clicked, this, &ParameterPage::btnSetParaClick);
    connect(read, &QPushButton::clicked, this, &ParameterPage::btnReadParaClick);
    buttons->addWidget(set);
    buttons->addWidget(read);
    buttons->addWidget(NamedLabel("lblParaResult", "", this), 1);
    grid->addLayout(buttons, 4, 0, 1, 3);

    auto* ids = new QHBoxLayout;
    for (const auto& [name, label, text] :
         {std::tuple{"lbledSysVID", "VID:", "3e50"}, std::tuple{"lbledSysPID", "PID:", "6012"}}) {
        auto* edit = NamedEdit(name, label, text, this);
        connect(edit->lineEdit(), &QLineEdit::returnPressed, this,
                [this, edit] { lbledSysVIDPIDKeyDown(edit); });
        ids->addWidget(edit);
    }
    ids->addStretch();
    grid->addLayout(ids, 5, 0, 1, 3);
    grid->addWidget(NamedLabel("Label2", "Prodcut Information String (Max. 31 character)", this), 6,
                    0, 1, 3);
    int row = 7;
    for (const auto& [name, label, text, hint] :
         {std::tuple{"lbledSysStr1", "String 1:", "Keldrix-inc", "(Manufacturer)"},
          std::tuple{"lbledSysStr2", "String 2:", "Keldrix-inc UAC2 22", "(Model Name)"},
          std::tuple{"lbledSysStr3", "String 3:", "KXUA170203", "(Serial Number)"}}) {
        auto* edit = NamedEdit(name, label, text, this);
        connect(edit->lineEdit(), &QLineEdit::returnPressed, this,
                [this, edit] { lbledSysStrKeyDown(edit); });
        grid->addWidget(edit, row, 0, 1, 2);
        grid->addWidget(new QLabel(QString::fromLatin1(hint), this), row++, 2, Qt::AlignBottom);
    }
    grid->setRowStretch(row, 1);
}

template <typename T>
T* ParameterPage::Find(const char* name) const {
    return findChild<T*>(QString::fromLatin1(name));
}

bool ParameterPage::Ticked(const char* name) const {
    return Find<QAbstractButton>(name)->isChecked();
}

void ParameterPage::Tick(const char* name, bool ticked) {
    Find<QAbstractButton>(name)->setChecked(ticked);
}

void ParameterPage::StartUp() {
    ParameterBlock = zarn::StartParameterBlock;
    ShowParameters();
}

void ParameterPage::ShowParameters() {
    using namespace zarn;
    const ParameterBytes& block = ParameterBlock;
    Find<QLabel>("lblEepAvail")
        ->setText(GetBit(block, EepromPresent) ? QStringLiteral("EEPROM Exist")
                                               : QStringLiteral("EEPROM not Available"));
    Tick(GetBit(block, I2sLength32) ? "rbnI2Slen0" : "rbnI2Slen1", true);
    Tick(GetBit(block, SpdifLength32) ? "rbnSPDIFlen0" : "rbnSPDIFlen1", true);
    Tick("chkI2SLRSwap", GetBit(block, I2sChannelSwap));
    Tick("chkDSDLRSwap", GetBit(block, DsdChannelSwap));
    Tick(GetBit(block, LeftJustified) ? "rbnI2SFormat1" : "rbnI2SFormat0", true);
    Tick(GetBit(block, NativeDsd) ? "rbnDSDOut0" : "rbnDSDOut1", true);
    const QString mclk = QStringLiteral("rbnMCLKOutFreq") + QString::number(MclkIndex(block));
    findChild<QRadioButton*>(mclk)->setChecked(true);
    Tick("chkMCLKOutOff", GetBit(block, MclkOutputOff));
    Tick("chkI2SOutOff", GetBit(block, I2sOutputOff));
    Tick("chkSPDIFOutOff", GetBit(block, SpdifOutputOff));
}

void ParameterPage::rbnI2SlenClick() {
    zarn::SetBit(ParameterBlock, zarn::I2sLength32, Ticked("rbnI2Slen0"));
}

void ParameterPage::rbnSPDIFlenClick() {
    zarn::SetBit(ParameterBlock, zarn::SpdifLength32, Ticked("rbnSPDIFlen0"));
}

void ParameterPage::chkI2SLRSwapClick() {
    zarn::SetBit(ParameterBlock, zarn::I2sChannelSwap, Ticked("chkI2SLRSwap"));
}

void ParameterPage::chkDSDLRSwapClick() {
    zarn::SetBit(ParameterBlock, zarn::DsdChannelSwap, Ticked("chkDSDLRSwap"));
}

void ParameterPage::rbnMCLKOutFreqClick() {
    for (int index = 0; index < 4; ++index) {
        if (sender() ==
            findChild<QObject*>(QStringLiteral("rbnMCLKOutFreq") + QString::number(index))) {
            zarn::SetMclkIndex(ParameterBlock, index);
            return;
        }
    }
}

void ParameterPage::rbnI2SFormatClick() {
    zarn::SetBit(ParameterBlock, zarn::LeftJustified, !Ticked("rbnI2SFormat0"));
}

void ParameterPage::rbnDSDOutClick() {
    zarn::SetBit(ParameterBlock, zarn::NativeDsd, Ticked("rbnDSDOut0"));
}

void ParameterPage::chkMCLKOutOffClick() {
    zarn::SetBit(ParameterBlock, zarn::MclkOutputOff, Ticked("chkMCLKOutOff"));
}

void ParameterPage::chkI2SOutOffClick() {
    zarn::SetBit(ParameterBlock, zarn::I2sOutputOff, Ticked("chkI2SOutOff"));
}

void ParameterPage::chkSPDIFOutOffClick() {
    zarn::SetBit(ParameterBlock, zarn::SpdifOutputOff, Ticked("chkSPDIFOutOff"));
}

void ParameterPage::ShowResult(bool ok, const QString& done, const QString& failed) {
    Find<QLabel>("lblParaResult")->setText(ok ? done : failed + QLatin1String(DidNotAnswer));
}

void ParameterPage::btnSetParaClick() {
    ShowResult(zarn::SetParameters(*Usb, ParameterBlock), QStringLiteral("Parameters set"),
               QStringLiteral("Set failed"));
}

void ParameterPage::btnReadParaClick() {
    const auto block = zarn::ReadParameters(*Usb);
    if (block) {
        ParameterBlock = *block;
        ShowParameters();
    }
    ShowResult(block.has_value(), QStringLiteral("Parameters read back"),
               QStringLiteral("Read back failed, nothing changed"));
}

void ParameterPage::lbledSysVIDPIDKeyDown(LabeledEdit* sender) {
    const bool vendor = sender->objectName() == QLatin1String("lbledSysVID");
    const QByteArray text = sender->text().toLatin1();  // '?' for what Latin-1 lacks
    const QString what = vendor ? QStringLiteral("VID") : QStringLiteral("PID");
    ShowResult(zarn::WriteId(*Usb, vendor ? zarn::VendorIdCode : zarn::ProductIdCode,
                             std::string_view(text.constData(), text.size())),
               what + QStringLiteral(" written"), what + QStringLiteral(" not written"));
}

void ParameterPage::lbledSysStrKeyDown(LabeledEdit* sender) {
    const QString name = sender->objectName();
    const std::size_t which = name.endsWith('1') ? 0 : name.endsWith('2') ? 1 : 2;
    const QByteArray text = sender->text().toLatin1();
    const QString what = QStringLiteral("String %1").arg(which + 1);
    ShowResult(zarn::WriteString(*Usb, zarn::StringCodes[which],
                                 std::string_view(text.constData(), text.size())),
               what + QStringLiteral(" written"), what + QStringLiteral(" not written"));
}
