#pragma once
// The camera's own settings dialog: integer controls as sliders with their ranges and steps,
// booleans as check boxes, menus as lists. Changes are applied to the camera at once and the
// shown values are read back from it.

#include <QDialog>
#include <memory>
#include <vector>

#include "media/camera_controls.h"

class QWidget;

class CameraSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit CameraSettingsDialog(std::unique_ptr<CameraControls> controls,
                                  QWidget* parent = nullptr);
    ~CameraSettingsDialog() override;

    // The editor of the control with this label (tests, the dialog's own layout).
    QWidget* Editor(const QString& label) const;

private:
    void Apply(size_t index, int value);
    void Reload(size_t index);
    void ResetDefaults();

    std::unique_ptr<CameraControls> controls_;
    std::vector<CameraControl> list_;
    std::vector<QWidget*> editors_;
};

// Shows the dialog modally at (30, 30) for the camera's source element and device node.
void ShowCameraSettingsDialog(GstElement* source, const QString& devicePath);
