#pragma once

#include <cstdint>
#include <string>

// The text-to-number rules of the parameter classes. Each reads the leading number of a text the
// way atoi/atof do and never fails: leading white space (blank, \t, \n, \v, \f, \r) is skipped, an
// optional sign is taken, then as many digits as follow; a text without a leading number gives 0.
// Reading stops at the first byte that does not belong to the number, so an embedded NUL ends the
// text, and nothing beyond the string's own bytes is ever read.
//
// Unlike atoi, an integer that does not fit the target type does not invoke undefined behaviour:
// it saturates to the type's minimum or maximum ("99999999999" as int gives 2147483647,
// "-99999999999999999999" as int64_t gives INT64_MIN). For unsigned, a negative number gives 0.
//
// The real-number reader follows strtod in the "C" locale whatever locale the process runs in, so
// "1.5" reads as 1.5 even after a host or GUI toolkit switched LC_NUMERIC to a comma locale. It
// accepts what strtod accepts (exponents, "inf", "nan", hexadecimal floats); a value too large in
// magnitude gives +/-HUGE_VAL.
//
// Threading: all functions are reentrant.
int64_t LeadingInt64(const std::string& text) noexcept;
int LeadingInt(const std::string& text) noexcept;
unsigned LeadingUnsigned(const std::string& text) noexcept;
double LeadingDouble(const std::string& text) noexcept;
