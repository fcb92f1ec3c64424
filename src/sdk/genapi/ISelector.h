#pragma once

#include "sdk/genapi/NodeTypes.h"

namespace sdk {

// Selector relations of a node. A selector (an enumeration in practice) selects features whose
// value depends on it; those features list it among their selecting features.
class ISelector {
  public:
    virtual ~ISelector() = default;

    // True when the node selects at least one feature.
    virtual bool IsSelector() const = 0;
    virtual void GetSelectedFeatures(FeatureList_t& features) const = 0;
    virtual void GetSelectingFeatures(FeatureList_t& features) const = 0;

    FeatureList_t GetSelectedFeatures() const {
        FeatureList_t list;
        GetSelectedFeatures(list);
        return list;
    }
    FeatureList_t GetSelectingFeatures() const {
        FeatureList_t list;
        GetSelectingFeatures(list);
        return list;
    }
};

}  // namespace sdk
