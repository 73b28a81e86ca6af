#pragma once
// CNumberEdit: a single-line edit that only takes input keeping its text a number within
// [minimum, maximum], and tells its parent (message 1229, wParam = this edit) about every change
// of its text. Owners set the range after creating it; while minimum >= maximum any digits go.

#include <QLineEdit>
#include <cstdint>

class CNumberEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit CNumberEdit(QWidget* parent = nullptr);

    void SetRange(int32_t minimum, int32_t maximum);
    int32_t GetMinimum() const { return minimum_; }
    int32_t GetMaximum() const { return maximum_; }

    // The integer value of the text's leading digits, as the owners read it (an empty text is 0).
    static int32_t LeadingValue(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Whether inserting text in place of the selection (or at the caret) is allowed: only digits
    // and "." may come in, and digits must leave the value within the range.
    bool AcceptsInsert(const QString& text) const;
    void InsertChecked(const QString& text);
    void NotifyParent();

    int32_t minimum_ = 0;
    int32_t maximum_ = 0;
};
