#include "dialog/CPropertyGrid.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <locale>
#include <sstream>
#include <utility>

#include "dialog/CPropertyGridCombo.h"
#include "dialog/CPropertyGridInPlaceEdit.h"
#include "dialog/GridValueFormat.h"

namespace {

const char* const kTrueText = "True";
const char* const kFalseText = "False";
constexpr int kMargin = 14;       // left margin of item rows, filled with the button face
constexpr int kTextLeft = 18;     // where names start
constexpr int kSplitterGrip = 2;  // pointer distance at which the splitter can be dragged
constexpr int kWheelNotch = 120;  // wheel units per notch
constexpr int kWheelLines = 3;    // lines scrolled per notch

QString ToQt(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

CPropertyGrid::CPropertyGrid(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName(QStringLiteral("CPropertyGrid"));
    setFocusPolicy(Qt::StrongFocus);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);  // painting covers everything: no erase
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    UpdateMetrics();
}

CPropertyGrid::~CPropertyGrid() {
    // Editors close without committing: nothing is reported from a grid being destroyed. The
    // list lives in the top-level window, which may outlive the grid.
    if (mEdit) {
        disconnect(mEdit, nullptr, this, nullptr);
        delete mEdit.data();
    }
    if (mCombo) {
        disconnect(mCombo, nullptr, this, nullptr);
        delete mCombo.data();
    }
}

// --- Building --------------------------------------------------------------------------------

int CPropertyGrid::AddSection(const std::string& name, bool collapsed, int beforeId) {
    Section section;
    section.id = mNextSectionId;
    section.name = name;
    section.collapsed = collapsed;
    auto before = std::find_if(mSections.begin(), mSections.end(),
                               [beforeId](const Section& s) { return s.id == beforeId; });
    mSections.insert(before, std::move(section));
    ++mNextSectionId;
    RecalcLayout();
    return mNextSectionId - 1;
}

int CPropertyGrid::AddItem(int sectionId, Item item) {
    Section* section = FindSection(sectionId);
    if (section == nullptr) {
        return -1;
    }
    for (const Item& existing : section->items) {
        if (existing.name == item.name) {
            return -1;
        }
    }
    item.id = mNextItemId++;
    section->items.push_back(std::move(item));
    RecalcLayout();
    return mNextItemId - 1;
}

int CPropertyGrid::AddTextItem(int section, const std::string& name, const std::string& value,
                               bool editable, bool undefined) {
    Item item;
    item.kind = kText;
    item.name = name;
    item.text = value;
    item.editable = editable;
    item.undefined = undefined;
    return AddItem(section, std::move(item));
}

int CPropertyGrid::AddIntegerItem(int section, const std::string& name, int64_t value,
                                  const std::string& format, bool editable, bool undefined) {
    Item item;
    item.kind = kInteger;
    item.name = name;
    item.integer = value;
    item.options.push_back(format);
    item.editable = editable;
    item.undefined = undefined;
    return AddItem(section, std::move(item));
}

int CPropertyGrid::AddIntegerItem(int section, const std::string& name, int value,
                                  const std::string& format, bool editable, bool undefined) {
    return AddIntegerItem(section, name, static_cast<int64_t>(value), format, editable, undefined);
}

int CPropertyGrid::AddIntegerItem(int section, const std::string& name, unsigned value,
                                  const std::string& format, bool editable, bool undefined) {
    return AddIntegerItem(section, name, static_cast<int64_t>(value), format, editable, undefined);
}

int CPropertyGrid::AddDoubleItem(int section, const std::string& name, double value,
                                 const std::string& format, bool editable, bool undefined) {
    Item item;
    item.kind = kDouble;
    item.name = name;
    item.real = value;
    item.options.push_back(format);
    item.editable = editable;
    item.undefined = undefined;
    return AddItem(section, std::move(item));
}

int CPropertyGrid::AddBoolItem(int section, const std::string& name, bool value, bool editable,
                               bool undefined) {
    Item item;
    item.kind = kBool;
    item.name = name;
    item.flag = value;
    item.editable = editable;
    item.undefined = undefined;
    return AddItem(section, std::move(item));
}

int CPropertyGrid::AddComboItem(int section, const std::string& name,
                                const std::vector<std::string>& entries, int selected,
                                bool editable, bool undefined) {
    Item item;
    item.kind = kCombo;
    item.name = name;
    item.options = entries;
    item.integer = selected;
    item.editable = editable;
    item.undefined = undefined;
    return AddItem(section, std::move(item));
}

// --- Values ----------------------------------------------------------------------------------

bool CPropertyGrid::GetItemValue(int id, bool& value) const {
    const Item* item = FindItem(id);
    if (item == nullptr || item->undefined || item->kind != kBool) {
        return false;
    }
    value = item->flag;
    return true;
}

bool CPropertyGrid::GetItemValue(int id, double& value) const {
    const Item* item = FindItem(id);
    if (item == nullptr || item->undefined || item->kind != kDouble) {
        return false;
    }
    value = item->real;
    return true;
}

bool CPropertyGrid::GetItemValue(int id, int64_t& value) const {
    const Item* item = FindItem(id);
    if (item == nullptr || item->undefined || (item->kind != kInteger && item->kind != kCombo)) {
        return false;
    }
    value = item->integer;
    return true;
}

bool CPropertyGrid::GetItemValue(int id, int& value) const {
    int64_t wide = 0;
    if (!GetItemValue(id, wide)) {
        return false;
    }
    value = static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(wide)));
    return true;
}

