#pragma once
// CThumnailView: the strip of small pictures of the photos taken in this run, newest first, with
// a red frame on the selected one, the text buttons "上一张", "下一张" and "删除", a counter and
// the selected picture's file name. It is the source of the picture the work region shows as a
// still picture, and of the file list the PDF dialog starts with.

#include <QFont>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>

#include "image/dib_image.h"
#include "platform/win_types.h"

// One thumbnail: the small picture, the file it stands for, and a state record that copies of the
// cell share, so that selecting through a copy selects the cell in the list.
class CPicCell : public CDibImage {
public:
    struct State {
        int32_t selected = 0;  // 1 for the selected cell (red frame)
        QvRect rect;           // where the cell was drawn in the last paint; empty when not drawn
    };

    CPicCell(const CDibImage& image, const QString& path);

    std::shared_ptr<State> state;
    QString path;
};

class CThumnailView : public QWidget {
    Q_OBJECT

public:
    // Button state: high byte 0 none, 1 hover, 2 pressed; low byte the button.
    enum : uint16_t { kPrevious = 2, kNext = 3, kDelete = 4, kHover = 0x100, kPressed = 0x200 };

    explicit CThumnailView(QWidget* parent = nullptr);

    // Makes the view a visible child of parent with the control id 100.
    virtual bool Create(QWidget* parent, int id = 100);

    // Adds a photo at the head of the strip; the selection stays on the same picture.
    void AddPicture(const CDibImage& image, const QString& path);
    // Selects the newest picture and scrolls the strip to its start.
    void SelectNewest();
    // The selected cell's path; a null string when nothing is selected.
    QString GetSelectedPath() const;
    // Appends every cell's path, newest first.
    void GetAllPaths(QStringList& paths) const;

    // Loads a file into the still-picture item; run after the selection changes, only while the
    // work region shows the still picture. The main window sets it.
    void SetReloadHook(std::function<void(const QString& path)> hook) { reload_ = std::move(hook); }

    void Previous();
    void Next();
    void Delete();

    int32_t Current() const { return current_; }
    int32_t ShownCount() const { return shownCount_; }
    int32_t Selected() const { return selected_; }
    int32_t First() const { return first_; }
    uint16_t ButtonState() const { return buttonState_; }
    int Count() const { return static_cast<int>(cells_.size()); }
    const CPicCell& Cell(int index) const;
    int ControlId() const { return id_; }

    // Geometry of the strip.
    static constexpr int kCellPitch = 65;
    static constexpr int kCellTop = 10;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    int HitCell(int x, int y) const;
    void Select(int index);
    void Reload();
    void UpdateRect(const QvRect& rect);
    void UpdateButtons();
    void PaintCells(QPainter& painter);
    void PaintButtons(QPainter& painter);

    std::list<CPicCell> cells_;
    uint16_t buttonState_ = 0;
    QFont linkFont_;
    QFont hoverFont_;
    QFont plainFont_;
    QvRect prevRect_;
    QvRect nextRect_;
    QvRect deleteRect_;
    int32_t current_ = 0;
    int32_t shownCount_ = 0;
    bool hasItems_ = false;
    int32_t selected_ = 0;
    int32_t first_ = 0;
    int id_ = 0;
    std::function<void(const QString& path)> reload_;
};
