#include "app/quorvane_dlg.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QUrl>
#include <QWindow>

#include "app/about_dlg.h"
#include "app/work_region_mgr.h"
#include "capture/recording_finisher.h"
#include "platform/font_faces.h"
#include "platform/window_messages.h"
#include "ui/mem_dc.h"
#include "ui/qv_button.h"
#include "ui/window_shape.h"
#include "view/picture_item.h"

// Resources of a static library must be registered by name, outside any namespace.
static void InitSkinResources() {
    Q_INIT_RESOURCE(skins);
}

namespace {
constexpr QvColour kActionTextColour = QvRgb(0xFF, 0xFF, 0xFF);
constexpr QvColour kLinkColour = QvRgb(0x32, 0x32, 0xFF);
constexpr QvColour kVisitedLinkColour = QvRgb(0xC8, 0x64, 0x32);

QColor ToQColor(QvColour c) {
    return QColor(QvRed(c), QvGreen(c), QvBlue(c));
}

QString SkinPath(int number) {
    return QStringLiteral(":/skins/%1.png").arg(number);
}

// A widget the user types text into: every editable line, text, spin and combo box declares
// itself so to the input method (read-only ones do not), as must any editor that takes Chinese.
bool TakesTypedText(const QWidget* widget) {
    return widget != nullptr && widget->testAttribute(Qt::WA_InputMethodEnabled);
}
}  // namespace

CQuorvaneDlg::CQuorvaneDlg(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint),
      title_(QStringLiteral("Veltrasi 高拍仪 1.0")),
      recordingFinisher_(std::make_unique<CRecordingFinisher>()),
      encoderLoader_(&CVideoRecorder::LoadEncoders) {
    for (int i = 0; i < mainui::kToolButtonCount; ++i) {
        toolButtons_[i] = new CQVButton(this, mainui::kFirstToolButton + i);
    }
    openFolderButton_ = new CQVButton(this, mainctl::kOpenFolder);
    newFolderButton_ = new CQVButton(this, mainctl::kNewFolder);

    LoadSkins();
    const CDibImage* logo = SkinImage(mainui::kLogoSkin);
    if (logo != nullptr && logo->IsValid()) {
        QImage icon(int(logo->GetWidth()), int(logo->GetHeight()), QImage::Format_RGB32);
        QPainter p(&icon);
        logo->Draw(&p, 0, 0);
        p.end();
        setWindowIcon(QIcon(QPixmap::fromImage(icon)));
    }
    SetTheMainWindow(this);
    CreateFonts();
    setWindowTitle(title_);
    stored_ = ReadStoredSettings(settings_);
    TakeStoredWatermark(stored_.watermark);
    pictureFormatNumber_ = stored_.picFormat;
    pictureExtension_ = CPhotoNamer::FormatExtension(stored_.picFormat, pictureExtension_);
    captureInterval_ = stored_.interval;
    WatchSettingsFile();
    EnsureDefaultFolder(stored_.picPath);

    // Keys reach the main window before any of its children (see eventFilter).
    qApp->installEventFilter(this);
}

CQuorvaneDlg::~CQuorvaneDlg() {
    WaitForRecordings();
    encoderLoader_.join();
}

void CQuorvaneDlg::LoadSkins() {
    InitSkinResources();
    background_.LoadFromResource(SkinPath(mainui::kBackgroundSkin), kDibFormatPng);
    if (background_.IsValid()) {
        backgroundBitmap_ =
            QImage(int(background_.GetWidth()), int(background_.GetHeight()), QImage::Format_RGB32);
        QPainter p(&backgroundBitmap_);
        background_.Draw(&p, 0, 0);
    }
    auto load = [this](int number) {
        if (skins_.count(number) != 0)
            return;
        CDibImage& image = skins_[number];
        if (image.LoadFromResource(SkinPath(number), kDibFormatPng))
            image.ReduceDepth(24);
    };
    for (const MainButton& b : MainButtons()) {
        load(b.normal);
        load(b.hover);
        load(b.pressed);
    }
    load(224);  // the option items' box
    load(mainui::kLogoSkin);
}

const CDibImage* CQuorvaneDlg::SkinImage(int number) const {
    if (number == mainui::kBackgroundSkin)
        return &background_;
    const auto found = skins_.find(number);
    return found != skins_.end() && found->second.IsValid() ? &found->second : nullptr;
}

void CQuorvaneDlg::CreateFonts() {
    titleFont_ = QvFont(QStringLiteral("幼圆"), 16, 400);
    headingFont_ = QvFont(QStringLiteral("黑体"), 16, 400);
    linkFont_ = QvFont(QStringLiteral("宋体"), 16, 400, true);
}

