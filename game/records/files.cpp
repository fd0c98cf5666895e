// Where the records live, and writing a file whole or not at all.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/appdir.h"
#include "records/records.h"

namespace tolvane {
namespace {

struct Override {
    std::filesystem::path dir, seed;
};

Override& recordsOverride() {
    static Override place;
    return place;
}

common::RecordsPlace currentPlace() {
    if (!recordsOverride().dir.empty()) return {recordsOverride().dir, recordsOverride().seed, {}};
    return common::recordsPlace(common::applicationDirectory());
}

std::string describe(const std::string& what, int err) { return what + ": " + std::strerror(err); }

bool writeAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

void setRecordsDirectory(const std::filesystem::path& dir, const std::filesystem::path& seed) {
    recordsOverride() = {dir, dir.empty() ? std::filesystem::path() : seed};
}

std::filesystem::path recordsDirectory() { return currentPlace().folder; }

std::filesystem::path recordToRead(const std::string& name) {
    return common::recordToRead(currentPlace(), name);
}

bool writeRecord(const std::string& name, std::string_view bytes) {
    const std::filesystem::path dir = recordsDirectory();
    const std::filesystem::path path = dir / name;
    std::string why;
    if (!common::makeRecordsDirectory(dir, &why)) {
        why = path.string() + ": " + why;
    } else if (writeFileAtomically(path, bytes, &why)) {
        return true;
    }
    std::fprintf(stderr, "tolvane: could not save %s\n", why.c_str());
    return false;
}

bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes, std::string* why) {
    auto fail = [&](const std::string& reason) {
        if (why) *why = path.string() + ": " + reason;
        return false;
    };

    // The new file keeps the old one's permissions. A file the player has made
    // read-only stays untouched, even for a user whom the system would let through.
    mode_t mode;
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) {
        if (!S_ISREG(old.st_mode)) return fail("it is not a regular file");
        if ((old.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0)
            return fail("the file is read-only");
        mode = old.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }

    const std::filesystem::path dir =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::string tmp = (dir / ("." + path.filename().string() + ".XXXXXX")).string();
    int fd = ::mkstemp(tmp.data());
    if (fd < 0) return fail(describe("cannot create a file in " + dir.string(), errno));

    int err = 0;
    std::string step;
    if (::fchmod(fd, mode) != 0) {
        err = errno, step = "cannot set the permissions";
    } else if (!writeAll(fd, bytes)) {
        err = errno, step = "cannot write";
    } else if (::fsync(fd) != 0) {
        err = errno, step = "cannot write";
    }
    if (::close(fd) != 0 && err == 0) err = errno, step = "cannot write";
    if (err == 0 && ::rename(tmp.c_str(), path.c_str()) != 0) err = errno, step = "cannot replace the file";
    if (err != 0) {
        ::unlink(tmp.c_str());
        return fail(describe(step, err));
    }

    // Make the rename itself durable; a folder that cannot be synced changes nothing.
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

void removeStaleTemporaries(const std::filesystem::path& dir) {
    // writeFileAtomically's temporaries: "." + the record's name + "." + six letters or digits.
    static const char* const kRecords[] = {"Hiscore.txt", "NewReplay.rep", "HiReplay.rep"};
    constexpr std::time_t kStaleAfterSeconds = 60; // a save in progress takes milliseconds
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    const std::time_t now = std::time(nullptr);
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        bool ours = false;
        for (const char* record : kRecords) {
            const std::string prefix = "." + std::string(record) + ".";
            if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
            ours = std::all_of(name.begin() + static_cast<long>(prefix.size()), name.end(),
                               [](unsigned char c) { return std::isalnum(c) != 0; });
        }
        // And those of a take-over's replay: ".takeover-" ... ".rep." + six letters or digits.
        const std::string takeOver = ".takeover-", rep = ".rep.";
        if (!ours && name.size() > takeOver.size() + rep.size() + 6 &&
            name.compare(0, takeOver.size(), takeOver) == 0 &&
            name.compare(name.size() - 6 - rep.size(), rep.size(), rep) == 0) {
            ours =
                std::all_of(name.end() - 6, name.end(), [](unsigned char c) { return std::isalnum(c) != 0; });
        }
        struct stat st {};
        if (!ours || ::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISREG(st.st_mode) && now - st.st_mtime >= kStaleAfterSeconds)
            ::unlinkat(::dirfd(d), e->d_name, 0);
    }
    ::closedir(d);
}

} // namespace tolvane
