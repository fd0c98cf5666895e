// The settings file as text: reading with inih, editing values in place, and the
// atomic write under a lock.
#include "settings/inifile.h"

#include <fcntl.h>
#include <ini.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "settings/settings.h"

namespace settings {
namespace {

namespace fs = std::filesystem;

// White space as inih sees it.
bool blank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n'; }

// Where a value ends: at a ';' or '#' that follows a blank (an inline comment), with
// the blanks before it left out.
size_t valueEnd(std::string_view line, size_t start) {
    size_t end = line.size();
    for (size_t i = start + 1; i < line.size(); ++i) {
        if ((line[i] == ';' || line[i] == '#') && blank(line[i - 1])) {
            end = i;
            break;
        }
    }
    while (end > start && (blank(line[end - 1]) || line[end - 1] == '\r')) --end;
    return end;
}

// The lines of a text, each without its line end ("\n" or "\r\n"), and the line ends.
struct Lines {
    std::vector<std::string_view> text, ends;
};

Lines splitLines(std::string_view text) {
    Lines lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        std::string_view line = text.substr(pos, end == std::string_view::npos ? end : end - pos);
        std::string_view eol = end == std::string_view::npos ? "" : "\n";
        if (!eol.empty() && !line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
            eol = "\r\n";
        }
        lines.text.push_back(line);
        lines.ends.push_back(eol);
        if (end == std::string_view::npos) break;
        pos = end + 1;
    }
    return lines;
}

// The name of a section line ("[keys]"), or false.
bool sectionOf(std::string_view line, std::string& name, bool firstLine) {
    if (firstLine && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3); // a byte-order mark
    line = trim(line);
    if (line.empty() || line.front() != '[') return false;
    // As inih reads it: the name ends at the first ']', and a comment before one spoils it;
    // inih keeps no more than its first 49 bytes.
    for (size_t i = 1; i < line.size(); ++i) {
        if (line[i] == ']') {
            name = std::string(trim(line.substr(1, std::min<size_t>(i - 1, 49))));
            return true;
        }
        if (line[i] == ';' && blank(line[i - 1])) return false;
    }
    return false;
}

// Feeds inih one line at a time, counting them, so each key it reports has its line.
struct LineFeed {
    std::vector<std::string_view> lines;
    size_t next = 0;
    std::vector<bool> tooLong;
};

char* feedLine(char* out, int size, void* stream) {
    auto* f = static_cast<LineFeed*>(stream);
    if (f->next >= f->lines.size()) return nullptr;
    std::string_view line = f->lines[f->next++];
    // Leading blanks are dropped, so that an indented key is a key and never the
    // continuation of the value above it.
    while (!line.empty() && blank(line.front())) line.remove_prefix(1);
    if (line.size() + 2 > static_cast<size_t>(size) || line.find('\0') != std::string_view::npos) {
        f->tooLong[f->next - 1] = true;
        line = {};
    }
    if (!line.empty()) std::memcpy(out, line.data(), line.size());
    out[line.size()] = '\n';
    out[line.size() + 1] = '\0';
    return out;
}

struct Collect {
    LineFeed* feed;
    Document* doc;
};

int onValue(void* user, const char* section, const char* name, const char* value) {
    auto* c = static_cast<Collect*>(user);
    const int line = static_cast<int>(c->feed->next);
    std::string_view v = value;
    v = v.substr(0, valueEnd(v, 0));
    c->doc->entries.push_back(
        {line, std::string(trim(section)), std::string(trim(name)), std::string(trim(v))});
    return 1;
}

// The line of the last key of a section, or of its last header when it has no key; 0
// when the section is not in the text.
int endOfSection(const Document& doc, std::string_view section) {
    int last = 0;
    for (const Entry& e : doc.entries) {
        if (sameText(e.section, section)) last = std::max(last, e.line);
    }
    if (last > 0) return last;
    for (const auto& [line, name] : doc.sections) {
        if (sameText(name, section)) last = line;
    }
    return last;
}

std::string systemError(const std::string& what, const fs::path& file) {
    return what + " " + file.string() + ": " + std::strerror(errno);
}

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Holds an exclusive lock on a folder for as long as it lives.
class FolderLock {
  public:
    explicit FolderLock(const fs::path& folder)
        : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ >= 0) {
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FolderLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    int fd() const { return fd_; }

  private:
    int fd_;
};

// Writes `text` to a new file in the folder of `file` and renames it over `file`.
bool replaceFile(const fs::path& file, const std::string& text, mode_t mode, std::string* why) {
    std::string tmpl = (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) {
        if (why) *why = systemError("cannot write", file);
        return false;
    }
    bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, text) && ::fsync(fd) == 0;
    if (why && !ok) *why = systemError("cannot write", file);
    if (::close(fd) != 0 && ok) {
        ok = false;
        if (why) *why = systemError("cannot write", file);
    }
    if (ok && ::rename(tmpl.c_str(), file.c_str()) != 0) {
        ok = false;
        if (why) *why = systemError("cannot replace", file);
    }
    if (!ok) ::unlink(tmpl.c_str());
    return ok;
}

} // namespace

