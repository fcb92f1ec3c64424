// The property grid driven through its API and through real key and mouse events: building,
// typed values, display texts, layout and scrolling, keyboard navigation, mouse rules, the
// in-place edit box and the drop-down list.

#include <gtest/gtest.h>
#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "DialogTestSupport.h"
#include "dialog/CPropertyGrid.h"
#include "dialog/CPropertyGridCombo.h"
#include "dialog/CPropertyGridInPlaceEdit.h"

namespace {

class PropertyGridTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(RequireGui());
        grid = std::make_unique<CPropertyGrid>();
        grid->resize(320, 240);
        QObject::connect(grid.get(), &CPropertyGrid::itemChanged,
                         [this](int item) { changed.push_back(item); });
        QObject::connect(grid.get(), &CPropertyGrid::focusChanged,
                         [this](int item) { focused.push_back(item); });
    }

    void Show() { ASSERT_NO_FATAL_FAILURE(ShowActive(*grid)); }

    // A section "S" with one item of each kind; ids in members.
    void AddOneOfEach() {
        section = grid->AddSection("S");
        text = grid->AddTextItem(section, "Text", "hello");
        integer = grid->AddIntegerItem(section, "Integer", int64_t{42});
        real = grid->AddDoubleItem(section, "Double", 1.23456789);
        flag = grid->AddBoolItem(section, "Bool", true);
        list = grid->AddComboItem(section, "List", {"A", "B", "C"}, 2);
    }

    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
    }

    CPropertyGridInPlaceEdit* OpenEdit(int item) {
        Click(*grid, ValuePoint(*grid, item));
        return grid->GetInPlaceEdit();
    }

    std::vector<int> changed;
    std::vector<int> focused;
    std::unique_ptr<CPropertyGrid> grid;  // destroyed before the vectors its signals fill
    int section = -1, text = -1, integer = -1, real = -1, flag = -1, list = -1;
};

// --- Building -----------------------------------------------------------------------------------

TEST_F(PropertyGridTest, SectionsAndItemsGetIdsFromTwoCounters) {
    EXPECT_EQ(grid->AddSection("A"), 0);
    EXPECT_EQ(grid->AddSection("B"), 1);
    EXPECT_EQ(grid->AddSection("C", false, 0), 2);   // inserted before A
    EXPECT_EQ(grid->AddSection("D", false, 99), 3);  // unknown id: appended
    EXPECT_EQ(grid->GetSectionIds(), (std::vector<int>{2, 0, 1, 3}));
    EXPECT_EQ(grid->AddSection("A"), 4);  // names need not be unique

    EXPECT_EQ(grid->AddTextItem(0, "x", "1"), 0);
    EXPECT_EQ(grid->AddBoolItem(1, "x", true), 1);            // the same name in another section
    EXPECT_EQ(grid->AddIntegerItem(0, "x", int64_t{5}), -1);  // duplicate in the section
    EXPECT_EQ(grid->AddDoubleItem(42, "y", 1.0), -1);         // no such section
    EXPECT_EQ(grid->AddComboItem(0, "y", {"a"}, 0), 2);       // failures used no id
    EXPECT_EQ(grid->AddTextItem(0, "X", ""), 3);              // names compare exactly
    EXPECT_EQ(grid->GetItemIds(0), (std::vector<int>{0, 2, 3}));
    EXPECT_TRUE(grid->GetItemIds(77).empty());
}

