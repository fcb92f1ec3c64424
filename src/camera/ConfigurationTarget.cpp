#include "camera/ConfigurationTarget.h"

ConfigurationTarget::~ConfigurationTarget() = default;
