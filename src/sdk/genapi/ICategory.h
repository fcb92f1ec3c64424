#pragma once

#include "sdk/genapi/IValue.h"
#include "sdk/genapi/NodeTypes.h"

namespace sdk {

// A group of features (and sub-categories) in the order the device shows them. The node map's
// top category is named "Root".
class ICategory : public virtual IValue {
  public:
    virtual void GetFeatures(FeatureList_t& features) const = 0;

    FeatureList_t GetFeatures() const {
        FeatureList_t list;
        GetFeatures(list);
        return list;
    }
};

}  // namespace sdk