TEST_F(PropertyGridTest, TypedGettersAndSettersCheckKindAndUndefinedMark) {
    AddOneOfEach();
    std::string s;
    int64_t i64 = 0;
    int i32 = 0;
    double d = 0;
    bool b = false;
    EXPECT_TRUE(grid->GetItemValue(text, s) && s == "hello");
    EXPECT_TRUE(grid->GetItemValue(integer, i64) && i64 == 42);
    EXPECT_TRUE(grid->GetItemValue(real, d) && d == 1.23456789);
    EXPECT_TRUE(grid->GetItemValue(flag, b) && b);
    EXPECT_TRUE(grid->GetItemValue(list, i64) && i64 == 2);
    EXPECT_TRUE(grid->GetItemValue(list, s) && s == "C");
    // Wrong kinds and missing items.
    EXPECT_FALSE(grid->GetItemValue(text, i64));
    EXPECT_FALSE(grid->GetItemValue(integer, s));
    EXPECT_FALSE(grid->GetItemValue(flag, d));
    EXPECT_FALSE(grid->GetItemValue(999, b));
    EXPECT_FALSE(grid->SetItemValue(list, "A"));  // text setter: text items only
    EXPECT_FALSE(grid->SetItemValue(text, true));
    EXPECT_FALSE(grid->SetItemValue(999, 1.0));
    // 32-bit forms.
    EXPECT_TRUE(grid->SetItemValue(integer, -1));
    EXPECT_TRUE(grid->GetItemValue(integer, i64) && i64 == -1);
    EXPECT_TRUE(grid->SetItemValue(integer, 4294967295u));
    EXPECT_TRUE(grid->GetItemValue(integer, i64) && i64 == 4294967295LL);
    EXPECT_TRUE(grid->SetItemValue(integer, int64_t{0x1234567890}));
    EXPECT_TRUE(grid->GetItemValue(integer, i32) && i32 == 0x34567890);
    // A list index outside the entries has no text.
    EXPECT_TRUE(grid->SetItemValue(list, int64_t{3}));
    EXPECT_FALSE(grid->GetItemValue(list, s));
    EXPECT_EQ(grid->GetDisplayText(list), "");

    const int undefined = grid->AddIntegerItem(section, "Undefined", int64_t{7}, "", true, true);
    EXPECT_FALSE(grid->GetItemValue(undefined, i64));
    EXPECT_EQ(grid->GetDisplayText(undefined), "");
    EXPECT_TRUE(grid->SetItemValue(undefined, int64_t{8}));
    EXPECT_FALSE(grid->IsItemUndefined(undefined));
    EXPECT_TRUE(grid->GetItemValue(undefined, i64) && i64 == 8);
}

TEST_F(PropertyGridTest, DisplayTextsFollowKindAndFormat) {
    const int s = grid->AddSection("S");
    const int hex = grid->AddIntegerItem(s, "Hex", int64_t{255}, "%X");
    const int wide = grid->AddIntegerItem(s, "Wide", int64_t{0x1FF00000000}, "%X");
    const int wide64 = grid->AddIntegerItem(s, "Wide64", int64_t{0x1FF00000000}, "%I64X");
    const int plain = grid->AddIntegerItem(s, "Plain", int64_t{-9000000000});
    const int bad = grid->AddIntegerItem(s, "Bad", int64_t{12}, "%s %d");
    const int real = grid->AddDoubleItem(s, "Real", 0.1);
    const int fixed = grid->AddDoubleItem(s, "Fixed", 2.0 / 3.0, "%.2f ms");
    const int wrong = grid->AddDoubleItem(s, "Wrong", 1.5, "%d");
    const int yes = grid->AddBoolItem(s, "Yes", true);
    const int no = grid->AddBoolItem(s, "No", false);
    EXPECT_EQ(grid->GetDisplayText(hex), "FF");
    EXPECT_EQ(grid->GetDisplayText(wide), "0");  // low 32 bits
    EXPECT_EQ(grid->GetDisplayText(wide64), "1FF00000000");
    EXPECT_EQ(grid->GetDisplayText(plain), "-9000000000");
    EXPECT_EQ(grid->GetDisplayText(bad), "12");  // unusable format: default
    EXPECT_EQ(grid->GetDisplayText(real), "0.1");
    EXPECT_EQ(grid->GetDisplayText(fixed), "0.67 ms");
    EXPECT_EQ(grid->GetDisplayText(wrong), "1.5");
    EXPECT_EQ(grid->GetDisplayText(yes), "True");
    EXPECT_EQ(grid->GetDisplayText(no), "False");
}

// --- Layout and scrolling
// -------------------------------------------------------------------------

