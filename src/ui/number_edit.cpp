#include "ui/number_edit.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include "platform/number_text.h"
#include "platform/window_messages.h"

namespace {

bool IsDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

}  // namespace

CNumberEdit::CNumberEdit(QWidget* parent) : QLineEdit(parent) {
    // A dropped text would bypass the range check.
    setAcceptDrops(false);
    connect(this, &QLineEdit::textChanged, this, &CNumberEdit::NotifyParent);
}

void CNumberEdit::SetRange(int32_t minimum, int32_t maximum) {
    minimum_ = minimum;
    maximum_ = maximum;
}

int32_t CNumberEdit::LeadingValue(const QString& text) {
    return ParseLeadingInt(text);
}

bool CNumberEdit::AcceptsInsert(const QString& insert) const {
    bool hasDigit = false;
    for (const QChar c : insert) {
        if (IsDigit(c)) {
            hasDigit = true;
        } else if (c != QLatin1Char('.')) {
            return false;
        }
    }
    if (!hasDigit || minimum_ >= maximum_) {
        return true;
    }
    QString candidate = text();
    if (hasSelectedText()) {
        candidate.replace(selectionStart(), selectedText().size(), insert);
    } else {
        candidate.insert(cursorPosition(), insert);
    }
    const int32_t value = LeadingValue(candidate);
    return value >= minimum_ && value <= maximum_;
}

void CNumberEdit::InsertChecked(const QString& text) {
    const QString trimmed = text.trimmed();
    if (!trimmed.isEmpty() && AcceptsInsert(trimmed)) {
        insert(trimmed);
    }
}

void CNumberEdit::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste)) {
        InsertChecked(QGuiApplication::clipboard()->text());
        event->accept();
        return;
    }
    const QString typed = event->text();
    const bool character = typed.size() == 1 && typed[0].isPrint() &&
                           !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (!character) {
        // Backspace, Delete, the caret keys, Enter and the editing shortcuts work as usual.
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (typed == QLatin1String(".") || (IsDigit(typed[0]) && AcceptsInsert(typed))) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CNumberEdit::inputMethodEvent(QInputMethodEvent* event) {
    if (event->commitString().isEmpty() || AcceptsInsert(event->commitString())) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent withoutCommit(event->preeditString(), event->attributes());
    QLineEdit::inputMethodEvent(&withoutCommit);
}

void CNumberEdit::mouseReleaseEvent(QMouseEvent* event) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (event->button() == Qt::MiddleButton && clipboard->supportsSelection()) {
        InsertChecked(clipboard->text(QClipboard::Selection));
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void CNumberEdit::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    // The menu's own paste would insert anything; it goes through the range check instead. The
    // action is known by the text QLineEdit gives it (translated the same way), without the
    // shortcut that follows a tab.
    const QString pasteText = QLineEdit::tr("&Paste");
    for (QAction* action : menu->actions()) {
        if (action->text().section(QLatin1Char('\t'), 0, 0) == pasteText) {
            disconnect(action, &QAction::triggered, nullptr, nullptr);
            connect(action, &QAction::triggered, this,
                    [this] { InsertChecked(QGuiApplication::clipboard()->text()); });
        }
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void CNumberEdit::NotifyParent() {
    if (QWidget* parent = parentWidget()) {
        SendWindowMessage(parent, qvmsg::kNumberEditChanged, WParam(this), 0);
    }
}
