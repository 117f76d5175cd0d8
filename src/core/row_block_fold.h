#pragma once
// A fold over a grid's rows in row order that, run again after the grid changed, resumes at the
// first block of rows the grid no longer shares with the copy it last folded: a new lap at the
// end of a long race folds at most one block of rows instead of the whole grid. A memo that
// does not match the grid only costs a fold from the start, never a different result.
#include <algorithm>
#include <cstddef>
#include <vector>

#include "core/controls.h"

namespace velmora {

template <class Fold>
struct RowBlockMemo {
    Grid grid;  // the grid as last folded; shares its row blocks with it
    // atBlock[b]: the fold over the rows before block b's first data row.
    std::vector<Fold> atBlock;
};

// Calls `step(fold, row)` for the rows from the first one that may have changed to the last,
// and returns the fold over all of them. `restart` forgets the memo, for when something the
// fold depends on besides the grid has changed.
template <class Fold, class Step>
Fold FoldRowBlocks(const Grid& grid, RowBlockMemo<Fold>& memo, bool restart, Step&& step) {
    constexpr int kBlock = Grid::kRowsPerBlock;
    int firstChanged = grid.FirstRowNotShared(memo.grid);
    if (memo.atBlock.empty() || restart) {
        memo.atBlock.assign(1, Fold{});
        firstChanged = 1;
    }
    const std::size_t startBlock =
        std::min(static_cast<std::size_t>(firstChanged / kBlock), memo.atBlock.size() - 1);
    Fold f = memo.atBlock[startBlock];
    // The loop records each block's fold again as it reaches the block's first row.
    memo.atBlock.resize(std::max<std::size_t>(1, startBlock));
    for (int row = std::max(1, static_cast<int>(startBlock) * kBlock); row <= grid.RowCount();
         ++row) {
        if (row % kBlock == 0) memo.atBlock.push_back(f);
        step(f, row);
    }
    memo.grid = grid;
    return f;
}

}  // namespace velmora
