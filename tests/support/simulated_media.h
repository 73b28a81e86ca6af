#pragma once
// The start-up the window tests share: the interface fonts, the simulated document camera and
// the media layer, as the program starts them before its window.

#include "media/media_platform.h"
#include "platform/font_faces.h"

inline bool StartSimulatedMedia() {
    InstallFontFaces();
    SetSimulatedCameraOption(true);
    return MediaPlatformInit();
}
