#!/usr/bin/env bash
# Every command and option that quorbin-cli's help lists is described in the
# manual page and offered by the bash completion.
# usage: test_packaging.sh QUORBIN_CLI PACKAGING_DIR
set -uo pipefail
cli=$1
man_page=$2/quorbin-cli.1
completion=$2/quorbin-cli.bash
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Options of one help text: the -x and --name words at the start of its option
# lines ("  -o, --output FILE" or "      --title TEXT"; wrapped help lies deeper).
options_in_help() {
    grep -E '^(  -[A-Za-z], |      )--' | grep -oE '(^|[ ,])--?[A-Za-z][A-Za-z0-9-]*' | sed 's/^[ ,]*//' | sort -u
}

commands=$(LANG=C "$cli" --help | awk '/^Commands:/ {on = 1; next} on && /^$/ {exit} on {print $1}')
[ -n "$commands" ] || fail "no commands found in quorbin-cli --help"

for command in $commands; do
    grep -qE "^_quorbin_cli_commands=.*\<$command\>" "$completion" || fail "completion lacks command $command"
    grep -qE "^\.SS $command\>" "$man_page" || fail "manual page lacks a section for $command"
    for option in $(LANG=C "$cli" "$command" --help | options_in_help); do
        grep -qE -- "(^|[ \"])$option([ =\"]|$)" "$completion" \
            || fail "completion lacks $command $option"
        grep -qF -- "${option//-/\\-}" "$man_page" || fail "manual page lacks $command $option"
    done
done

[ "$failures" -eq 0 ] && echo "manual page and completion cover every command and option"
exit $((failures > 0))
