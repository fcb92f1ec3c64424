#include "dialog/CDynDialogEx.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <algorithm>
#include <atomic>
#include <limits>

#include "base/DriverState.h"
#include "dialog/DialogUnits.h"
#include "dialog/GuiApplication.h"

namespace {

constexpr int kCodeButton = 128;
constexpr int kDefaultRightByCode = 120;
constexpr int kDefaultRightByName = 270;
constexpr int kRowHeight = 12;
constexpr int kMargin = 5;

std::atomic<int> gNextControlId{5000};

bool Fits16(int value) {
    return value >= std::numeric_limits<int16_t>::min() &&
           value <= std::numeric_limits<int16_t>::max();
}

}  // namespace

CDynDialogEx::CDynDialogEx(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CDynDialogEx"));
}

CDynDialogEx::~CDynDialogEx() = default;

void CDynDialogEx::SetDialogFont(const QFont& font, uint16_t pointSize) {
    mFont = font;
    mFontSize = pointSize;
}

int CDynDialogEx::AddItem(int classCode, const std::string& className, const std::string& caption,
                          uint32_t style, uint32_t exStyle, const std::optional<QRect>& rect,
                          CDynDialogItemEx::Data data, int id, int defaultRight, bool inTemplate) {
    if (id == 0) {
        id = gNextControlId++;
    }
    const QRect place =
        rect ? *rect : QRect(QPoint(10, mNextY), QPoint(defaultRight - 1, mNextY + 11));
    mNextY += kRowHeight;
    mCx = std::max(mCx, place.x() + place.width() + kMargin);
    mCy = std::max(mCy, place.y() + place.height() + kMargin);
    mItems.push_back(std::make_unique<CDynDialogItemEx>(classCode, className, id, style, exStyle,
                                                        place, caption, data, inTemplate));
    return id;
}

int CDynDialogEx::AddDlgControl(int classCode, const std::string& caption, uint32_t style,
                                uint32_t exStyle, const std::optional<QRect>& rect,
                                CDynDialogItemEx::Data data, int id) {
    return AddItem(classCode, CDynDialogItemEx::ClassNameFromCode(classCode), caption, style,
                   exStyle, rect, data, id, kDefaultRightByCode, true);
}

int CDynDialogEx::AddDlgControl(const std::string& className, const std::string& caption,
                                uint32_t style, uint32_t exStyle, const std::optional<QRect>& rect,
                                CDynDialogItemEx::Data data, int id) {
    return AddItem(CDynDialogItemEx::ClassCodeFromName(className), className, caption, style,
                   exStyle, rect, data, id, kDefaultRightByName, true);
}

int CDynDialogEx::AddSubclassedDlgControl(const std::string& className, const std::string& caption,
                                          uint32_t style, uint32_t exStyle,
                                          const std::optional<QRect>& rect,
                                          CDynDialogItemEx::Data data, int id) {
    return AddItem(CDynDialogItemEx::ClassCodeFromName(className), className, caption, style,
                   exStyle, rect, data, id, kDefaultRightByName, false);
}

QWidget* CDynDialogEx::Control(int id) const {
    for (const auto& item : mItems) {
        if (item->mId == id) {
            return item->Control();
        }
    }
    return nullptr;
}

QFont CDynDialogEx::ChooseFont() const {
    if (mFont) {
        return *mFont;
    }
    if (parentWidget() != nullptr) {
        return parentWidget()->font();
    }
    if (QApplication::activeWindow() != nullptr) {
        return QApplication::activeWindow()->font();
    }
    if (QCoreApplication::instance() != nullptr) {
        return QApplication::font();
    }
    return QFont(QStringLiteral("MS Sans Serif"), 8);
}

void CDynDialogEx::ShowError(const QString& text) {
    GetDriverState().Log(1, "CDynDialogEx: " + text.toStdString());
    QMessageBox::critical(this, windowTitle(), text);
}

bool CDynDialogEx::Build() {
    mTemplateCount = 0;
    for (const auto& item : mItems) {
        const QRect& r = item->mRect;
        if (!Fits16(r.x()) || !Fits16(r.y()) || !Fits16(r.width()) || !Fits16(r.height())) {
            return false;
        }
        mTemplateCount += item->mInTemplate ? 1 : 0;
    }
    if (!Fits16(mCx) || !Fits16(mCy) || mTemplateCount > std::numeric_limits<uint16_t>::max()) {
        return false;
    }
    QFont font = ChooseFont();
    if (mFontSize != 0) {
        font.setPointSize(mFontSize);
    }
    mOwnFont = !mFont.has_value();
    setFont(font);
    setWindowTitle(QString::fromStdString(mTitle));
    const DialogUnits units(font);
    // Template controls first, then the ones taken over after creation.
    for (bool inTemplate : {true, false}) {
        for (const auto& item : mItems) {
            if (item->mInTemplate != inTemplate || item->Control() != nullptr) {
                continue;
            }
            QWidget* control = item->CreateControl(this);
            if (control == nullptr) {
                ShowError(QStringLiteral("Failed to create DlgItem."));
                continue;
            }
            control->setGeometry(units.ToPixels(item->mRect));
            if (auto* button = qobject_cast<QAbstractButton*>(control)) {
                const int id = item->mId;
                connect(button, &QAbstractButton::clicked, this, [this, id] { OnButton(id); });
            }
        }
    }
    setFixedSize(units.ToPixels(QSize(mCx, mCy)));
    if (parentWidget() != nullptr) {
        const QRect parentRect(parentWidget()->mapToGlobal(QPoint(0, 0)), parentWidget()->size());
        move(parentRect.center() - QPoint(width() / 2, height() / 2));
    }
    return true;
}

int CDynDialogEx::DoModal() {
    std::string error;
    if (!GuiApplication::Ensure(error)) {
        GetDriverState().Log(1, "CDynDialogEx::DoModal: " + error);
        return kFailed;
    }
    if (mAddSystemButtons && !mSystemButtonsAdded) {
        mSystemButtonsAdded = true;
        mNextY += 6;
        const int y = mNextY;
        AddDlgControl(kCodeButton, "OK", kButtonStyle | 1, 0, QRect(10, y, 50, 14), {}, kIdOk);
        AddDlgControl(kCodeButton, "Annuleren", kButtonStyle, 0, QRect(65, y, 50, 14), {},
                      kIdCancel);
    }
    if (!Build()) {
        GetDriverState().Log(1, "CDynDialogEx::DoModal: the dialog does not fit its template");
        return kFailed;
    }
    if (mModeless) {
        show();
        return kIdOk;
    }
    return exec() == QDialog::Accepted ? kIdOk : kIdCancel;
}

void CDynDialogEx::OnButton(int id) {
    if (id == kIdOk) {
        for (const auto& item : mItems) {
            item->SaveData();
        }
        done(QDialog::Accepted);
    } else if (id == kIdCancel) {
        done(QDialog::Rejected);
    } else {
        emit command(id);
    }
}
