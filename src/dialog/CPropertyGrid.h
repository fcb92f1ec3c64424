#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <QPointer>
#include <QRect>
#include <cstdint>
#include <string>
#include <vector>

class CPropertyGridCombo;
class CPropertyGridInPlaceEdit;

// A custom-painted two-column grid (name, value) of items grouped into collapsible sections, with
// in-place editing of the focused item's value.
//
// Sections and items are only added, never removed. Ids come from two independent counters
// starting at 0. Item names are unique within their section (exact comparison). Each item has a
// kind (text, integer, double, drop-down list, bool), an editable flag (read-only items are drawn
// in grey, can take the focus, but open no editor) and an undefined mark (empty value cell; the
// typed getters fail; any committed or set value clears it).
//
// Rows are the section headers and, for expanded sections, their items; each row is one line high
// (font height of "Gg" + 4 pixels). The splitter is the x of the boundary between the columns,
// half the viewport width at the first layout, and can be dragged between one fifth and four
// fifths of the width; when the grid is resized it keeps its share of the width. A row's tool tip
// is its whole name (and, over the value, the value), as a long name is cut in its column. The
// vertical scroll bar shows only when the rows do not fit.
//
// Notifications (Qt signals): itemChanged(id) after the user committed a value, also when it did
// not change; focusChanged(id) when the focused row changed (-1 for a section header or nothing);
// inputRefused(id, reason) when a text typed into a number item is not wholly a number (blanks
// around it aside): the value stays and itemChanged is not sent.
// The in-place edit box (text, integer and double items) and the drop-down list (bool and list
// items) open when the user releases the mouse on the focused item's value; no key opens them.
//
// The class's members are defined in four source files: CPropertyGrid.cpp (building, values,
// look-ups), CPropertyGridDrawing.cpp (geometry, painting, scrolling), CPropertyGridInput.cpp
// (keyboard focus and mouse) and CPropertyGridEditing.cpp (the in-place editors).
//
// Threading: GUI thread only; no locks.
class CPropertyGrid : public QAbstractScrollArea {
    Q_OBJECT

  public:
    enum ItemKind { kText = 1, kInteger = 3, kDouble = 4, kCombo = 5, kBool = 6 };

    explicit CPropertyGrid(QWidget* parent = nullptr);
    ~CPropertyGrid() override;

    // --- Building -------------------------------------------------------------------------------

    // Inserts a section before the section beforeId, or appends it when no section has that id.
    // Names need not be unique. Returns the new id.
    int AddSection(const std::string& name, bool collapsed = false, int beforeId = -1);
    // Each appends an item to the section and returns its id, or -1 (changing nothing) when no
    // section has that id or it already holds an item of that name. format: the printf-style
    // display format of a number item ("" = default, see GridValueFormat).
    int AddTextItem(int section, const std::string& name, const std::string& value,
                    bool editable = true, bool undefined = false);
    int AddIntegerItem(int section, const std::string& name, int64_t value,
                       const std::string& format = "", bool editable = true,
                       bool undefined = false);
    int AddIntegerItem(int section, const std::string& name, int value,
                       const std::string& format = "", bool editable = true,
                       bool undefined = false);
    int AddIntegerItem(int section, const std::string& name, unsigned value,
                       const std::string& format = "", bool editable = true,
                       bool undefined = false);
    int AddDoubleItem(int section, const std::string& name, double value,
                      const std::string& format = "", bool editable = true, bool undefined = false);
    int AddBoolItem(int section, const std::string& name, bool value, bool editable = true,
                    bool undefined = false);
    int AddComboItem(int section, const std::string& name, const std::vector<std::string>& entries,
                     int selected, bool editable = true, bool undefined = false);

    // --- Values ---------------------------------------------------------------------------------

    // False when the item is missing, undefined or of another kind. bool: bool items; double:
    // double items; int64_t: integer items and the selected index of list items; int: the low 32
    // bits of that; text: text items, and list items whose selected index names an entry.
    bool GetItemValue(int item, bool& value) const;
    bool GetItemValue(int item, double& value) const;
    bool GetItemValue(int item, int64_t& value) const;
    bool GetItemValue(int item, int& value) const;
    bool GetItemValue(int item, std::string& value) const;
    // False when the item is missing or of another kind; on success the undefined mark is cleared
    // and the grid repainted. int is sign-extended, unsigned zero-extended; text: text items only.
    bool SetItemValue(int item, bool value);
    bool SetItemValue(int item, double value);
    bool SetItemValue(int item, int64_t value);
    bool SetItemValue(int item, int value);
    bool SetItemValue(int item, unsigned value);
    bool SetItemValue(int item, const std::string& value);
    bool SetItemValue(int item, const char* value) {
        return SetItemValue(item, std::string(value));
    }

    // --- Sections, focus, look-up ---------------------------------------------------------------

