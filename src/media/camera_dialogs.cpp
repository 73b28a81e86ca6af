#include "media/camera_dialogs.h"

namespace {
FormatChooser g_chooser;
CameraSettingsShower g_shower;
}  // namespace

int ChooseStreamFormat(const std::vector<StreamCapability>& capabilities, int current) {
    return g_chooser ? g_chooser(capabilities, current) : -1;
}

FormatChooser SetFormatChooser(FormatChooser chooser) {
    FormatChooser old = std::move(g_chooser);
    g_chooser = std::move(chooser);
    return old;
}

void ShowCameraSettings(GstElement* source, const QString& devicePath) {
    if (g_shower)
        g_shower(source, devicePath);
}

CameraSettingsShower SetCameraSettingsShower(CameraSettingsShower shower) {
    CameraSettingsShower old = std::move(g_shower);
    g_shower = std::move(shower);
    return old;
}
