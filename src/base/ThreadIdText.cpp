#include "base/ThreadIdText.h"

#include <cstdio>

std::string ThreadIdText(std::thread& thread) {
    char text[32];
    std::snprintf(text, sizeof text, "%lx", static_cast<unsigned long>(thread.native_handle()));
    return text;
}