    // Collapses (expand false) or expands a section; unknown ids are ignored.
    void ExpandSection(int section, bool expand);
    // False also for an unknown id.
    bool IsSectionCollapsed(int section) const;
    // Focuses an existing item, emits focusChanged and scrolls it into view.
    void SetFocusedItem(int item);
    int GetFocusedItem() const { return mFocusedItem; }
    int GetFocusedSection() const { return mFocusedSection; }

    std::vector<int> GetSectionIds() const;
    // Item ids of a section in order; empty for an unknown id.
    std::vector<int> GetItemIds(int section) const;
    std::string GetSectionName(int section) const;
    std::string GetItemName(int item) const;
    // Kind of the item, 0 for an unknown id.
    int GetItemKind(int item) const;
    bool IsItemEditable(int item) const;
    bool IsItemUndefined(int item) const;
    void SetItemEditable(int item, bool editable);
    // The value text as painted ("" for undefined items).
    std::string GetDisplayText(int item) const;

    // --- Geometry (viewport coordinates) --------------------------------------------------------

    int GetLineHeight() const { return mLineHeight; }
    // Half the viewport width until the first layout.
    int GetSplitter() const { return mSplitter >= 0 ? mSplitter : viewport()->width() / 2; }
    // Height of all rows.
    int GetContentHeight() const;
    // The tool tip at a viewport point: a row's whole name, over an item's value "NAME = VALUE";
    // empty where there is no row.
    QString ToolTipAt(QPoint point) const;
    // The row of a section header or an item; null when hidden in a collapsed section.
    QRect GetSectionRect(int section) const;
    QRect GetItemRect(int item) const;
    // The value cell of an item's row; null when hidden.
    QRect GetValueRect(int item) const;
    // The focused editable item's button: the arrow of bool and list items, the whole value cell
    // of the others; null when there is none.
    QRect GetButtonRect() const;
    // The open editors, null when closed.
    CPropertyGridInPlaceEdit* GetInPlaceEdit() const;
    CPropertyGridCombo* GetCombo() const;

  signals:
    void itemChanged(int item);
    void focusChanged(int item);
    void inputRefused(int item, const QString& reason);

  protected:
    struct Item {
        int id = -1;
        bool editable = true;
        bool undefined = false;
        int kind = kText;
        std::string name;
        std::vector<std::string> options;  // list entries, or the number display format
        int64_t integer = 0;               // integer value, or the list's selected index
        double real = 0.0;
        std::string text;
        bool flag = false;
    };
    struct Section {
        int id = -1;
        std::string name;
        bool collapsed = false;
        std::vector<Item> items;
    };

    Item* FindItem(int id);
    const Item* FindItem(int id) const;
    Section* FindSection(int id);
    const Section* FindSection(int id) const;

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;

  private:
    // One visible row in content coordinates (scroll position 0).
    struct Row {
        int section;
        int item;  // -1 for the section header
        int top;
    };

    int AddItem(int section, Item item);
    std::vector<Row> VisibleRows() const;
    int ScrollPosition() const;
    // Fonts and line height from the widget's font.
    void UpdateMetrics();
    // Scroll bar range, page and visibility from the content height.
    void RecalcLayout();
    void DrawSectionRow(QPainter& painter, const Section& section, int top) const;
    void DrawItemRow(QPainter& painter, const Item& item, int top) const;
    void EnsureVisible(int section, int item);
    // Moves the focus one row down (+1) or up (-1), wrapping around.
    void MoveFocus(int step);
    void FocusRow(int section, int item);
    // Takes the keyboard focus; an open edit box commits, an open list closes unchosen.
    void TakeFocus();
    void OpenEditor();
    void CloseEditor();
    void OnEditCommitted(const QString& text);
    // The committed text of a number item as its number; false with the reason.
    static bool ReadNumber(const std::string& text, int kind, int64_t& integer, double& real,
                           QString& reason);
    void OnComboChosen(int index);
    void OnComboClosed();
    bool NearSplitter(int x) const;
    void UpdateCursor(int x);

    std::vector<Section> mSections;
    int mNextSectionId = 0;
    int mNextItemId = 0;
    int mFocusedSection = -1;
    int mFocusedItem = -1;
    int mSplitter = -1;      // -1 until the first layout with a width
    int mSplitterWidth = 0;  // the viewport width mSplitter was set for
    int mLineHeight = 0;
    QFont mBoldFont;
    int mWheelRemainder = 0;

    bool mDraggingSplitter = false;
    bool mButtonDown = false;     // the user holds the focused item's button
    bool mButtonPushed = false;   // ... and the pointer is inside it
    bool mEditOnRelease = false;  // a press on an editable value cell opens the editor on release

    QPointer<CPropertyGridInPlaceEdit> mEdit;
    QPointer<CPropertyGridCombo> mCombo;
    int mEditorItem = -1;  // the item the open editor belongs to
};
