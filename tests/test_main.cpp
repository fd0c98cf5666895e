// The shared main of the game's unit tests: null drawing (no pixel work), the null
// sound library and the scripted null platform, reset before every test.
#include <gtest/gtest.h>

#include "media/dtools.h"
#include "media/platform_null.h"
#include "media/stools.h"

namespace {

class NullMedia : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        media::setDrawBackend(media::DrawBackend::Null);
        media::setDrawLogging(false);
        media::setSoundLogging(false);
        platform::null::reset();
    }
};

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new NullMedia);
    return RUN_ALL_TESTS();
}
