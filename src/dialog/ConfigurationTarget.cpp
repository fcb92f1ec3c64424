#include "dialog/ConfigurationTarget.h"

ConfigurationTarget::~ConfigurationTarget() = default;
