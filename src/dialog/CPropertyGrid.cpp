// The grid itself: building it, its values, its sections and look-ups. Drawing and layout,
// input and the in-place editors are in CPropertyGridDrawing.cpp, CPropertyGridInput.cpp and
// CPropertyGridEditing.cpp.

#include "dialog/CPropertyGrid.h"

#include <algorithm>
#include <utility>

#include "dialog/CPropertyGridCombo.h"
#include "dialog/CPropertyGridInPlaceEdit.h"
#include "dialog/CPropertyGridShared.h"
#include "dialog/GridValueFormat.h"

using namespace property_grid;

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
