// The main window's "水印设置" command: the watermark dialog edits the main window's watermark
// values; a font and colour confirmed in it apply at once.

#include "app/quorvane_dlg.h"
#include "dialogs/watermark_dialog.h"

void CQuorvaneDlg::ShowWatermarkDialog() {
    CShuiYinDlg dialog(this);
    dialog.SetValues(watermarkX_, watermarkY_, watermarkText_, dateWatermark_);
    dialog.SetWatermarkFont(watermarkFont_, watermarkColour_,
                            [this](const QFont& font, QvColour colour) {
                                watermarkFont_ = font;
                                watermarkColour_ = colour;
                            });
    dialog.exec();
    watermarkX_ = dialog.HorizontalRatio();
    watermarkY_ = dialog.VerticalRatio();
    watermarkText_ = dialog.Text();
    dateWatermark_ = dialog.DateFlag();
}
