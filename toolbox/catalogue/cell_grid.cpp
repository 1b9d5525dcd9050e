#include "toolbox/catalogue/cell_grid.h"

#include <atomic>

namespace {

std::atomic<UINT_PTR> g_lastCellId{0};

CControlUI* CALLBACK TaggedWith(CControlUI* control, void* cellId) {
    return control->GetTag() == *static_cast<const UINT_PTR*>(cellId) ? control : nullptr;
}

}  // namespace

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

UINT_PTR ReserveCellIds(size_t count) { return g_lastCellId.fetch_add(static_cast<UINT_PTR>(count)) + 1; }

CControlUI* FindCellById(CControlUI* root, UINT_PTR cellId) {
    if (root == nullptr || cellId == 0) return nullptr;
    return root->FindControl(TaggedWith, &cellId, UIFIND_ALL | UIFIND_ME_FIRST);
}
