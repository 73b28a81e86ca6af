#pragma once
// What the other windows ask of the one main window. The main window sets the process-wide
// pointer when it is constructed; panels, dialogs, the picture views and the photo pipeline
// reach it through TheMainWindow(), which is null before that (and in tests that install none).

#include <QString>
#include <cstdint>

class QObject;
class CDibImage;
class CPicture;

class MainWindowServices {
public:
    virtual ~MainWindowServices() = default;

    // Receiver of the window messages addressed to the main window (1226, 1227, 1232).
    virtual QObject* MessageTarget() = 0;
    // Leaves full screen when it is on, enters it otherwise (picture view's double click).
    virtual void ToggleFullScreen() = 0;
    // Work region mode: -1 not yet set, 0 live picture, 1 still picture.
    virtual int WorkMode() const = 0;
    // A skin image by its resource number (129 ... 232); null when not loaded.
    virtual const CDibImage* SkinImage(int number) const = 0;
    // Stored preferred capture size ([Video] videowidth / videoheight; -1 when unset).
    virtual int StoredVideoWidth() const = 0;
    virtual int StoredVideoHeight() const = 0;
    // The camera chosen in the camera settings ([Video] device; empty when none was).
    virtual QString StoredVideoDevice() const { return {}; }
    // The live picture view (the video item) whose colour mode and threshold the colour mode
    // panel sets; null while there is none.
    virtual CPicture* LivePicture() { return nullptr; }
    // Writes one number to the settings file at once (section "PIC", key "quantity", ...)
    // through the main window's settings store; false when nothing was written.
    virtual bool WriteSetting(const QString& section, const QString& key, int value) {
        (void)section;
        (void)key;
        (void)value;
        return false;
    }
};

MainWindowServices* TheMainWindow();
void SetTheMainWindow(MainWindowServices* window);
