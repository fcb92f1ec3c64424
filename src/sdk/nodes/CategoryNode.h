#pragma once

#include <vector>

#include "sdk/genapi/ICategory.h"
#include "sdk/nodes/MemoryNode.h"

namespace sdk {

// In-memory category (see MemoryNodeMap); read-only, its text form is empty. A feature may be
// listed in more than one category.
class CategoryNode : public MemoryNode, public ICategory {
  public:
    CategoryNode(MemoryNodeMap& map, const gcstring& name);

    INode* GetNode() const override;
    gcstring ToString(bool verify = false, bool ignoreCache = false) const override;
    void FromString(const gcstring& text, bool verify = true) override;
    void GetFeatures(FeatureList_t& features) const override;
    using ICategory::GetFeatures;

    // Appends the feature (or sub-category) to the list.
    CategoryNode& AddFeature(MemoryNode& feature);

  private:
    std::vector<MemoryNode*> mFeatures;  // nodes owned by the map
};

}  // namespace sdk
