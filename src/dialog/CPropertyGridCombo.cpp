#include "dialog/CPropertyGridCombo.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <utility>

CPropertyGridCombo::CPropertyGridCombo(QWidget* parent, QWidget* grid, const QFont& font,
                                       std::vector<std::string> entries, int highlighted)
    : QWidget(parent), mGrid(grid), mEntries(std::move(entries)), mHighlighted(highlighted) {
    setObjectName(QStringLiteral("CPropertyGridCombo"));
    setFont(font);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (mHighlighted < -1 || mHighlighted >= static_cast<int>(mEntries.size())) {
        mHighlighted = -1;
    }
}

CPropertyGridCombo::~CPropertyGridCombo() = default;

int CPropertyGridCombo::RowHeight() const {
    return QFontMetrics(font()).size(Qt::TextSingleLine, QStringLiteral("Gg")).height() + 4;
}

int CPropertyGridCombo::RowAt(int y) const {
    if (y < 0) {
        return -1;
    }
    const int row = y / RowHeight();
    return row < static_cast<int>(mEntries.size()) ? row : -1;
}

void CPropertyGridCombo::SetHighlighted(int row) {
    if (row != mHighlighted) {
        mHighlighted = row;
        update();
    }
}

void CPropertyGridCombo::Choose(int index) {
    if (mDone) {
        return;
    }
    mDone = true;
    if (mGrid) {
        mGrid->setFocus(Qt::OtherFocusReason);
    }
    emit chosen(index);
}

void CPropertyGridCombo::Cancel() {
    if (mDone) {
        return;
    }
    mDone = true;
    emit closed();
}

void CPropertyGridCombo::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    painter.fillRect(rect(), colours.color(QPalette::Base));
    painter.setPen(colours.color(QPalette::Text));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    const int rowHeight = RowHeight();
    for (int row = 0; row < static_cast<int>(mEntries.size()); ++row) {
        const QRect rowRect(1, 1 + row * rowHeight, width() - 2, rowHeight);
        const bool highlighted = row == mHighlighted;
        if (highlighted) {
            painter.fillRect(rowRect, colours.color(QPalette::Highlight));
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = rowRect;
            focus.backgroundColor = colours.color(QPalette::Highlight);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
        }
        painter.setPen(colours.color(highlighted ? QPalette::HighlightedText : QPalette::Text));
        painter.drawText(rowRect.adjusted(3, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         QString::fromStdString(mEntries[static_cast<size_t>(row)]));
    }
}

void CPropertyGridCombo::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    mPressed = true;
    SetHighlighted(RowAt(static_cast<int>(event->position().y())));
}

void CPropertyGridCombo::mouseMoveEvent(QMouseEvent* event) {
    if (mPressed && (event->buttons() & Qt::LeftButton) != 0) {
        const int row = RowAt(static_cast<int>(event->position().y()));
        if (row >= 0) {
            SetHighlighted(row);
        }
    }
}

void CPropertyGridCombo::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !mPressed) {
        return;
    }
    mPressed = false;
    const int row = RowAt(static_cast<int>(event->position().y()));
    if (row >= 0 && rect().contains(event->position().toPoint())) {
        Choose(row);
    } else {
        Cancel();
    }
}

void CPropertyGridCombo::keyPressEvent(QKeyEvent* event) {
    const int last = static_cast<int>(mEntries.size()) - 1;
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (mHighlighted >= 0) {
                Choose(mHighlighted);
            } else {
                if (mGrid) {
                    mGrid->setFocus(Qt::OtherFocusReason);
                }
                Cancel();
            }
            break;
        case Qt::Key_Escape:
            if (mGrid) {
                mGrid->setFocus(Qt::OtherFocusReason);
            }
            Cancel();
            break;
        case Qt::Key_Up:
        case Qt::Key_Left:
            if (last >= 0) {
                SetHighlighted(mHighlighted > 0 ? mHighlighted - 1 : 0);
            }
            break;
        case Qt::Key_Down:
        case Qt::Key_Right:
            if (last >= 0) {
                SetHighlighted(mHighlighted < last ? mHighlighted + 1 : last);
            }
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
}

void CPropertyGridCombo::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    Cancel();
}
