// The language of the texts the programs show. The game's own words (Japanese) are the
// source texts; other languages come from the gettext catalogue "tolvane", one for the
// game and the menu alike. Files the programs write and the headless tool's output never
// go through it.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace language {

// The language for the setting ("auto", "ja" or "en"): "auto" follows the desktop as
// gettext does (LANGUAGE, unless the locale is C, then LC_ALL, LC_MESSAGES, LANG), and
// whether or not that locale was ever generated on this machine. A language without a
// catalogue gives the source texts, "ja". `env` reads an environment variable (null when
// unset).
std::string choose(std::string_view setting, const std::function<const char*(const char*)>& env);

// Shows the texts in `lang` from now on, with the catalogue found beside the programs in
// `appDir` (a build tree's locale/, or the installed share/locale). Only LC_MESSAGES is
// set: numbers are read and written the same in every language.
void use(const std::string& lang, const std::filesystem::path& appDir);
// The same for the settings file's language and the running program.
void useChosen(std::string_view setting);

// The language in use: "ja" (the source texts) or "en".
const std::string& current();

// The text in the language in use: its translation, or `source` itself.
const char* text(const char* source);

// Where the catalogues are for programs in `appDir`.
std::filesystem::path localeDirectory(const std::filesystem::path& appDir);

} // namespace language

// The marks that xgettext looks for: _() translates; N_() only marks a text that is
// translated where it is used.
#define _(source) ::language::text(source)
#define N_(source) source
