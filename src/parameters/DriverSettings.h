#pragma once

#include "parameters/CameraParameters.h"
#include "parameters/TypedParameterAccess.h"

// Hands the driver-wide settings of a camera's parameter set to the driver state, in this order:
// "LogLevel" (Param<int>) into mLogLevel, "LogIntoFile" (Param<bool>) into mLogIntoFile,
// "InhibitPylonTerminate" (Param<bool>) into mInhibitPylonTerminate. A missing setting or one of
// another type throws as GetParameter does; the fields assigned before it keep their new values.
//
// State is DriverState (its atomics take plain assignment); any record with these three fields
// will do. DriverState::ApplySettings(parameters) is ApplyDriverSettings(parameters, *this).
//
// Threading: reads the set without a lock (the caller holds the camera); each field is assigned
// on its own, so other threads may see the first one changed before the others.
template <typename State>
void ApplyDriverSettings(const CameraParameters& parameters, State& state) {
    state.mLogLevel = GetParameter<int>(parameters, "LogLevel");
    state.mLogIntoFile = GetParameter<bool>(parameters, "LogIntoFile");
    state.mInhibitPylonTerminate = GetParameter<bool>(parameters, "InhibitPylonTerminate");
}