TEST_F(PropertyGridTest, EmptyGridShowsOnlyBackgroundAndNoScrollBar) {
    ASSERT_NO_FATAL_FAILURE(Show());
    EXPECT_EQ(grid->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    const QImage image = grid->viewport()->grab().toImage();
    const QRgb background = grid->palette().color(QPalette::Base).rgb();
    for (int y = 0; y < image.height(); y += 7) {
        for (int x = 0; x < image.width(); x += 7) {
            ASSERT_EQ(image.pixel(x, y), background) << "at " << x << "," << y;
        }
    }
}

TEST_F(PropertyGridTest, ScrollRangeFollowsContentAndCollapse) {
    ASSERT_NO_FATAL_FAILURE(Show());
    const int a = grid->AddSection("A");
    for (int i = 0; i < 30; ++i) {
        grid->AddIntegerItem(a, "Item" + std::to_string(i), i);
    }
    const int b = grid->AddSection("B");
    grid->AddTextItem(b, "Last", "z");
    const int line = grid->GetLineHeight();
    const int client = grid->viewport()->height();
    ASSERT_EQ(grid->GetContentHeight(), 33 * line);
    ASSERT_GT(grid->GetContentHeight(), client);
    EXPECT_EQ(grid->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(grid->verticalScrollBar()->maximum(), 33 * line - client);
    EXPECT_EQ(grid->verticalScrollBar()->pageStep(), client);
    EXPECT_EQ(grid->verticalScrollBar()->singleStep(), line);

    grid->ExpandSection(a, false);
    EXPECT_TRUE(grid->IsSectionCollapsed(a));
    EXPECT_EQ(grid->GetContentHeight(), 3 * line);
    EXPECT_EQ(grid->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_FALSE(grid->GetSectionRect(a).isNull());  // the header stays
    EXPECT_TRUE(grid->GetItemRect(grid->GetItemIds(a).front()).isNull());
    grid->ExpandSection(1234, true);  // ignored
    EXPECT_FALSE(grid->IsSectionCollapsed(1234));
}

TEST_F(PropertyGridTest, FocusScrollsTheRowIntoView) {
    ASSERT_NO_FATAL_FAILURE(Show());
    const int a = grid->AddSection("A");
    std::vector<int> items;
    for (int i = 0; i < 40; ++i) {
        items.push_back(grid->AddIntegerItem(a, "Item" + std::to_string(i), i));
    }
    grid->SetFocusedItem(items.back());
    EXPECT_EQ(focused, std::vector<int>{items.back()});
    const QRect row = grid->GetItemRect(items.back());
    EXPECT_GE(row.top(), 0);
    EXPECT_LE(row.bottom(), grid->viewport()->height() - 1);
    // Down wraps to the first header, which scrolls back to the top.
    grid->setFocus();
    Key(Qt::Key_Down);
    EXPECT_EQ(grid->GetFocusedSection(), a);
    EXPECT_EQ(grid->verticalScrollBar()->value(), 0);
    grid->SetFocusedItem(4711);  // unknown: nothing happens
    EXPECT_EQ(focused.size(), 2u);
}

// --- Keyboard -----------------------------------------------------------------------------------

TEST_F(PropertyGridTest, ArrowKeysWalkAllRowsAndWrapAround) {
    const int a = grid->AddSection("A");
    const int a1 = grid->AddTextItem(a, "a1", "");
    const int a2 = grid->AddTextItem(a, "a2", "", false);  // read-only items take the focus too
    const int b = grid->AddSection("B");
    const int b1 = grid->AddBoolItem(b, "b1", true);
    ASSERT_NO_FATAL_FAILURE(Show());
    grid->setFocus();
    for (int i = 0; i < 6; ++i) {
        Key(Qt::Key_Down);
    }
    EXPECT_EQ(focused, (std::vector<int>{-1, a1, a2, -1, b1, -1}));
    EXPECT_EQ(grid->GetFocusedSection(), a);
    focused.clear();
    Key(Qt::Key_Up);  // from the first row to the last
    EXPECT_EQ(grid->GetFocusedItem(), b1);
    Key(Qt::Key_Up);
    EXPECT_EQ(grid->GetFocusedSection(), b);
    EXPECT_EQ(grid->GetFocusedItem(), -1);
    EXPECT_EQ(focused, (std::vector<int>{b1, -1}));
    EXPECT_EQ(grid->GetInPlaceEdit(), nullptr);
    EXPECT_EQ(grid->GetCombo(), nullptr);
}

TEST_F(PropertyGridTest, KeysCollapseAndExpandSections) {
    const int a = grid->AddSection("A");
    const int a1 = grid->AddTextItem(a, "a1", "");
    const int b = grid->AddSection("B");
    grid->AddTextItem(b, "b1", "");
    ASSERT_NO_FATAL_FAILURE(Show());
    grid->setFocus();
    Key(Qt::Key_Down);  // header A
    Key(Qt::Key_Left);  // collapses A
    EXPECT_TRUE(grid->IsSectionCollapsed(a));
    Key(Qt::Key_Left);  // already collapsed: up, wrapping to b1
    EXPECT_EQ(grid->GetFocusedItem(), grid->GetItemIds(b).front());
    Key(Qt::Key_Down);  // last row: wraps to the first header
    EXPECT_EQ(grid->GetFocusedSection(), a);
    Key(Qt::Key_Right);  // expands A
    EXPECT_FALSE(grid->IsSectionCollapsed(a));
    Key(Qt::Key_Right);  // expanded: down
    EXPECT_EQ(grid->GetFocusedItem(), a1);
    QTest::keyClicks(grid.get(), "/");
    EXPECT_TRUE(grid->IsSectionCollapsed(a) && grid->IsSectionCollapsed(b));
    QTest::keyClicks(grid.get(), "*");
    EXPECT_FALSE(grid->IsSectionCollapsed(a) || grid->IsSectionCollapsed(b));
    Key(Qt::Key_Up);  // header A
    QTest::keyClicks(grid.get(), "-");
    EXPECT_TRUE(grid->IsSectionCollapsed(a));
    QTest::keyClicks(grid.get(), "+");
    EXPECT_FALSE(grid->IsSectionCollapsed(a));
    // No key opens an editor.
    Key(Qt::Key_Down);
    for (int key : {Qt::Key_Return, Qt::Key_Space, Qt::Key_F2, Qt::Key_F4}) {
        Key(key);
    }
    EXPECT_EQ(grid->GetInPlaceEdit(), nullptr);
}

// --- Mouse --------------------------------------------------------------------------------------

TEST_F(PropertyGridTest, ClicksFocusRowsAndToggleSections) {
    AddOneOfEach();
    ASSERT_NO_FATAL_FAILURE(Show());
    Click(*grid, NamePoint(*grid, integer));
    EXPECT_EQ(grid->GetFocusedItem(), integer);
    EXPECT_EQ(grid->GetInPlaceEdit(), nullptr);  // the name cell opens nothing
    const QRect header = grid->GetSectionRect(section);
    Click(*grid, QPoint(100, header.center().y()));  // the title
    EXPECT_EQ(grid->GetFocusedSection(), section);
    EXPECT_FALSE(grid->IsSectionCollapsed(section));
    Click(*grid, QPoint(6, header.top() + 8));  // the toggle box
    EXPECT_TRUE(grid->IsSectionCollapsed(section));
    EXPECT_EQ(focused, (std::vector<int>{integer, -1, -1}));
    // Below the rows: the focus is gone.
    Click(*grid, QPoint(100, grid->viewport()->height() - 3));
    EXPECT_EQ(grid->GetFocusedSection(), -1);
    EXPECT_EQ(focused.back(), -1);
    // A double-click on the focused header toggles it.
    Click(*grid, QPoint(100, header.center().y()));
    DoubleClick(*grid, QPoint(100, header.center().y()));
    EXPECT_FALSE(grid->IsSectionCollapsed(section));
}

TEST_F(PropertyGridTest, ReadOnlyItemTakesFocusButOpensNothing) {
    const int s = grid->AddSection("S");
    const int ro = grid->AddTextItem(s, "ReadOnly", "fixed", false);
    const int rb = grid->AddBoolItem(s, "ReadOnlyBool", true, false);
    ASSERT_NO_FATAL_FAILURE(Show());
    Click(*grid, ValuePoint(*grid, ro));
    EXPECT_EQ(grid->GetFocusedItem(), ro);
    EXPECT_TRUE(grid->GetButtonRect().isNull());
    EXPECT_EQ(grid->GetInPlaceEdit(), nullptr);
    Click(*grid, QPoint(grid->viewport()->width() - 3, grid->GetItemRect(rb).center().y()));
    EXPECT_EQ(grid->GetFocusedItem(), rb);
    EXPECT_EQ(grid->GetCombo(), nullptr);
    DoubleClick(*grid, ValuePoint(*grid, rb));
    bool value = false;
    EXPECT_TRUE(grid->GetItemValue(rb, value) && value);
    EXPECT_TRUE(changed.empty());
}

TEST_F(PropertyGridTest, SplitterDragsBetweenOneAndFourFifths) {
    AddOneOfEach();
    ASSERT_NO_FATAL_FAILURE(Show());
    const int width = grid->viewport()->width();
    EXPECT_EQ(grid->GetSplitter(), width / 2);
    const int y = grid->GetItemRect(text).center().y();
    QTest::mousePress(grid->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(grid->GetSplitter() + 2, y));
    QTest::mouseMove(grid->viewport(), QPoint(width / 2 + 30, y));
    EXPECT_EQ(grid->GetSplitter(), width / 2 + 30);
    QTest::mouseMove(grid->viewport(), QPoint(width - 1, y));
    EXPECT_EQ(grid->GetSplitter(), width * 4 / 5);
    QTest::mouseMove(grid->viewport(), QPoint(0, y));
    EXPECT_EQ(grid->GetSplitter(), width / 5);
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(0, y));
    EXPECT_EQ(grid->GetFocusedItem(), -1);  // a drag focuses nothing
    EXPECT_EQ(grid->GetInPlaceEdit(), nullptr);
}

// --- In-place edit ------------------------------------------------------------------------------

TEST_F(PropertyGridTest, EditBoxCoversTheValueCellAndStartsWithTheEditText) {
    const int s = grid->AddSection("S");
    const int hex = grid->AddIntegerItem(s, "Hex", int64_t{255}, "%X");
    const int real = grid->AddDoubleItem(s, "Real", 1.23456789, "%.1f");
    const int undefined = grid->AddTextItem(s, "Undefined", "old", true, true);
    ASSERT_NO_FATAL_FAILURE(Show());
    EXPECT_EQ(grid->GetDisplayText(hex), "FF");
    CPropertyGridInPlaceEdit* edit = OpenEdit(hex);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text().toStdString(), "255");
    EXPECT_EQ(edit->cursorPosition(), 3);
    EXPECT_FALSE(edit->hasSelectedText());
    const QRect row = grid->GetItemRect(hex);
    EXPECT_EQ(edit->geometry(), QRect(QPoint(grid->GetSplitter() + 1, row.top() + 2),
                                      QPoint(row.right(), row.bottom())));
    EXPECT_TRUE(edit->hasFocus());
    Key(Qt::Key_Return);
    EXPECT_EQ(changed, std::vector<int>{hex});  // committed even though unchanged
    EXPECT_EQ(grid->GetInPlaceEdit(), nullptr);
    EXPECT_TRUE(grid->hasFocus());

    edit = OpenEdit(real);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text().toStdString(), "1.234568");
    Key(Qt::Key_Tab);
    EXPECT_EQ(grid->GetInPlaceEdit(), nullptr);
    edit = OpenEdit(undefined);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text().toStdString(), "");
}

