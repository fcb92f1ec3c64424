#include "dialog/CSheet1.h"

#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <algorithm>
#include <utility>

#include "base/ExceptionGuard.h"
#include "dialog/CPropertyGeneral.h"

namespace {

constexpr int kTabMargin = 7;  // the tab control's distance from the sheet's edges

}  // namespace

CSheet1::CSheet1(const QString& caption, QWidget* parent, int firstPage, int logPort)
    : QDialog(parent),
      mTabs(new QTabWidget(this)),
      mOk(new QPushButton(QStringLiteral("OK"), this)),
      mCancel(new QPushButton(QStringLiteral("Cancel"), this)),
      mApply(new QPushButton(QStringLiteral("Apply"), this)),
      mStatusBar(new QStatusBar(this)),
      mFirstPage(firstPage),
      mLogPort(logPort) {
    setObjectName(QStringLiteral("CSheet1"));
    setWindowTitle(caption);
    setModal(true);
    mOk->setObjectName(QStringLiteral("OK"));
    mCancel->setObjectName(QStringLiteral("Cancel"));
    mApply->setObjectName(QStringLiteral("Apply"));
    mOk->setDefault(true);
    mApply->setEnabled(false);
    mApply->setVisible(true);
    mStatusBar->setObjectName(QStringLiteral("StatusBar%1").arg(kStatusBarId));
    mStatusBar->setSizeGripEnabled(true);
    connect(mOk, &QPushButton::clicked, this, &CSheet1::accept);
    connect(mCancel, &QPushButton::clicked, this, &CSheet1::reject);
    connect(mApply, &QPushButton::clicked, this, &CSheet1::OnApplyNow);
}

CSheet1::~CSheet1() {
    // Pages belong to their creator; detach those still shown so the tab widget does not
    // delete them.
    for (const QPointer<CPropertyGeneral>& page : std::vector<QPointer<CPropertyGeneral>>(mPages)) {
        if (page) {
            RemovePage(page);
        }
    }
}

void CSheet1::AddPage(CPropertyGeneral* page) {
    mPages.push_back(page);
    mTabs->addTab(page, page->windowTitle());
}

void CSheet1::RemovePage(CPropertyGeneral* page) {
    auto found = std::find(mPages.begin(), mPages.end(), QPointer<CPropertyGeneral>(page));
    if (found == mPages.end()) {
        return;
    }
    mPages.erase(found);
    const int index = mTabs->indexOf(page);
    if (index >= 0) {
        mTabs->removeTab(index);
    }
    page->setParent(nullptr);
}

QSize CSheet1::ButtonSize() const {
    return mOk->sizeHint()
        .expandedTo(mCancel->sizeHint())
        .expandedTo(mApply->sizeHint())
        .expandedTo(QSize(75, 0));
}

void CSheet1::Layout() {
    const QSize button = ButtonSize();
    const int barHeight = mStatusBar->sizeHint().height();
    // The sheet around a tab control of the given size: w + 15 wider for the button column.
    const auto sheetFor = [&](QSize tabs) {
        return QSize(kTabMargin + tabs.width() + kTabMargin + button.width() + 15,
                     kTabMargin + tabs.height() + kTabMargin + barHeight);
    };
    const QSize tabs = mTabs->sizeHint().expandedTo(mTabs->minimumSizeHint());
    // The tab control's own frame and tab bar around a page.
    QSize least = tabs;
    if (QWidget* page = mTabs->currentWidget()) {
        least = tabs - page->sizeHint() + page->minimumSize();
    }
    setMinimumSize(sheetFor(least.expandedTo(mTabs->minimumSizeHint())));
    QSize opening = sheetFor(tabs);
    if (const QScreen* shown = screen()) {
        // Leave room for the window frame.
        opening = opening.boundedTo(shown->availableGeometry().size() - QSize(16, 48));
    }
    resize(opening.expandedTo(minimumSize()));
    PlaceControls();
}

void CSheet1::PlaceControls() {
    const QSize button = ButtonSize();
    const int w = button.width();
    const int h = button.height();
    const int barHeight = mStatusBar->sizeHint().height();
    mTabs->setGeometry(kTabMargin, kTabMargin, width() - 2 * kTabMargin - w - 15,
                       height() - 2 * kTabMargin - barHeight);
    const int x = width() - w - 17;
    mOk->setGeometry(x, 27, w, h);
    mCancel->setGeometry(x, h + 32, w, h);
    mApply->setGeometry(x, 3 * h + 42, w, h);
    mStatusBar->setGeometry(0, height() - barHeight, width(), barHeight);
}

void CSheet1::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    PlaceControls();
}

void CSheet1::Initialize() {
    if (mInitialised) {
        return;
    }
    mInitialised = true;
    for (auto page = mPages.rbegin(); page != mPages.rend(); ++page) {
        if (*page) {
            mTabs->setCurrentWidget(*page);
            (*page)->OnInitDialog();
        }
    }
    if (mFirstPage >= 0 && mFirstPage < mTabs->count()) {
        mTabs->setCurrentIndex(mFirstPage);
    }
    Layout();  // the pages know their opening size once filled
}

int CSheet1::DoModal() {
    try {
        Initialize();
    } catch (...) {
        LogCurrentException(mLogPort, "DoModal", "CSheet1::DoModal");
        return kIdFailed;
    }
    return exec() == QDialog::Accepted ? kIdOk : kIdCancel;
}

void CSheet1::showEvent(QShowEvent* event) {
    Initialize();
    QDialog::showEvent(event);
}

void CSheet1::EnableOk(bool enable) {
    mOkEnabled = enable;
    mOk->setEnabled(enable);
    if (enable) {
        ClearStatusText();
    }
}

void CSheet1::SetOkHandler(std::function<bool(std::string& error)> handler) {
    mOkHandler = std::move(handler);
}

void CSheet1::SetStatusText(const QWidget* page, const std::string& text) {
    ShowStatus((page != nullptr ? page->windowTitle() : QString()) + QStringLiteral(": ") +
               QString::fromStdString(text));
}

void CSheet1::SetStatusText(const std::string& text) {
    ShowStatus(QString::fromStdString(text));
}

void CSheet1::ShowStatus(QString line) {
    line.truncate(kMaxStatusText);
    mStatusBar->showMessage(line);
}

void CSheet1::ClearStatusText() {
    mStatusBar->showMessage(QString());
}

QString CSheet1::StatusText() const {
    return mStatusBar->currentMessage();
}

void CSheet1::SetModified(bool modified) {
    mApply->setEnabled(modified);
}

void CSheet1::OnApplyNow() {
    bool accepted = true;
    for (CPropertyGeneral* page : mPages) {
        if (page != nullptr) {
            accepted = page->OnApply() && accepted;
        }
    }
    if (accepted) {
        SetModified(false);
    }
}

void CSheet1::accept() {
    if (!mOkEnabled) {
        return;
    }
    for (CPropertyGeneral* page : mPages) {
        if (page != nullptr) {
            page->OnApply();
        }
    }
    std::string error;
    if (mOkHandler && !mOkHandler(error)) {
        SetStatusText(error);
        return;
    }
    QDialog::accept();
}

void CSheet1::reject() {
    for (CPropertyGeneral* page : mPages) {
        if (page != nullptr) {
            page->OnCancel();
        }
    }
    QDialog::reject();
}
