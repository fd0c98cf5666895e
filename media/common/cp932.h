// Conversion between UTF-8 (what the programs use inside) and code page 932
// (Shift-JIS with the Windows extensions), the encoding of the high-score file and of
// text handed to the text drawing.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace common {

// UTF-8 to CP932. Characters that CP932 cannot hold make the conversion fail.
std::optional<std::string> utf8ToCp932(std::string_view utf8);

// CP932 to UTF-8. Bytes that are not valid CP932 become U+FFFD; `valid`, when given,
// tells whether every byte was valid.
std::string cp932ToUtf8(std::string_view cp932, bool* valid = nullptr);

} // namespace common
