#include "app/main_layout.h"

namespace {
constexpr QvPoint kLargeText{15, 55};
constexpr QvPoint kNarrowSmallText{0, 15};
// Four-character labels are 48 pixels or a little more: they sit under their own wider skin.
constexpr QvPoint kWideSmallText{2, 15};

const std::array<MainButton, 33> kButtons = {{
    {1000, nullptr, 1, 132, 130, 131, 0, 0, kLargeText, ButtonMode::kLive, false, false},
    {1001, nullptr, 2, 134, 135, 133, 0, 0, kLargeText, ButtonMode::kLive, false, false},
    {1002, u"扫描幅面", 0, 137, 136, 138, 0, 0, kLargeText, ButtonMode::kLive, false, false},
    {1003, u"图片格式", 0, 140, 139, 141, 0, 0, kLargeText, ButtonMode::kLive, false, false},
    {1004, u"分辨率", 0, 144, 143, 142, 0, 0, {20, 55}, ButtonMode::kLive, false, false},
    {1005, u"曝光调整", 0, 147, 146, 145, 0, 0, kLargeText, ButtonMode::kLive, false, false},
    {1006, u"水印设置", 0, 149, 150, 148, 0, 0, kLargeText, ButtonMode::kLive, false, false},
    {1008, u"上下镜像", 0, 155, 156, 157, 0, 0, kLargeText, ButtonMode::kLive, false, false},
    {1007, u"左右镜像", 0, 158, 159, 154, 0, 0, kLargeText, ButtonMode::kLive, false, false},
    {1009, u"PDF制作", 0, 161, 162, 160, 0, 0, {18, 55}, ButtonMode::kAlways, false, false},
    {1010, u"默认设置", 0, 152, 153, 151, 0, 0, {18, 55}, ButtonMode::kAlways, false, false},
    {1011, u"全屏", 0, 167, 166, 168, 0, 25, kNarrowSmallText, ButtonMode::kLive, false, true},
    {1012, u"窗口大小", 0, 190, 189, 191, 0, 25, kWideSmallText, ButtonMode::kLive, false, true},
    {1013, u"放大", 0, 198, 194, 195, 0, 25, kNarrowSmallText, ButtonMode::kAlways, false, true},
    {1014, u"缩小", 0, 197, 192, 193, 0, 25, kNarrowSmallText, ButtonMode::kAlways, false, true},
    {1015, u"左转90度", 0, 177, 176, 178, 0, 25, kWideSmallText, ButtonMode::kPicture, false, true},
    {1016, u"右转90度", 0, 180, 179, 181, 0, 25, kWideSmallText, ButtonMode::kPicture, false, true},
    {1017, u"标注文字", 0, 182, 169, 170, 0, 25, kWideSmallText, ButtonMode::kPicture, false, true},
    {1018, u"文字识别", 0, 196, 171, 172, 0, 25, kWideSmallText, ButtonMode::kPicture, false, true},
    {1019, u"框选", 0, 187, 186, 188, 0, 25, kNarrowSmallText, ButtonMode::kAlways, false, true},
    {1021, u"裁切", 0, 164, 163, 165, 0, 25, kNarrowSmallText, ButtonMode::kPicture, false, true},
    {1020, u"保存", 0, 184, 183, 185, 0, 25, kNarrowSmallText, ButtonMode::kPicture, false, true},
    {1022, u"返回动态", 0, 174, 173, 175, 0, 25, kWideSmallText, ButtonMode::kPicture, false, true},
    {1036, u"打开目录", 0, 230, 231, 232, 0, 0, {25, 15}, ButtonMode::kAlways, false, false},
    {1037, u"新建文件夹", 0, 230, 231, 232, 0, 0, {25, 15}, ButtonMode::kAlways, false, false},
    {1023, u"拍照", 0, 216, 215, 214, 0, 0, {35, 15}, ButtonMode::kLive, true, false},
    {1024, u"开始连拍", 0, 213, 212, 203, 0, 0, {15, 15}, ButtonMode::kLive, true, false},
    {1025, u"打印", 0, 207, 206, 200, 0, 0, {15, 10}, ButtonMode::kPicture, true, false},
    {1026, u"打印设置", 0, 205, 204, 199, 0, 0, {15, 10}, ButtonMode::kPicture, true, false},
    {1027, u"录像", 0, 211, 210, 202, 0, 0, {15, 10}, ButtonMode::kLive, true, false},
    {1028, u"录像设置", 0, 209, 208, 201, 0, 0, {15, 10}, ButtonMode::kLive, true, false},
    {1029, nullptr, 0, 220, 219, 221, 0, 0, {0, 0}, ButtonMode::kAlways, false, false},
    {1030, nullptr, 0, 217, 222, 218, 0, 0, {0, 0}, ButtonMode::kAlways, false, false},
}};

constexpr int kLargeOrder[] = {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1008, 1007, 1009, 1010};
constexpr int kLargeTop = 35;
constexpr int kLargeLeft = 100;
constexpr int kLargeGap = 7;

// The small buttons' icons are 24 pixels wide; the gap after each button makes room for the
// label of the next. A four-character label (1012, 1015 ... 1018) needs a 44-pixel gap after
// its button, a two-character one 14.
constexpr int kSmallIconWidth = 24;
struct SmallStep {
    int id;
    int gapAfter;
};
constexpr SmallStep kSmallOrder[] = {{1011, 14}, {1012, 44}, {1013, 14}, {1014, 14},
                                     {1015, 44}, {1016, 44}, {1017, 44}, {1018, 44},
                                     {1019, 14}, {1021, 14}, {1020, 14}, {1022, 0}};
constexpr int kSmallLeft = 20;
constexpr int kSmallBelowSkin153 = 50;
}  // namespace

