// tolvane_musicgen OUTDIR: writes stage1.mid, stage2.mid, boss.mid,
// lastboss.mid and CLEAR.mid into OUTDIR and prints each song's length.
#include "songs.h"

#include <cstdio>
#include <exception>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    try {
        for (const score::Song& song : score::gameSongs()) {
            double seconds = 0;
            const std::vector<uint8_t> bytes = score::render(song, &seconds);
            const std::string path = std::string(argv[1]) + "/" + song.name + ".mid";
            std::ofstream f(path, std::ios::binary);
            f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            if (!f) throw std::runtime_error("cannot write " + path);
            std::printf("%s.mid: %.1f s\n", song.name.c_str(), seconds);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
