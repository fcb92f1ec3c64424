#pragma once

#include <QDialog>
#include <QFont>
#include <QRect>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialog/CDynDialogItemEx.h"

// A modal dialog whose controls are listed at run time (CDynDialogItemEx) instead of coming from a
// stored resource. Positions are dialog units of the dialog's font.
//
// A control added without a rectangle goes to (10, next y) .. (120, next y + 12), or to x 270 when
// added by class name or for take-over; next y (initially 10) grows by 12 for every added control.
// The dialog rectangle grows to contain each control plus 5 units at the right and bottom.
// DoModal first adds, once, the system buttons "OK" (id 1) and "Annuleren" (id 2) 6 units below,
// (10, y) .. (60, y + 14) and 55 units further right. OK and cancel end the dialog with 1 and 2 (OK
// stores the controls' values in their variables); other buttons are reported through command().
// Controls of unknown classes are reported ("Failed to create DlgItem.") and left out.
//
// The dialog font is the one set, else the parent's, else the active window's, else the
// application's ("MS Sans Serif" 8 points when none of these exists).
//
// Threading: GUI thread only.
class CDynDialogEx : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kIdOk = 1;
    static constexpr int kIdCancel = 2;
    static constexpr int kFailed = -1;
    static constexpr uint32_t kDefaultStyle = 0x10C80040;
    static constexpr uint32_t kDefaultExStyle = 1;
    static constexpr uint32_t kButtonStyle =
        CDynDialogItemEx::kVisible | CDynDialogItemEx::kTabStop;

    explicit CDynDialogEx(QWidget* parent = nullptr);
    ~CDynDialogEx() override;

    void SetTitle(const std::string& title) { mTitle = title; }
    void SetDialogFont(const QFont& font, uint16_t pointSize = 0);
    void SetUseSystemButtons(bool use) { mAddSystemButtons = use; }
    void SetModeless(bool modeless) { mModeless = modeless; }

    // Each returns the control's identifier; id 0 takes the next value of a process-wide counter.
    int AddDlgControl(int classCode, const std::string& caption, uint32_t style,
                      uint32_t exStyle = 0, const std::optional<QRect>& rect = std::nullopt,
                      CDynDialogItemEx::Data data = {}, int id = 0);
    int AddDlgControl(const std::string& className, const std::string& caption, uint32_t style,
                      uint32_t exStyle = 0, const std::optional<QRect>& rect = std::nullopt,
                      CDynDialogItemEx::Data data = {}, int id = 0);
    // A control created after the dialog window exists instead of from the template.
    int AddSubclassedDlgControl(const std::string& className, const std::string& caption,
                                uint32_t style, uint32_t exStyle = 0,
                                const std::optional<QRect>& rect = std::nullopt,
                                CDynDialogItemEx::Data data = {}, int id = 0);

    // kIdOk, kIdCancel, or kFailed when the dialog cannot be built (a position or the control
    // count does not fit the template's 16-bit fields). Modeless: shows and returns kIdOk.
    int DoModal();

    int NextY() const { return mNextY; }
    // x, y, cx, cy in dialog units.
    QRect DialogRect() const { return QRect(mX, mY, mCx, mCy); }
    const std::vector<std::unique_ptr<CDynDialogItemEx>>& Items() const { return mItems; }
    QWidget* Control(int id) const;

  signals:
    // A button other than OK and cancel was pressed; for the parent.
    void command(int id);

  protected:
    // Reports a failure to the user (a message box) and to the log.
    virtual void ShowError(const QString& text);

  private:
    int AddItem(int classCode, const std::string& className, const std::string& caption,
                uint32_t style, uint32_t exStyle, const std::optional<QRect>& rect,
                CDynDialogItemEx::Data data, int id, int defaultRight, bool inTemplate);
    QFont ChooseFont() const;
    bool Build();
    void OnButton(int id);

    std::string mTitle;
    std::optional<QFont> mFont;
    uint16_t mFontSize = 0;
    int mNextY = 10;
    bool mAddSystemButtons = true;
    bool mSystemButtonsAdded = false;
    bool mOwnFont = false;
    bool mModeless = false;
    uint32_t mStyle = kDefaultStyle;
    uint32_t mExStyle = kDefaultExStyle;
    int mTemplateCount = 0;
    int mX = 0, mY = 0, mCx = 0, mCy = 0;
    std::vector<std::unique_ptr<CDynDialogItemEx>> mItems;
};
