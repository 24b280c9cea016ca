#pragma once
// The "Parameter" page: the device's parameter block (audio output options and the
// EEPROM-present flag) edited in memory and sent with "Set" or fetched with "Read back", and
// the USB ids and product strings written on Enter. Each failed exchange is said on the page's
// result line.

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QWidget>

#include "engineering/DeviceParameters.h"
#include "pages/LabeledEdit.h"

class ParameterPage : public QWidget {
    Q_OBJECT

public:
    explicit ParameterPage(QWidget* parent = nullptr);
    void Attach(zarn::KeldrixUsb& usb) { Usb = &usb; }

    // Start-up: the block A1 00 00 00, shown.
    void StartUp();
    void ShowParameters();
    const zarn::ParameterBytes& Block() const { return ParameterBlock; }

    void rbnI2SlenClick();
    void rbnSPDIFlenClick();
    void chkI2SLRSwapClick();
    void chkDSDLRSwapClick();
    void rbnMCLKOutFreqClick();
    void rbnI2SFormatClick();
    void rbnDSDOutClick();
    void chkMCLKOutOffClick();
    void chkI2SOutOffClick();
    void chkSPDIFOutOffClick();
    void btnSetParaClick();
    // A failed read changes neither the block nor the controls.
    void btnReadParaClick();
    void lbledSysVIDPIDKeyDown(LabeledEdit* sender);
    void lbledSysStrKeyDown(LabeledEdit* sender);

private:
    template <typename T>
    T* Find(const char* name) const;
    bool Ticked(const char* name) const;
    void Tick(const char* name, bool ticked);
    void ShowResult(bool ok, const QString& done, const QString& failed);

    zarn::KeldrixUsb* Usb = nullptr;
    zarn::ParameterBytes ParameterBlock = zarn::StartParameterBlock;
};
