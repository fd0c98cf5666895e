// Screenshots into the records folder.
#include "records/screenshot.h"

#include <SDL.h>

#include <cstdio>
#include <system_error>

#include "media/dtools.h"
#include "media/png_writer.h"
#include "records/records.h"

namespace tolvane {

std::string screenshotName(const std::tm& when) {
    char name[40];
    std::strftime(name, sizeof name, "tolvane-%Y%m%d-%H%M%S.png", &when);
    return name;
}

std::filesystem::path saveScreenshot() {
    const SDL_Surface* picture = media::presentedPicture();
    if (!picture) {
        std::fprintf(stderr, "tolvane: no picture to save yet\n");
        return {};
    }
    std::string png;
    if (!media::encodePng(png, static_cast<const std::uint32_t*>(picture->pixels), picture->w, picture->h,
                          picture->pitch / 4)) {
        std::fprintf(stderr, "tolvane: the screenshot could not be encoded\n");
        return {};
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::filesystem::path dir = recordsDirectory();
    std::string name = screenshotName(local);
    std::filesystem::path path = dir / name;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    for (int n = 2; std::filesystem::exists(path, ec) && n < 1000; ++n)
        path = dir / (name.substr(0, name.size() - 4) + "-" + std::to_string(n) + ".png");
    std::string why;
    if (!writeFileAtomically(path, png, &why)) {
        std::fprintf(stderr, "tolvane: screenshot not saved: %s\n", why.c_str());
        return {};
    }
    std::fprintf(stderr, "tolvane: screenshot saved as %s\n", path.string().c_str());
    return path;
}

} // namespace tolvane
