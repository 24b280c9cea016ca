#include "pages/BinFilePage.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "image/TableMarker.h"
#include "pages/Named.h"

namespace {

QPushButton* Button(const char* name, const char* caption, bool enabled, QWidget* parent) {
    auto* button = Named<QPushButton>(name, QString::fromLatin1(caption), parent);
    button->setEnabled(enabled);
    return button;
}

QGroupBox* SettingsGroup(QWidget* parent) {
    auto* group =
        Named<QGroupBox>("GroupBox9", QStringLiteral("User information New Setting "), parent);
    group->setEnabled(false);
    auto* grid = new QGridLayout(group);
    grid->addWidget(NamedEdit("labedtNewVID", "VID:", "3E52", group), 0, 0);
    grid->addWidget(NamedEdit("labedtNewPID", "PID:", "6012", group), 0, 1);
    const std::tuple<const char*, const char*, const char*, const char*> strings[] = {
        {"Label9", "Manufacture:", "edtNewStr0", "Keldrix-inc"},
        {"Label10", "Product Name:", "edtNewStr1", "Keldrix-inc UAC22"},
        {"Label11", "Serial Number:", "edtNewStr2", "KXUA170405"},
        {"Label12", "Play Port:", "edtNewStr3", "Primary Play Interface"},
        {"Label14", "Record Port:", "edtNewStr4", "Record Interface"}};
    int row = 1;
    for (const auto& [labelName, label, editName, text] : strings) {
        grid->addWidget(NamedLabel(labelName, label, group), row, 0);
        grid->addWidget(Named<QLineEdit>(editName, QString::fromLatin1(text), group), row++, 1);
    }
    return group;
}

}  // namespace

BinFilePage::BinFilePage(QWidget* parent) : QWidget(parent) {
    auto* grid = new QGridLayout(this);
    grid->addWidget(
        NamedLabel("Label13", "Modify User parameter and save to new Binary File", this), 0, 0, 1,
        3);
    auto* current = Button("CurrentFileBitBtn", "Current File", true, this);
    auto* check = Button("btnCheck", "Check", false, this);
    auto* newFile = Button("btnSaveBitBin", "New File", false, this);
    auto* save = Button("btnSaveBin", " Save", false, this);
    grid->addWidget(current, 1, 0);
    grid->addWidget(NamedLabel("lblCurrentFilePath", "...", this), 1, 1, 1, 2);
    grid->addWidget(check, 2, 0);
    grid->addWidget(NamedLabel("lblStatusReport", "", this), 2, 1);
    grid->addWidget(NamedLabel("lblSaveDone", "", this), 2, 2);
    grid->addWidget(SettingsGroup(this), 3, 0, 1, 3);
    grid->addWidget(newFile, 4, 0);
    grid->addWidget(NamedLabel("lblSaveBinPath", "...", this), 4, 1, 1, 2);
    grid->addWidget(save, 5, 0);
    grid->setRowStretch(6, 1);
    grid->setColumnStretch(2, 1);
    connect(current, &QPushButton::clicked, this, &BinFilePage::CurrentFileBitBtnClick);
    connect(check, &QPushButton::clicked, this, &BinFilePage::btnCheckClick);
    connect(newFile, &QPushButton::clicked, this, &BinFilePage::btnSaveBitBinClick);
    connect(save, &QPushButton::clicked, this, &BinFilePage::btnSaveBinClick);
}

void BinFilePage::Attach(zarn::ImageStore& images, Dialogs& dialog) {
    Images = &images;
    Dialog = &dialog;
}

void BinFilePage::Enable(const char* name) {
    findChild<QWidget*>(QString::fromLatin1(name))->setEnabled(true);
}

bool BinFilePage::ReadModifyFile() {
    findChild<QLabel*>(QStringLiteral("lblCurrentFilePath"))->setText(ModifyFilePath);
    if (!zarn::ReadModifyFile(*Images, ModifyFilePath.toStdString(), Length).Loaded()) {
        return false;
    }
    Enable("btnCheck");
    return true;
}

bool BinFilePage::SearchMarker() {
    MarkerOffset = 0;
    const auto found = zarn::FindTableMarker(Images->ModifyBuffer, Length);
    if (!found) {
        return false;
    }
    MarkerOffset = *found;
    Enable("GroupBox9");
    return true;
}

void BinFilePage::CurrentFileBitBtnClick() {
    const QString path = Dialog->OpenFile(QStringLiteral("Hex File|*.hex;*.h00|Binary File|*.bin"),
                                          QStringLiteral("*.hex"));
    if (path.isEmpty()) {
        return;
    }
    ModifyFilePath = path;
    const bool ready = ReadModifyFile() && SearchMarker();
    if (ready) {
        Enable("btnSaveBitBin");
    }
    findChild<QLabel*>(QStringLiteral("lblStatusReport"))
        ->setText(ready ? QStringLiteral("Load file ready")
                        : QStringLiteral("Load file is invalid for modify"));
}

void BinFilePage::btnCheckClick() {
    findChild<QLabel*>(QStringLiteral("lblSaveDone"))->clear();
    SearchMarker();
}

void BinFilePage::btnSaveBitBinClick() {
    const QString path =
        Dialog->SaveFile(QStringLiteral("Binary File|*.bin"), QStringLiteral("*.bin"));
    if (path.isEmpty()) {
        return;
    }
    NewBinFilePath = path;
    findChild<QLabel*>(QStringLiteral("lblSaveBinPath"))->setText(NewBinFilePath);
    Enable("btnSaveBin");
}
