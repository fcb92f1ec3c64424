#include "dialog/CPropertyGridInPlaceEdit.h"

#include <QFocusEvent>
#include <QKeyEvent>

CPropertyGridInPlaceEdit::CPropertyGridInPlaceEdit(QWidget* parent, QWidget* grid,
                                                   const QString& initialText)
    : QLineEdit(parent), mGrid(grid), mInitialText(initialText) {
    setObjectName(QStringLiteral("CPropertyGridInPlaceEdit"));
    setFrame(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    setAutoFillBackground(true);
    setText(initialText);
    setCursorPosition(static_cast<int>(initialText.size()));
    deselect();
}

CPropertyGridInPlaceEdit::~CPropertyGridInPlaceEdit() = default;

void CPropertyGridInPlaceEdit::Commit() {
    if (mDone) {
        return;
    }
    mDone = true;
    emit committed(text());
}

void CPropertyGridInPlaceEdit::ReturnToGrid() {
    if (mGrid) {
        mGrid->setFocus(Qt::OtherFocusReason);  // commits through focusOutEvent when active
    }
    Commit();  // the window may be inactive, so no focus event came
}

bool CPropertyGridInPlaceEdit::event(QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            ReturnToGrid();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void CPropertyGridInPlaceEdit::keyPressEvent(QKeyEvent* event) {
    const bool ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            ReturnToGrid();
            event->accept();
            return;
        case Qt::Key_Escape:
            setText(mInitialText);
            ReturnToGrid();
            event->accept();
            return;
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
            if (ctrl) {
                ReturnToGrid();
                event->accept();
                return;
            }
            break;
        default:
            break;
    }
    if ((event->modifiers() & Qt::AltModifier) != 0 && !event->text().isEmpty()) {
        event->accept();  // system characters are swallowed
        return;
    }
    switch (event->key()) {
        case Qt::Key_Up:
            cursorBackward(false);
            break;
        case Qt::Key_Down:
            cursorForward(false);
            break;
        case Qt::Key_PageUp:
            home(false);
            break;
        case Qt::Key_PageDown:
            end(false);
            break;
        default:
            QLineEdit::keyPressEvent(event);
            return;
    }
    event->accept();  // the caret moved; the grid must not see these keys
}

void CPropertyGridInPlaceEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    Commit();
}
