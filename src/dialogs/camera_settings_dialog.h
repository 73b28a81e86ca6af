#pragma once
// "视频设置", the camera's settings dialog: with the device set, first the choice of camera
// ("摄像头": every camera listed; choosing one moves the live picture to it at once), then the
// chosen camera's own controls: integer controls as sliders with their ranges and steps, booleans
// as check boxes, menus as lists. Changes are applied to the camera at once and the shown values
// are read back from it.

#include <QDialog>
#include <memory>
#include <vector>

#include "media/camera_controls.h"

class CDeviceSet;
class QComboBox;
class QFormLayout;
class QWidget;

class CameraSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // The controls of one camera, without a choice of camera.
    explicit CameraSettingsDialog(std::unique_ptr<CameraControls> controls,
                                  QWidget* parent = nullptr);
    // The device set's cameras and the controls of the one in use.
    explicit CameraSettingsDialog(CDeviceSet* devices, QWidget* parent = nullptr);
    ~CameraSettingsDialog() override;

    // Places the dialog over the middle of owner (the screen's, without one).
    void CentreOn(const QWidget* owner);
    // The editor of the control with this name, the driver's or the one shown.
    QWidget* Editor(const QString& label) const;
    // "摄像头"; null without a device set.
    QComboBox* CameraChoice() const { return cameras_; }
    // The identity of the camera chosen in the dialog; empty while none was.
    const QString& ChosenCamera() const { return chosen_; }
    // Lists the device set's cameras again (one came or went) and shows the controls of the one
    // in use.
    void ReloadCameras();

private:
    void Init();
    void BuildControls(std::unique_ptr<CameraControls> controls);
    void ChooseCamera(int row);
    void Apply(size_t index, int value);
    void Reload(size_t index);
    void ResetDefaults();

    CDeviceSet* devices_ = nullptr;
    QComboBox* cameras_ = nullptr;
    QWidget* controlsBox_ = nullptr;
    QString chosen_;
    std::unique_ptr<CameraControls> controls_;
    std::vector<CameraControl> list_;
    std::vector<QWidget*> editors_;
};

// Shows the dialog modally over the active window for the camera's source element and device
// node.
void ShowCameraSettingsDialog(GstElement* source, const QString& devicePath);
