#include "app/TForm1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QProgressBar>
#include <QThread>
#include <QTimer>

#include <QTabBar>

#include "app/FirmwareFiles.h"
#include "app/GlobalTexts.h"
#include "chip/I2cMaster.h"
#include "pages/SpecialI2cGroup.h"
#include "ui_TForm1.h"

namespace {

// From this logical resolution on, the window grows by ExtraSize in both directions.
constexpr int LargeFontDpi = 120;
constexpr int ExtraSize = 140;
constexpr int ProgressBarHeight = 20;

void SetFontPixelSize(QWidget& widget, int pixels) {
    QFont font = widget.font();
    font.setPixelSize(pixels);
    widget.setFont(font);
}

}  // namespace

TForm1::TForm1(zarn::KeldrixUsb& usbDevice, zarn::ImageStore& images,
               const TForm1Environment& environment, QWidget* parent)
    : QMainWindow(parent),
      Dialog(Dialogs::Standard(this)),
      ui(std::make_unique<Ui::TForm1>()),
      UsbDevice(usbDevice),
      Images(images),
      DeviceMonitor(usbDevice, images, Panel, environment.CurrentDirectory,
                    environment.OtherFirmwareFolders),
      Update(usbDevice, images, FlashValues, DeviceMonitor.State, Panel, *this, *this),
      IspWork(usbDevice, images, FlashValues, *this),
      ChipRegisters(usbDevice),
      I2cRegisters(usbDevice, I2cSlaveAddress),
      RegisterShadow(usbDevice, ChipRegisters, {false, 1, 3}),
      I2cShadow(usbDevice, I2cRegisters, {true, 1, 30}),
      Timer1(new QTimer(this)),
      ProgressBar(new QProgressBar) {
    ui->setupUi(this);
    ProgressBar->setParent(ui->centralWidget);
    ProgressBar->setObjectName(QStringLiteral("pbrUpdateProgress"));
    ProgressBar->setRange(0, 100);
    ProgressBar->hide();
    AttachPages();
    SetFontPixelSize(*ui->lblDetectDevice, 16);
    SetFontPixelSize(*ui->lblUpdaeFileStatus, 16);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(zarn::DeviceMonitor::WatchInterval);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    connect(ui->chkDetectUSB, &QCheckBox::clicked, this, &TForm1::chkDetectUSBClick);
    connect(ui->btnSimpleAuto, &QPushButton::clicked, this, &TForm1::btnSimpleAutoClick);
    connect(ui->PageISPCtrl, &IspPage::USBLoadFileBitBtnClick, this,
            &TForm1::USBLoadFileBitBtnClick);
    connect(ui->PageISPCtrl, &IspPage::btnSaveBinClick, this, &TForm1::btnSaveBinClick);
    FormCreate(environment.LogicalDpi);
    if (environment.Engineering) {
        ShowEngineeringPages(environment.LogicalDpi);
    }
    ShowTopPanel();
    Timer1->start();
}

TForm1::~TForm1() {
    if (Worker != nullptr) {
        Worker->wait();  // the run uses this window's state to its end
    }
}

