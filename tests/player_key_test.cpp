// The player's key file: made once with the owner's modes, read back the same, never
// written over when it is something else; export and import that lose no key; the bytes
// a run's signature covers.
#include <gtest/gtest.h>

#include <sodium.h>
#include <sys/stat.h>

#include <fstream>

#include "player/player_key.h"
#include "records_test_support.h"

namespace {

namespace fs = std::filesystem;

int modeOf(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

TEST(PlayerKey, MadeOnceForItsOwnerAndReadBackTheSame) {
    records_test::TempDir dir;
    const fs::path file = dir / "data/tolvane/player.key";
    player::Key first, again;
    std::string why;
    ASSERT_TRUE(player::loadOrCreate(file, first, &why)) << why;
    EXPECT_EQ(modeOf(file), 0600);
    EXPECT_EQ(modeOf(file.parent_path()), 0700);
    ASSERT_TRUE(player::loadOrCreate(file, again, &why)) << why;
    EXPECT_EQ(again, first);
    EXPECT_EQ(player::playerId(first).size(), 64u);

    // Something that is not a key is refused and left as it was.
    const fs::path other = dir / "other.key";
    { std::ofstream(other) << "hello\n"; }
    EXPECT_FALSE(player::loadOrCreate(other, again, &why));
    EXPECT_NE(why.find("not a player key"), std::string::npos) << why;
    EXPECT_EQ(records_test::readFile(other), "hello\n");

    EXPECT_EQ(player::keyFile("/h", nullptr), "/h/.local/share/tolvane/player.key");
    EXPECT_EQ(player::keyFile("/h", "/d"), "/d/tolvane/player.key");
    EXPECT_EQ(player::keyFile(nullptr, "relative"), "");
}

TEST(PlayerKey, ImportKeepsTheKeyItReplacesAndRefusesWhatIsNoKey) {
    records_test::TempDir dir;
    const fs::path mine = dir / "mine/player.key", theirs = dir / "theirs/player.key",
                   moved = dir / "moved.key";
    player::Key a, b, got;
    std::string why;
    ASSERT_TRUE(player::loadOrCreate(mine, a, &why)) << why;
    ASSERT_TRUE(player::loadOrCreate(theirs, b, &why)) << why;
    ASSERT_NE(a, b);
    ASSERT_TRUE(player::exportKey(b, moved, &why)) << why;
    EXPECT_EQ(modeOf(moved), 0600);

    ASSERT_TRUE(player::importKey(moved, mine, got, &why)) << why;
    EXPECT_EQ(got, b);
    ASSERT_TRUE(player::loadOrCreate(mine, got, &why));
    EXPECT_EQ(got, b);
    int kept = 0;
    for (const auto& e : fs::directory_iterator(mine.parent_path())) {
        player::Key old;
        if (e.path().filename().string().rfind("player.key.old-", 0) == 0 &&
            player::parseKeyText(records_test::readFile(e.path()), old, nullptr) && old == a)
            ++kept;
    }
    EXPECT_EQ(kept, 1) << "the replaced key is kept";

    { std::ofstream(moved) << "# a comment\n" << std::string(63, 'a') << "\n"; }
    EXPECT_FALSE(player::importKey(moved, mine, got, &why));
    EXPECT_FALSE(player::importKey(dir / "missing.key", mine, got, &why));
    ASSERT_TRUE(player::loadOrCreate(mine, got, &why));
    EXPECT_EQ(got, b) << "a failed import changes nothing";
}

TEST(PlayerKey, ARunsSignatureCoversThePlayerTheNameAndTheReplay) {
    player::Key key;
    ASSERT_TRUE(player::parseKeyText(std::string(64, '0'), key, nullptr));
    // The public key of the all-zero seed, as every Ed25519 implementation makes it.
    EXPECT_EQ(player::playerId(key), "3b6a27bcceb6a42d62a3a8d02a6f0d73653215771de243a63ac048a18b59da29");
    EXPECT_EQ(player::runMessage("p", "Name", "abc"),
              "tolvane run v1\np\nName\nba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const std::string signature = player::signRun(key, "Name", "abc");
    ASSERT_EQ(signature.size(), 128u);
    unsigned char sig[crypto_sign_BYTES];
    ASSERT_EQ(sodium_hex2bin(sig, sizeof sig, signature.c_str(), signature.size(), nullptr, nullptr, nullptr),
              0);
    const std::string signedBytes = player::runMessage(player::playerId(key), "Name", "abc");
    EXPECT_EQ(crypto_sign_verify_detached(sig, reinterpret_cast<const unsigned char*>(signedBytes.data()),
                                          signedBytes.size(), key.publicKey.data()),
              0);
    const std::string otherName = player::runMessage(player::playerId(key), "Nam3", "abc");
    EXPECT_NE(crypto_sign_verify_detached(sig, reinterpret_cast<const unsigned char*>(otherName.data()),
                                          otherName.size(), key.publicKey.data()),
              0);
}

} // namespace
