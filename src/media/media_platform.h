#pragma once
// Start-up of the media layer: GStreamer's initialisation and, when asked for, the simulated
// cameras (--simulated-camera[=FILE], --simulated-webcam[=FILE], QUORVANE_SIMULATED_CAMERA=1).

#include <QString>
#include <vector>

#include "media/simulated_camera.h"

// Asks for the simulated cameras before MediaPlatformInit (the program's start options).
void SetSimulatedCameraOptions(const std::vector<SimulatedCameraSetup>& cameras);
// One simulated document camera, or none.
void SetSimulatedCameraOption(bool enabled, const QString& pictureFile = QString());

// Initialises GStreamer once and registers the simulated camera when it was asked for by the
// option or the environment. User-interface thread; false when GStreamer cannot start.
bool MediaPlatformInit();
