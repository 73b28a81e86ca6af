#pragma once
// The main window's buttons and geometry: the button table (ids, texts, skins, text places,
// the mode each is enabled in) and the layout arithmetic that places the buttons from the
// sizes of their skin images.

#include <QString>
#include <array>
#include <functional>
#include <map>

#include "platform/win_types.h"

enum class ButtonMode { kAlways, kLive, kPicture };

// The main window's controls by the ids their clicks carry (message 1227).
namespace mainctl {
enum Id : int {
    kStoragePath = 1000,
    kFileNaming = 1001,
    kScanSize = 1002,
    kPictureFormat = 1003,
    kCaptureSize = 1004,
    kCameraSettings = 1005,
    kWatermark = 1006,
    kMirror = 1007,
    kFlip = 1008,
    kMakePdf = 1009,
    kDefaults = 1010,
    kFullScreen = 1011,
    kWindowSize = 1012,
    kZoomIn = 1013,
    kZoomOut = 1014,
    kRotateLeft = 1015,
    kRotateRight = 1016,
    kAnnotate = 1017,
    kRecogniseText = 1018,
    kBoxSelect = 1019,
    kSaveAs = 1020,
    kCrop = 1021,
    kBackToLive = 1022,
    kTakePhoto = 1023,
    kContinuous = 1024,
    kPrint = 1025,
    kPrintSetup = 1026,
    kRecord = 1027,
    kRecordSettings = 1028,
    kMinimise = 1029,
    kClose = 1030,
    kOpenFolder = 1036,
    kNewFolder = 1037,
};
}  // namespace mainctl

struct MainButton {
    int id;
    const char16_t* text;  // null: the language table's group languageGroup
    int languageGroup;
    int normal, hover, pressed;  // skin numbers
    int extraWidth, extraHeight;
    QvPoint textAt;
    ButtonMode enabledIn;
    bool whiteText;  // the action buttons on the white panel
    bool tooltip;    // the small view buttons
};

namespace mainui {
constexpr int kFirstToolButton = mainctl::kStoragePath;
constexpr int kToolButtonCount = 31;  // ids 1000 ... 1030
constexpr int kBackgroundSkin = 129;
constexpr int kLogoSkin = 228;
constexpr int kTitleStripHeight = 35;
// The skin's middle rows that the window leaves out.
constexpr int kSkinRowsLeftOut = 100;
constexpr int kCornerEllipse = 15;
}  // namespace mainui

// The 33 buttons in the order the main window sets them up.
const std::array<MainButton, 33>& MainButtons();
const MainButton* FindMainButton(int id);

struct SkinSize {
    int width = 0;
    int height = 0;
};

// Top-left corner of every button, by id, from the sizes of the skin images.
std::map<int, QvPoint> LayOutMainButtons(const std::function<SkinSize(int number)>& skinSize);

// The window's rectangle centred on a screen: left and top truncate, the size is what is left
// of the screen's centre band (the window's own size on every even-sized screen).
QvRect CentredWindowRect(int screenWidth, int screenHeight, int windowWidth, int windowHeight);

// The areas the main window's children cover, for a client area of width x height.
QvRect WorkRegionRect(int clientWidth, int clientHeight);
QvRect ThumbnailStripRect(int clientWidth);
QvRect SaveOptionPanelRect(int clientWidth);
QvRect ColourModePanelRect(int clientWidth);
QvRect ActionPanelRect(int clientWidth);
