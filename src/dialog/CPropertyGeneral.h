#pragma once

#include <QWidget>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dialog/PropertyGrid.h"

class CameraParameters;
class ConfigurationTarget;
class CSheet1;
class Param_;
class PropertyControlAdapter;
class QFrame;
class QLabel;

// The configuration sheet's only page, captioned "General": the camera's working parameter set in
// a property grid (one section per category, one item per visible parameter), a name label with
// the focused parameter's display name and range, and its description.
//
// Edits go straight into the working set and are remembered by name (each once, in first-edit
// order); Apply writes exactly those to the camera, reads everything back and refreshes the grid.
// The sections' collapse states live in the hidden "<category>_CollapseStatus" parameters, the
// last focused item in the hidden "LastFocusedItemName" parameter.
//
// OnItemChanged, OnFocusChanged and OnApply, and the collapse handling of each parameter, run
// under the driver's three handlers: a failure is logged for the camera's port and swallowed.
//
// Threading: GUI thread only.
class CPropertyGeneral : public QWidget {
    Q_OBJECT

  public:
    static constexpr const char* kLastFocusedItemName = "LastFocusedItemName";

    // All three must outlive the page.
    CPropertyGeneral(ConfigurationTarget& camera, CameraParameters& parameters, CSheet1* sheet);
    ~CPropertyGeneral() override;

    // Fills the grid from the working set; called once by the sheet. Not guarded: a failure
    // reaches the sheet.
    void OnInitDialog();
    void OnItemChanged(int item);
    void OnFocusChanged(int item);
    // Stores the collapse states and applies the edited parameters; always true.
    bool OnApply();
    // Stores the collapse states (the caller then restores the whole set from the backup).
    void OnCancel();

    // Grid sections from / to the collapse-status parameters of the set.
    void GetCollapsedItemsStatus(CameraParameters& parameters);
    void SetCollapsedItemsStatus(CameraParameters& parameters);
    // Validates the set: enables OK and clears the status text, or disables OK and shows
    // "General: " and the validation message.
    void UpdateValidity(CameraParameters& parameters);
    void MarkChanged(const std::string& name);
    std::shared_ptr<PropertyControlAdapter> GetAdapter(const Param_* parameter) const;

    PropertyGrid* Grid() const { return mGrid; }
    QLabel* NameLabel() const { return mNameLabel; }
    QLabel* DescriptionLabel() const { return mDescriptionLabel; }
    const std::vector<std::string>& ChangedNames() const { return mChangedNames; }
    const std::map<std::string, int>& SectionIds() const { return mSectionIds; }
    // The item of a parameter, -1 when it has none.
    int ItemOf(const Param_* parameter) const;

  private:
    int Port() const;

    ConfigurationTarget* mCamera;
    CameraParameters* mParameters;
    CSheet1* mSheet;
    PropertyGrid* mGrid;
    QLabel* mNameLabel;
    QFrame* mDescriptionFrame;
    QLabel* mDescriptionLabel;
    std::map<std::string, int> mSectionIds;
    std::map<int, Param_*> mItemParams;
    std::map<const Param_*, int> mParamItems;
    std::vector<std::string> mChangedNames;
};
