# bash completion for quorbin-cli
# Each command's options are listed once below; options that take a value
# are listed again in the case of _quorbin_cli so their value is completed.

_quorbin_cli_commands="convert info decode help"
_quorbin_cli_convert_options="--title --copyright --protect --date -o --output --output-dir
    -n --no-clobber --skip-existing -q --quiet --preview --resample --rate --normalize --start --length --end
    --trim-silence --trim-silence= --fade-in --fade-out --fit --dry-run --quality --verbose
    --transliterate --cut-texts -h --help"
_quorbin_cli_info_options="--json -h --help"
_quorbin_cli_decode_options="-o --output -n --no-clobber --skip-existing -f --force -q --quiet -h --help"

_quorbin_cli()
{
    local cur prev words cword
    _init_completion -s || return

    local command="" i
    for ((i = 1; i < cword; i++)); do
        if [[ ${words[i]} != -* ]]; then
            command=${words[i]}
            break
        fi
    done

    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$_quorbin_cli_commands --help --version -V" -- "$cur"))
        return
    fi

    case $command:$prev in
        *:--title | *:--copyright | *:--date | *:--start | *:--length | *:--end | \
        *:--fade-in | *:--fade-out)
            return ;;
        convert:--rate)
            COMPREPLY=($(compgen -W "4000 8000 11025 12000 16000" -- "$cur"))
            return ;;
        convert:--quality)
            COMPREPLY=($(compgen -W "standard high" -- "$cur"))
            return ;;
        convert:--output-dir)
            _filedir -d
            return ;;
        convert:-o | convert:--output)
            _filedir mld
            return ;;
        decode:-o | decode:--output)
            _filedir wav
            return ;;
        help:*)
            COMPREPLY=($(compgen -W "convert info decode" -- "$cur"))
            return ;;
    esac

    if [[ $cur == -* ]]; then
        local options=_quorbin_cli_${command}_options
        COMPREPLY=($(compgen -W "${!options}" -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi

    case $command in
        convert) _filedir ;;
        info | decode) _filedir mld ;;
    esac
} &&
    complete -F _quorbin_cli quorbin-cli
