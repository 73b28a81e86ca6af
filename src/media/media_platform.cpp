#include "media/media_platform.h"

#include <gst/gst.h>

#include <QByteArray>

#include "media/simulated_camera.h"

namespace {
bool g_simulated = false;
QString g_pictureFile;
}  // namespace

void SetSimulatedCameraOption(bool enabled, const QString& pictureFile) {
    g_simulated = enabled;
    g_pictureFile = pictureFile;
}

bool MediaPlatformInit() {
    static bool ok = gst_init_check(nullptr, nullptr, nullptr);
    if (!ok)
        return false;
    const QByteArray env = qgetenv("QUORVANE_SIMULATED_CAMERA");
    const bool fromEnv = !env.isEmpty() && env != "0";
    if ((g_simulated || fromEnv) && !SimulatedCameraRegistered())
        RegisterSimulatedCamera(g_pictureFile.toStdString());
    return true;
}
