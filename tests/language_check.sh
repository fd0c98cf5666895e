#!/usr/bin/env bash
# The English catalogue is complete (every text translated, none fuzzy), valid for msgfmt,
# and has every text that the sources mark today; and every Japanese text in the code of
# the windows (the menu, the game window) is marked for it, unless its line says why not.
set -euo pipefail
top=$1
cd "$top"
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

stats=$(msgfmt --check --statistics -o /dev/null po/en.po 2>&1) || fail "msgfmt refuses po/en.po: $stats"
echo "po/en.po: $stats"
case "$stats" in *untranslated* | *fuzzy*) fail "po/en.po is not complete: $stats" ;; esac

mapfile -t sources < <(git ls-files 'game/*.cpp' 'game/*.h' 'launcher/*.cpp' 'launcher/*.h' 'media/*.cpp' | sort)
xgettext --from-code=UTF-8 --language=C++ --keyword=_ --keyword=N_ --keyword=qtext --no-location \
    --sort-output -o "$work/now.pot" "${sources[@]}"
msgcmp --use-untranslated po/en.po "$work/now.pot" 2>"$work/cmp" ||
    fail "texts marked in the sources but missing from po/en.po (run po/update.sh):
$(cat "$work/cmp")"

# A string literal with a character beyond ASCII, in the code of the windows, that no
# _(), N_() or qtext() takes, and whose line does not say "not translated".
bad=$(grep -nP '"[^"]*[^\x00-\x7F][^"]*"' launcher/*.cpp launcher/*.h game/session/*.cpp game/session/*.h |
    grep -vP '^[^:]+:\d+:\s*//' |
    grep -vP '(_|N_|qtext)\("[^"]*[^\x00-\x7F]' |
    grep -v 'not translated' || true)
[ -z "$bad" ] || fail "texts that bypass the catalogue:
$bad"
echo "language check passed"
