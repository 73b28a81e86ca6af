#pragma once
// CPicItem: the still-picture item of the work region. A picture view that shows one picture
// file and edits it: quarter turns, cropping to the selection box, a line of text written into
// the picture, saving the result under a new name, and printing it.

#include <QString>
#include <functional>

#include "view/picture_printing.h"
#include "view/picture_view.h"

class CInputEdit;

class CPicItem : public CPicture {
    Q_OBJECT

public:
    // Asks the user for the path to save to; an empty result means cancelled.
    using SavePathChooser = std::function<QString(QWidget* owner)>;

    explicit CPicItem(QWidget* parent = nullptr);
    ~CPicItem() override;

    void RotateLeft();
    void RotateRight();
    void CropToSelection();
    // Saves the edited picture under a path the user chooses; nothing when there are no edits.
    // Returns true when the picture was written.
    bool SaveAs();
    // Prints workImage (the picture without its annotation text) on one page of the chosen
    // printer, the default printer when none is chosen, and tells the user how it ended.
    PrintResult Print(const PrinterChoice& printer);
    // Arms the text annotation: the next click on the picture places the text edit.
    void ArmAnnotation();
    // Drops the text being typed and hides its edit (Escape, another picture, the live picture).
    void CancelAnnotation();

    bool IsModified() const { return modified; }
    int GetAnnotateState() const { return annotateState; }
    CInputEdit* GetTextEdit() const { return textEdit; }

    // Replaces the save dialog (tests, scripted runs). An empty chooser restores the dialog.
    void SetSavePathChooser(SavePathChooser chooser) { savePathChooser = std::move(chooser); }

    // The save dialog's filter.
    static QString SaveFilter();

protected:
    bool event(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

    void resizeEvent(QResizeEvent* event) override;

    void ApplyRotation();
    void CommitAnnotation();

    bool modified = false;
    CInputEdit* textEdit = nullptr;
    int32_t textX = 0;
    int32_t textY = 0;
    int annotateState = 0;

private:
    QString AskSavePath();
    void PlaceAnnotation(const QPoint& click);
    // Black on a light part of the picture, white on a dark one.
    QvColour AnnotationColour(int32_t x, int32_t top, int32_t bottom) const;

    SavePathChooser savePathChooser;
};
