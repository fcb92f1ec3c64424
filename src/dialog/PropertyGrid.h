#pragma once

#include "dialog/CPropertyGrid.h"

class CameraParameters;

// The configuration page's grid: CPropertyGrid plus the refresh from a parameter set.
//
// Threading: GUI thread only.
class PropertyGrid : public CPropertyGrid {
    Q_OBJECT

  public:
    explicit PropertyGrid(QWidget* parent = nullptr);
    ~PropertyGrid() override;

    // For every item (section order, item order) whose name (ignoring case) is a camera
    // parameter of the set that is persistent and visible: editable = mWritable, and the value is
    // set directly, keeping the undefined mark. Driver settings (mGeneral) are not refreshed;
    // neither are items whose kind does not fit the parameter's class.
    void UpdateFromParameters(const CameraParameters& parameters);
};
