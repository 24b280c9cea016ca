#include "pages/IspPage.h"

#include "app/NumberText.h"
#include "ui_IspPage.h"

namespace {

constexpr std::uint32_t KiB = 1024;

}  // namespace

IspPage::IspPage(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::IspPage>()) {
    ui->setupUi(this);
    connect(ui->USBLoadFileBitBtn, &QPushButton::clicked, this, &IspPage::USBLoadFileBitBtnClick);
    connect(ui->Button1, &QPushButton::clicked, this, &IspPage::btnSaveBinClick);
    const std::pair<QPushButton*, void (IspPage::*)()> buttons[] = {
        {ui->btnEnterISP, &IspPage::btnEnterISPClick},
        {ui->btnUSBChipID, &IspPage::btnUSBChipIDClick},
        {ui->btnUSBReadStatus, &IspPage::btnUSBReadStatusClick},
        {ui->btnUSBWriteEnable, &IspPage::btnUSBWriteEnableClick},
        {ui->btnUSBWriteDisable, &IspPage::btnUSBWriteDisableClick},
        {ui->btnUSBErase, &IspPage::btnUSBEraseClick},
        {ui->btnUSBBlank, &IspPage::btnUSBBlankClick},
        {ui->btnUSBProgram, &IspPage::btnUSBProgramClick},
        {ui->btnUSBVerify, &IspPage::btnUSBVerifyClick},
        {ui->btnReadBack, &IspPage::btnReadBackClick},
        {ui->btnUSBISPAuto, &IspPage::btnUSBISPAutoClick},
    };
    for (const auto& [button, handler] : buttons) {
        connect(button, &QPushButton::clicked, this, handler);
    }
    connect(ui->rbnRange0, &QRadioButton::clicked, this, &IspPage::rbnRangeClick);
    connect(ui->rbnRange1, &QRadioButton::clicked, this, &IspPage::rbnRangeClick);
    // Edits act on the Enter key only; the range edits take effect at the next range click.
    connect(ui->lbledtUSBWriteStatus->lineEdit(), &QLineEdit::returnPressed, this,
            &IspPage::lbledtUSBWriteStatusKeyDown);
}

IspPage::~IspPage() = default;

void IspPage::Attach(Services services) {
    Service = std::move(services);
}

void IspPage::ApplyDefaults() {
    for (QCheckBox* box : {ui->chkISPMode, ui->chkReadFile, ui->chkErase, ui->chkBlank,
                           ui->chkProgram, ui->chkVerify}) {
        box->setChecked(true);
    }
    ui->chkProtect->setChecked(false);
    ui->rbnRange0->setChecked(true);
    rbnRangeClick();
    ui->lbledISPRange->setText(QStringLiteral("64"));
    ui->lbledISPStart->setText(QStringLiteral("64"));
}

QList<QWidget*> IspPage::EngineeringControls() const {
    return {ui->gbxISPRange, ui->chkISPMode,        ui->chkProtect,    ui->chkReadFile,
            ui->chkErase,    ui->chkBlank,          ui->chkProgram,    ui->chkVerify,
            ui->GroupBox1,   ui->USBLoadFileBitBtn, ui->cbxReadISPFile};
}

void IspPage::HideEngineeringControls() {
    for (QWidget* control : EngineeringControls()) {
        control->hide();
    }
}

void IspPage::ShowEngineeringControls() {
    for (QWidget* control : EngineeringControls()) {
        control->show();
    }
}

