// The high-score table, Hiscore.txt.
#include "records/records.h"

namespace tolvane {

void rankHiscore(World&) {}

} // namespace tolvane
