#compdef quorbin-cli
# zsh completion for quorbin-cli: the commands, each command's options with
# their values, and the files each command reads. One line an option, in the
# order of the command's --help; tests/test_packaging.sh compares them.

_quorbin-cli_convert() {
  _arguments -s -S \
    '--title=[title, at most 50 bytes in CP932]:title' \
    '--copyright=[copyright text, at most 256 bytes in CP932]:copyright text' \
    '--transliterate[write characters CP932 lacks as near ones]' \
    '--cut-texts[cut a title or copyright over its limit on a whole character]' \
    '--protect[mark the melody file as protected]' \
    '--date=[date of making]:date (YYYYMMDD)' \
    '(-o --output --output-dir)'{-o+,--output=}'[write it here (- for standard output)]:melody file:_files -g "*.mld(-.)"' \
    '(-o --output)--output-dir=[write NAME.mld into this folder]:folder:_files -/' \
    '(-n --no-clobber --skip-existing)'{-n,--no-clobber}'[keep an existing melody file (the input fails)]' \
    '(-n --no-clobber)--skip-existing[keep an existing melody file and skip the input]' \
    '(-q --quiet)'{-q,--quiet}'[print no success lines]' \
    '--preview[also write the decoded sound as NAME.preview.wav]' \
    '--quality=[how the sound is coded]:quality:(standard high)' \
    '--verbose[show the decoding libraries'\'' own messages]' \
    '--dry-run[print what would be written and write nothing]' \
    '--resample[accept any recording: mono, 8000 Hz, 16 bits]' \
    '--rate=[as --resample, to this rate]:rate (Hz):(4000 8000 11025 12000 16000)' \
    '--normalize[as --resample, keeping the rate; peak at -1 dBFS]' \
    '--fit[the highest rate at which the whole selection fits]' \
    '--start=[begin here]:time (seconds or m\:ss.fff)' \
    '(--end)--length=[keep this long from the start]:time (seconds or m\:ss.fff)' \
    '(--length)--end=[keep up to here]:time (seconds or m\:ss.fff)' \
    '--trim-silence=-[drop leading and trailing silence]::level below full scale (dB)' \
    '--fade-in=[fade in over the first milliseconds kept]:milliseconds' \
    '--fade-out=[fade out over the last milliseconds kept]:milliseconds' \
    '(- *)'{-h,--help}'[show this help]' \
    '*:recording:_files'
}

_quorbin-cli_info() {
  _arguments -s -S \
    '--json[one JSON object per file and line]' \
    '(- *)'{-h,--help}'[show this help]' \
    '*:melody file:_files -g "*.mld(-.)"'
}

_quorbin-cli_decode() {
  _arguments -s -S \
    '(-o --output)'{-o+,--output=}'[write the WAVE file here (- for standard output)]:WAVE file:_files -g "*.wav(-.)"' \
    '(-n --no-clobber --skip-existing -f --force)'{-n,--no-clobber}'[keep an existing WAVE file (the input fails)]' \
    '(-n --no-clobber -f --force)--skip-existing[keep an existing WAVE file and skip the input]' \
    '(-n --no-clobber --skip-existing -f --force)'{-f,--force}'[replace an existing WAVE file]' \
    '(-q --quiet)'{-q,--quiet}'[print no success lines]' \
    '(- *)'{-h,--help}'[show this help]' \
    '*:melody file:_files -g "*.mld(-.)"'
}

_quorbin-cli() {
  local curcontext=$curcontext state line ret=1
  typeset -A opt_args
  _arguments -C \
    '(- *)'{-h,--help}'[show the commands and examples]' \
    '(- *)'{-V,--version}'[show the version and licence]' \
    '1:command:->command' \
    '*::argument:->argument' && ret=0
  case $state in
    command)
      local -a commands=(
        'convert:convert WAVE recordings into melody files (.mld)'
        'info:show what melody files hold'
        'decode:decode the audio of melody files into WAVE files'
        'help:show the help of a command'
      )
      _describe -t commands 'quorbin-cli command' commands && ret=0
      ;;
    argument)
      curcontext=${curcontext%:*:*}:quorbin-cli-$words[1]:
      case $words[1] in
        convert | info | decode) _quorbin-cli_$words[1] && ret=0 ;;
        help) _values command convert info decode && ret=0 ;;
      esac
      ;;
  esac
  return ret
}

_quorbin-cli "$@"
