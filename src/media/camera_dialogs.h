#pragma once
// The camera's own dialogs (settings and format) as the capture engine asks for them. The
// engine knows no windows: the program installs the real dialogs at start-up, tests install
// stand-ins, and with nothing installed a request is a cancel. User-interface thread only.

#include <gst/gst.h>

#include <QString>
#include <functional>
#include <vector>

#include "media/stream_formats.h"

// Index of the chosen capability, or -1 when cancelled.
using FormatChooser = std::function<int(const std::vector<StreamCapability>&, int current)>;
int ChooseStreamFormat(const std::vector<StreamCapability>& capabilities, int current);
FormatChooser SetFormatChooser(FormatChooser chooser);

// Shows the settings of the camera with this source element and device node, modally.
using CameraSettingsShower = std::function<void(GstElement* source, const QString& devicePath)>;
void ShowCameraSettings(GstElement* source, const QString& devicePath);
CameraSettingsShower SetCameraSettingsShower(CameraSettingsShower shower);