TEST_F(PropertyGridTest, CommittedTextsAreReadAsNumbers) {
    AddOneOfEach();
    ASSERT_NO_FATAL_FAILURE(Show());
    int64_t i64 = 0;
    double d = 0;
    std::string s;
    std::vector<std::pair<int, std::string>> refused;
    QObject::connect(grid.get(), &CPropertyGrid::inputRefused, [&](int item, const QString& why) {
        refused.emplace_back(item, why.toStdString());
    });

    OpenEdit(integer)->clear();
    QTest::keyClicks(QApplication::focusWidget(), " -7 ");
    Key(Qt::Key_Return);
    EXPECT_TRUE(grid->GetItemValue(integer, i64) && i64 == -7);
    EXPECT_EQ(changed, std::vector<int>{integer});

    // A text that is not wholly a number is refused, with the reason: the value stays.
    changed.clear();
    for (const char* typed : {"12abc", "abc", "1.5", "99999999999999999999"}) {
        OpenEdit(integer)->clear();
        QTest::keyClicks(QApplication::focusWidget(), typed);
        Key(Qt::Key_Return);
        EXPECT_TRUE(grid->GetItemValue(integer, i64) && i64 == -7) << typed;
        EXPECT_EQ(grid->GetInPlaceEdit(), nullptr);
    }
    EXPECT_TRUE(changed.empty());
    ASSERT_EQ(refused.size(), 4u);
    EXPECT_EQ(refused[0], std::make_pair(integer, std::string("\"12abc\" is not a whole number")));
    OpenEdit(real)->clear();
    QTest::keyClicks(QApplication::focusWidget(), "0.00 us");
    Key(Qt::Key_Return);
    EXPECT_TRUE(grid->GetItemValue(real, d) && d == 1.23456789);
    ASSERT_EQ(refused.size(), 5u);
    EXPECT_EQ(refused[4], std::make_pair(real, std::string("\"0.00 us\" is not a number")));

    changed.clear();
    OpenEdit(real)->clear();  // empty: nothing changes, nothing is reported
    Key(Qt::Key_Return);
    EXPECT_TRUE(grid->GetItemValue(real, d) && d == 1.23456789);
    EXPECT_TRUE(changed.empty());
    EXPECT_EQ(grid->GetInPlaceEdit(), nullptr);

    OpenEdit(real)->clear();
    QTest::keyClicks(QApplication::focusWidget(), "2.5e3");
    Key(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_TRUE(grid->GetItemValue(real, d) && d == 2500.0);

    OpenEdit(text)->clear();  // a text item takes the empty text
    Key(Qt::Key_Return);
    EXPECT_TRUE(grid->GetItemValue(text, s) && s.empty());
    EXPECT_EQ(changed, (std::vector<int>{real, text}));
}

TEST_F(PropertyGridTest, EscapeCommitsTheInitialText) {
    AddOneOfEach();
    ASSERT_NO_FATAL_FAILURE(Show());
    CPropertyGridInPlaceEdit* edit = OpenEdit(real);
    ASSERT_NE(edit, nullptr);
    edit->clear();
    QTest::keyClicks(edit, "99");
    Key(Qt::Key_Escape);
    double d = 0;
    EXPECT_TRUE(grid->GetItemValue(real, d));
    EXPECT_EQ(d, 1.234568);  // the "%.7g" text went back in
    EXPECT_EQ(changed, std::vector<int>{real});
    EXPECT_EQ(grid->GetInPlaceEdit(), nullptr);
}

TEST_F(PropertyGridTest, CaretKeysStayInTheBoxWithoutCtrl) {
    AddOneOfEach();
    ASSERT_NO_FATAL_FAILURE(Show());
    CPropertyGridInPlaceEdit* edit = OpenEdit(text);
    ASSERT_NE(edit, nullptr);
    Key(Qt::Key_Up);  // one back
    EXPECT_EQ(edit->cursorPosition(), 4);
    Key(Qt::Key_Down);  // one on
    EXPECT_EQ(edit->cursorPosition(), 5);
    Key(Qt::Key_PageUp);  // to the start
    EXPECT_EQ(edit->cursorPosition(), 0);
    Key(Qt::Key_PageDown);  // to the end
    EXPECT_EQ(edit->cursorPosition(), 5);
    Key(Qt::Key_PageUp);
    EXPECT_EQ(grid->GetInPlaceEdit(), edit);
    EXPECT_EQ(grid->GetFocusedItem(), text);
    QTest::keyClick(edit, Qt::Key_X, Qt::AltModifier);  // swallowed
    QTest::keyClicks(edit, ">");
    EXPECT_EQ(edit->text().toStdString(), ">hello");
    Key(Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(grid->GetInPlaceEdit(), nullptr);
    std::string s;
    EXPECT_TRUE(grid->GetItemValue(text, s) && s == ">hello");
}

TEST_F(PropertyGridTest, ClickingElsewhereCommitsBeforeTheFocusMoves) {
    AddOneOfEach();
    ASSERT_NO_FATAL_FAILURE(Show());
    QObject::connect(grid.get(), &CPropertyGrid::itemChanged,
                     [this](int) { focused.push_back(1000); });
    CPropertyGridInPlaceEdit* edit = OpenEdit(integer);
    ASSERT_NE(edit, nullptr);
    focused.clear();
    edit->clear();
    QTest::keyClicks(edit, "77");
    Click(*grid, NamePoint(*grid, text));
    EXPECT_EQ(focused, (std::vector<int>{1000, text}));  // change first, then the new focus
    int64_t i64 = 0;
    EXPECT_TRUE(grid->GetItemValue(integer, i64) && i64 == 77);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(grid->viewport()->findChildren<CPropertyGridInPlaceEdit*>().isEmpty());
}

// --- Drop-down list -----------------------------------------------------------------------------

TEST_F(PropertyGridTest, BoolListOpensUnderTheRowAndChoosesWithKeys) {
    AddOneOfEach();
    ASSERT_NO_FATAL_FAILURE(Show());
    Click(*grid, ValuePoint(*grid, flag));
    CPropertyGridCombo* combo = grid->GetCombo();
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->Entries(), (std::vector<std::string>{"True", "False"}));
    EXPECT_EQ(combo->Highlighted(), 0);
    EXPECT_TRUE(combo->hasFocus());
    const QRect row = grid->GetItemRect(flag);
    const QPoint topLeft =
        grid->viewport()->mapTo(grid.get(), QPoint(grid->GetSplitter(), row.bottom() + 1));
    EXPECT_EQ(combo->geometry().topLeft(), topLeft);
    EXPECT_EQ(combo->height(), 2 * combo->RowHeight() + 2);
    EXPECT_EQ(combo->RowHeight(), grid->GetLineHeight());
    EXPECT_EQ(combo->geometry().right(),
              grid->viewport()->mapTo(grid.get(), grid->GetButtonRect().topRight()).x());
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);  // stays on the last row
    EXPECT_EQ(combo->Highlighted(), 1);
    Key(Qt::Key_Return);
    bool b = true;
    EXPECT_TRUE(grid->GetItemValue(flag, b));
    EXPECT_FALSE(b);
    EXPECT_EQ(changed, std::vector<int>{flag});
    EXPECT_EQ(grid->GetCombo(), nullptr);
    EXPECT_TRUE(grid->hasFocus());
}

