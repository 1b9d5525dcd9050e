#pragma once
// The catalogues' grid: cells laid out a fixed number to a row, the last row filled up
// with empty controls.

#include "skin/container.h"

#include <functional>

// Adds rows made by newRow to list until count cells are placed, cellsPerRow to a row;
// newCell(index) makes cell index. A count that fills its last row exactly still ends
// with a row of empty controls, as the catalogues have always been laid out.
void FillCellGrid(CContainerUI* list, int count, int cellsPerRow, const std::function<CHorizontalLayoutUI*()>& newRow,
                  const std::function<CControlUI*(int index)>& newCell);
