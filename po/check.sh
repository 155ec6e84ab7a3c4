#!/usr/bin/env bash
# Checks that each catalogue named in LINGUAS translates every text of the
# programs and holds no text they no longer have.
set -euo pipefail
po=$(cd "$(dirname "$0")" && pwd)
pot=$(mktemp --suffix=.pot)
trap 'rm -f "$pot"' EXIT
bash "$po/extract.sh" "$pot"
status=0
for code in $(grep -v '^#' "$po/LINGUAS"); do
    msgcmp "$po/$code.po" "$pot" || { echo "$code.po lacks texts of the programs"; status=1; }
    msgcmp --use-untranslated "$pot" "$po/$code.po" || { echo "$code.po holds texts the programs no longer have"; status=1; }
    msgfmt --check --output-file=/dev/null "$po/$code.po" || status=1
done
[ "$status" -eq 0 ] && echo "catalogues complete: $(grep -v '^#' "$po/LINGUAS" | xargs)"
exit "$status"
