// The songs the game plays, by file name (without ".mid").
#pragma once
#include "score.h"

#include <vector>

namespace score {

std::vector<Song> gameSongs();

} // namespace score
