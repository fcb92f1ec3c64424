#pragma once

#include <ostream>
#include <string>

namespace sdk {

// The SDK's own string type. It is a distinct type (not std::string) because parameter options
// keep node names as gcstring and other texts as std::string, and a reader asking for the wrong
// one must fail.
class gcstring {
  public:
    gcstring() = default;
    gcstring(const char* text) : mText(text ? text : "") {}
    gcstring(std::string text) : mText(std::move(text)) {}

    const char* c_str() const noexcept { return mText.c_str(); }
    const std::string& str() const noexcept { return mText; }
    size_t size() const noexcept { return mText.size(); }
    size_t length() const noexcept { return mText.size(); }
    bool empty() const noexcept { return mText.empty(); }

    gcstring& operator+=(const gcstring& other) {
        mText += other.mText;
        return *this;
    }

    friend bool operator==(const gcstring& a, const gcstring& b) { return a.mText == b.mText; }
    friend bool operator!=(const gcstring& a, const gcstring& b) { return a.mText != b.mText; }
    friend bool operator<(const gcstring& a, const gcstring& b) { return a.mText < b.mText; }
    friend gcstring operator+(const gcstring& a, const gcstring& b) { return a.mText + b.mText; }
    // Streams the text, so a gcstring can be an argument of boost::format or a log line.
    friend std::ostream& operator<<(std::ostream& out, const gcstring& s) { return out << s.mText; }

  private:
    std::string mText;
};

}  // namespace sdk
