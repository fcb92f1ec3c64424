#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "parameters/Param.h"

// An enumeration parameter. Its value (mValue, inherited from the text parameter) is the symbolic
// name of the selected entry; each entry has a name and an integer value. Names are compared
// exactly (case-sensitive).
//
// SetFromText, the text caches and the range text are those of Param<std::string>: any text is
// accepted without being checked against the entries; IsInRange then tells whether it names one.
//
// Threading: see Param_.
class ParamEnum : public Param<std::string> {
  public:
    // A text parameter with the given value and no entries.
    ParamEnum(std::string category, std::string name, std::string value);
    ParamEnum(const ParamEnum&) = default;

    // Appends an entry; a null or empty name is ignored. The first entry added becomes the
    // value, whatever the value was before.
    void AddEntry(const char* name, int64_t value);

    // Position of the value among the entries; 0 when it is none of them.
    int GetIndex() const;
    // Selects the entry at the index; an index outside the entries changes nothing.
    void SetIndex(int64_t index);

    // Value of the entry with exactly that name; 0 for a null or empty name or one that is not
    // an entry.
    int64_t GetEntryValue(const char* name) const;
    // Value of the selected entry (0 when the value names no entry).
    int64_t GetIntValue() const;
    // Selects the first entry with that value; nothing changes when there is none.
    void SetIntValue(int64_t value);

    // Smallest / largest entry value; 0 without entries.
    int64_t GetMinEntryValue() const;
    int64_t GetMaxEntryValue() const;

    // Whether the value is exactly the name of an entry.
    bool IsInRange() const override;
    std::unique_ptr<Param_> Clone() const override;

    std::vector<std::string> mEntries;  // entry names in the order they were added
    std::vector<int64_t> mEntryValues;  // the value of each entry, parallel to mEntries

  private:
    // Position of the entry with exactly that name, or mEntries.size().
    size_t FindEntry(const std::string& name) const;
};
