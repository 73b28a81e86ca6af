#include "dialogs/format_dialog.h"

#include <gst/gst.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QVBoxLayout>

FormatDialog::FormatDialog(const std::vector<StreamCapability>& capabilities, int current,
                           QWidget* parent)
    : QDialog(parent), list_(new QListWidget(this)) {
    setWindowTitle(QStringLiteral("视频格式"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    for (const StreamCapability& c : capabilities)
        list_->addItem(Describe(c));
    if (current >= 0 && current < list_->count())
        list_->setCurrentRow(current);
    list_->setMinimumWidth(260);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    layout->addWidget(buttons);
}

int FormatDialog::Chosen() const {
    return list_->currentRow();
}

// A format the catalogue has no name for is shown by the name the camera gives it (a raw
// format's, else the media type), so that the user can still tell the formats apart.
QString FormatDialog::Describe(const StreamCapability& c) {
    GstStructure* s = gst_structure_from_string(c.caps.c_str(), nullptr);
    QString name = QString::fromStdString(c.formatName);
    if (name.isEmpty() && s) {
        const gchar* raw = gst_structure_get_string(s, "format");
        name = QString::fromUtf8(raw ? raw : gst_structure_get_name(s));
    }
    QString text = QStringLiteral("%1  %2 × %3")
                       .arg(name.isEmpty() ? QStringLiteral("?") : name)
                       .arg(c.width)
                       .arg(c.height);
    int n = 0, d = 1;
    if (s && gst_structure_get_fraction(s, "framerate", &n, &d) && n > 0 && d > 0)
        text += QStringLiteral("  %1 fps").arg(static_cast<double>(n) / d, 0, 'g', 3);
    if (s)
        gst_structure_free(s);
    return text;
}

int RunFormatDialog(const std::vector<StreamCapability>& capabilities, int current) {
    // Opened from the main window, which is then the active one: the dialog opens centred on it.
    FormatDialog dialog(capabilities, current, QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted ? dialog.Chosen() : -1;
}