bool CPropertyGrid::GetItemValue(int id, std::string& value) const {
    const Item* item = FindItem(id);
    if (item == nullptr || item->undefined) {
        return false;
    }
    if (item->kind == kText) {
        value = item->text;
        return true;
    }
    if (item->kind == kCombo && item->integer >= 0 &&
        item->integer < static_cast<int64_t>(item->options.size())) {
        value = item->options[static_cast<size_t>(item->integer)];
        return true;
    }
    return false;
}

bool CPropertyGrid::SetItemValue(int id, bool value) {
    Item* item = FindItem(id);
    if (item == nullptr || item->kind != kBool) {
        return false;
    }
    item->flag = value;
    item->undefined = false;
    viewport()->update();
    return true;
}

bool CPropertyGrid::SetItemValue(int id, double value) {
    Item* item = FindItem(id);
    if (item == nullptr || item->kind != kDouble) {
        return false;
    }
    item->real = value;
    item->undefined = false;
    viewport()->update();
    return true;
}

bool CPropertyGrid::SetItemValue(int id, int64_t value) {
    Item* item = FindItem(id);
    if (item == nullptr || (item->kind != kInteger && item->kind != kCombo)) {
        return false;
    }
    item->integer = value;
    item->undefined = false;
    viewport()->update();
    return true;
}

bool CPropertyGrid::SetItemValue(int id, int value) {
    return SetItemValue(id, static_cast<int64_t>(value));
}

bool CPropertyGrid::SetItemValue(int id, unsigned value) {
    return SetItemValue(id, static_cast<int64_t>(value));
}

bool CPropertyGrid::SetItemValue(int id, const std::string& value) {
    Item* item = FindItem(id);
    if (item == nullptr || item->kind != kText) {
        return false;
    }
    item->text = value;
    item->undefined = false;
    viewport()->update();
    return true;
}

// --- Sections, focus, look-up ----------------------------------------------------------------

void CPropertyGrid::ExpandSection(int id, bool expand) {
    Section* section = FindSection(id);
    if (section == nullptr) {
        return;
    }
    section->collapsed = !expand;
    RecalcLayout();
}

bool CPropertyGrid::IsSectionCollapsed(int id) const {
    const Section* section = FindSection(id);
    return section != nullptr && section->collapsed;
}

void CPropertyGrid::SetFocusedItem(int id) {
    if (FindItem(id) == nullptr) {
        return;
    }
    mFocusedSection = -1;
    mFocusedItem = id;
    emit focusChanged(id);
    viewport()->update();
    EnsureVisible(-1, id);
}

std::vector<int> CPropertyGrid::GetSectionIds() const {
    std::vector<int> ids;
    for (const Section& section : mSections) {
        ids.push_back(section.id);
    }
    return ids;
}

std::vector<int> CPropertyGrid::GetItemIds(int id) const {
    std::vector<int> ids;
    if (const Section* section = FindSection(id)) {
        for (const Item& item : section->items) {
            ids.push_back(item.id);
        }
    }
    return ids;
}

std::string CPropertyGrid::GetSectionName(int id) const {
    const Section* section = FindSection(id);
    return section != nullptr ? section->name : std::string();
}

std::string CPropertyGrid::GetItemName(int id) const {
    const Item* item = FindItem(id);
    return item != nullptr ? item->name : std::string();
}

