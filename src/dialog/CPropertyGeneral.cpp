#include "dialog/CPropertyGeneral.h"

#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QResizeEvent>
#include <QStyle>
#include <algorithm>
#include <boost/any.hpp>

#include "base/ExceptionGuard.h"
#include "camera/ConfigurationTarget.h"
#include "dialog/CSheet1.h"
#include "dialog/DialogUnits.h"
#include "dialog/PropertyControlAdapter.h"
#include "dialog/PropertyControlAdapterRegistry.h"
#include "parameters/CameraParameters.h"
#include "parameters/Param.h"

namespace {

const char* const kCaption = "General";
const char* const kCollapseOption = "SectionName";
const char* const kDisplayNameOption = "DisplayName";
const char* const kInternalCategory = "Internal";

// Page template (dialog units): the smallest size of the page. Resized, the grid takes the
// room and the controls below it keep their heights and distances.
const QSize kPageSize(316, 327);
const QRect kGridRect(3, 3, 308, 223);
const QRect kNameRect(3, 232, 308, 9);
const QRect kDescriptionFrameRect(3, 242, 308, 81);
const QRect kDescriptionRect(13, 245, 295, 76);
constexpr int kOpeningRows = 40;
constexpr int kNameIndent = 18;  // pixels before a name in its column
constexpr int kMaxOpeningWidth = 1200;

// An option holding text of either of the option store's text types.
std::string OptionText(const Param_& parameter, const std::string& key) {
    const boost::any& value = parameter.mOptions.at(key);
    if (const auto* gcText = boost::any_cast<sdk::gcstring>(&value)) {
        return gcText->str();
    }
    return parameter.GetOption<std::string>(key);
}

}  // namespace

CPropertyGeneral::CPropertyGeneral(ConfigurationTarget& camera, CameraParameters& parameters,
                                   CSheet1* sheet)
    : QWidget(nullptr),
      mCamera(&camera),
      mParameters(&parameters),
      mSheet(sheet),
      mGrid(new PropertyGrid(this)),
      mNameLabel(new QLabel(QStringLiteral("(Name)"), this)),
      mDescriptionFrame(new QFrame(this)),
      mDescriptionLabel(new QLabel(QStringLiteral("(Description)"), this)) {
    setObjectName(QStringLiteral("CPropertyGeneral"));
    setWindowTitle(QString::fromLatin1(kCaption));
    const DialogUnits units(font());
    setMinimumSize(units.ToPixels(kPageSize));
    resize(units.ToPixels(kPageSize));
    mGrid->setGeometry(units.ToPixels(kGridRect));
    mNameLabel->setGeometry(units.ToPixels(kNameRect));
    mDescriptionFrame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    mDescriptionFrame->setGeometry(units.ToPixels(kDescriptionFrameRect));
    mDescriptionLabel->setGeometry(units.ToPixels(kDescriptionRect));
    mDescriptionLabel->setWordWrap(true);
    mDescriptionLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    mDescriptionLabel->raise();
    mNameLabel->setTextFormat(Qt::PlainText);
    mDescriptionLabel->setTextFormat(Qt::PlainText);
    connect(mGrid, &CPropertyGrid::itemChanged, this, &CPropertyGeneral::OnItemChanged);
    connect(mGrid, &CPropertyGrid::focusChanged, this, &CPropertyGeneral::OnFocusChanged);
    connect(mGrid, &CPropertyGrid::inputRefused, this, &CPropertyGeneral::OnInputRefused);
}

QSize CPropertyGeneral::sizeHint() const {
    const DialogUnits units(font());
    const QSize least = units.ToPixels(kPageSize);
    const int chrome = least.height() - units.ToPixelsY(kGridRect.height());  // around the grid
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    // The splitter starts in the middle: twice the name column, plus the grid's margins.
    const int nameColumn = kNameIndent + mWidestName + 8;
    const int width =
        2 * nameColumn + scrollBar + least.width() - units.ToPixelsX(kGridRect.width());
    const int height = chrome + kOpeningRows * mGrid->GetLineHeight() + 2 * mGrid->frameWidth();
    return QSize(std::clamp(width, least.width(), std::max(least.width(), kMaxOpeningWidth)),
                 std::max(height, least.height()));
}

