#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <string>
#include <vector>

class CPropertyGeneral;
class QPushButton;
class QStatusBar;
class QTabWidget;

// The modal configuration window: one tab per page, OK, Cancel and Apply in a column at the right
// edge and a status bar at the bottom that tells why the parameter set is invalid.
//
// OK runs every page's OnApply and closes with kIdOk; it is disabled while the set is invalid
// (EnableOk). Apply runs OnApply and stays open; it is enabled while a page is modified. Cancel,
// Escape and the close box run every page's OnCancel and close with kIdCancel.
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

    // Stores the flag and enables or disables OK; enabling also clears the status text.
    void EnableOk(bool enable);
    bool IsOkEnabled() const { return mOkEnabled; }
    // Shows the page's caption, ": " and the text, cut to kMaxStatusText characters.
    void SetStatusText(const QWidget* page, const std::string& text);
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

  private:
    void OnApplyNow();
    void Layout();

    QTabWidget* mTabs;
    QPushButton* mOk;
    QPushButton* mCancel;
    QPushButton* mApply;
    QStatusBar* mStatusBar;
    std::vector<QPointer<CPropertyGeneral>> mPages;  // null once a page was deleted
    int mFirstPage;
    int mLogPort;
    bool mOkEnabled = true;
    bool mInitialised = false;
};