void TForm1::AttachPages() {
    ui->PageISPCtrl->Attach({&IspWork, &DeviceMonitor.State, &Images, &Dialog,
                             [this] { ReadProgramFile(); },
                             [this](std::function<void()> work, std::function<void()> done) {
                                 StartBackground(std::move(work), std::move(done));
                             }});
    ui->TabSheet1->Attach(UsbDevice, RegisterShadow, Dialog);
    ui->PageMI2CCtrl->Attach(UsbDevice, I2cShadow, Dialog);
    ui->PageMI2CCtrl->AttachAddress(I2cSlaveAddress);
    SpecialI2cGroup& specialI2c = ui->Information->SpecialI2c();
    specialI2c.Attach(UsbDevice, I2cSlaveAddress, Dialog);
    connect(&specialI2c, &SpecialI2cGroup::AddressEntered, ui->PageMI2CCtrl,
            &I2cAccessPage::ShowAddress);
    ui->Information->Attach(UsbDevice);
    ui->Parameter->Attach(UsbDevice);
    ui->BinFile->Attach(Images, Dialog);
    connect(ui->BinFile, &BinFilePage::btnSaveBinClick, this, &TForm1::btnSaveBinClick);
    connect(ui->MainPageControl, &QTabWidget::currentChanged, this, &TForm1::MainPageControlChange);
    connect(ui->PageISPCtrl, &IspPage::BusyChanged, this, &TForm1::DeviceBusyChanged);
    connect(ui->TabSheet1, &RegisterMapPage::BusyChanged, this, &TForm1::DeviceBusyChanged);
    connect(ui->PageMI2CCtrl, &RegisterMapPage::BusyChanged, this, &TForm1::DeviceBusyChanged);
}

void TForm1::MainPageControlChange(int index) {
    if (ui->MainPageControl->widget(index) == ui->PageMI2CCtrl) {
        UsbDevice.Open();
        zarn::I2cInit(UsbDevice);
        UsbDevice.Close();
    }
}

void TForm1::DeviceBusyChanged(bool busy) {
    ui->MainPageControl->tabBar()->setEnabled(!busy);
}

bool TForm1::DeviceBusy() const {
    return ui->PageISPCtrl->IsRunning() || ui->TabSheet1->IsReading() ||
           ui->PageMI2CCtrl->IsReading();
}

void TForm1::FormCreate(int logicalDpi) {
    const int extra = logicalDpi >= LargeFontDpi ? ExtraSize : 0;
    setWindowTitle(QString::fromUtf8(zarn::WindowTitle.data(), zarn::WindowTitle.size()));

    ui->PageISPCtrl->ApplyDefaults();

    HeadRegisterGrid(ui->TabSheet1->Grid());
    HeadRegisterGrid(ui->PageMI2CCtrl->Grid());
    ui->MainPageControl->setCurrentWidget(ui->TabSheet1);

    DeviceMonitor.State.DetectEnabled = false;
    DeviceMonitor.State.MonitorPaused = false;
    ui->chkDetectUSB->setChecked(true);
    chkDetectUSBClick(true);

    ui->Parameter->StartUp();

    ui->lbledtVID->setText(QStringLiteral("3e52"));
    ui->lbledtPID->setText(QStringLiteral("f800"));

    // The engineering pages are built but never shown to the end user.
    for (QWidget* page : std::initializer_list<QWidget*>{
             ui->TabSheet1, ui->PageMI2CCtrl, ui->Parameter, ui->Information, ui->BinFile}) {
        ui->MainPageControl->setTabVisible(ui->MainPageControl->indexOf(page), false);
    }
    ui->MainPageControl->hide();
    ui->MainPageControl->resize(ui->MainPageControl->width(), extra + 100);

    resize(extra + 606, extra + 200);

    ui->PageISPCtrl->HideEngineeringControls();
    for (QWidget* control :
         std::initializer_list<QWidget*>{ui->chkDetectUSB, ui->lbledtVID, ui->lbledtPID}) {
        control->hide();
    }

    ui->pnlUSBExist->move(20, 8);
    ui->pnlUSB->resize(ui->pnlUSB->width(), 120);
    ui->lblISPProcStatus->clear();
    // The process line leaves the panel so that a long text can wrap below it.
    const QPoint processLine = ui->lblISPProcStatus->mapTo(ui->centralWidget, QPoint(0, 0));
    ui->lblISPProcStatus->setParent(ui->centralWidget);
    ui->lblISPProcStatus->move(processLine);
    ui->lblISPProcStatus->setWordWrap(true);
    ui->lblISPProcStatus->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ui->lblISPProcStatus->show();
    setMinimumSize(extra + 606, extra + 200);

    btnSaveBinClick();
}

