#pragma once

#include <string>
#include <thread>

// The native id of a thread as the log shows it: lower-case hexadecimal without prefix.
std::string ThreadIdText(std::thread& thread);
