#pragma once
// The simulated cameras: a live GStreamer source element ("quorvanesimcam") showing the simulated
// scene, and a device provider that lists them through the ordinary device monitor. A camera with
// a picture file is plugged in while that file exists: removing the file unplugs it (its stream
// fails as a real camera's does, and it leaves the device list), putting it back plugs it in.
// Formats: YUY2, MJPG and (where the H.264 encoder is installed) H.264, each at 1600x1200
// (listed first: the default size), 640x480, 1280x720 (30 fps) and 2592x1944 (15 fps).
// The scene is rendered once per change of its controls; a YUY2 frame then costs one noisy copy,
// an MJPG or H.264 frame reuses the picture encoded once per change (H.264 as a key frame).
//
// Controls (GObject properties, shown by the device settings dialog): brightness and contrast
// (-100 .. 100), tilt (-30 .. 30 degrees, counter-clockwise in the upright picture), desk (menu),
// noise (on/off). Property "picture-file" lays a picture file on the desk and follows it: a
// replaced file shows from the next frames (FollowedPictureFile); "start-delay" holds
// back the first frame after a start by that many milliseconds (G_MAXINT: a camera that never
// starts); "built-in" makes it a laptop's webcam, offering 640 x 480 and 1280 x 720 only.

#include <gst/gst.h>

#include <array>
#include <string>
#include <vector>

#include "media/simulated_scene.h"

constexpr const char* kSimulatedCameraElement = "quorvanesimcam";
constexpr const char* kSimulatedCameraName = "Simulated Document Camera";
constexpr const char* kSimulatedWebcamName = "Simulated Integrated Webcam";

struct SimulatedCameraSetup {
    std::string pictureFile;  // empty: the built-in page, and the camera is always plugged in
    bool webcam = false;      // a laptop's built-in camera, listed before every other camera
};

// Registers the element and its device provider in this process (once) and sets the cameras it
// lists: webcams first, then document cameras in the order given; a later call replaces the list
// (cameras asked for again stay as they are). gst_init must have run.
void RegisterSimulatedCameras(const std::vector<SimulatedCameraSetup>& cameras);
// deviceCount document cameras, each laying pictureFile (may be empty) on the desk.
void RegisterSimulatedCamera(const std::string& pictureFile, int deviceCount = 1);
// Changes how many document cameras the provider lists (tests); 0 lists none.
void SetSimulatedCameraCount(int deviceCount);
bool SimulatedCameraRegistered();

// For the provider: the element's type, and the formats and sizes a camera offers.
GType SimulatedCameraElementType();
GstCaps* SimulatedCameraCaps(bool builtIn);

struct SimulatedCameraTruth {
    int width = 0;
    int height = 0;
    double frameTiltDegrees = 0;    // counter-clockwise in the delivered (mirrored) frame
    double uprightTiltDegrees = 0;  // counter-clockwise after the program's mirror
    std::array<ScenePoint, 4> frameCorners{};    // delivered frame pixels, top-left origin
    std::array<ScenePoint, 4> uprightCorners{};  // the same page mirrored back
};

// The truth of the scene that `element` (a quorvanesimcam) is delivering. False when element is
// not a simulated camera or has delivered no frame yet. After a control changes, the truth
// follows with the first frame rendered from the new settings.
bool ReadSimulatedCameraTruth(GstElement* element, SimulatedCameraTruth* truth);
