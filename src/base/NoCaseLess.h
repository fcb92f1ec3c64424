#pragma once

#include <cstddef>
#include <string>

// Orders names the way the classic _stricmp does: byte by byte after folding ASCII upper-case
// letters to lower case, bytes compared as unsigned. Folding to lower (not upper) case matters for
// the bytes between 'Z' and 'a': "A_" sorts before "AB" ("a_" < "ab"), as with _stricmp. Other
// bytes, including non-ASCII ones, are compared unchanged, whatever the process locale.
struct NoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const noexcept {
        return CompareNoCase(a, b) < 0;
    }

    // Negative, zero or positive as a sorts before, equal to or after b.
    static int CompareNoCase(const std::string& a, const std::string& b) noexcept {
        const size_t common = a.size() < b.size() ? a.size() : b.size();
        for (size_t i = 0; i < common; ++i) {
            const int ca = Fold(static_cast<unsigned char>(a[i]));
            const int cb = Fold(static_cast<unsigned char>(b[i]));
            if (ca != cb) {
                return ca - cb;
            }
        }
        if (a.size() == b.size()) {
            return 0;
        }
        return a.size() < b.size() ? -1 : 1;
    }

    static bool EqualNoCase(const std::string& a, const std::string& b) noexcept {
        return a.size() == b.size() && CompareNoCase(a, b) == 0;
    }

  private:
    static int Fold(unsigned char c) noexcept { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }
};
