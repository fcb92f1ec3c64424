// CPropertyGrid: the keyboard focus and the mouse (focus, sections, the splitter, the button).

#include "dialog/CPropertyGrid.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>
#include <cstdlib>

#include "dialog/CPropertyGridCombo.h"
#include "dialog/CPropertyGridInPlaceEdit.h"

namespace {

constexpr int kSplitterGrip = 2;  // pointer distance at which the splitter can be dragged

}  // namespace

// --- Focus and keyboard ------------------------------------------------------------------------

void CPropertyGrid::FocusRow(int section, int item) {
    mFocusedSection = item >= 0 ? -1 : section;
    mFocusedItem = item;
    emit focusChanged(item);
    EnsureVisible(section, item);
    viewport()->update();
}

void CPropertyGrid::MoveFocus(int step) {
    const std::vector<Row> rows = VisibleRows();
    if (rows.empty()) {
        return;
    }
    const int count = static_cast<int>(rows.size());
    int current = -1;
    for (int i = 0; i < count; ++i) {
        const Row& row = rows[static_cast<size_t>(i)];
        const bool isFocused = row.item >= 0 ? row.item == mFocusedItem
                                             : mFocusedItem < 0 && row.section == mFocusedSection;
        if (isFocused) {
            current = i;
        }
    }
    if (current < 0 && mFocusedItem >= 0) {
        // The focused item is hidden in a collapsed section: start from that section's header.
        for (int i = 0; i < count; ++i) {
            const Row& row = rows[static_cast<size_t>(i)];
            if (row.item == -1 && FindSection(row.section) != nullptr) {
                for (const Item& item : FindSection(row.section)->items) {
                    if (item.id == mFocusedItem) {
                        current = i;
                    }
                }
            }
        }
    }
    const int next = current < 0 ? (step > 0 ? 0 : count - 1) : (current + step + count) % count;
    FocusRow(rows[static_cast<size_t>(next)].section, rows[static_cast<size_t>(next)].item);
}

void CPropertyGrid::keyPressEvent(QKeyEvent* event) {
    const Section* focusedSection = mFocusedItem < 0 ? FindSection(mFocusedSection) : nullptr;
    switch (event->key()) {
        case Qt::Key_Down:
            MoveFocus(1);
            break;
        case Qt::Key_Up:
            MoveFocus(-1);
            break;
        case Qt::Key_Right:
            if (focusedSection != nullptr && focusedSection->collapsed) {
                ExpandSection(focusedSection->id, true);
            } else {
                MoveFocus(1);
            }
            break;
        case Qt::Key_Left:
            if (focusedSection != nullptr && !focusedSection->collapsed) {
                ExpandSection(focusedSection->id, false);
            } else {
                MoveFocus(-1);
            }
            break;
        default: {
            const QString text = event->text();
            if (text == QLatin1String("+") || text == QLatin1String("-")) {
                if (focusedSection != nullptr) {
                    ExpandSection(focusedSection->id, text == QLatin1String("+"));
                }
            } else if (text == QLatin1String("*") || text == QLatin1String("/")) {
                for (Section& section : mSections) {
                    section.collapsed = text == QLatin1String("/");
                }
                RecalcLayout();
            } else {
                event->ignore();  // Enter, Escape and Tab belong to the dialog
                return;
            }
            break;
        }
    }
    event->accept();
}

// --- Mouse -------------------------------------------------------------------------------------

bool CPropertyGrid::NearSplitter(int x) const {
    return std::abs(x - GetSplitter()) <= kSplitterGrip;
}

void CPropertyGrid::UpdateCursor(int x) {
    if (!mDraggingSplitter && (mEdit || mCombo || !NearSplitter(x))) {
        viewport()->unsetCursor();
    } else {
        viewport()->setCursor(Qt::SplitHCursor);
    }
}

