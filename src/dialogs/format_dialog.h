#pragma once
// The camera's format dialog: the formats and sizes the camera offers, the current one
// selected; the chosen one becomes the preview's format.

#include <QDialog>
#include <vector>

#include "media/stream_formats.h"

class QListWidget;

class FormatDialog : public QDialog {
    Q_OBJECT
public:
    FormatDialog(const std::vector<StreamCapability>& capabilities, int current,
                 QWidget* parent = nullptr);
    int Chosen() const;
    QListWidget* List() const { return list_; }

    // "YUY2  1600 × 1200  30 fps"
    static QString Describe(const StreamCapability& capability);

private:
    QListWidget* list_;
};

// Runs the dialog modally, centred on the active window: the index of the chosen capability, or -1
// when cancelled. The program installs it as the engine's format chooser.
int RunFormatDialog(const std::vector<StreamCapability>& capabilities, int current);
