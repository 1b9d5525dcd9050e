#include "toolbox/catalogue/cell_grid.h"

void FillCellGrid(CContainerUI* list, int count, int cellsPerRow, const std::function<CHorizontalLayoutUI*()>& newRow,
                  const std::function<CControlUI*(int index)>& newCell) {
    for (int row = 0; row <= count / cellsPerRow; ++row) {
        CHorizontalLayoutUI* layout = newRow();
        for (int cell = 0; cell < cellsPerRow; ++cell) {
            const int index = row * cellsPerRow + cell;
            layout->Add(index < count ? newCell(index) : new CControlUI);
        }
        list->Add(layout);
    }
}
