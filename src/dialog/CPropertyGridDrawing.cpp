// CPropertyGrid: its geometry, painting, size, scrolling and style.

#include "dialog/CPropertyGrid.h"

#include <QFontMetrics>
#include <QHelpEvent>
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

#include "dialog/CPropertyGridCombo.h"
#include "dialog/CPropertyGridInPlaceEdit.h"
#include "dialog/CPropertyGridShared.h"

using namespace property_grid;

namespace {

constexpr int kMargin = 14;       // left margin of item rows, filled with the button face
constexpr int kTextLeft = 18;     // where names start
constexpr int kWheelNotch = 120;  // wheel units per notch
constexpr int kWheelLines = 3;    // lines scrolled per notch

}  // namespace

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
