#pragma once

#include <cstdint>
#include <vector>

// Enumerations and list types shared by the node-map interfaces. The numbering follows GenApi, so
// numbers that reach log lines (the interface type) read the same as on other platforms.

namespace sdk {

class INode;
class IValue;

// Access mode of a node: not implemented, not available, write-only, read-only, read/write.
enum EAccessMode { NI, NA, WO, RO, RW, _UndefinedAccesMode, _CycleDetectAccesMode };

// Principal interface of a node.
enum EInterfaceType {
    intfIValue = 0,
    intfIBase = 1,
    intfIInteger = 2,
    intfIBoolean = 3,
    intfICommand = 4,
    intfIFloat = 5,
    intfIString = 6,
    intfIRegister = 7,
    intfICategory = 8,
    intfIEnumeration = 9,
    intfIEnumEntry = 10,
    intfIPort = 11
};

// How a number is meant to be shown.
enum ERepresentation {
    Linear = 0,
    Logarithmic = 1,
    Boolean = 2,
    PureNumber = 3,
    HexNumber = 4,
    IPV4Address = 5,
    MACAddress = 6,
    _UndefinedRepresentation = 7
};

// Nodes (entries of an enumeration, all nodes of a map); order is the map's or the device's.
using NodeList_t = std::vector<INode*>;
// Features (members of a category, features selected by or selecting a feature).
using FeatureList_t = std::vector<IValue*>;

}  // namespace sdk
