#!/usr/bin/env bash
# Every command and option that quorbin-cli's help lists is described in the
# manual page and offered by the bash, zsh and fish completions, which offer
# nothing else; options that take a value complete one; the manual page shows
# the help's examples; the completions are valid scripts of their shells.
# usage: test_packaging.sh QUORBIN_CLI PACKAGING_DIR
set -uo pipefail
cli=$1
man_page=$2/quorbin-cli.1
bash_completion=$2/quorbin-cli.bash
zsh_completion=$2/quorbin-cli.zsh
fish_completion=$2/quorbin-cli.fish
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The option lines of a help text: "  -o, --output FILE" or "      --title TEXT"
# (wrapped help lies deeper).
option_lines() { grep -E '^(  -[A-Za-z], |      )--'; }
dashed_words() { grep -oE -- '(^|[^A-Za-z0-9-])--?[A-Za-z][A-Za-z0-9-]*' | sed 's/^[^-]*//' | sort -u; }

# The options of COMMAND: in its help, and in each completion.
help_options() { LANG=C "$cli" "$1" --help | option_lines | sed -E 's/^ +//; s/  .*//' | dashed_words; }
bash_options() {
    awk -v start="_quorbin_cli_$1_options=\"" 'index($0, start) == 1 {on = 1; $0 = substr($0, length(start) + 1)}
        on {print; if (index($0, "\"")) exit}' "$bash_completion" | dashed_words
}
zsh_function() { sed -n "/^_quorbin-cli_$1() {/,/^}/p" "$zsh_completion"; }
zsh_options() { zsh_function "$1" | grep -E "^ +'[-(]" | sed 's/\[.*//' | dashed_words; }
fish_options() {
    grep -F "__quorbin_cli_using $1'" "$fish_completion" \
        | grep -oE -- ' -(s [A-Za-z]|l [a-z][a-z0-9-]*)' | sed -E 's/ -s /-/; s/ -l /--/' | sort -u
}
# The long options of COMMAND that take a value that is not optional.
help_valued_options() {
    LANG=C "$cli" "$1" --help | option_lines | grep -oE -- '--[a-z][a-z0-9-]* [A-Za-z]' | sed 's/ .*//'
}

commands=$(LANG=C "$cli" --help | awk '/^Commands:/ {on = 1; next} on && /^$/ {exit} on {print $1}')
[ -n "$commands" ] || fail "no commands found in quorbin-cli --help"

for command in $commands; do
    grep -qE "^_quorbin_cli_commands=.*\<$command\>" "$bash_completion" || fail "bash completion lacks command $command"
    grep -qE "^ +'$command:" "$zsh_completion" || fail "zsh completion lacks command $command"
    grep -qE -- "-a $command " "$fish_completion" || fail "fish completion lacks command $command"
    grep -qE "^\.SS $command\>" "$man_page" || fail "manual page lacks a section for $command"
    expected=$(help_options "$command")
    for shell in bash zsh fish; do
        offered=$("${shell}_options" "$command")
        for option in $(comm -23 <(echo "$expected") <(echo "$offered")); do
            fail "$shell completion lacks $command $option"
        done
        for option in $(comm -13 <(echo "$expected") <(echo "$offered")); do
            fail "$shell completion offers $command $option, which the help does not list"
        done
    done
    for option in $expected; do
        grep -qF -- "${option//-/\\-}" "$man_page" || fail "manual page lacks $command $option"
    done
    for option in $(help_valued_options "$command"); do
        zsh_function "$command" | grep -qE -- "'[^[]*$option[=+]" \
            || fail "zsh completion takes no value for $command $option"
        grep -F "__quorbin_cli_using $command'" "$fish_completion" | grep -E -- "-l ${option#--} " | grep -qE -- ' -[rx]( |$)' \
            || fail "fish completion takes no value for $command $option"
    done
done

# The examples of the help, as the manual page writes them (lines joined, "\-" as "-").
man_examples=$(sed -n '/^\.SH EXAMPLES/,/^\.SH /p' "$man_page" \
    | sed -E -e ':a' -e '/(\\e|\|)$/{N;s/ *\\e\n */ /;s/\|\n */| /;ba' -e '}' | sed 's/\\-/-/g')
while IFS= read -r example; do
    grep -qxF -- "$example" <<<"$man_examples" || fail "manual page lacks the example: $example"
done < <(LANG=C "$cli" --help | sed -n '/^Examples:/,/^$/p' | grep -E '^  [^ ]' | sed 's/^  //')

! command -v zsh >/dev/null || zsh -n "$zsh_completion" || fail "zsh cannot read $zsh_completion"
! command -v fish >/dev/null || fish --no-execute "$fish_completion" || fail "fish cannot read $fish_completion"

[ "$failures" -eq 0 ] && echo "manual page and completions cover every command and option"
exit $((failures > 0))
