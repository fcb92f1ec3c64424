#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <type_traits>

#include <boost/any.hpp>

#include "sdk/genapi/GcString.h"

// A named, typed setting of a camera's parameter set: either the mirror of one camera feature or
// one of the driver's own settings. Param_ holds what all types share (name, category, flags,
// description, options); Param<T> adds the value and its range, ParamEnum the entries of an
// enumeration.
//
// The data members are public on purpose: the parameter set, the configuration file, the named
// properties and the dialog read and assign them directly.
//
// Options are extra data stored by key (compared case-sensitively), each holding a std::string,
// an int64_t or an sdk::gcstring. Reading one with GetOption<T>() throws std::out_of_range
// ("Parameter NAME does not have option KEY") for a missing key and boost::bad_any_cast when the
// key holds another type.
//
// Ownership: a parameter set owns its parameters through the virtual destructor; Clone() is the
// way to copy one polymorphically.
//
// Threading: no locks. GetValueText and GetRangeText rewrite a cache inside the object, so a
// parameter must not be used by two threads at once; the text they return stays valid until the
// next such call on the same parameter.
class Param_ {
  public:
    Param_(std::string category, std::string name, bool writable = true);
    virtual ~Param_();

    // Sets the value from its text form (see Param<T> for the rules per type); never fails.
    virtual void SetFromText(const std::string& text) = 0;
    // The value as text, formatted with 17 significant digits in the "C" locale.
    virtual const std::string& GetValueText() const = 0;
    // "[" minimum ".." maximum "]", formatted like GetValueText.
    virtual const std::string& GetRangeText() const = 0;
    virtual bool IsInRange() const = 0;
    // Writes NAME "=" VALUE "\n" with the stream's own formatting.
    virtual std::ostream& WriteValue(std::ostream& out) const = 0;
    // Writes "[" MIN ".." MAX "]" with the stream's own formatting.
    virtual std::ostream& WriteRange(std::ostream& out) const = 0;
    // The range as people read it wherever it is shown (dialog labels, validation messages):
    // WriteRange in the "C" locale with 9 significant digits, so 1e7 shows as "10000000".
    std::string ShownRange() const;
    // A new parameter of the same dynamic type with every member copied.
    virtual std::unique_ptr<Param_> Clone() const = 0;

    bool HasOption(const std::string& key) const;

    // Stores the value under the key, replacing an earlier value of any type. Integers are stored
    // as int64_t, C strings as std::string.
    void SetOption(const std::string& key, const std::string& value);
    void SetOption(const std::string& key, const char* value);
    void SetOption(const std::string& key, const sdk::gcstring& value);
    template <typename Integer, typename = std::enable_if_t<std::is_integral<Integer>::value &&
                                                            !std::is_same<Integer, bool>::value>>
    void SetOption(const std::string& key, Integer value) {
        mOptions[key] = static_cast<int64_t>(value);
    }

    // The value stored under the key; T is std::string, int64_t or sdk::gcstring.
    template <typename T>
    T GetOption(const std::string& key) const {
        static_assert(std::is_same<T, std::string>::value || std::is_same<T, int64_t>::value ||
                          std::is_same<T, sdk::gcstring>::value,
                      "options hold std::string, int64_t or sdk::gcstring");
        return boost::any_cast<T>(OptionValue(key));
    }

    // Copies only the value of another parameter of the same type; nothing happens for a null
    // parameter or differing types. A ParamEnum and a plain text parameter copy as text.
    void CopyValueFrom(const Param_* other);

    std::string mName;
    std::string mCategory;     // feature category, or "General" for driver settings
    bool mWritable;            // may be edited and written to the camera
    bool mGeneral = false;     // a driver setting, not a camera feature
    bool mPersistent = true;   // stored in the configuration file
    bool mVisible = true;      // shown in the dialog
    bool mVolatile = false;    // the camera may change it on its own; re-read before reporting
    bool mChunk = false;       // comes from the chunk data of a grabbed image
    std::string mDescription;  // tool tip
    std::map<std::string, boost::any> mOptions;

  protected:
    Param_(const Param_&) = default;
    Param_& operator=(const Param_&) = delete;

  private:
    // The value of an option; throws std::out_of_range for a missing key.
    const boost::any& OptionValue(const std::string& key) const;
};
