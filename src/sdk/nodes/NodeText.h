#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sdk/genapi/NodeTypes.h"

// Text forms of node values, shared by the in-memory nodes. Parsers throw
// InvalidArgumentException naming the node when the text does not parse completely.

namespace sdk {
namespace nodetext {

std::string FormatInteger(int64_t value, ERepresentation representation);
// Decimal, "0x" hex, dotted IPv4 or colon-separated MAC; surrounding blanks are ignored.
int64_t ParseInteger(const std::string& text, const std::string& nodeName);

// Shortest text that reads back as the same double.
std::string FormatFloat(double value);
double ParseFloat(const std::string& text, const std::string& nodeName);

// "1"/"0"; parsing also takes "true"/"false" in any case.
bool ParseBoolean(const std::string& text, const std::string& nodeName);

// The text without surrounding blanks (" \t\r\n"): a copy, or a view into text.
std::string Trim(const std::string& text);
std::string_view TrimView(std::string_view text);

// Equal apart from the case of ASCII letters, whatever the process locale.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// Register contents as "0x" and two upper-case hex digits per byte, in memory order.
std::string FormatBytes(const std::vector<uint8_t>& bytes);

}  // namespace nodetext
}  // namespace sdk
