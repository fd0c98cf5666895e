// tolvane_artgen OUTDIR: writes the game's pictures into OUTDIR:
//   picture0.bmp .. picture7.bmp  the eight sprite sheets
//   palette.dib                   the palette swatch (bitmap 101, no file header)
//   title.png                     the menu program's title picture
//   icon-64/128/256.png           the programs' icon; icon-64.rgba for the game window
#include "palette.h"
#include "sheets.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    try {
        using namespace art;
        const Indexed pictures[8] = {shipSheet(),  objectSheet(), hudSheet(),   resultsPicture(),
                                     stageCard(1), stageCard(2),  stageCard(3), starColumn()};
        for (int i = 0; i < 8; ++i)
            writeFile(dir + "/picture" + std::to_string(i) + ".bmp", bmpFile(pictures[i]));
        writeFile(dir + "/palette.dib", dibBytes(paletteSwatch()));
        writeTitlePicture(dir + "/title.png");
        writeIcons(dir);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    // Let go of the font caches, so leak checkers see a clean exit.
    cairo_debug_reset_static_data();
    FcFini();
    return 0;
}