void CPropertyGrid::TakeFocus() {
    setFocus(Qt::MouseFocusReason);
    if (mEdit) {
        mEdit->Commit();
    }
    if (mCombo) {
        mCombo->Cancel();
    }
}

void CPropertyGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    TakeFocus();
    const QPoint point = event->position().toPoint();
    const QRect button = GetButtonRect();
    if (!button.isNull() && button.contains(point)) {
        mButtonDown = true;
        mButtonPushed = true;
        viewport()->update();
        return;
    }
    if (NearSplitter(point.x())) {
        mDraggingSplitter = true;
        viewport()->setCursor(Qt::SplitHCursor);
        return;
    }
    const bool hadFocus = mFocusedItem >= 0 || mFocusedSection >= 0;
    mFocusedItem = -1;
    mFocusedSection = -1;
    const int scroll = ScrollPosition();
    for (const Row& row : VisibleRows()) {
        const int top = row.top - scroll;
        if (point.y() < top || point.y() >= top + mLineHeight) {
            continue;
        }
        if (row.item == -1) {
            const QRect box(2, top + 4, 9, 9);
            if (box.contains(point)) {
                Section* section = FindSection(row.section);
                section->collapsed = !section->collapsed;
                mFocusedSection = row.section;
                emit focusChanged(-1);
                RecalcLayout();
                return;
            }
            mFocusedSection = row.section;  // the title: the rest of the header row
            emit focusChanged(-1);
            viewport()->update();
            return;
        }
        mFocusedItem = row.item;
        emit focusChanged(row.item);
        const Item* item = FindItem(row.item);
        if (point.x() > GetSplitter() && item->editable) {
            mEditOnRelease = true;
        }
        viewport()->update();
        return;
    }
    // Nothing hit. The focus is gone, and the notify window hears of it.
    if (hadFocus) {
        emit focusChanged(-1);
    }
    viewport()->update();
}

void CPropertyGrid::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (mDraggingSplitter) {
        const int width = viewport()->width();
        mSplitter = std::clamp(point.x(), width / 5, width * 4 / 5);
        viewport()->update();
        return;
    }
    if (mButtonDown) {
        const bool inside = GetButtonRect().contains(point);
        if (inside != mButtonPushed) {
            mButtonPushed = inside;
            viewport()->update();
        }
        return;
    }
    UpdateCursor(point.x());
}

void CPropertyGrid::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint point = event->position().toPoint();
    if (mDraggingSplitter) {
        mDraggingSplitter = false;
        viewport()->unsetCursor();
    }
    if (mButtonDown || mEditOnRelease) {
        const bool mark = mEditOnRelease;
        mButtonDown = false;
        mButtonPushed = false;
        mEditOnRelease = false;
        const QRect button = GetButtonRect();
        const QRect value = GetValueRect(mFocusedItem);
        if ((!button.isNull() && button.contains(point)) ||
            (mark && !value.isNull() && value.contains(point))) {
            OpenEditor();
        }
        viewport()->update();
    }
}

void CPropertyGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    TakeFocus();  // a list opened by the first click closes unchosen
    const QPoint point = event->position().toPoint();
    if (mFocusedItem < 0) {
        Section* section = FindSection(mFocusedSection);
        if (section != nullptr && GetSectionRect(section->id).contains(point)) {
            section->collapsed = !section->collapsed;
            RecalcLayout();
        }
        return;
    }
    Item* item = FindItem(mFocusedItem);
    if (item == nullptr || item->undefined || !item->editable ||
        !GetItemRect(item->id).contains(point)) {
        return;
    }
    if (item->kind == kBool) {
        item->flag = !item->flag;
    } else if (item->kind == kCombo && !item->options.empty()) {
        const int64_t count = static_cast<int64_t>(item->options.size());
        item->integer = item->integer >= 0 && item->integer < count - 1 ? item->integer + 1 : 0;
    } else {
        return;
    }
    viewport()->update();
    emit itemChanged(item->id);
}