CQVButton* CQuorvaneDlg::Button(int id) const {
    if (id >= mainui::kFirstToolButton && id < mainui::kFirstToolButton + mainui::kToolButtonCount)
        return toolButtons_[id - mainui::kFirstToolButton];
    if (id == mainctl::kOpenFolder)
        return openFolderButton_;
    if (id == mainctl::kNewFolder)
        return newFolderButton_;
    return nullptr;
}

void CQuorvaneDlg::showEvent(QShowEvent* event) {
    if (!initialised_) {
        initialised_ = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

bool CQuorvaneDlg::OnInitDialog() {
    PlaceOnScreen();
    ApplyRoundedShape(true);
    if (!CreateChildren())
        return false;
    ReportSettingsProblem(stored_.problem);
    SetUpButtons();
    EnableForMode(0);
    OnSetWorkMode(0);  // live mode: the preview starts and the items are laid out
    return true;
}

void CQuorvaneDlg::PlaceOnScreen() {
    const int width = int(background_.GetWidth());
    const int height = int(background_.GetHeight()) - mainui::kSkinRowsLeftOut;
    QScreen* display = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    const QRect area = display != nullptr ? display->geometry() : QRect(0, 0, width, height);
    const QvRect r = CentredWindowRect(area.width(), area.height(), width, height);
    setGeometry(area.x() + r.left, area.y() + r.top, r.Width(), r.Height());
}

void CQuorvaneDlg::ApplyRoundedShape(bool rounded) {
    if (rounded) {
        setMask(RoundedWindowRegion(size(), mainui::kCornerEllipse));
    } else {
        clearMask();
    }
}

void CQuorvaneDlg::SetUpButtons() {
    const auto positions = LayOutMainButtons([this](int number) {
        const CDibImage* image = SkinImage(number);
        return image != nullptr ? SkinSize{int(image->GetWidth()), int(image->GetHeight())}
                                : SkinSize{};
    });
    for (const MainButton& b : MainButtons()) {
        CQVButton* button = Button(b.id);
        button->SetImages(SkinImage(b.normal), SkinImage(b.hover), SkinImage(b.pressed),
                          b.extraWidth, b.extraHeight);
        const QvPoint at = positions.at(b.id);
        button->MoveTo(at.x, at.y);
        const QString text = b.text != nullptr
                                 ? QString::fromUtf16(b.text)
                                 : (b.languageGroup > 0 ? Text(b.languageGroup) : QString());
        if (!text.isEmpty())
            button->SetText(b.textAt.x, b.textAt.y, text);
        if (b.whiteText)
            button->SetTextColour(kActionTextColour);
        if (b.tooltip)
            tip_.AddTool(button, this, text);
        button->show();
    }
}

void CQuorvaneDlg::EnableForMode(int mode) {
    for (const MainButton& b : MainButtons()) {
        if (b.enabledIn == ButtonMode::kAlways)
            continue;
        const bool live = b.enabledIn == ButtonMode::kLive;
        Button(b.id)->setEnabled(live ? mode == 0 : mode == 1);
    }
}

void CQuorvaneDlg::SetChildrenVisible(bool visible) {
    for (CQVButton* button : toolButtons_)
        button->setVisible(visible);
    // The colour-mode panel, the thumbnail strip and the save-options panel follow the tool
    // buttons; the two folder buttons stay as they are.
    ShowPanels(visible);
}

void CQuorvaneDlg::EnterFullScreen() {
    SetChildrenVisible(false);
    fullScreen_ = true;
    savedLeft_ = x();
    savedTop_ = y();
    QScreen* display = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    if (display != nullptr)
        setGeometry(display->geometry());
    ApplyRoundedShape(false);
    update();
}

void CQuorvaneDlg::LeaveFullScreen() {
    fullScreen_ = false;
    setGeometry(savedLeft_, savedTop_, int(background_.GetWidth()),
                int(background_.GetHeight()) - mainui::kSkinRowsLeftOut);
    ApplyRoundedShape(true);
    SetChildrenVisible(true);
    update();
}

void CQuorvaneDlg::ToggleFullScreen() {
    if (fullScreen_) {
        LeaveFullScreen();
    } else {
        EnterFullScreen();
    }
}

void CQuorvaneDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    LayOutWorkRegion();  // over WorkRegionRect, or the whole client area in full screen
    PlaceTextBusyPanel();
}

void CQuorvaneDlg::paintEvent(QPaintEvent*) {
    if (fullScreen_)
        return;
    QPainter target(this);
    CMemDC dc(&target, rect());
    QPainter& p = *dc.Painter();
    const int clientWidth = width();
    const int clientHeight = height();

    if (!backgroundBitmap_.isNull()) {
        // The skin's middle rows are left out: the upper half of the window comes from the top
        // rows of the skin, the lower half from row (skin height + 100) / 2 on.
        const int upper = clientHeight / 2;
        const int lowerSource = (backgroundBitmap_.height() + mainui::kSkinRowsLeftOut) / 2;
        p.drawImage(QRect(0, 0, clientWidth, upper), backgroundBitmap_,
                    QRect(0, 0, clientWidth, upper));
        p.drawImage(QRect(0, upper, clientWidth, clientHeight - upper), backgroundBitmap_,
                    QRect(0, lowerSource, clientWidth, clientHeight - upper));
    }

    const QvRect panel = ActionPanelRect(clientWidth);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(panel.left, panel.top, panel.Width(), panel.Height()), 10, 10);
    p.setRenderHint(QPainter::Antialiasing, false);

    // The title strip is dark: the title is white, drawn twice as the skin always drew it.
    p.setPen(Qt::white);
    p.setFont(titleFont_);
    QvTextOut(p, 15, 5, title_);
    p.setFont(headingFont_);
    QvTextOut(p, 15, 5, title_);

    p.setFont(headingFont_);
    QvTextOut(p, clientWidth - 300, 10, siteCaption_);
    p.setPen(Qt::black);
    QvTextOut(p, clientWidth / 2 - 50, clientHeight - 20, footer_);
    linkRect_ = {clientWidth - 230, 10, clientWidth - 120, 30};
    p.setFont(linkFont_);
    p.setPen(ToQColor(linkVisited_ ? kVisitedLinkColour : kLinkColour));
    QvTextOut(p, linkRect_.left, linkRect_.top, siteAddress_);

    const CDibImage* logo = SkinImage(mainui::kLogoSkin);
    if (logo != nullptr)
        logo->Draw(&p, 0, mainui::kTitleStripHeight);
}

