#pragma once
// Start-up of the media layer: GStreamer's initialisation and, when asked for, the simulated
// document camera (--simulated-camera[=FILE] or QUORVANE_SIMULATED_CAMERA=1).

#include <QString>

// Asks for the simulated camera before MediaPlatformInit (the program's start options).
void SetSimulatedCameraOption(bool enabled, const QString& pictureFile = QString());

// Initialises GStreamer once and registers the simulated camera when it was asked for by the
// option or the environment. User-interface thread; false when GStreamer cannot start.
bool MediaPlatformInit();