void TForm1::ShowEngineeringPages(int logicalDpi) {
    QTabWidget& pages = *ui->MainPageControl;
    for (int index = 0; index < pages.count(); ++index) {
        pages.setTabVisible(index, true);
    }
    ui->PageISPCtrl->ShowEngineeringControls();
    // Below the end-user view: room for two lines of the process line at its largest font and
    // the progress bar under them.
    const int extra = logicalDpi >= LargeFontDpi ? ExtraSize : 0;
    QFont largest = ui->lblISPProcStatus->font();
    largest.setPointSize(16);
    const int top = ui->lblISPProcStatus->y() + 2 * QFontMetrics(largest).lineSpacing() +
                    ProgressBarHeight + 12;
    const QSize needed = pages.sizeHint().expandedTo(QSize(extra + 606, extra + 340));
    pages.setGeometry(0, top, needed.width(), needed.height());
    pages.show();
    setMinimumSize(needed.width(), top + needed.height());
    resize(minimumSize());
}

void TForm1::Timer1Timer() {
    if (const auto interval = DeviceMonitor.Timer1Timer()) {
        Timer1->setInterval(*interval);
    }
    ShowTopPanel();
}

void TForm1::chkDetectUSBClick(bool checked) {
    DeviceMonitor.chkDetectUSBClick(checked);
    ui->lbledtVID->setEnabled(!checked);
    ui->lbledtPID->setEnabled(!checked);
    ShowTopPanel();
}

void TForm1::USBLoadFileBitBtnClick() {
    DeviceMonitor.ReadProgramFile1();
    ShowTopPanel();
}

void TForm1::btnSaveBinClick() {
    zarn::CopyBuiltInImage(Images);
}

void TForm1::ReadProgramFile() {
    const auto checksum = zarn::ReadProgramFile(Images);
    if (!checksum) {
        Dialog.Inform(QStringLiteral("Dialog"), QStringLiteral("Program File Not Ready !!    "));
        return;
    }
    ui->PageISPCtrl->RememberFirmwareFile(QString::fromStdString(Images.FirmwareFilePath));
    ui->PageISPCtrl->ShowChecksum(QString::fromStdString(*checksum));
}

void TForm1::btnSimpleAutoClick() {
    if (DeviceBusy()) {
        return;  // a run or read of a page has the device
    }
    Update.btnSimpleAutoClick();
    ShowTopPanel();
}

bool TForm1::AskToProceed() {
    return Dialog.Ask(QStringLiteral("Warning"),
                      QString::fromLatin1(zarn::OneButtonUpdate::WarningText));
}

void TForm1::OnUiThread(std::function<void()> action) {
    if (QThread::currentThread() == thread()) {
        action();
    } else {
        QMetaObject::invokeMethod(this, std::move(action), Qt::QueuedConnection);
    }
}

void TForm1::ShowProcessInfo(const std::string& text) {
    OnUiThread(
        [this, text = QString::fromStdString(text)] { ui->PageISPCtrl->ShowProcessInfo(text); });
}

void TForm1::ShowProcessAddress(const std::string& text) {
    OnUiThread(
        [this, text = QString::fromStdString(text)] { ui->PageISPCtrl->ShowProcessAddress(text); });
}

void TForm1::ShowStatusRegister(const std::string& text) {
    OnUiThread(
        [this, text = QString::fromStdString(text)] { ui->PageISPCtrl->ShowStatusRegister(text); });
}

void TForm1::ProcessEvents() {
    // A run on its own thread leaves the window's events to the window's thread.
    if (QThread::currentThread() == thread()) {
        ShowTopPanel();
        QCoreApplication::processEvents();
    }
}

void TForm1::ShowProcessLine(const std::string& text, zarn::ProcessStyle style) {
    OnUiThread([this, text, style] {
        Panel.ProcessLine = text;
        Panel.ProcessLook = style;
        ShowProcessLine();
    });
}