void IspPage::RememberFirmwareFile(const QString& path) {
    if (ui->cbxReadISPFile->findText(path, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) {
        ui->cbxReadISPFile->addItem(path);
    }
    ui->cbxReadISPFile->setEditText(path);
}

void IspPage::ShowChecksum(const QString& text) {
    ui->lblUSBChecksum->setText(text);
}

void IspPage::ShowProcessInfo(const QString& text) {
    ui->lblUSBProcessInfo->setText(text);
}

void IspPage::ShowProcessAddress(const QString& text) {
    ui->lblUSBISPProcess->setText(text);
}

void IspPage::ShowStatusRegister(const QString& text) {
    ui->lblUSBISPStatusReg->setText(text);
}

void IspPage::SetRun(Run run) {
    Running = run;
    const bool idle = run == Run::None;
    for (QWidget* control : std::initializer_list<QWidget*>{
             ui->btnEnterISP, ui->btnUSBChipID, ui->btnUSBReadStatus, ui->lbledtUSBWriteStatus,
             ui->btnUSBWriteEnable, ui->btnUSBWriteDisable, ui->btnUSBErase, ui->btnUSBBlank,
             ui->btnUSBProgram, ui->btnUSBVerify, ui->btnReadBack, ui->USBLoadFileBitBtn,
             ui->Button1, ui->cbxReadISPFile, ui->gbxISPRange}) {
        control->setEnabled(idle);
    }
    ui->btnUSBISPAuto->setEnabled(idle || run == Run::Auto);
    emit BusyChanged(!idle);
}

bool IspPage::AllChecked() const {
    return ui->rbnRange0->isChecked();
}

void IspPage::Refuse(const std::string& text) {
    Service.Dialog->Inform(QStringLiteral("Dialog"), QString::fromStdString(text));
}

std::optional<zarn::RangeChoice> IspPage::ReadRange() {
    zarn::RangeChoice choice;
    choice.All = AllChecked();
    if (choice.All) {
        return choice;
    }
    const std::string startText = ui->lbledISPStart->text().toStdString();
    const std::string sizeText = ui->lbledISPRange->text().toStdString();
    const auto start = zarn::ParseDecimalNumber(startText);
    const auto size = zarn::ParseDecimalNumber(sizeText);
    if (!start || !size) {
        Refuse(zarn::NotANumberText(start ? sizeText : startText, false));
        return std::nullopt;
    }
    // Both ends are flash addresses: they must fit 32 bits.
    if (std::uint64_t{*start} * KiB + std::uint64_t{*size} * KiB > 0xFFFFFFFF) {
        Refuse("The range " + startText + " KB + " + sizeText +
               " KB lies beyond the flash's address space");
        return std::nullopt;
    }
    choice.StartKiB = *start;
    choice.SizeKiB = *size;
    return choice;
}

zarn::AutoOptions IspPage::ReadOptions() const {
    zarn::AutoOptions options;
    options.IspMode = ui->chkISPMode->isChecked();
    options.Protect = ui->chkProtect->isChecked();
    options.ReloadFile = ui->chkReadFile->isChecked();
    options.Erase = ui->chkErase->isChecked();
    options.Blank = ui->chkBlank->isChecked();
    options.Program = ui->chkProgram->isChecked();
    options.Verify = ui->chkVerify->isChecked();
    return options;
}

void IspPage::rbnRangeClick() {
    const bool all = AllChecked();
    for (QWidget* control : std::initializer_list<QWidget*>{ui->lbledISPStart, ui->lbledISPRange,
                                                            ui->Label20, ui->Label21}) {
        control->setEnabled(!all);
    }
    if (const auto range = ReadRange()) {
        Service.Procedures->SetRange(*range);
    }
}

void IspPage::btnEnterISPClick() {
    const bool on = Service.Procedures->ToggleIspMode();
    ui->btnEnterISP->setText(on ? QStringLiteral("Exit ISP") : QStringLiteral("Enter ISP"));
}

void IspPage::btnUSBChipIDClick() {
    ui->lblUSBChipID->setText(QString::fromStdString(Service.Procedures->ReadChipId()));
}

void IspPage::btnUSBReadStatusClick() {
    ui->lblUSBStatus->setText(QString::fromStdString(Service.Procedures->ReadStatus()));
}

void IspPage::lbledtUSBWriteStatusKeyDown() {
    if (IsRunning()) {
        return;
    }
    const std::string text = ui->lbledtUSBWriteStatus->text().toStdString();
    const auto value = zarn::ParseHexNumber(text);
    if (!value) {
        Refuse(zarn::NotANumberText(text, true));
        return;
    }
    Service.Procedures->WriteStatus(static_cast<std::uint8_t>(*value));
}

void IspPage::btnUSBWriteEnableClick() {
    Service.Procedures->WriteEnable();
}

void IspPage::btnUSBWriteDisableClick() {
    Service.Procedures->WriteDisable();
}

void IspPage::RunPageProcedure(Run run, std::function<void()> procedure,
                               std::function<void()> ended) {
    SetRun(run);
    // The monitor stays off the device while the procedure runs on its own thread.
    Service.Monitor->MonitorPaused = true;
    Service.Background(std::move(procedure), [this, ended = std::move(ended)] {
        SetRun(Run::None);
        Service.Monitor->MonitorPaused = false;
        ended();
    });
}

void IspPage::RunOnPageRange(void (zarn::IspProcedures::*procedure)(bool all)) {
    if (!IsRunning()) {
        RunPageProcedure(Run::Page, [this, procedure, all = AllChecked()] {
            (Service.Procedures->*procedure)(all);
        });
    }
}

void IspPage::btnUSBEraseClick() {
    RunOnPageRange(&zarn::IspProcedures::Erase);
}

void IspPage::btnUSBBlankClick() {
    RunOnPageRange(&zarn::IspProcedures::BlankCheck);
}

void IspPage::btnUSBProgramClick() {
    RunOnPageRange(&zarn::IspProcedures::Program);
}

void IspPage::btnUSBVerifyClick() {
    RunOnPageRange(&zarn::IspProcedures::Verify);
}

void IspPage::btnReadBackClick() {
    if (IsRunning()) {
        return;
    }
    // The file is asked for before the reading, on this thread.
    const QString chosen =
        Service.Dialog->SaveFile(QStringLiteral("Binary File|*.bin"), QStringLiteral("*.bin"));
    std::optional<std::filesystem::path> path;
    if (!chosen.isEmpty()) {
        path = std::filesystem::path(chosen.toStdString());
    }
    RunPageProcedure(Run::Page,
                     [this, path] { Service.Procedures->ReadBack([path] { return path; }); });
}

void IspPage::ReloadFirmwareFile() {
    zarn::ImageStore& images = *Service.Images;
    const std::string boxText = ui->cbxReadISPFile->currentText().toStdString();
    // An empty box names no file: the one loaded last (the product's, say) is loaded again.
    if (!boxText.empty() && boxText != images.FirmwareFilePath) {
        images.FirmwareFilePath = boxText;
    }
    Service.ReadProgramFile();
}

void IspPage::btnUSBISPAutoClick() {
    if (IsRunning()) {
        return;  // the run in progress goes on undisturbed
    }
    const auto refusal =
        Service.Procedures->AutoRefusal(ui->cbxReadISPFile->currentText().isEmpty());
    if (refusal) {
        Refuse(*refusal);
        return;
    }
    const auto range = ReadRange();
    if (!range) {
        return;
    }
    ui->btnUSBISPAuto->setText(QStringLiteral("Stop"));
    const zarn::AutoOptions options = ReadOptions();
    if (options.ReloadFile) {
        ReloadFirmwareFile();  // loads and shows its checksum here, before the run
    }
    RunPageProcedure(
        Run::Auto, [this, options, range = *range] { Service.Procedures->RunAuto(options, range); },
        [this] { ui->btnUSBISPAuto->setText(QStringLiteral("Auto")); });
}