void CPropertyGeneral::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const DialogUnits units(font());
    const int extraWidth = width() - units.ToPixelsX(kPageSize.width());
    const int extraHeight = height() - units.ToPixelsY(kPageSize.height());
    const auto grown = [&](const QRect& template_, bool growHeight) {
        QRect rect = units.ToPixels(template_);
        rect.setWidth(rect.width() + extraWidth);
        if (growHeight) {
            rect.setHeight(rect.height() + extraHeight);
        } else {
            rect.translate(0, extraHeight);
        }
        return rect;
    };
    mGrid->setGeometry(grown(kGridRect, true));
    mNameLabel->setGeometry(grown(kNameRect, false));
    mDescriptionFrame->setGeometry(grown(kDescriptionFrameRect, false));
    mDescriptionLabel->setGeometry(grown(kDescriptionRect, false));
}

std::string CPropertyGeneral::ShownName(const Param_& parameter) {
    return parameter.HasOption(kDisplayNameOption) ? OptionText(parameter, kDisplayNameOption)
                                                   : parameter.mName;
}

void CPropertyGeneral::OnInputRefused(int item, const QString& reason) {
    auto found = mItemParams.find(item);
    if (mSheet == nullptr || found == mItemParams.end()) {
        return;
    }
    mSheet->SetStatusText(this, ShownName(*found->second) + ": " + reason.toStdString());
}

CPropertyGeneral::~CPropertyGeneral() = default;

int CPropertyGeneral::Port() const {
    return mCamera->GetPort();
}

std::shared_ptr<PropertyControlAdapter> CPropertyGeneral::GetAdapter(
    const Param_* parameter) const {
    return PropertyControlAdapterRegistry::GetAdapter(parameter);
}

int CPropertyGeneral::ItemOf(const Param_* parameter) const {
    auto found = mParamItems.find(parameter);
    return found != mParamItems.end() ? found->second : -1;
}

void CPropertyGeneral::OnInitDialog() {
    std::string lastFocused;
    if (const auto* last =
            dynamic_cast<const Param<std::string>*>(mParameters->Find(kLastFocusedItemName))) {
        lastFocused = last->mValue;
    }
    for (Param_& parameter : *mParameters) {
        if (!parameter.mVisible) {
            continue;
        }
        auto section = mSectionIds.find(parameter.mCategory);
        if (section == mSectionIds.end()) {
            section =
                mSectionIds
                    .emplace(parameter.mCategory, mGrid->AddSection(parameter.mCategory, false, -1))
                    .first;
        }
        const int item = GetAdapter(&parameter)->CreateItem(&parameter, *mGrid, section->second);
        mItemParams[item] = &parameter;
        mParamItems[&parameter] = item;
        if (parameter.mName == lastFocused) {
            mGrid->SetFocusedItem(item);
        }
    }
    GetCollapsedItemsStatus(*mParameters);
    OnFocusChanged(-1);
    const QFontMetrics metrics(mGrid->font());
    for (const auto& item : mItemParams) {
        mWidestName = std::max(
            mWidestName, metrics.horizontalAdvance(QString::fromStdString(item.second->mName)));
    }
    updateGeometry();
}

void CPropertyGeneral::GetCollapsedItemsStatus(CameraParameters& parameters) {
    for (Param_& candidate : parameters) {
        if (!candidate.mGeneral || !candidate.HasOption(kCollapseOption)) {
            continue;
        }
        RunGuardedVoid(Port(), "GetCollapsedItemsStatus",
                       "CPropertyGeneral::GetCollapsedItemsStatus", [&] {
                           const auto* flag =
                               dynamic_cast<const Param<bool>*>(parameters.Find(candidate.mName));
                           if (flag == nullptr) {
                               return;
                           }
                           auto section = mSectionIds.find(OptionText(*flag, kCollapseOption));
                           if (section != mSectionIds.end()) {
                               mGrid->ExpandSection(section->second, flag->mValue);
                           }
                       });
    }
}

void CPropertyGeneral::SetCollapsedItemsStatus(CameraParameters& parameters) {
    for (Param_& candidate : parameters) {
        if (!candidate.mGeneral || !candidate.HasOption(kCollapseOption)) {
            continue;
        }
        RunGuardedVoid(
            Port(), "SetCollapsedItemsStatus", "CPropertyGeneral::SetCollapsedItemsStatus", [&] {
                auto* flag = dynamic_cast<Param<bool>*>(parameters.Find(candidate.mName));
                if (flag == nullptr) {
                    return;
                }
                auto section = mSectionIds.find(OptionText(*flag, kCollapseOption));
                if (section != mSectionIds.end()) {
                    flag->mValue = !mGrid->IsSectionCollapsed(section->second);
                }
            });
    }
}

