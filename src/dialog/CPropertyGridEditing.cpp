// CPropertyGrid: the in-place editors (edit box and drop-down list), opening them and taking
// their values.

#include "dialog/CPropertyGrid.h"

#include <algorithm>
#include <cmath>
#include <locale>
#include <sstream>
#include <utility>

#include "dialog/CPropertyGridCombo.h"
#include "dialog/CPropertyGridInPlaceEdit.h"
#include "dialog/CPropertyGridShared.h"
#include "dialog/GridValueFormat.h"

using namespace property_grid;

CPropertyGridInPlaceEdit* CPropertyGrid::GetInPlaceEdit() const {
    return mEdit.data();
}

CPropertyGridCombo* CPropertyGrid::GetCombo() const {
    return mCombo.data();
}

// --- Editors -----------------------------------------------------------------------------------

void CPropertyGrid::OpenEditor() {
    if (mEdit) {
        mEdit->Commit();
    }
    if (mCombo) {
        mCombo->Cancel();
    }
    const Item* item = FindItem(mFocusedItem);
    const QRect row = GetItemRect(mFocusedItem);
    if (item == nullptr || !item->editable || row.isNull()) {
        return;
    }
    mEditorItem = item->id;
    viewport()->unsetCursor();
    if (item->kind == kText || item->kind == kInteger || item->kind == kDouble) {
        std::string initial;
        if (!item->undefined) {
            initial = item->kind == kText      ? item->text
                      : item->kind == kInteger ? GridValueFormat::IntegerEditText(item->integer)
                                               : GridValueFormat::DoubleEditText(item->real);
        }
        auto* edit = new CPropertyGridInPlaceEdit(viewport(), this, ToQt(initial));
        edit->setFont(font());
        edit->setGeometry(
            QRect(QPoint(GetSplitter() + 1, row.top() + 2), QPoint(row.right(), row.bottom())));
        connect(edit, &CPropertyGridInPlaceEdit::committed, this, &CPropertyGrid::OnEditCommitted);
        mEdit = edit;
        edit->show();
        edit->setFocus(Qt::OtherFocusReason);
        return;
    }
    std::vector<std::string> entries;
    int highlighted = -1;
    if (item->kind == kBool) {
        entries = {kTrueText, kFalseText};
        highlighted = item->undefined ? -1 : (item->flag ? 0 : 1);
    } else {
        entries = item->options;
        const bool inRange =
            item->integer >= 0 && item->integer < static_cast<int64_t>(entries.size());
        highlighted = item->undefined || !inRange ? -1 : static_cast<int>(item->integer);
    }
    QWidget* host = window();
    auto* combo = new CPropertyGridCombo(host, this, font(), std::move(entries), highlighted);
    const QRect button = GetButtonRect();
    const int height = combo->RowHeight() * static_cast<int>(combo->Entries().size()) + 2;
    QPoint topLeft = viewport()->mapTo(host, QPoint(GetSplitter(), row.bottom() + 1));
    const QPoint right = viewport()->mapTo(host, QPoint(button.right(), row.bottom()));
    if (topLeft.y() + height > host->height()) {
        // No room below the row inside the window: open upwards.
        topLeft.setY(std::max(0, viewport()->mapTo(host, row.topLeft()).y() - height));
    }
    combo->setGeometry(QRect(topLeft, QSize(right.x() - topLeft.x() + 1, height)));
    connect(combo, &CPropertyGridCombo::chosen, this, &CPropertyGrid::OnComboChosen);
    connect(combo, &CPropertyGridCombo::closed, this, &CPropertyGrid::OnComboClosed);
    mCombo = combo;
    combo->show();
    combo->raise();
    combo->setFocus(Qt::PopupFocusReason);
}

void CPropertyGrid::CloseEditor() {
    if (mEdit) {
        CPropertyGridInPlaceEdit* edit = mEdit.data();
        mEdit = nullptr;
        disconnect(edit, nullptr, this, nullptr);
        edit->hide();
        edit->deleteLater();
    }
    if (mCombo) {
        CPropertyGridCombo* combo = mCombo.data();
        mCombo = nullptr;
        disconnect(combo, nullptr, this, nullptr);
        combo->hide();
        combo->deleteLater();
    }
    mEditorItem = -1;
}

bool CPropertyGrid::ReadNumber(const std::string& text, int kind, int64_t& integer, double& real,
                               QString& reason) {
    const size_t first = text.find_first_not_of(" \t");
    const size_t last = text.find_last_not_of(" \t");
    const std::string number =
        first == std::string::npos ? "" : text.substr(first, last - first + 1);
    std::istringstream in(number);
    in.imbue(std::locale::classic());
    bool whole = false;
    if (kind == kInteger) {
        // Digits with an optional sign only: no "1.5", no "1e3".
        whole = number.find_first_not_of("+-0123456789") == std::string::npos && (in >> integer) &&
                in.peek() == std::char_traits<char>::eof();
    } else {
        whole = number.find_first_not_of("+-0123456789.eE") == std::string::npos && (in >> real) &&
                in.peek() == std::char_traits<char>::eof() && std::isfinite(real);
    }
    if (!whole) {
        reason = QStringLiteral("\"%1\" is not %2")
                     .arg(QString::fromStdString(text), kind == kInteger
                                                            ? QStringLiteral("a whole number")
                                                            : QStringLiteral("a number"));
    }
    return whole;
}

void CPropertyGrid::OnEditCommitted(const QString& text) {
    const int id = mEditorItem;
    CloseEditor();
    Item* item = FindItem(id);
    if (item == nullptr) {
        return;
    }
    const std::string value = text.toStdString();
    switch (item->kind) {
        case kText:
            item->text = value;
            break;
        case kInteger:
        case kDouble: {
            if (value.empty()) {
                viewport()->update();
                return;  // an empty text leaves the number as it was and reports nothing
            }
            int64_t integer = 0;
            double real = 0.0;
            QString reason;
            if (!ReadNumber(value, item->kind, integer, real, reason)) {
                viewport()->update();
                emit inputRefused(id, reason);  // the number stays as it was
                return;
            }
            if (item->kind == kInteger) {
                item->integer = integer;
            } else {
                item->real = real;
            }
            break;
        }
        default:
            return;
    }
    item->undefined = false;
    viewport()->update();
    emit itemChanged(id);
}

void CPropertyGrid::OnComboChosen(int index) {
    const int id = mEditorItem;
    CloseEditor();
    Item* item = FindItem(id);
    if (item == nullptr) {
        return;
    }
    if (item->kind == kBool) {
        item->flag = index == 0;
    } else if (item->kind == kCombo) {
        item->integer = index;
    } else {
        return;
    }
    item->undefined = false;
    viewport()->update();
    emit itemChanged(id);
}

void CPropertyGrid::OnComboClosed() {
    CloseEditor();
    viewport()->update();
}
