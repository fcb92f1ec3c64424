#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include <boost/numeric/conversion/cast.hpp>

#include "parameters/CameraParameters.h"
#include "parameters/Param.h"

// Typed access to one value of a parameter set by name (ignoring case) and class. These only read
// or write the value held in the set; they never touch a camera. The camera's own GetParameter /
// SetParameter forward here, hence the texts of the exceptions. Nothing is caught: failures reach
// the caller, and a failed write leaves the set unchanged.
//
// Threading: none of their own; the set's owner serialises access.

// The mValue of the parameter of that name, which must be a Param<T> (tested on its dynamic type,
// so a ParamEnum reads as Param<std::string> and yields its entry name).
// Throws std::out_of_range "Camera::GetParameter: Parameter 'NAME' does not exist" and
// std::runtime_error "Camera::GetParameter: Parameter 'NAME' accessed by wrong type".
template <typename T>
T GetParameter(const CameraParameters& parameters, const std::string& name) {
    const Param_* parameter = parameters.Find(name);
    if (parameter == nullptr) {
        throw std::out_of_range("Camera::GetParameter: Parameter '" + name + "' does not exist");
    }
    const auto* typed = dynamic_cast<const Param<T>*>(parameter);
    if (typed == nullptr) {
        throw std::runtime_error("Camera::GetParameter: Parameter '" + name +
                                 "' accessed by wrong type");
    }
    return typed->mValue;
}

// Stores value as the mValue of the parameter of that name, which must be a Param<T>. No range
// check, no text cache update, no write to a camera.
// Throws std::runtime_error "Camera::SetParameter: Parameter 'NAME' not found" and
// "Camera::SetParameter: Parameter 'NAME' accessed by wrong type".
template <typename T>
void SetParameter(CameraParameters& parameters, const std::string& name, const T& value) {
    Param_* parameter = parameters.Find(name);
    if (parameter == nullptr) {
        throw std::runtime_error("Camera::SetParameter: Parameter '" + name + "' not found");
    }
    auto* typed = dynamic_cast<Param<T>*>(parameter);
    if (typed == nullptr) {
        throw std::runtime_error("Camera::SetParameter: Parameter '" + name +
                                 "' accessed by wrong type");
    }
    typed->mValue = value;
}

// The 64-bit parameter of that name narrowed to int, as the image width and height are reported:
// GetParameterAsInt(set, "Width"). Besides the errors of GetParameter<int64_t>, a value outside
// the int range throws boost::numeric::positive_overflow ("bad numeric conversion: positive
// overflow") or negative_overflow ("... negative overflow").
inline int GetParameterAsInt(const CameraParameters& parameters, const std::string& name) {
    return boost::numeric_cast<int>(GetParameter<int64_t>(parameters, name));
}
