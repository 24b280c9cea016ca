#include "pages/IspPage.h"

#include "ui_IspPage.h"

IspPage::IspPage(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::IspPage>()) {
    ui->setupUi(this);
    connect(ui->USBLoadFileBitBtn, &QPushButton::clicked, this, &IspPage::USBLoadFileBitBtnClick);
    connect(ui->Button1, &QPushButton::clicked, this, &IspPage::btnSaveBinClick);
}

IspPage::~IspPage() = default;

void IspPage::RememberFirmwareFile(const QString& path) {
    if (ui->cbxReadISPFile->findText(path, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) {
        ui->cbxReadISPFile->addItem(path);
    }
    ui->cbxReadISPFile->setEditText(path);
}

void IspPage::HideEngineeringControls() {
    ui->USBLoadFileBitBtn->hide();
    ui->cbxReadISPFile->hide();
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
