#include "dialogs/camera_settings_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdint>

#include "capture/device_set.h"

namespace {

QWidget* MakeSlider(const CameraControl& c, QLabel** valueLabel, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* slider = new QSlider(Qt::Horizontal, row);
    slider->setObjectName(QStringLiteral("slider"));
    slider->setRange(c.minimum, c.maximum);
    slider->setSingleStep(c.step);
    // In 64 bits: a driver's range may span the whole of int.
    const int64_t tenth = (int64_t(c.maximum) - c.minimum) / 10;
    slider->setPageStep(int(std::max<int64_t>(c.step, tenth)));
    slider->setMinimumWidth(220);
    *valueLabel = new QLabel(row);
    (*valueLabel)->setMinimumWidth(48);
    layout->addWidget(slider);
    layout->addWidget(*valueLabel);
    return row;
}

}  // namespace

CameraSettingsDialog::CameraSettingsDialog(std::unique_ptr<CameraControls> controls,
                                           QWidget* parent)
    : QDialog(parent) {
    Init();
    BuildControls(std::move(controls));
}

CameraSettingsDialog::CameraSettingsDialog(CDeviceSet* devices, QWidget* parent)
    : QDialog(parent), devices_(devices) {
    Init();
    ReloadCameras();
}

void CameraSettingsDialog::Init() {
    setWindowTitle(QStringLiteral("视频设置"));
    auto* outer = new QVBoxLayout(this);
    if (devices_) {
        auto* row = new QFormLayout;
        cameras_ = new QComboBox(this);
        cameras_->setObjectName(QStringLiteral("摄像头"));
        row->addRow(QStringLiteral("摄像头"), cameras_);
        outer->addLayout(row);
        connect(cameras_, &QComboBox::activated, this, &CameraSettingsDialog::ChooseCamera);
    }
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Close | QDialogButtonBox::RestoreDefaults, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::accept);
    connect(buttons->button(QDialogButtonBox::Close), &QPushButton::clicked, this,
            &QDialog::accept);
    connect(buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this,
            &CameraSettingsDialog::ResetDefaults);
    outer->addWidget(buttons);
}

void CameraSettingsDialog::ReloadCameras() {
    const QSignalBlocker block(cameras_);
    cameras_->clear();
    for (const CDeviceSet::CameraEntry& camera : devices_->Cameras()) {
        cameras_->addItem(camera.name, camera.id);
        if (camera.id == devices_->CurrentCamera())
            cameras_->setCurrentIndex(cameras_->count() - 1);
    }
    if (devices_->CurrentCamera().isEmpty())
        cameras_->setCurrentIndex(-1);  // none in use (unplugged): none shown as chosen
    AboutDirectShow* engine = devices_->Engine();
    BuildControls(engine
                      ? ControlsForCamera(engine->SourceElement(), engine->videoDevice.DevicePath())
                      : nullptr);
}

void CameraSettingsDialog::ChooseCamera(int row) {
    const QString id = cameras_->itemData(row).toString();
    if (id.isEmpty() || id == devices_->CurrentCamera() || !devices_->SwitchCamera(id))
        return;
    chosen_ = id;
    ReloadCameras();
}

// The controls sit in a box of their own, made again for each camera.
void CameraSettingsDialog::BuildControls(std::unique_ptr<CameraControls> controls) {
    delete controlsBox_;
    controls_ = std::move(controls);
    list_ = controls_ ? controls_->List() : std::vector<CameraControl>{};
    editors_.assign(list_.size(), nullptr);
    controlsBox_ = new QWidget(this);
    auto* form = new QFormLayout(controlsBox_);
    form->setContentsMargins(0, 0, 0, 0);
    static_cast<QVBoxLayout*>(layout())->insertWidget(devices_ ? 1 : 0, controlsBox_);
    for (size_t i = 0; i < list_.size(); ++i) {
        const CameraControl& c = list_[i];
        QWidget* editor = nullptr;
        switch (c.kind) {
            case CameraControl::Kind::kInteger: {
                QLabel* value = nullptr;
                editor = MakeSlider(c, &value, controlsBox_);
                auto* slider = editor->findChild<QSlider*>();
                connect(slider, &QSlider::valueChanged, this, [this, i, value](int v) {
                    value->setNum(v);
                    Apply(i, v);
                });
                break;
            }
            case CameraControl::Kind::kBoolean: {
                auto* box = new QCheckBox(controlsBox_);
                connect(box, &QCheckBox::toggled, this,
                        [this, i](bool on) { Apply(i, on ? 1 : 0); });
                editor = box;
                break;
            }
            case CameraControl::Kind::kMenu: {
                auto* combo = new QComboBox(controlsBox_);
                for (const auto& [value, text] : c.menu)
                    combo->addItem(text, value);
                connect(combo, &QComboBox::activated, this,
                        [this, i, combo](int row) { Apply(i, combo->itemData(row).toInt()); });
                editor = combo;
                break;
            }
        }
        editor->setObjectName(c.label);
        editors_[i] = editor;
        form->addRow(c.caption.isEmpty() ? c.label : c.caption, editor);
        Reload(i);
    }
    if (list_.empty())
        form->addRow(new QLabel(tr("This camera offers no settings."), controlsBox_));
}

CameraSettingsDialog::~CameraSettingsDialog() = default;

QWidget* CameraSettingsDialog::Editor(const QString& label) const {
    for (size_t i = 0; i < list_.size(); ++i) {
        if (list_[i].label == label || list_[i].caption == label)
            return editors_[i];
    }
    return nullptr;
}

void CameraSettingsDialog::Apply(size_t index, int value) {
    controls_->Set(list_[index], value);
    Reload(index);  // the camera may round or refuse the value
}

void CameraSettingsDialog::Reload(size_t index) {
    int value = 0;
    if (!controls_ || !controls_->Get(list_[index], &value))
        return;
    QWidget* editor = editors_[index];
    const QSignalBlocker blockEditor(editor);
    if (auto* box = qobject_cast<QCheckBox*>(editor)) {
        box->setChecked(value != 0);
    } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        combo->setCurrentIndex(combo->findData(value));
    } else if (auto* slider = editor->findChild<QSlider*>()) {
        const QSignalBlocker blockSlider(slider);
        slider->setValue(value);
        if (auto* label = editor->findChild<QLabel*>())
            label->setNum(value);
    }
}

void CameraSettingsDialog::ResetDefaults() {
    for (size_t i = 0; i < list_.size(); ++i)
        Apply(i, list_[i].defaultValue);
}

void CameraSettingsDialog::CentreOn(const QWidget* owner) {
    adjustSize();
    const QRect area = owner != nullptr      ? owner->frameGeometry()
                       : screen() != nullptr ? screen()->availableGeometry()
                                             : QRect();
    move(area.center() - QRect(QPoint(), frameSize()).center());
}

void ShowCameraSettingsDialog(GstElement* source, const QString& devicePath) {
    QWidget* owner = QApplication::activeWindow();
    CameraSettingsDialog dialog(ControlsForCamera(source, devicePath), owner);
    dialog.CentreOn(owner);
    dialog.exec();
}
