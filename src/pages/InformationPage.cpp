#include "pages/InformationPage.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/GlobalTexts.h"
#include "pages/Named.h"

namespace {

QString Text(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<int>(text.size()));
}

}  // namespace

InformationPage::InformationPage(QWidget* parent)
    : QWidget(parent), Special(new SpecialI2cGroup(this)) {
    auto* status = new QGridLayout;
    status->addWidget(NamedLabel("lblConnect", "USB connected", this), 0, 0, 1, 2);
    status->addWidget(NamedLabel("lblMute", "Unmute", this), 1, 0, 1, 2);
    status->addWidget(NamedLabel("lblCurrentFormat0", "Input Format:", this), 2, 0);
    status->addWidget(NamedLabel("lblCurrentFormat1", "PCM", this), 2, 1);
    status->addWidget(NamedLabel("lblCurrentFreq0", "Input Freq:  ", this), 3, 0);
    status->addWidget(NamedLabel("lblCurrentFreq1", "176.4KHz", this), 3, 1);
    auto* update = Named<QPushButton>("btnUpdateStatus", QStringLiteral("Update"), this);
    connect(update, &QPushButton::clicked, this, &InformationPage::btnUpdateStatusClick);
    status->addWidget(update, 4, 0);

    auto* keys = new QHBoxLayout;
    const char* captions[] = {"HID Prev", "HID Vol -", "HID Play", "HID Vol +", "HID Next"};
    for (int index = 0; index < 5; ++index) {
        const QByteArray name = "btnHID" + QByteArray::number(index);
        auto* key =
            Named<QPushButton>(name.constData(), QString::fromLatin1(captions[index]), this);
        connect(key, &QPushButton::clicked, this, &InformationPage::btnHIDClick);
        keys->addWidget(key);
    }

    auto* left = new QVBoxLayout;
    left->addLayout(status);
    left->addLayout(keys);
    left->addStretch();
    auto* page = new QHBoxLayout(this);
    page->addLayout(left);
    page->addWidget(Special, 0, Qt::AlignTop);
}

QLabel* InformationPage::Label(const char* name) const {
    return findChild<QLabel*>(QString::fromLatin1(name));
}

void InformationPage::EnableDetails(bool mute, bool formatAndRate) {
    Label("lblMute")->setEnabled(mute);
    for (const char* name :
         {"lblCurrentFormat0", "lblCurrentFormat1", "lblCurrentFreq0", "lblCurrentFreq1"}) {
        Label(name)->setEnabled(formatAndRate);
    }
}

void InformationPage::btnUpdateStatusClick() {
    const auto bytes = zarn::ReadStatusBytes(*Usb);
    if (!bytes) {
        Label("lblConnect")->setText(QStringLiteral("Status could not be read"));
        EnableDetails(false, false);
        return;
    }
    Status = *bytes;
    const zarn::PlaybackView view = zarn::DecodeStatus(Status);
    if (!view.Connected) {
        Label("lblConnect")->setText(Text(zarn::UsbDisconnectedText));
        EnableDetails(false, false);
        return;
    }
    Label("lblConnect")->setText(Text(zarn::UsbConnectedText));
    if (view.Muted) {
        Label("lblMute")->setText(Text(zarn::MuteText));
        EnableDetails(true, false);
        return;
    }
    Label("lblMute")->setText(Text(zarn::PlayingText));
    EnableDetails(true, true);
    Label("lblCurrentFormat1")->setText(Text(view.Dsd ? zarn::DsdText : zarn::PcmText));
    Label("lblCurrentFreq1")->setText(Text(view.RateText));
}

void InformationPage::btnHIDClick() {
    for (int index = 0; index < 5; ++index) {
        if (sender() == findChild<QObject*>(QStringLiteral("btnHID") + QString::number(index))) {
            zarn::SendMediaKey(*Usb, index);
            return;
        }
    }
}
