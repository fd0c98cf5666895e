#!/usr/bin/env bash
# Extracts every text marked for translation into po/tolvane.pot and merges it into each
# language's catalogue, po/LANG.po (new texts come in untranslated; the tests then fail
# until they are translated).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t sources < <(git ls-files 'game/*.cpp' 'game/*.h' 'launcher/*.cpp' 'launcher/*.h' 'media/*.cpp' | sort)
xgettext --from-code=UTF-8 --language=C++ --keyword=_ --keyword=N_ --keyword=qtext \
    --package-name=tolvane --msgid-bugs-address=none --no-location --sort-output \
    -o po/tolvane.pot "${sources[@]}"
for po in po/*.po; do
    msgmerge --quiet --update --backup=none --no-location --sort-output "$po" po/tolvane.pot
done
