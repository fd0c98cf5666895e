// Behaviours of the three bosses.
#include "world/world.h"

namespace tolvane {

void behaveFirstBoss(World&, int) {}
void behaveSecondBoss(World&, int) {}
void behaveLastBoss(World&, int) {}

} // namespace tolvane