void TForm1::ShowProgress(const zarn::ProgressFigures& figures) {
    OnUiThread([this, figures] {
        ProgressBar->setValue(figures.Percent);
        ProgressBar->setFormat(QStringLiteral("%p %, about %1 s left").arg(figures.Left.count()));
    });
}

void TForm1::StartBackground(std::function<void()> work, std::function<void()> done) {
    Worker = QThread::create(std::move(work));
    connect(Worker, &QThread::finished, this, [this, done = std::move(done)] {
        Worker->wait();
        Worker->deleteLater();
        Worker = nullptr;
        done();
        ShowTopPanel();
    });
    Worker->start();
}

void TForm1::RunInBackground(std::function<void()> work, std::function<void()> done) {
    ui->PageISPCtrl->SetRun(IspPage::Run::Update);
    ProgressBar->setValue(0);
    ProgressBar->setFormat(QStringLiteral("%p %"));
    ProgressBar->show();
    LayOutProcessLine();
    StartBackground(std::move(work), [this, done = std::move(done)] {
        done();
        ProgressBar->setValue(100);
        ProgressBar->hide();
        ui->PageISPCtrl->SetRun(IspPage::Run::None);
    });
}

void TForm1::LayOutProcessLine() {
    QLabel& line = *ui->lblISPProcStatus;
    const int width = std::max(100, this->width() - line.x() - 8);
    line.resize(width, std::max(line.heightForWidth(width), 30));
    ProgressBar->setGeometry(line.x(), line.y() + line.height() + 4, width, ProgressBarHeight);
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    LayOutProcessLine();
}

void TForm1::ShowTopPanel() {
    switch (Panel.Lamp) {
        case zarn::LampColor::ButtonFace:
            SetLampColor(palette().color(QPalette::Button));
            break;
        case zarn::LampColor::Green:
            SetLampColor(QColor(0x00, 0xFF, 0x00));
            break;
        case zarn::LampColor::Grey:
            SetLampColor(QColor(0x80, 0x80, 0x80));
            break;
        case zarn::LampColor::Red:
            SetLampColor(QColor(0xFF, 0x00, 0x00));
            break;
    }
    ui->lblDetectDevice->setText(QString::fromStdString(Panel.DeviceLine));
    ui->lblUpdaeFileStatus->setText(QString::fromStdString(Panel.FileLine));
    ui->lblUpdaeFileStatus->setToolTip(QString::fromStdString(Panel.FileLineTip));
    ShowProcessLine();
    ui->btnSimpleAuto->setText(QString::fromStdString(Panel.StartCaption));
    ui->btnSimpleAuto->setEnabled(Panel.StartEnabled);
}

void TForm1::ShowProcessLine() {
    QLabel& line = *ui->lblISPProcStatus;
    line.setText(QString::fromStdString(Panel.ProcessLine));
    QFont font = line.font();
    QPalette colors = palette();
    switch (Panel.ProcessLook) {
        case zarn::ProcessStyle::AsCreated:
            font.setPixelSize(21);
            break;
        case zarn::ProcessStyle::Step:
            font.setPointSize(12);
            break;
        case zarn::ProcessStyle::Success:
            font.setPointSize(16);
            colors.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0xFF));
            break;
        case zarn::ProcessStyle::Failure:
            font.setPointSize(16);
            colors.setColor(QPalette::WindowText, QColor(0xFF, 0x00, 0x00));
            break;
    }
    line.setFont(font);
    line.setPalette(colors);
    LayOutProcessLine();
}

void TForm1::SetLampColor(const QColor& color) {
    QPalette lamp = ui->pnlUSBExist->palette();
    lamp.setColor(QPalette::Window, color);
    ui->pnlUSBExist->setPalette(lamp);
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (IsRunning()) {
        Dialog.Inform(QStringLiteral("Dialog"), QString::fromLatin1(CloseRefusedText));
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TForm1::FormClose() {
    if (UsbDevice.IsFound()) {
        UsbDevice.Close();
    }
}
