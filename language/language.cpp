// Choosing the language and reading the catalogue with glibc's gettext.
#include "language/language.h"

#include <libintl.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/appdir.h"

namespace language {
namespace {

constexpr const char* kDomain = "tolvane";

std::string active = "ja";
bool translating = false; // English: texts are looked up in the catalogue

// "en_GB.UTF-8@euro" -> "en"; "" for the C locale.
std::string languageOf(std::string_view locale) {
    const size_t end = locale.find_first_of("_.@");
    std::string lang(locale.substr(0, end));
    if (lang == "C" || lang == "POSIX") return {};
    return lang;
}

// The first language of the list that has texts: "ja" (the source) or "en".
std::string firstKnown(std::string_view list) {
    while (!list.empty()) {
        const size_t colon = list.find(':');
        const std::string lang = languageOf(list.substr(0, colon));
        if (lang == "ja" || lang == "en") return lang;
        if (colon == std::string_view::npos) break;
        list.remove_prefix(colon + 1);
    }
    return "ja";
}

} // namespace

std::string choose(std::string_view setting, const std::function<const char*(const char*)>& env) {
    if (setting == "ja" || setting == "en") return std::string(setting);
    auto get = [&](const char* name) -> std::string_view {
        const char* v = env(name);
        return v ? v : "";
    };
    std::string_view locale = get("LC_ALL");
    if (locale.empty()) locale = get("LC_MESSAGES");
    if (locale.empty()) locale = get("LANG");
    if (languageOf(locale).empty()) return "ja"; // the C locale: the source texts, as gettext does
    const std::string_view list = get("LANGUAGE");
    return firstKnown(list.empty() ? locale : list);
}

std::filesystem::path localeDirectory(const std::filesystem::path& appDir) {
    const std::filesystem::path beside = appDir / "locale";
    std::error_code ec;
    if (std::filesystem::is_directory(beside, ec)) return beside;
    return (appDir / TOLVANE_LOCALE_FROM_BIN).lexically_normal();
}

void use(const std::string& lang, const std::filesystem::path& appDir) {
    active = lang == "en" ? "en" : "ja";
    translating = active == "en";
    if (!translating) return;
    // gettext reads LANGUAGE only while the messages' locale is not C; a desktop's locale
    // that was never generated leaves it C, so C.UTF-8 (always there) stands in.
    const char* now = std::setlocale(LC_MESSAGES, "");
    if (!now || std::string_view(now) == "C" || std::string_view(now) == "POSIX")
        std::setlocale(LC_MESSAGES, "C.UTF-8");
    ::setenv("LANGUAGE", active.c_str(), 1);
    bindtextdomain(kDomain, localeDirectory(appDir).c_str());
    bind_textdomain_codeset(kDomain, "UTF-8");
}

void useChosen(std::string_view setting) {
    use(choose(setting, [](const char* name) { return std::getenv(name); }), common::applicationDirectory());
}

const std::string& current() { return active; }

const char* text(const char* source) {
    if (!translating || !source || !*source) return source;
    return dgettext(kDomain, source);
}

} // namespace language
