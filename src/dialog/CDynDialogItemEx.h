#pragma once

#include <QPointer>
#include <QRect>
#include <cstdint>
#include <string>
#include <variant>

class QWidget;

// One control of a CDynDialogEx: its class (by the original toolkit's class name or class code),
// identifier, style bits, rectangle in dialog units, caption and an optional variable exchanged
// with the control (text for edits and labels, bool for check boxes and radio buttons, int for
// lists, combo boxes, sliders, spin boxes, progress and scroll bars).
//
// Class codes: 128 "BUTTON", 129 "EDIT", 130 "STATIC", 131 "LISTBOX", 132 "SCROLLBAR",
// 133 "COMBOBOX", 134 "msctls_updown32", 135 "msctls_progress32", 136 "msctls_trackbar32",
// 137 "msctls_hotkey32", 138 "SysListView32", 139 "SysTreeView32", 140 "SysTabControl32",
// 141 "SysAnimate32", 142 "RICHEDIT", 143 "SysDateTimePick32", 144 "SysMonthCal32",
// 145 "SysIPAddress32", 146 "ComboBoxEx32"; 0 for any other name (names compare ignoring case).
//
// Threading: GUI thread only.
class CDynDialogItemEx {
  public:
    using Data = std::variant<std::monostate, std::string*, bool*, int*>;

    // Style bits understood here.
    static constexpr uint32_t kVisible = 0x10000000;
    static constexpr uint32_t kDisabled = 0x08000000;
    static constexpr uint32_t kTabStop = 0x00010000;

    CDynDialogItemEx(int classCode, std::string className, int id, uint32_t style, uint32_t exStyle,
                     const QRect& rect, std::string caption, Data data, bool inTemplate);

    // 0 for a name not in the table.
    static int ClassCodeFromName(const std::string& name);
    // "" for a code not in the table.
    static std::string ClassNameFromCode(int code);

    // Creates the Qt widget for the class, or null for an unknown class; it shows the caption and
    // the variable's value. The item keeps a guarded pointer to it.
    QWidget* CreateControl(QWidget* parent);
    QWidget* Control() const { return mControl.data(); }
    // Control -> variable (after OK).
    void SaveData() const;

    int mClassCode;
    std::string mClassName;
    int mId;
    uint32_t mStyle;
    uint32_t mExStyle;
    QRect mRect;  // dialog units
    std::string mCaption;
    Data mData;
    bool mInTemplate;  // false: taken over after the dialog window exists

  private:
    QPointer<QWidget> mControl;
};
