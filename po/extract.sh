#!/usr/bin/env bash
# Writes the catalogue template (every text of the programs, English) to the
# file given: the texts passed to Tr, TrN, UiTr and N_ in the sources.
set -euo pipefail
out=$1
cd "$(dirname "$0")/.."
find . \( -name 'build*' -o -name .git -o -name tests -o -name tools -o -name bench -o -name fuzz \) -prune \
     -o \( -name '*.cpp' -o -name '*.h' \) -print | LC_ALL=C sort |
    xgettext --files-from=- --output="$out" --from-code=UTF-8 --language=C++ --qt \
             --keyword= --keyword=Tr:1 --keyword=TrN:1,2 --keyword=UiTr:1 --keyword=N_:1 \
             --package-name=Quorbin --no-wrap --add-comments=TRANSLATORS:
