#pragma once
// The window's Tab order, worked out from the design positions of the controls so that
// controls added later fall into place: the console block first, then the car panels in
// slot order, then the overlay frames. Inside a block the order runs top to bottom and left
// to right; the console block takes its event data first, then the rest of its left side,
// then its column of buttons.
#include <QWidget>
#include <vector>

namespace velmora {

// The controls of `block` that Tab can reach, in the order described above.
std::vector<QWidget*> TabSequence(QWidget* block);

// Chains the sequences of `blocks`, one after the other.
void ApplyTabOrder(const std::vector<QWidget*>& blocks);

}  // namespace velmora
