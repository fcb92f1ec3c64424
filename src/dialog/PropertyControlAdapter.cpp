#include "dialog/PropertyControlAdapter.h"

#include <boost/any.hpp>
#include <stdexcept>
#include <typeinfo>

#include "parameters/Param_.h"

namespace {

// std::bad_cast with the adapter's own text.
class WrongParameterType : public std::bad_cast {
  public:
    explicit WrongParameterType(std::string text) : mText(std::move(text)) {}
    const char* what() const noexcept override { return mText.c_str(); }

  private:
    std::string mText;
};

std::string NameOf(const Param_* parameter) {
    return parameter != nullptr ? parameter->mName : std::string();
}

}  // namespace

PropertyControlAdapter::~PropertyControlAdapter() = default;

void PropertyControlAdapter::ThrowWrongType(const Param_* parameter) {
    throw WrongParameterType("Wrong parameter '" + NameOf(parameter) + "' type");
}

void PropertyControlAdapter::ThrowSetFailed(const Param_* parameter) {
    throw std::runtime_error("Failed to set control '" + NameOf(parameter) + "' value");
}

void PropertyControlAdapter::ThrowGetFailed(const Param_* parameter) {
    throw std::runtime_error("Failed to get control '" + NameOf(parameter) + "' value");
}

std::string PropertyControlAdapter::DisplayFormat(const Param_& parameter) {
    static const std::string kKey = "Format";
    if (!parameter.HasOption(kKey)) {
        return std::string();
    }
    // The option is text; accept either of the option store's two text types.
    const boost::any& value = parameter.mOptions.at(kKey);
    if (const auto* gcText = boost::any_cast<sdk::gcstring>(&value)) {
        return gcText->str();
    }
    return parameter.GetOption<std::string>(kKey);
}