TEST_F(PropertyGridTest, ListClosesWithoutChoosingOnEscapeAndFocusLoss) {
    AddOneOfEach();
    ASSERT_NO_FATAL_FAILURE(Show());
    Click(*grid, ValuePoint(*grid, list));
    ASSERT_NE(grid->GetCombo(), nullptr);
    EXPECT_EQ(grid->GetCombo()->Highlighted(), 2);
    Key(Qt::Key_Up);
    Key(Qt::Key_Escape);
    EXPECT_EQ(grid->GetCombo(), nullptr);
    EXPECT_TRUE(changed.empty());
    int64_t index = 0;
    EXPECT_TRUE(grid->GetItemValue(list, index) && index == 2);
    // A press on the grid closes the list unchosen.
    Click(*grid, ValuePoint(*grid, list));
    ASSERT_NE(grid->GetCombo(), nullptr);
    Click(*grid, NamePoint(*grid, text));
    EXPECT_EQ(grid->GetCombo(), nullptr);
    EXPECT_TRUE(changed.empty());
}

TEST_F(PropertyGridTest, ListChoosesWithTheMouse) {
    AddOneOfEach();
    ASSERT_NO_FATAL_FAILURE(Show());
    Click(*grid, ValuePoint(*grid, list));
    CPropertyGridCombo* combo = grid->GetCombo();
    ASSERT_NE(combo, nullptr);
    const int rowHeight = combo->RowHeight();
    QTest::mousePress(combo, Qt::LeftButton, Qt::NoModifier, QPoint(10, rowHeight / 2));
    EXPECT_EQ(combo->Highlighted(), 0);
    QTest::mouseMove(combo, QPoint(10, rowHeight + rowHeight / 2));
    EXPECT_EQ(combo->Highlighted(), 1);
    QTest::mouseRelease(combo, Qt::LeftButton, Qt::NoModifier, QPoint(10, rowHeight + 3));
    int64_t index = 0;
    EXPECT_TRUE(grid->GetItemValue(list, index) && index == 1);
    EXPECT_EQ(changed, std::vector<int>{list});
    // Released outside the rows: closed, nothing chosen.
    Click(*grid, ValuePoint(*grid, list));
    combo = grid->GetCombo();
    ASSERT_NE(combo, nullptr);
    QTest::mousePress(combo, Qt::LeftButton, Qt::NoModifier, QPoint(10, 2));
    QTest::mouseRelease(combo, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10 * rowHeight));
    EXPECT_EQ(grid->GetCombo(), nullptr);
    EXPECT_EQ(changed.size(), 1u);
}

