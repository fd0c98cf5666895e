// The shared main of the game's unit tests: null drawing (no pixel work), the null
// sound library and the scripted null platform, reset before every test; and a records
// folder of the run's own, so that a test that plays a live game to its end never
// writes beside the programs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "media/dtools.h"
#include "media/platform_null.h"
#include "media/stools.h"
#include "records/records.h"

namespace {

class NullMedia : public ::testing::EmptyTestEventListener {
  public:
    explicit NullMedia(std::filesystem::path records) : records_(std::move(records)) {}

  private:
    void OnTestStart(const ::testing::TestInfo&) override {
        media::setDrawBackend(media::DrawBackend::Null);
        media::setDrawLogging(false);
        media::setSoundLogging(false);
        platform::null::reset();
        tolvane::setRecordsDirectory(records_);
    }
    std::filesystem::path records_;
};

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    std::string tmpl = (std::filesystem::temp_directory_path() / "tolvane-tests-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) return 1;
    const std::filesystem::path records = tmpl;
    // The player's own settings never reach a test: a game started here reads none.
    ::setenv("XDG_CONFIG_HOME", (records / "config").c_str(), 1);
    ::testing::UnitTest::GetInstance()->listeners().Append(new NullMedia(records));
    const int status = RUN_ALL_TESTS();
    std::error_code ec;
    std::filesystem::remove_all(records, ec);
    return status;
}
