// The main window's "水印设置" command: the watermark dialog edits the main window's watermark
// values; a font and colour confirmed in it apply at once. The watermark is kept in the settings
// file and the next run starts with it.

#include "app/quorvane_dlg.h"
#include "dialogs/watermark_dialog.h"
#include "platform/font_faces.h"

void CQuorvaneDlg::ShowWatermarkDialog() {
    CShuiYinDlg dialog(this);
    dialog.SetValues(watermarkX_, watermarkY_, watermarkText_, dateWatermark_);
    dialog.SetWatermarkFont(watermarkFont_, watermarkColour_,
                            [this](const QFont& font, QvColour colour) {
                                watermarkFont_ = font;
                                watermarkColour_ = colour;
                                StoreWatermark();
                            });
    RunSettingsDialog(dialog);
    watermarkX_ = dialog.HorizontalRatio();
    watermarkY_ = dialog.VerticalRatio();
    watermarkText_ = dialog.Text();
    dateWatermark_ = dialog.DateFlag();
    StoreWatermark();
}

void CQuorvaneDlg::TakeStoredWatermark(const StoredWatermark& mark) {
    watermarkText_ = mark.text;
    dateWatermark_ = mark.date;
    watermarkX_ = mark.x;
    watermarkY_ = mark.y;
    watermarkFont_ = QvFont(mark.face, mark.height, mark.weight, mark.underline);
    watermarkFont_.setItalic(mark.italic);
    watermarkColour_ = mark.colour;
}

void CQuorvaneDlg::StoreWatermark() {
    StoredWatermark mark;
    mark.text = watermarkText_;
    mark.date = dateWatermark_;
    mark.x = watermarkX_;
    mark.y = watermarkY_;
    mark.face = watermarkFont_.family();
    mark.height = watermarkFont_.pixelSize() > 0 ? watermarkFont_.pixelSize() : mark.height;
    mark.weight = watermarkFont_.weight();
    mark.italic = watermarkFont_.italic();
    mark.underline = watermarkFont_.underline();
    mark.colour = watermarkColour_;
    if (mark != stored_.watermark) {
        stored_.watermark = mark;
        WriteWatermarkSettings(&settings_, mark);
    }
}
