#include "parameters/ParamEnum.h"

#include <algorithm>
#include <utility>

ParamEnum::ParamEnum(std::string category, std::string name, std::string value)
    : Param<std::string>(std::move(category), std::move(name), std::move(value)) {}

void ParamEnum::AddEntry(const char* name, int64_t value) {
    if (name == nullptr || *name == '\0') {
        return;
    }
    mEntries.emplace_back(name);
    mEntryValues.push_back(value);
    if (mEntries.size() == 1) {
        mValue = mEntries.front();
    }
}

int ParamEnum::GetIndex() const {
    const size_t index = FindEntry(mValue);
    return index < mEntries.size() ? static_cast<int>(index) : 0;
}

void ParamEnum::SetIndex(int64_t index) {
    if (index >= 0 && static_cast<uint64_t>(index) < mEntries.size()) {
        mValue = mEntries[static_cast<size_t>(index)];
    }
}

int64_t ParamEnum::GetEntryValue(const char* name) const {
    if (name == nullptr || *name == '\0') {
        return 0;
    }
    const size_t index = FindEntry(name);
    return index < mEntries.size() ? mEntryValues[index] : 0;
}

int64_t ParamEnum::GetIntValue() const {
    const size_t index = FindEntry(mValue);
    return index < mEntries.size() ? mEntryValues[index] : 0;
}

void ParamEnum::SetIntValue(int64_t value) {
    const auto found = std::find(mEntryValues.begin(), mEntryValues.end(), value);
    if (found != mEntryValues.end()) {
        mValue = mEntries[static_cast<size_t>(found - mEntryValues.begin())];
    }
}

int64_t ParamEnum::GetMinEntryValue() const {
    return mEntryValues.empty() ? 0 : *std::min_element(mEntryValues.begin(), mEntryValues.end());
}

int64_t ParamEnum::GetMaxEntryValue() const {
    return mEntryValues.empty() ? 0 : *std::max_element(mEntryValues.begin(), mEntryValues.end());
}

bool ParamEnum::IsInRange() const {
    return FindEntry(mValue) < mEntries.size();
}

std::unique_ptr<Param_> ParamEnum::Clone() const {
    return std::make_unique<ParamEnum>(*this);
}

size_t ParamEnum::FindEntry(const std::string& name) const {
    return static_cast<size_t>(std::find(mEntries.begin(), mEntries.end(), name) -
                               mEntries.begin());
}
