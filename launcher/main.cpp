// kestrow: the menu program. Starts the game, plays replays, shows the high scores.
#include "form1.h"
#include "titlepicture.h"

#include "common/version.h"

#include "language/language.h"
#include "settings/settings.h"

#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <langinfo.h>

namespace {

constexpr const char* kHelp =
    "Usage: kestrow [--help] [--version]\n"
    "The menu of Tolvane, a 180-second score attack.\n"
    "\n"
    "  Enter   play a game\n"
    "  N, B    replay the last game\n"
    "  H       replay the best game\n"
    "  S       the high scores\n"
    "  R       pick any replay\n"
    "  L       every replay with its score, level and longest chain (Tab in the picker)\n"
    "  P       practice: play on live from a point of the best game (P in the list: of\n"
    "          the selected replay)\n"
    "  O       settings: keys, gamepad, loudness, the game window, rival, practice\n"
    "  Esc     close the window\n"
    "\n"
    "The game (tolvane) is started from kestrow's own folder. The high scores and\n"
    "replays are kept beside the programs when that folder is writable and holds the\n"
    "songs, otherwise in $XDG_DATA_HOME/tolvane (~/.local/share/tolvane). The replay\n"
    "list's results are cached in $XDG_CACHE_HOME/tolvane (~/.cache/tolvane). The\n"
    "settings, shared with the game, are in $XDG_CONFIG_HOME/tolvane/settings.ini\n"
    "(~/.config/tolvane/settings.ini).\n";

} // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so they work without a display.
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (!std::strcmp(argv[i], "--version")) {
            std::printf("kestrow %s\n", TOLVANE_VERSION);
            return 0;
        }
    }
    // Window titles reach the window manager in the locale's encoding: where the desktop's
    // locale was never generated (a minimal system has only C.UTF-8), or is not UTF-8,
    // C.UTF-8 stands in, so that Japanese titles arrive whole.
    const char* ctype = std::setlocale(LC_CTYPE, "");
    if (!ctype || std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");
    QApplication app(argc, argv);
    // Qt takes the desktop's whole locale; numbers are read and written the same everywhere.
    std::setlocale(LC_NUMERIC, "C");
    const settings::Settings chosen = settings::loadAndWarn("kestrow");
    language::useChosen(settings::languageName(chosen.language));
    QApplication::setApplicationVersion(QStringLiteral(TOLVANE_VERSION));
    QApplication::setWindowIcon(kestrow::programIcon());
    // The desktop entry that launches the menu, for the task list's icon under Wayland.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tolvane.Tolvane"));
    kestrow::Form1 menu;
    menu.show();
    return app.exec(); // ends when the last window of the menu closes
}
