// What the fuzz targets share: a wrong answer stops the run as a crash would, so the
// fuzzer keeps the input that caused it.
#pragma once

#include <cstdlib>

inline void check(bool ok) {
    if (!ok) std::abort();
}
