#include "app/TForm1.h"

#include <QCloseEvent>
#include <QTimer>

#include "app/GlobalTexts.h"
#include "ui_TForm1.h"

namespace {

// From this logical resolution on, the window grows by ExtraSize in both directions.
constexpr int LargeFontDpi = 120;
constexpr int ExtraSize = 140;

void SetFontPixelSize(QWidget& widget, int pixels) {
    QFont font = widget.font();
    font.setPixelSize(pixels);
    widget.setFont(font);
}

}  // namespace

TForm1::TForm1(zarn::KeldrixUsb& usbDevice, int logicalDpi, QWidget* parent)
    : QMainWindow(parent),
      ui(std::make_unique<Ui::TForm1>()),
      UsbDevice(usbDevice),
      Timer1(new QTimer(this)) {
    ui->setupUi(this);
    SetFontPixelSize(*ui->lblDetectDevice, 16);
    SetFontPixelSize(*ui->lblUpdaeFileStatus, 16);
    SetFontPixelSize(*ui->lblISPProcStatus, 21);
    SetLampColor(palette().color(QPalette::Button));
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    Timer1->start();
    FormCreate(logicalDpi);
}

TForm1::~TForm1() = default;

void TForm1::FormCreate(int logicalDpi) {
    const int extra = logicalDpi >= LargeFontDpi ? ExtraSize : 0;
    setWindowTitle(QString::fromUtf8(zarn::WindowTitle.data(), zarn::WindowTitle.size()));

    // The ISP page's option defaults and range edits are set here once that page exists.

    HeadRegisterGrid(*ui->RegStringGrid1);
    HeadRegisterGrid(*ui->StringGridMIIC);
    ui->MainPageControl->setCurrentWidget(ui->TabSheet1);

    // Detection starts switched on; the device monitor takes the box's click from here.
    ui->chkDetectUSB->setChecked(true);
    ui->lbledtVID->setEnabled(false);
    ui->lbledtPID->setEnabled(false);

    // The parameter page shows its first parameter block here once that page exists.

    ui->lbledtVID->setText(QStringLiteral("3e52"));
    ui->lbledtPID->setText(QStringLiteral("f800"));

    // The engineering pages are built but never shown to the end user.
    for (QWidget* page :
         {ui->TabSheet1, ui->PageMI2CCtrl, ui->Parameter, ui->Information, ui->BinFile}) {
        ui->MainPageControl->setTabVisible(ui->MainPageControl->indexOf(page), false);
    }
    ui->MainPageControl->hide();
    ui->MainPageControl->resize(ui->MainPageControl->width(), extra + 100);

    resize(extra + 606, extra + 200);

    for (QWidget* control :
         {static_cast<QWidget*>(ui->chkDetectUSB), static_cast<QWidget*>(ui->lbledtVID),
          static_cast<QWidget*>(ui->lbledtPID)}) {
        control->hide();
    }

    ui->pnlUSBExist->move(20, 8);
    ui->pnlUSB->resize(ui->pnlUSB->width(), 120);
    ui->lblISPProcStatus->clear();

    // The built-in image is copied into the image buffers here once the image store exists.
}

void TForm1::SetLampColor(const QColor& color) {
    QPalette lamp = ui->pnlUSBExist->palette();
    lamp.setColor(QPalette::Window, color);
    ui->pnlUSBExist->setPalette(lamp);
}

void TForm1::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TForm1::FormClose() {
    if (UsbDevice.IsFound()) {
        UsbDevice.Close();
    }
}