TEST_F(PropertyGridTest, UndefinedBoolHighlightsNothingAndChoosingDefinesIt) {
    const int s = grid->AddSection("S");
    const int flag = grid->AddBoolItem(s, "Flag", true, true, true);
    ASSERT_NO_FATAL_FAILURE(Show());
    EXPECT_EQ(grid->GetDisplayText(flag), "");
    DoubleClick(*grid, NamePoint(*grid, flag));  // undefined: no toggle
    EXPECT_TRUE(changed.empty());
    Click(*grid, ValuePoint(*grid, flag));
    ASSERT_NE(grid->GetCombo(), nullptr);
    EXPECT_EQ(grid->GetCombo()->Highlighted(), -1);
    Key(Qt::Key_Return);  // nothing highlighted: closes unchosen
    EXPECT_EQ(grid->GetCombo(), nullptr);
    EXPECT_TRUE(grid->IsItemUndefined(flag));
    Click(*grid, ValuePoint(*grid, flag));
    Key(Qt::Key_Down);
    Key(Qt::Key_Return);
    EXPECT_FALSE(grid->IsItemUndefined(flag));
    EXPECT_EQ(grid->GetDisplayText(flag), "True");
    EXPECT_EQ(changed, std::vector<int>{flag});
}

TEST_F(PropertyGridTest, DoubleClickTogglesBoolsAndCyclesLists) {
    AddOneOfEach();
    ASSERT_NO_FATAL_FAILURE(Show());
    DoubleClick(*grid, ValuePoint(*grid, flag));
    bool b = true;
    EXPECT_TRUE(grid->GetItemValue(flag, b));
    EXPECT_FALSE(b);
    EXPECT_EQ(grid->GetCombo(), nullptr);  // the list the first click opened is closed
    DoubleClick(*grid, NamePoint(*grid, list));
    int64_t index = -1;
    EXPECT_TRUE(grid->GetItemValue(list, index));
    EXPECT_EQ(index, 0);  // from the last entry back to the first
    DoubleClick(*grid, NamePoint(*grid, list));
    EXPECT_TRUE(grid->GetItemValue(list, index));
    EXPECT_EQ(index, 1);
    EXPECT_EQ(changed, (std::vector<int>{flag, list, list}));
    DoubleClick(*grid, NamePoint(*grid, text));  // other kinds: nothing
    EXPECT_EQ(changed.size(), 3u);
}

}  // namespace

TEST_F(PropertyGridTest, ANameShowsWholeAsToolTipAndTheColumnFollowsTheWidth) {
    section = grid->AddSection("S");
    const std::string longName = "ExpertFeature2_ExpertFeatureAccessKeyWithAVeryLongName";
    const int item = grid->AddIntegerItem(section, longName, int64_t{1});
    ASSERT_NO_FATAL_FAILURE(Show());
    EXPECT_EQ(grid->ToolTipAt(NamePoint(*grid, item)).toStdString(), longName);
    EXPECT_EQ(grid->ToolTipAt(ValuePoint(*grid, item)).toStdString(), longName + " = 1");
    EXPECT_EQ(grid->ToolTipAt(QPoint(5, 1000)).toStdString(), "");
    // Widening the grid keeps the name column's share.
    const double share = static_cast<double>(grid->GetSplitter()) / grid->viewport()->width();
    grid->resize(grid->width() * 2, grid->height());
    EXPECT_NEAR(static_cast<double>(grid->GetSplitter()) / grid->viewport()->width(), share, 0.02);
}
