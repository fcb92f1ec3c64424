#pragma once

#include <QWidget>
#include <map>
#include <memory>
#include <string>
#include <utility>
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
// The page is resizable: the grid takes the room, the name and description stay below it. It
// opens (sizeHint) wide enough for the longest name in the name column and tall enough for
// about 40 rows; it is never smaller than its template. Text typed into a number item is
// refused with the reason in the status bar, and an Apply after which a value read back differs
// from the one asked for says so there.
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

    QSize sizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    int Port() const;
    // The name the labels and the status bar use: the display name, else the name.
    static std::string ShownName(const Param_& parameter);
    void OnInputRefused(int item, const QString& reason);
    // After an Apply: the first edited value that did not take, "" when all did.
    std::string NotApplied(const std::vector<std::pair<std::string, std::string>>& asked) const;

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
    int mWidestName = 0;  // pixels of the longest item name, measured once filled
};
