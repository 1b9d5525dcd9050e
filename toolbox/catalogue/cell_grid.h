#pragma once
// The catalogues' grid: cells laid out a fixed number to a row, the last row filled up
// with empty controls; and the ids by which a software cell is found again.

#include "skin/container.h"

#include <cstddef>
#include <functional>

// Adds rows made by newRow to list until count cells are placed, cellsPerRow to a row;
// newCell(index) makes cell index. A count that fills its last row exactly (zero
// included) still ends with a row of empty controls.
void FillCellGrid(CContainerUI* list, int count, int cellsPerRow, const std::function<CHorizontalLayoutUI*()>& newRow,
                  const std::function<CControlUI*(int index)>& newCell);

// Ids for count cells, the first returned and the rest following it; any thread. A cell
// keeps its id as its tag. Ids are never 0 and never given twice in a run, so a result
// meant for a cell of an earlier load finds nothing among the cells of a later one.
UINT_PTR ReserveCellIds(size_t count);
// The control under root (itself included) whose tag is cellId, or null; 0 finds nothing.
CControlUI* FindCellById(CControlUI* root, UINT_PTR cellId);