const std::array<MainButton, 33>& MainButtons() {
    return kButtons;
}

const MainButton* FindMainButton(int id) {
    for (const MainButton& b : kButtons) {
        if (b.id == id)
            return &b;
    }
    return nullptr;
}

std::map<int, QvPoint> LayOutMainButtons(const std::function<SkinSize(int number)>& skinSize) {
    std::map<int, QvPoint> at;
    const int backgroundWidth = skinSize(mainui::kBackgroundSkin).width;
    const int titleButtonWidth = skinSize(220).width;
    at[1029] = {backgroundWidth - 2 * titleButtonWidth - 20, 2};
    at[1030] = {at[1029].x + 30, 2};

    int x = kLargeLeft;
    for (int id : kLargeOrder) {
        at[id] = {x, kLargeTop};
        x += skinSize(FindMainButton(id)->hover).width + kLargeGap;
    }

    const int smallTop = skinSize(153).height + kSmallBelowSkin153;
    x = kSmallLeft;
    for (const SmallStep& step : kSmallOrder) {
        at[step.id] = {x, smallTop};
        x += kSmallIconWidth + step.gapAfter;
    }

    at[1036] = {810, 265};
    at[1037] = {skinSize(230).width + 824, 265};

    const int actionRight = skinSize(216).width + 834;
    at[1023] = {820, 310};
    at[1024] = {actionRight, 310};
    const int printTop = 310 + skinSize(213).height;
    at[1025] = {820, printTop};
    at[1026] = {actionRight, printTop};
    const int recordTop = printTop + skinSize(205).height;
    at[1027] = {820, recordTop};
    at[1028] = {actionRight, recordTop};
    return at;
}

QvRect CentredWindowRect(int screenWidth, int screenHeight, int windowWidth, int windowHeight) {
    const int left = (screenWidth - windowWidth) / 2;
    const int top = (screenHeight - windowHeight) / 2;
    return {left, top, (screenWidth + windowWidth) / 2, (screenHeight + windowHeight) / 2};
}

QvRect WorkRegionRect(int clientWidth, int clientHeight) {
    return {27, 175, clientWidth - 250, clientHeight - 48};
}

QvRect ThumbnailStripRect(int clientWidth) {
    return {clientWidth - 210, 125, clientWidth - 10, 260};
}

QvRect SaveOptionPanelRect(int clientWidth) {
    return {clientWidth - 210, 430, clientWidth - 10, 530};
}

QvRect ColourModePanelRect(int clientWidth) {
    return {clientWidth - 210, 540, clientWidth - 10, 620};
}

QvRect ActionPanelRect(int clientWidth) {
    return {clientWidth - 210, 300, clientWidth - 10, 420};
}
