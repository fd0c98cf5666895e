// Behaviours of the ordinary enemies and of the bullets and shots they fire.
#include "world/world.h"

namespace tolvane {

void behaveStraight(World&, int) {}
void behaveLaserSegment(World&, int) {}
void behaveFanEnemy(World&, int) {}
void behaveTwinGunEnemy(World&, int) {}
void behaveRingEnemy(World&, int) {}
void behaveSwoopEnemy(World&, int) {}
void behaveTwinShotEnemy(World&, int) {}
void behaveLaserEnemy(World&, int) {}
void behaveGunship(World&, int) {}

} // namespace tolvane
