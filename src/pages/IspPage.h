#pragma once
// The "ISP" page: the flash by hand. For now it holds the firmware file controls (the path
// history box, the "File" and " Save" buttons, the checksum line) and the flash workers' status,
// address and status-register lines.

#include <QWidget>
#include <memory>

namespace Ui {
class IspPage;
}

class IspPage : public QWidget {
    Q_OBJECT

public:
    explicit IspPage(QWidget* parent = nullptr);
    ~IspPage() override;

    // Adds the path to the history box unless it is there already (exact, case-sensitive) and
    // shows it as the box's text.
    void RememberFirmwareFile(const QString& path);
    void ShowChecksum(const QString& text);
    // Start-up hides the controls the end user must never reach.
    void HideEngineeringControls();
    void ShowProcessInfo(const QString& text);
    void ShowProcessAddress(const QString& text);
    void ShowStatusRegister(const QString& text);

signals:
    void USBLoadFileBitBtnClick();
    void btnSaveBinClick();

private:
    std::unique_ptr<Ui::IspPage> ui;
};