std::string_view trim(std::string_view s) {
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

bool sameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

Document Document::read(std::string_view text) {
    Document doc;
    LineFeed feed;
    feed.lines = splitLines(text).text;
    feed.tooLong.assign(feed.lines.size(), false);
    Collect collect{&feed, &doc};
    ini_parse_stream(feedLine, &feed, onValue, &collect);

    // inih passes over what it cannot read; those lines are reported, and kept as they are.
    std::vector<bool> used(feed.lines.size() + 1, false);
    for (const Entry& e : doc.entries) used[e.line] = true;
    std::string name;
    for (size_t i = 0; i < feed.lines.size(); ++i) {
        const std::string_view line = trim(feed.lines[i]);
        const bool section = !feed.tooLong[i] && sectionOf(line, name, i == 0);
        if (section) doc.sections.emplace_back(static_cast<int>(i + 1), name);
        const bool understood =
            used[i + 1] || line.empty() || line.front() == ';' || line.front() == '#' || section;
        if (!understood || feed.tooLong[i]) doc.unreadable.push_back(static_cast<int>(i + 1));
    }
    return doc;
}

const Entry* Document::find(std::string_view section, std::string_view key) const {
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (sameText(it->section, section) && sameText(it->key, key)) return &*it;
    }
    return nullptr;
}

bool readFile(const fs::path& file, std::string& text, std::string* why) {
    if (why) why->clear();
    std::error_code ec;
    if (!fs::exists(file, ec)) return false;
    if (fs::is_directory(file, ec)) {
        if (why) *why = file.string() + " is a folder, not a settings file";
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        if (why) *why = systemError("cannot read", file);
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    if (in.bad()) {
        if (why) *why = systemError("cannot read", file);
        return false;
    }
    text = all.str();
    return true;
}

std::string applyChanges(std::string_view text, const std::vector<Change>& changes) {
    const Document doc = Document::read(text);
    const Lines original = splitLines(text);
    const bool crlf = text.find("\r\n") != std::string_view::npos;
    std::vector<std::string> lines(original.text.begin(), original.text.end());
    // Lines added after a line of the original text, by its number (0: at the top).
    std::vector<std::vector<std::string>> after(lines.size() + 1);
    std::vector<std::string> newSections; // in the order first asked for
    std::vector<std::vector<std::string>> newSectionLines;

    for (const Change& c : changes) {
        const std::string line = c.key + " = " + c.value;
        if (const Entry* e = doc.find(c.section, c.key)) {
            std::string& raw = lines[e->line - 1];
            const size_t sep = raw.find_first_of("=:");
            size_t start = sep + 1;
            while (start < raw.size() && blank(raw[start])) ++start;
            const size_t end = std::max(start, valueEnd(raw, start));
            std::string before = raw.substr(0, start);
            if (start == end && !blank(before.back())) before += ' ';
            raw = before + c.value + raw.substr(end);
        } else if (int at = endOfSection(doc, c.section); at > 0) {
            after[at].push_back(line);
        } else {
            auto it = std::find_if(newSections.begin(), newSections.end(),
                                   [&](const std::string& s) { return sameText(s, c.section); });
            if (it == newSections.end()) {
                newSections.push_back(c.section);
                newSectionLines.emplace_back();
                it = newSections.end() - 1;
            }
            newSectionLines[it - newSections.begin()].push_back(line);
        }
    }

    const char* eol = crlf ? "\r\n" : "\n";
    std::string out;
    for (const std::string& l : after[0]) out += l + eol;
    for (size_t i = 0; i < lines.size(); ++i) {
        out += lines[i];
        // Every line keeps its own line end; the last one gets one only when lines follow.
        if (!original.ends[i].empty())
            out += original.ends[i];
        else if (!after[i + 1].empty() || !newSections.empty())
            out += eol;
        for (const std::string& l : after[i + 1]) out += l + eol;
    }
    for (size_t s = 0; s < newSections.size(); ++s) {
        if (!out.empty()) out += eol;
        out += "[" + newSections[s] + "]" + eol;
        for (const std::string& l : newSectionLines[s]) out += l + eol;
    }
    return out;
}

bool save(const fs::path& file, const std::vector<Change>& changes, std::string* why) {
    if (file.empty()) {
        if (why) *why = "no folder for the settings (neither XDG_CONFIG_HOME nor HOME is set)";
        return false;
    }
    // A settings file kept elsewhere and linked here is written where it is.
    std::error_code ec;
    fs::path target = file;
    if (fs::is_symlink(file, ec)) target = fs::weakly_canonical(file, ec);
    if (ec) target = file;
    fs::create_directories(target.parent_path(), ec);
    if (ec) {
        if (why) *why = "cannot make the folder " + target.parent_path().string() + ": " + ec.message();
        return false;
    }
    FolderLock lock(target.parent_path());
    if (lock.fd() < 0) {
        if (why) *why = systemError("cannot open the folder", target.parent_path());
        return false;
    }
    std::string text, readWhy;
    if (!readFile(target, text, &readWhy) && !readWhy.empty()) {
        if (why) *why = readWhy;
        return false; // a file that cannot be read is never written over
    }
    const std::string updated = applyChanges(text, changes);
    if (updated == text && fs::exists(target, ec)) return true;
    struct stat st {};
    mode_t mode = 0;
    if (::stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (!replaceFile(target, updated, mode, why)) return false;
    ::fsync(lock.fd()); // the rename itself on disk
    return true;
}

} // namespace settings
