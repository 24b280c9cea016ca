#pragma once
// The "Gen. Bin File" page: a firmware file loaded into a working copy of its image, which is
// searched for the user parameter table's marker.

#include <QWidget>

#include "app/Dialogs.h"
#include "image/ImageStore.h"

class BinFilePage : public QWidget {
    Q_OBJECT

public:
    explicit BinFilePage(QWidget* parent = nullptr);
    void Attach(zarn::ImageStore& images, Dialogs& dialog);

    // A file that cannot be loaded copies nothing and says so.
    void CurrentFileBitBtnClick();
    void btnCheckClick();
    void btnSaveBitBinClick();
    std::uint32_t TableMarkerOffset() const { return MarkerOffset; }
    std::uint32_t ModifyLength() const { return Length; }

signals:
    // " Save": the built-in image into both buffers.
    void btnSaveBinClick();

private:
    // Loads ModifyFilePath; false when nothing could be loaded.
    bool ReadModifyFile();
    // Searches the working copy; true (and the group enabled) when the marker is there.
    bool SearchMarker();
    void Enable(const char* name);

    zarn::ImageStore* Images = nullptr;
    Dialogs* Dialog = nullptr;
    QString ModifyFilePath;
    QString NewBinFilePath;
    std::uint32_t Length = 0;
    std::uint32_t MarkerOffset = 0;
};
