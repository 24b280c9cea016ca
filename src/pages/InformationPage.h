#pragma once
// The "Information" page: the device's playback status on "Update", the five media keys of its
// HID function, and the special I2C access group.

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "engineering/PlaybackStatus.h"
#include "pages/SpecialI2cGroup.h"

class InformationPage : public QWidget {
    Q_OBJECT

public:
    explicit InformationPage(QWidget* parent = nullptr);
    void Attach(zarn::KeldrixUsb& usb) { Usb = &usb; }
    SpecialI2cGroup& SpecialI2c() { return *Special; }

    // A status that cannot be read is not shown as the current one: the labels are greyed and
    // the connection line says so.
    void btnUpdateStatusClick();
    void btnHIDClick();

private:
    QLabel* Label(const char* name) const;
    void EnableDetails(bool mute, bool formatAndRate);

    zarn::KeldrixUsb* Usb = nullptr;
    zarn::StatusBytes Status{};
    SpecialI2cGroup* Special;
};
