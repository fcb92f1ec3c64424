#pragma once

#include <string>
#include <vector>

struct HostDriver;

// The names an open camera accepts, as the driver's "list" command gives them (page by page),
// with what the host needs to check a value before it is written.
//
// Threading: one thread; Load reads the driver, the rest works on the copy.
class PropertyCatalog {
  public:
    struct Property {
        std::string name;
        std::string type;    // int, int64, float, bool, enum, string, command
        std::string access;  // rw, ro, wo
        std::string value;
        std::string limits;  // "[min..max]", or an enumeration's entries separated by ","
        std::string description;
        std::vector<std::string> entries;  // an enumeration's entries
        double min = 0.0;
        double max = 0.0;
        bool hasRange = false;
    };

    // Reads the list of the camera on the port; false (with the reason in error) when the driver
    // refuses it.
    bool Load(HostDriver& driver, int port, std::string& error);

    const std::vector<Property>& All() const { return mProperties; }
    // By name, ignoring case; null when the camera has no such name.
    const Property* Find(const std::string& name) const;
    // One line for an unknown name: the names that contain it, or where to look.
    std::string Unknown(const std::string& name) const;

    // Checks the form of a value typed for the property and gives the text to hand to the driver
    // (an enumeration entry as the camera spells it, a bool as 1 or 0). False with the reason.
    // The range is the camera's to judge: the one listed may be out of date once another value
    // (an offset, a binning) has changed.
    static bool Check(const Property& property, const std::string& text, std::string& driverText,
                      std::string& error);

    // Whether a number lies outside the property's listed range.
    static bool OutOfRange(const Property& property, const std::string& text);

  private:
    std::vector<Property> mProperties;
};
