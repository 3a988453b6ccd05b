#pragma once
// The column layout of each JPK type, declared into the field-to-column map
// before the files of a group are transported.

#include "xmlsheet/field_map.h"

namespace zbir::workbook {

// JPK type index 1..7 (position of the group's type letter in "KWMVFPE"; 0
// for none). Types K, V and F add their entries to `map` in declaration
// order; the others add nothing.
void declareLayout(int jpkType, xmlsheet::FieldMap& map);

// The layout of the JPK_V7M / JPK_V7K forms, whatever the group's type: the
// union of every V7 version's record elements (jpkforms), sales first, each
// element once, in its column of the forms table.
void declareV7Layout(xmlsheet::FieldMap& map);

}  // namespace zbir::workbook
