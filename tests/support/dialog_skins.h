#pragma once
// The main window's skins for dialog tests: the dialog skin, the general and close buttons and
// the option box, loaded from the program's resources as the main window loads them, handed
// out through the process-wide main window for as long as the object lives.

#include <QString>
#include <map>

#include "image/dib_image.h"
#include "ui/main_window_services.h"

// Resources of a static library are registered by name, outside any namespace.
inline void InitDialogSkinResources() {
    Q_INIT_RESOURCE(skins);
}

class DialogSkins : public MainWindowServices {
public:
    DialogSkins() {
        InitDialogSkinResources();
        for (int number : {129, 202, 210, 211, 217, 218, 222, 224}) {
            CDibImage& image = images_[number];
            image.LoadFromResource(QStringLiteral(":/skins/%1.png").arg(number), kDibFormatPng);
            image.ReduceDepth(24);
        }
        SetTheMainWindow(this);
    }
    ~DialogSkins() override { SetTheMainWindow(nullptr); }
    QObject* MessageTarget() override { return nullptr; }
    void ToggleFullScreen() override {}
    int WorkMode() const override { return 0; }
    const CDibImage* SkinImage(int number) const override {
        const auto found = images_.find(number);
        return found != images_.end() && found->second.IsValid() ? &found->second : nullptr;
    }
    int StoredVideoWidth() const override { return -1; }
    int StoredVideoHeight() const override { return -1; }

private:
    std::map<int, CDibImage> images_;
};
