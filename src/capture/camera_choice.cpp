#include "capture/camera_choice.h"

int PreferredCamera(const std::vector<CameraFacts>& cameras) {
    int best = -1;
    for (int i = 0; i < static_cast<int>(cameras.size()); ++i) {
        if (best < 0)
            best = i;
        const CameraFacts& c = cameras[i];
        const CameraFacts& b = cameras[best];
        // Strictly better only: the first listed wins a full tie.
        if (c.largestArea > b.largestArea ||
            (c.largestArea == b.largestArea && c.placement > b.placement))
            best = i;
    }
    return best;
}

int StartingCamera(const std::vector<CameraFacts>& cameras, const std::string& chosen) {
    for (int i = 0; !chosen.empty() && i < static_cast<int>(cameras.size()); ++i) {
        if (cameras[i].id == chosen)
            return i;
    }
    return PreferredCamera(cameras);
}

bool TakesAppearingCamera(const std::string& appeared, const std::string& current,
                          const std::string& chosen, const std::string& lost) {
    if (appeared.empty() || appeared == current)
        return false;
    if (appeared == chosen)
        return true;  // the user's camera takes over from a stand-in
    if (!current.empty())
        return false;
    return appeared == lost || chosen.empty();
}