void CQuorvaneDlg::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        if (!siteAddress_.isEmpty() && linkRect_.Contains(at.x(), at.y())) {
            QDesktopServices::openUrl(QUrl(siteAddress_));
            linkVisited_ = true;
            update(linkRect_.left, linkRect_.top, linkRect_.Width(), linkRect_.Height());
        } else if (rect().contains(at) && at.y() < mainui::kTitleStripHeight && !fullScreen_) {
            dragOffset_ = at;
            // The window manager moves the window where it can (and must, on Wayland).
            if (windowHandle() == nullptr || !windowHandle()->startSystemMove())
                dragging_ = true;
        }
    }
    QDialog::mousePressEvent(event);
}

void CQuorvaneDlg::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_)
        move(event->globalPosition().toPoint() - dragOffset_);
    QDialog::mouseMoveEvent(event);
}

void CQuorvaneDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (dragging_ && event->button() == Qt::LeftButton)
        dragging_ = false;
    QDialog::mouseReleaseEvent(event);
}

void CQuorvaneDlg::contextMenuEvent(QContextMenuEvent* event) {
    // The title strip's menu stands where the system menu was: it offers the About box.
    if (event->pos().y() >= mainui::kTitleStripHeight)
        return;
    QMenu menu(this);
    menu.addAction(QStringLiteral("&About Quorvane..."), this, &CQuorvaneDlg::ShowAbout);
    menu.exec(event->globalPos());
}

void CQuorvaneDlg::ShowAbout() {
    CAboutDlg about(windowIcon(), this);
    about.exec();
}

bool CQuorvaneDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        if (HandleKey(*static_cast<QKeyEvent*>(event), static_cast<QWidget*>(watched)))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool CQuorvaneDlg::HandleKey(const QKeyEvent& key, const QWidget* receiver) {
    // Neither key may close the window, in any state.
    switch (key.key()) {
        case Qt::Key_Escape:
            // Escape drops the annotation being typed before it leaves full screen.
            if (CPicItem* still = workRegion_ != nullptr ? workRegion_->GetPictureItem() : nullptr;
                still != nullptr && still->GetAnnotateState() != 0)
                still->CancelAnnotation();
            else if (fullScreen_)
                LeaveFullScreen();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Enter finishes what is being typed (an annotation, a threshold, a quality); it
            // photographs only when no text field has the keyboard. The key goes on through the
            // field to its parents, none of which closes the window on it.
            if (TakesTypedText(receiver) || TakesTypedText(QApplication::focusWidget()))
                return false;
            // One press, one photo: a held key (or a foot switch that holds it) repeats the
            // press thirty times a second.
            if (!key.isAutoRepeat())
                TakePhoto();
            return true;
        default:
            return false;
    }
}

bool CQuorvaneDlg::event(QEvent* event) {
    if (event->type() == WindowMessageEvent::EventType()) {
        auto* message = static_cast<WindowMessageEvent*>(event);
        switch (message->message) {
            case qvmsg::kButtonClicked:
                message->result = OnButtonClicked(message->wParam);
                return true;
            case qvmsg::kSetWorkMode:
                message->result = OnSetWorkMode(message->wParam);
                return true;
            case qvmsg::kAutoCropChanged:
                message->result = OnAutoCropChanged(message->wParam);
                return true;
            default:
                break;
        }
    }
    return QDialog::event(event);
}
