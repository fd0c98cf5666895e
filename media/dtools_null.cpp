// The null drawing backend: no surfaces and no pixel work, the fast headless
// simulation. The calls are still logged by dtools.cpp when a test asks.
#include "media/draw_device.h"

namespace media::detail {
namespace {

class NullDevice final : public DrawDevice {
  public:
    void init(HWND) override {}
    void end() override {}
    void createSprite(int, const Bitmap&, int, int) override {}
    void setColorKey(int, std::int32_t) override {}
    void clear(int, std::int32_t) override {}
    void bitBlt(int, int, int, int, int, int, int, int, int) override {}
    void stretchBlt(int, int, int, int, int, int, int, int, int, int, int) override {}
    void addFormOp(const FormOp&) override {}
    void update() override {}
    void presentAgain() override {}
    SDL_Surface* surface(int) override { return nullptr; }
    SDL_Surface* shown() override { return nullptr; }
    std::string rendererName() override { return ""; }
};

} // namespace

DrawDevice& nullDevice() {
    static NullDevice device;
    return device;
}

} // namespace media::detail
