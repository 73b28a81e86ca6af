#pragma once
// A stand-in for the main window that hands out skins, for tests of the skinned controls and
// dialogs: the pictures a test puts into skins, or the program's own PNG skins by number.

#include <map>

#include "image/dib_image.h"
#include "ui/main_window_services.h"

class SkinServices : public MainWindowServices {
public:
    std::map<int, CDibImage> skins;

    // Loads the program's skins with these resource numbers (the program's resources must be
    // linked in).
    void LoadProgramSkins(std::initializer_list<int> numbers) {
        for (int number : numbers) {
            skins[number].LoadFromResource(QStringLiteral(":/skins/%1.png").arg(number),
                                           kDibFormatPng);
        }
    }

    QObject* MessageTarget() override { return nullptr; }
    void ToggleFullScreen() override {}
    int WorkMode() const override { return 0; }
    const CDibImage* SkinImage(int number) const override {
        const auto found = skins.find(number);
        return found == skins.end() ? nullptr : &found->second;
    }
    int StoredVideoWidth() const override { return -1; }
    int StoredVideoHeight() const override { return -1; }
};
