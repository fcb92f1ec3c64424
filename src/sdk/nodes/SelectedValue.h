#pragma once

#include <cstdint>
#include <map>
#include <vector>

namespace sdk {

// Current values of the enumerations that select a feature, in the order they were declared.
// Empty for a feature no selector selects.
using SelectorKey = std::vector<int64_t>;

// The stored value of an in-memory feature: one value per state of its selectors, starting from
// a common initial value.
template <class T>
class SelectedValue {
  public:
    explicit SelectedValue(T initial = T()) : mInitial(std::move(initial)) {}

    const T& Get(const SelectorKey& key) const {
        const auto it = mValues.find(key);
        return it == mValues.end() ? mInitial : it->second;
    }
    void Set(const SelectorKey& key, T value) {
        if (key.empty()) {
            mInitial = std::move(value);
        } else {
            mValues[key] = std::move(value);
        }
    }
    // The same value in every selector state.
    void SetAll(T value) {
        mInitial = std::move(value);
        mValues.clear();
    }

  private:
    T mInitial;
    std::map<SelectorKey, T> mValues;
};

}  // namespace sdk
