#pragma once
// The tool's one window: the end-user view (device, file and process lines, the lamp and
// "Start") above a page control of engineering pages that start-up builds and hides.

#include <QMainWindow>
#include <memory>

#include "transport/KeldrixUsb.h"

namespace Ui {
class TForm1;
}
class QTimer;

class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    // logicalDpi is the screen's horizontal logical resolution; it decides the window's size.
    TForm1(zarn::KeldrixUsb& usbDevice, int logicalDpi, QWidget* parent = nullptr);
    ~TForm1() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate(int logicalDpi);
    void FormClose();
    void SetLampColor(const QColor& color);

    std::unique_ptr<Ui::TForm1> ui;
    zarn::KeldrixUsb& UsbDevice;
    QTimer* Timer1;
};