int CPropertyGrid::GetItemKind(int id) const {
    const Item* item = FindItem(id);
    return item != nullptr ? item->kind : 0;
}

bool CPropertyGrid::IsItemEditable(int id) const {
    const Item* item = FindItem(id);
    return item != nullptr && item->editable;
}

bool CPropertyGrid::IsItemUndefined(int id) const {
    const Item* item = FindItem(id);
    return item != nullptr && item->undefined;
}

void CPropertyGrid::SetItemEditable(int id, bool editable) {
    if (Item* item = FindItem(id)) {
        item->editable = editable;
        viewport()->update();
    }
}

std::string CPropertyGrid::GetDisplayText(int id) const {
    const Item* item = FindItem(id);
    if (item == nullptr || item->undefined) {
        return std::string();
    }
    const std::string format = item->options.empty() ? std::string() : item->options.front();
    switch (item->kind) {
        case kText:
            return item->text;
        case kInteger:
            return GridValueFormat::FormatInteger(item->integer, format);
        case kDouble:
            return GridValueFormat::FormatDouble(item->real, format);
        case kBool:
            return item->flag ? kTrueText : kFalseText;
        case kCombo:
            if (item->integer >= 0 && item->integer < static_cast<int64_t>(item->options.size())) {
                return item->options[static_cast<size_t>(item->integer)];
            }
            return std::string();
        default:
            return std::string();
    }
}

CPropertyGrid::Item* CPropertyGrid::FindItem(int id) {
    return const_cast<Item*>(static_cast<const CPropertyGrid*>(this)->FindItem(id));
}

const CPropertyGrid::Item* CPropertyGrid::FindItem(int id) const {
    for (const Section& section : mSections) {
        for (const Item& item : section.items) {
            if (item.id == id) {
                return &item;
            }
        }
    }
    return nullptr;
}

CPropertyGrid::Section* CPropertyGrid::FindSection(int id) {
    return const_cast<Section*>(static_cast<const CPropertyGrid*>(this)->FindSection(id));
}

const CPropertyGrid::Section* CPropertyGrid::FindSection(int id) const {
    for (const Section& section : mSections) {
        if (section.id == id) {
            return &section;
        }
    }
    return nullptr;
}

// --- Geometry --------------------------------------------------------------------------------

std::vector<CPropertyGrid::Row> CPropertyGrid::VisibleRows() const {
    std::vector<Row> rows;
    int top = 0;
    for (const Section& section : mSections) {
        rows.push_back(Row{section.id, -1, top});
        top += mLineHeight;
        if (!section.collapsed) {
            for (const Item& item : section.items) {
                rows.push_back(Row{section.id, item.id, top});
                top += mLineHeight;
            }
        }
    }
    return rows;
}

int CPropertyGrid::GetContentHeight() const {
    return static_cast<int>(VisibleRows().size()) * mLineHeight;
}

int CPropertyGrid::ScrollPosition() const {
    return verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn ? verticalScrollBar()->value() : 0;
}

QRect CPropertyGrid::GetSectionRect(int id) const {
    for (const Row& row : VisibleRows()) {
        if (row.item == -1 && row.section == id) {
            return QRect(0, row.top - ScrollPosition(), viewport()->width(), mLineHeight);
        }
    }
    return QRect();
}

QRect CPropertyGrid::GetItemRect(int id) const {
    for (const Row& row : VisibleRows()) {
        if (row.item == id && id >= 0) {
            return QRect(0, row.top - ScrollPosition(), viewport()->width(), mLineHeight);
        }
    }
    return QRect();
}

QRect CPropertyGrid::GetValueRect(int id) const {
    const QRect row = GetItemRect(id);
    if (row.isNull()) {
        return QRect();
    }
    return QRect(QPoint(GetSplitter() + 1, row.top()), QPoint(row.right(), row.bottom()));
}

QRect CPropertyGrid::GetButtonRect() const {
    const Item* item = FindItem(mFocusedItem);
    if (item == nullptr || !item->editable) {
        return QRect();
    }
    const QRect value = GetValueRect(item->id);
    if (value.isNull()) {
        return QRect();
    }
    if (item->kind == kBool || item->kind == kCombo) {
        return QRect(value.right() + 1 - mLineHeight, value.top(), mLineHeight, mLineHeight);
    }
    return value;
}

