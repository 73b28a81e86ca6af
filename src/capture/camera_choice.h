#pragma once
// Which camera the program uses. On a laptop the first camera listed is the built-in webcam and
// the document camera comes second, so the order of the list decides nothing but ties: with no
// choice stored, the camera with the largest picture wins (a document camera offers 1600 x 1200
// or more, a laptop's webcam rarely does), among equals an external one. A camera that appears
// while the program runs is taken up only when it is the one the user chose, the one that was
// just unplugged, or any camera while none is chosen and none is in use: the program never
// switches away from a working camera on its own. Plain code over what the device set knows.

#include <cstdint>
#include <string>
#include <vector>

enum class CameraPlacement { kBuiltIn, kUnknown, kExternal };

struct CameraFacts {
    std::string id;           // the camera's stable identity
    int64_t largestArea = 0;  // width × height of the largest picture it offers
    CameraPlacement placement = CameraPlacement::kUnknown;
};

// The camera to use when none is chosen: an index into cameras, -1 for none.
int PreferredCamera(const std::vector<CameraFacts>& cameras);

// The camera to start with: the chosen one when it is present, else the preferred one.
int StartingCamera(const std::vector<CameraFacts>& cameras, const std::string& chosen);

// Whether the camera `appeared` is taken up. current: the camera in use (empty for none); chosen:
// the user's choice (empty for none); lost: the camera that was unplugged while in use.
bool TakesAppearingCamera(const std::string& appeared, const std::string& current,
                          const std::string& chosen, const std::string& lost);
