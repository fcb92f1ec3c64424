#pragma once

#include <QString>
#include <string>

// What the source files of CPropertyGrid share (CPropertyGrid.cpp, CPropertyGridDrawing.cpp,
// CPropertyGridInput.cpp, CPropertyGridEditing.cpp). Internal to those files.
namespace property_grid {

constexpr const char* kTrueText = "True";
constexpr const char* kFalseText = "False";

inline QString ToQt(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace property_grid
