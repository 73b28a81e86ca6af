#include "media/media_platform.h"

#include <gst/gst.h>

#include <QByteArray>

namespace {
std::vector<SimulatedCameraSetup> g_cameras;
}  // namespace

void SetSimulatedCameraOptions(const std::vector<SimulatedCameraSetup>& cameras) {
    g_cameras = cameras;
}

void SetSimulatedCameraOption(bool enabled, const QString& pictureFile) {
    g_cameras.clear();
    if (enabled)
        g_cameras.push_back({pictureFile.toStdString(), false});
}

bool MediaPlatformInit() {
    static bool ok = gst_init_check(nullptr, nullptr, nullptr);
    if (!ok)
        return false;
    const QByteArray env = qgetenv("QUORVANE_SIMULATED_CAMERA");
    const bool fromEnv = !env.isEmpty() && env != "0";
    if (SimulatedCameraRegistered())
        return true;
    if (!g_cameras.empty())
        RegisterSimulatedCameras(g_cameras);
    else if (fromEnv)
        RegisterSimulatedCamera("");
    return true;
}