void CPropertyGrid::UpdateMetrics() {
    const QFontMetrics metrics(font());
    mLineHeight = metrics.size(Qt::TextSingleLine, QStringLiteral("Gg")).height() + 4;
    mBoldFont = font();
    mBoldFont.setWeight(QFont::Bold);
}

void CPropertyGrid::RecalcLayout() {
    const int content = GetContentHeight();
    const int client = viewport()->height();
    QScrollBar* bar = verticalScrollBar();
    if (content == 0 || content < client) {
        bar->setRange(0, 0);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    } else {
        bar->setRange(0, content - client);
        bar->setPageStep(client);
        bar->setSingleStep(mLineHeight);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }
    viewport()->update();
}

// --- Painting --------------------------------------------------------------------------------

void CPropertyGrid::paintEvent(QPaintEvent* event) {
    if (mSplitter < 0) {
        mSplitter = viewport()->width() / 2;
    }
    const qreal ratio = viewport()->devicePixelRatioF();
    QPixmap buffer(viewport()->size() * ratio);
    buffer.setDevicePixelRatio(ratio);
    {
        QPainter painter(&buffer);
        painter.fillRect(QRect(QPoint(0, 0), viewport()->size()), palette().color(QPalette::Base));
        const int scroll = ScrollPosition();
        const QRect dirty = event->rect();
        for (const Row& row : VisibleRows()) {
            const int top = row.top - scroll;
            if (top + mLineHeight <= dirty.top() || top > dirty.bottom()) {
                continue;  // rows outside the update rectangle are not drawn
            }
            const Section* section = FindSection(row.section);
            if (row.item == -1) {
                DrawSectionRow(painter, *section, top);
            } else {
                DrawItemRow(painter, *FindItem(row.item), top);
            }
        }
    }
    QPainter target(viewport());
    target.drawPixmap(0, 0, buffer);
}

void CPropertyGrid::DrawSectionRow(QPainter& painter, const Section& section, int top) const {
    const QPalette& colours = palette();
    const int width = viewport()->width();
    const int bottom = top + mLineHeight - 1;
    painter.fillRect(QRect(0, top, width, mLineHeight), colours.color(QPalette::Button));
    painter.setPen(colours.color(QPalette::Mid));
    painter.drawLine(0, top, width - 1, top);
    painter.drawLine(0, bottom, width - 1, bottom);
    painter.drawLine(GetSplitter(), top, GetSplitter(), bottom);

    // 9 x 9 toggle box at x 2..10, y + 4..12: a minus, or a plus when collapsed.
    const QRect box(2, top + 4, 9, 9);
    painter.fillRect(box, colours.color(QPalette::Base));
    painter.setPen(colours.color(QPalette::Text));
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.drawLine(box.left() + 2, box.top() + 4, box.left() + 6, box.top() + 4);
    if (section.collapsed) {
        painter.drawLine(box.left() + 4, box.top() + 2, box.left() + 4, box.top() + 6);
    }

    painter.setFont(mBoldFont);
    const QFontMetrics metrics(mBoldFont);
    const QString name =
        metrics.elidedText(ToQt(section.name), Qt::ElideRight, std::max(0, width - kTextLeft - 2));
    painter.setPen(colours.color(QPalette::ButtonText));
    const QRect title(kTextLeft, top, width - kTextLeft, mLineHeight);
    painter.drawText(title, Qt::AlignLeft | Qt::AlignVCenter, name);
    if (section.id == mFocusedSection) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect =
            QRect(kTextLeft - 2, top + 1, metrics.horizontalAdvance(name) + 4, mLineHeight - 2);
        focus.backgroundColor = colours.color(QPalette::Button);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void CPropertyGrid::DrawItemRow(QPainter& painter, const Item& item, int top) const {
    const QPalette& colours = palette();
    const int width = viewport()->width();
    const int bottom = top + mLineHeight - 1;
    const bool focused = item.id == mFocusedItem;
    painter.fillRect(QRect(0, top, kMargin, mLineHeight), colours.color(QPalette::Button));
    if (focused) {
        painter.fillRect(QRect(QPoint(kMargin, top), QPoint(GetSplitter() - 1, bottom - 1)),
                         colours.color(QPalette::Highlight));
    }
    painter.setPen(colours.color(QPalette::Mid));
    painter.drawLine(0, bottom, width - 1, bottom);
    painter.drawLine(GetSplitter(), top, GetSplitter(), bottom);

    painter.setFont(font());
    const QFontMetrics metrics(font());
    painter.setPen(colours.color(focused ? QPalette::HighlightedText : QPalette::Text));
    const QRect nameCell(QPoint(kTextLeft, top), QPoint(GetSplitter() - 2, bottom));
    painter.drawText(nameCell, Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(ToQt(item.name), Qt::ElideRight, nameCell.width()));

    QRect valueCell(QPoint(GetSplitter() + 4, top), QPoint(width - 1, bottom));
    const bool hasArrow = focused && item.editable && (item.kind == kBool || item.kind == kCombo);
    if (hasArrow) {
        valueCell.setRight(width - 1 - mLineHeight);
    }
    painter.setPen(item.editable ? colours.color(QPalette::Text)
                                 : colours.color(QPalette::Disabled, QPalette::Text));
    painter.drawText(valueCell, Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(ToQt(GetDisplayText(item.id)), Qt::ElideRight,
                                        std::max(0, valueCell.width())));
    if (hasArrow) {
        QStyleOptionButton button;
        button.initFrom(this);
        button.rect = QRect(width - mLineHeight, top, mLineHeight, mLineHeight);
        button.state |= mButtonDown && mButtonPushed ? QStyle::State_Sunken : QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &button, &painter, this);
        QStyleOption arrow;
        arrow.initFrom(this);
        arrow.rect = button.rect.adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, &painter, this);
    }
}