void CPropertyGeneral::MarkChanged(const std::string& name) {
    if (std::find(mChangedNames.begin(), mChangedNames.end(), name) == mChangedNames.end()) {
        mChangedNames.push_back(name);
    }
}

void CPropertyGeneral::UpdateValidity(CameraParameters& parameters) {
    std::string message;
    const bool valid = mCamera->Validate(parameters, message);
    if (mSheet == nullptr) {
        return;
    }
    mSheet->EnableOk(valid);
    if (valid) {
        mSheet->ClearStatusText();
    } else {
        mSheet->SetStatusText(this, message);
    }
}

void CPropertyGeneral::OnItemChanged(int item) {
    RunGuardedVoid(Port(), "OnItemChanged", "CPropertyGeneral::OnItemChanged", [&] {
        auto found = mItemParams.find(item);
        if (found != mItemParams.end()) {
            GetAdapter(found->second)->GetControlValue(found->second, *mGrid, item);
            MarkChanged(found->second->mName);
        }
        UpdateValidity(*mParameters);
        if (mSheet != nullptr) {
            mSheet->SetModified(true);
        }
    });
}

void CPropertyGeneral::OnFocusChanged(int item) {
    std::string nameText;
    std::string descriptionText;
    RunGuardedVoid(Port(), "OnFocusChanged", "CPropertyGeneral::OnFocusChanged", [&] {
        auto found = mItemParams.find(item);
        if (found == mItemParams.end()) {
            return;
        }
        const Param_& parameter = *found->second;
        nameText = ShownName(parameter);
        if (parameter.mWritable && (dynamic_cast<const Param<double>*>(&parameter) != nullptr ||
                                    dynamic_cast<const Param<int>*>(&parameter) != nullptr ||
                                    dynamic_cast<const Param<int64_t>*>(&parameter) != nullptr)) {
            nameText += " " + parameter.ShownRange();
        }
        descriptionText = parameter.mDescription;
        if (auto* last =
                dynamic_cast<Param<std::string>*>(mParameters->Find(kLastFocusedItemName))) {
            last->mValue = parameter.mName;
        } else {
            auto created = std::make_unique<Param<std::string>>(
                kInternalCategory, kLastFocusedItemName, parameter.mName);
            created->mWritable = false;
            created->mGeneral = true;
            created->mPersistent = false;
            created->mVisible = false;
            mParameters->AddParameter_(std::move(created));
        }
    });
    mNameLabel->setText(QString::fromStdString(nameText));
    mDescriptionLabel->setText(QString::fromStdString(descriptionText));
}

bool CPropertyGeneral::OnApply() {
    RunGuardedVoid(Port(), "OnApply", "CPropertyGeneral::OnApply", [&] {
        SetCollapsedItemsStatus(*mParameters);
        if (!mChangedNames.empty()) {
            std::vector<std::pair<std::string, std::string>> asked;  // name, value text
            for (const std::string& name : mChangedNames) {
                if (const Param_* parameter = mParameters->Find(name)) {
                    asked.emplace_back(name, parameter->GetValueText());
                }
            }
            mCamera->ApplyToCamera(mChangedNames);
            mChangedNames.clear();
            mCamera->RefreshFromCamera();
            mGrid->UpdateFromParameters(*mParameters);
            mGrid->viewport()->update();
            UpdateValidity(*mParameters);
            const std::string refused = NotApplied(asked);
            if (!refused.empty() && mSheet != nullptr) {
                mSheet->SetStatusText(this, refused);
            }
        }
    });
    return true;
}

std::string CPropertyGeneral::NotApplied(
    const std::vector<std::pair<std::string, std::string>>& asked) const {
    for (const auto& [name, value] : asked) {
        const Param_* parameter = mParameters->Find(name);
        if (parameter == nullptr || parameter->GetValueText() == value) {
            continue;
        }
        // The parameter holds the camera's value now; the asked one is judged by its range.
        std::unique_ptr<Param_> wanted = parameter->Clone();
        wanted->SetFromText(value);
        const bool outOfRange = !wanted->IsInRange();
        return ShownName(*parameter) + ": " + wanted->GetValueText() + " was not applied" +
               (outOfRange ? " (out of range " + parameter->ShownRange() + ")" : std::string()) +
               ", the value is " + parameter->GetValueText();
    }
    return "";
}

void CPropertyGeneral::OnCancel() {
    SetCollapsedItemsStatus(*mParameters);
}
