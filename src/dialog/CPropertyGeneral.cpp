#include "dialog/CPropertyGeneral.h"

#include <QFrame>
#include <QLabel>
#include <algorithm>
#include <boost/any.hpp>
#include <locale>
#include <sstream>

#include "dialog/CSheet1.h"
#include "dialog/ConfigurationTarget.h"
#include "dialog/DialogUnits.h"
#include "dialog/PropertyControlAdapter.h"
#include "dialog/PropertyControlAdapterRegistry.h"
#include "driver/ExceptionGuard.h"
#include "parameters/CameraParameters.h"
#include "parameters/Param.h"

namespace {

const char* const kCaption = "General";
const char* const kCollapseOption = "SectionName";
const char* const kDisplayNameOption = "DisplayName";
const char* const kInternalCategory = "Internal";

// Page template (dialog units).
const QSize kPageSize(316, 327);
const QRect kGridRect(3, 3, 308, 223);
const QRect kNameRect(3, 232, 308, 9);
const QRect kDescriptionFrameRect(3, 242, 308, 81);
const QRect kDescriptionRect(13, 245, 295, 76);

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
    setFixedSize(units.ToPixels(kPageSize));
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
        nameText = parameter.HasOption(kDisplayNameOption)
                       ? OptionText(parameter, kDisplayNameOption)
                       : parameter.mName;
        const bool isDouble = dynamic_cast<const Param<double>*>(&parameter) != nullptr;
        if (parameter.mWritable &&
            (isDouble || dynamic_cast<const Param<int>*>(&parameter) != nullptr ||
             dynamic_cast<const Param<int64_t>*>(&parameter) != nullptr)) {
            std::ostringstream range;
            range.imbue(std::locale::classic());
            if (isDouble) {
                range.precision(9);
            }
            parameter.WriteRange(range);
            nameText += " " + range.str();
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
            mCamera->ApplyToCamera(mChangedNames);
            mChangedNames.clear();
            mCamera->RefreshFromCamera();
            mGrid->UpdateFromParameters(*mParameters);
            mGrid->viewport()->update();
            UpdateValidity(*mParameters);
        }
    });
    return true;
}

void CPropertyGeneral::OnCancel() {
    SetCollapsedItemsStatus(*mParameters);
}