// --- Size, scrolling, style --------------------------------------------------------------------

void CPropertyGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    const int width = viewport()->width();
    if (mSplitter < 0 && width > 0) {
        mSplitter = width / 2;
    } else if (mSplitter >= 0 && mSplitterWidth > 0 && width > 0 && width != mSplitterWidth) {
        // The name column keeps its share of the width.
        mSplitter =
            std::clamp(static_cast<int>(static_cast<int64_t>(mSplitter) * width / mSplitterWidth),
                       width / 5, width * 4 / 5);
    }
    mSplitterWidth = width;
    RecalcLayout();
}

QString CPropertyGrid::ToolTipAt(QPoint point) const {
    for (const Row& row : VisibleRows()) {
        const int top = row.top - ScrollPosition();
        if (point.y() < top || point.y() >= top + mLineHeight) {
            continue;
        }
        if (row.item < 0) {
            const Section* section = FindSection(row.section);
            return section ? QString::fromStdString(section->name) : QString();
        }
        const Item* item = FindItem(row.item);
        if (item == nullptr) {
            return QString();
        }
        QString text = QString::fromStdString(item->name);
        if (point.x() > GetSplitter() && !item->undefined) {
            text += QStringLiteral(" = ") + QString::fromStdString(GetDisplayText(item->id));
        }
        return text;
    }
    return QString();
}

bool CPropertyGrid::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString text = ToolTipAt(help->pos());
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), text, viewport());
        }
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void CPropertyGrid::scrollContentsBy(int, int dy) {
    // The edit box moves with its row.
    if (mEdit) {
        mEdit->move(mEdit->pos() + QPoint(0, dy));
    }
    if (mCombo) {
        mCombo->move(mCombo->pos() + QPoint(0, dy));
    }
    viewport()->update();
}

void CPropertyGrid::wheelEvent(QWheelEvent* event) {
    if (verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOn) {
        event->ignore();
        return;
    }
    mWheelRemainder += event->angleDelta().y();
    const int notches = mWheelRemainder / kWheelNotch;
    mWheelRemainder -= notches * kWheelNotch;
    if (notches != 0) {
        QScrollBar* bar = verticalScrollBar();
        bar->setValue(bar->value() - notches * kWheelLines * mLineHeight);
    }
    event->accept();
}

void CPropertyGrid::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UpdateMetrics();
        RecalcLayout();
    } else if (event->type() == QEvent::PaletteChange) {
        viewport()->update();
    }
}

void CPropertyGrid::EnsureVisible(int section, int item) {
    const QRect row = item >= 0 ? GetItemRect(item) : GetSectionRect(section);
    if (row.isNull() || verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOn) {
        return;
    }
    QScrollBar* bar = verticalScrollBar();
    const int client = viewport()->height();
    if (row.top() < 0) {
        bar->setValue(bar->value() + row.top());
    } else if (row.bottom() + 1 > client) {
        bar->setValue(bar->value() + row.bottom() + 1 - client);
    }
}

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
