#include "parameters/Param_.h"

#include <locale>
#include <sstream>
#include <stdexcept>
#include <utility>

#include <boost/format.hpp>

#include "parameters/Param.h"
#include "parameters/ParamEnum.h"

namespace {

// Copies the value when both parameters are a P; tells whether they were.
template <typename P>
bool CopyValueIfBoth(Param_& target, const Param_& source) {
    auto* typedTarget = dynamic_cast<P*>(&target);
    auto* typedSource = dynamic_cast<const P*>(&source);
    if (typedTarget == nullptr || typedSource == nullptr) {
        return false;
    }
    typedTarget->mValue = typedSource->mValue;
    return true;
}

}  // namespace

Param_::Param_(std::string category, std::string name, bool writable)
    : mName(std::move(name)), mCategory(std::move(category)), mWritable(writable) {}

Param_::~Param_() = default;

bool Param_::HasOption(const std::string& key) const {
    return mOptions.count(key) != 0;
}

void Param_::SetOption(const std::string& key, const std::string& value) {
    mOptions[key] = value;
}

void Param_::SetOption(const std::string& key, const char* value) {
    mOptions[key] = std::string(value != nullptr ? value : "");
}

void Param_::SetOption(const std::string& key, const sdk::gcstring& value) {
    mOptions[key] = value;
}

const boost::any& Param_::OptionValue(const std::string& key) const {
    const auto found = mOptions.find(key);
    if (found == mOptions.end()) {
        throw std::out_of_range(
            (boost::format("Parameter %s does not have option %s") % mName % key).str());
    }
    return found->second;
}

void Param_::CopyValueFrom(const Param_* other) {
    if (other == nullptr) {
        return;
    }
    // The order of the tests is fixed; the first type both parameters share decides.
    CopyValueIfBoth<Param<int>>(*this, *other) || CopyValueIfBoth<Param<int64_t>>(*this, *other) ||
        CopyValueIfBoth<Param<unsigned>>(*this, *other) ||
        CopyValueIfBoth<Param<double>>(*this, *other) ||
        CopyValueIfBoth<Param<bool>>(*this, *other) || CopyValueIfBoth<ParamEnum>(*this, *other) ||
        CopyValueIfBoth<Param<std::string>>(*this, *other);
}

std::string Param_::ShownRange() const {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text.precision(9);
    WriteRange(text);
    return text.str();
}
