// Form_OpenCamera.h: "Open Camera...": the V4L2 cameras to choose from, and the picture size and frame
// rate to ask of the chosen one (0 keeps the device's own).
#pragma once

#include "video/CameraList.h"
#include "video/VideoSource.h"

#include <QDialog>

#include <vector>

class QComboBox;
class QSpinBox;

class TForm_OpenCamera : public QDialog {
    Q_OBJECT
public:
    TForm_OpenCamera(std::vector<TCameraDevice> cameras, QWidget* parent = nullptr);

    // The camera chosen, with the size and rate asked for.
    TVideoSource Source() const;

    QComboBox* CB_Device = nullptr;
    QSpinBox* SE_Width = nullptr;
    QSpinBox* SE_Height = nullptr;
    QSpinBox* SE_Rate = nullptr;

private:
    std::vector<TCameraDevice> FCameras;
};
