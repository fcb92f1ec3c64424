#include "dialog/PropertyGrid.h"

#include <cstdint>
#include <string>

#include "parameters/CameraParameters.h"
#include "parameters/ParamEnum.h"

PropertyGrid::PropertyGrid(QWidget* parent) : CPropertyGrid(parent) {}

PropertyGrid::~PropertyGrid() = default;

void PropertyGrid::UpdateFromParameters(const CameraParameters& parameters) {
    for (int sectionId : GetSectionIds()) {
        for (int itemId : GetItemIds(sectionId)) {
            Item* item = FindItem(itemId);
            const Param_* parameter = parameters.Find(item->name);
            if (parameter == nullptr || parameter->mGeneral || !parameter->mPersistent ||
                !parameter->mVisible) {
                continue;
            }
            item->editable = parameter->mWritable;
            const bool number = item->kind == kInteger || item->kind == kCombo;
            if (const auto* p = dynamic_cast<const Param<int>*>(parameter)) {
                if (number) item->integer = static_cast<int64_t>(p->mValue);
            } else if (const auto* p = dynamic_cast<const Param<int64_t>*>(parameter)) {
                if (number) item->integer = p->mValue;
            } else if (const auto* p = dynamic_cast<const Param<unsigned>*>(parameter)) {
                if (number) item->integer = static_cast<int64_t>(p->mValue);
            } else if (const auto* p = dynamic_cast<const Param<double>*>(parameter)) {
                if (item->kind == kDouble) item->real = p->mValue;
            } else if (const auto* p = dynamic_cast<const Param<bool>*>(parameter)) {
                if (item->kind == kBool) item->flag = p->mValue;
            } else if (const auto* p = dynamic_cast<const ParamEnum*>(parameter)) {
                if (number) item->integer = p->GetIndex();
            } else if (const auto* p = dynamic_cast<const Param<std::string>*>(parameter)) {
                if (item->kind == kText) item->text = p->mValue;
            }
        }
    }
    viewport()->update();
}
