#include "common/cp932.h"

#include <cerrno>
#include <iconv.h>

namespace common {
namespace {

// One iconv conversion descriptor, closed when it goes out of scope.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

  private:
    iconv_t cd_;
};

// Runs the conversion; on an invalid or incomplete input sequence either gives up
// (replacement empty) or skips one byte and writes the replacement.
std::optional<std::string> convert(const char* to, const char* from, std::string_view in,
                                   std::string_view replacement, bool* valid) {
    if (valid) *valid = true;
    Converter conv(to, from);
    if (!conv.ok()) return std::nullopt;
    std::string out;
    out.reserve(in.size() * 2 + 8);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buf[256];
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        size_t r = iconv(conv.get(), &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, dst - buf);
        if (r != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL: a byte sequence that the source encoding does not allow.
        if (valid) *valid = false;
        if (replacement.empty()) return std::nullopt;
        out.append(replacement);
        ++src;
        --srcLeft;
    }
    return out;
}

} // namespace

std::optional<std::string> utf8ToCp932(std::string_view utf8) {
    return convert("CP932", "UTF-8", utf8, {}, nullptr);
}

std::string cp932ToUtf8(std::string_view cp932, bool* valid) {
    return convert("UTF-8", "CP932", cp932, "\xEF\xBF\xBD", valid).value_or(std::string{});
}

} // namespace common
