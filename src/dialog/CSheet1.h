#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class CPropertyGeneral;
class QPushButton;
class QStatusBar;
class QTabWidget;

// The modal configuration window: one tab per page, OK, Cancel and Apply in a column at the right
// edge and a status bar at the bottom that tells why the parameter set is invalid.
//
// OK runs every page's OnApply, then the OK handler, and closes with kIdOk; it is disabled while
// the set is invalid (EnableOk). A handler that fails keeps the sheet open with its error in the
// status bar. Apply runs OnApply and stays open; it is enabled while a page is modified. Cancel,
// Escape and the close box run every page's OnCancel and close with kIdCancel.
//
// The sheet is resizable (not below its pages' template size): the tab control takes the room,
// the buttons keep to the right edge and the status bar to the bottom. It opens at its pages'
// preferred size, within the screen's available area.
//
// Threading: GUI thread only.
class CSheet1 : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kIdOk = 1;
    static constexpr int kIdCancel = 2;
    static constexpr int kIdFailed = -1;
    static constexpr int kStatusBarId = 105;
    static constexpr int kMaxStatusText = 254;

    // firstPage: the page shown first. logPort: the port named in log lines.
    CSheet1(const QString& caption, QWidget* parent, int firstPage = 0, int logPort = 99);
    ~CSheet1() override;

    // The sheet does not own the pages; RemovePage before deleting one.
    void AddPage(CPropertyGeneral* page);
    void RemovePage(CPropertyGeneral* page);

    // Lays the sheet out and initialises every page (last to first); done once. DoModal and the
    // first show call it. Throws what a page's initialisation throws.
    void Initialize();
    // Runs the sheet modally: kIdOk, kIdCancel, or kIdFailed when a page could not be initialised
    // (logged in the exception form).
    int DoModal();

    // What OK does once the pages have applied their edits (saving them): false, with a text
    // for the user in error, keeps the sheet open and shows the text in the status bar.
    void SetOkHandler(std::function<bool(std::string& error)> handler);

    // Stores the flag and enables or disables OK; enabling also clears the status text.
    void EnableOk(bool enable);
    bool IsOkEnabled() const { return mOkEnabled; }
    // Shows the page's caption, ": " and the text, cut to kMaxStatusText characters.
    void SetStatusText(const QWidget* page, const std::string& text);
    // Shows the text alone, cut the same way.
    void SetStatusText(const std::string& text);
    void ClearStatusText();
    QString StatusText() const;
    // A page was edited (true) or applied (false): enables or disables Apply.
    void SetModified(bool modified);

    QPushButton* OkButton() const { return mOk; }
    QPushButton* CancelButton() const { return mCancel; }
    QPushButton* ApplyButton() const { return mApply; }
    QStatusBar* StatusBar() const { return mStatusBar; }
    QTabWidget* Tabs() const { return mTabs; }

  public slots:
    void accept() override;
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void OnApplyNow();
    // Sizes the sheet for its pages' opening size (within the screen) and sets its minimum.
    void Layout();
    // Places the tab control, the button column and the status bar for the sheet's size.
    void PlaceControls();
    QSize ButtonSize() const;
    void ShowStatus(QString line);

    QTabWidget* mTabs;
    QPushButton* mOk;
    QPushButton* mCancel;
    QPushButton* mApply;
    QStatusBar* mStatusBar;
    std::vector<QPointer<CPropertyGeneral>> mPages;  // null once a page was deleted
    std::function<bool(std::string&)> mOkHandler;
    int mFirstPage;
    int mLogPort;
    bool mOkEnabled = true;
    bool mInitialised = false;
};
