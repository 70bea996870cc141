#include "scope/TrelScopePalette.h"

TColor LeastUsedPaletteColor(const std::function<int(TColor)>& uses) {
  TColor best = kTrelPalette[0];
  int bestUses = -1;
  for (TColor candidate : kTrelPalette) {
    const int n = uses(candidate);
    if (bestUses < 0 || n < bestUses) {
      best = candidate;
      bestUses = n;
    }
  }
  return best;
}
