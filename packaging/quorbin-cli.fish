# fish completion for quorbin-cli: the commands, each command's options with
# their values, and the files each command reads. One line an option, in the
# order of the command's --help; tests/test_packaging.sh compares them.

set -l commands convert info decode help

function __quorbin_cli_using -a command
    set -l words (commandline -opc)
    set -q words[2]; and test "$words[2]" = $command
end

complete -c quorbin-cli -f
complete -c quorbin-cli -n "not __fish_seen_subcommand_from $commands" -s h -l help -d 'Show the commands and examples'
complete -c quorbin-cli -n "not __fish_seen_subcommand_from $commands" -s V -l version -d 'Show the version and licence'
complete -c quorbin-cli -n "not __fish_seen_subcommand_from $commands" -a convert -d 'Convert WAVE recordings into melody files (.mld)'
complete -c quorbin-cli -n "not __fish_seen_subcommand_from $commands" -a info -d 'Show what melody files hold'
complete -c quorbin-cli -n "not __fish_seen_subcommand_from $commands" -a decode -d 'Decode the audio of melody files into WAVE files'
complete -c quorbin-cli -n "not __fish_seen_subcommand_from $commands" -a help -d 'Show the help of a command'
complete -c quorbin-cli -n '__quorbin_cli_using help' -a 'convert info decode'

# convert
complete -c quorbin-cli -n '__quorbin_cli_using convert' -F
complete -c quorbin-cli -n '__quorbin_cli_using convert' -l title -x -d 'Title, at most 50 bytes in CP932'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -l copyright -x -d 'Copyright text, at most 256 bytes in CP932'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -l transliterate -d 'Write characters CP932 lacks as near ones'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -l cut-texts -d 'Cut a title or copyright over its limit'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -l protect -d 'Mark the melody file as protected'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -l date -x -d 'Date of making (YYYYMMDD)'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -s o -l output -r -F -d 'Write it here (- for standard output)'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -l output-dir -x -a '(__fish_complete_directories)' -d 'Write NAME.mld into this folder'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -s n -l no-clobber -d 'Keep an existing melody file (the input fails)'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -l skip-existing -d 'Keep an existing melody file and skip the input'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -s q -l quiet -d 'Print no success lines'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -l preview -d 'Also write the decoded sound as NAME.preview.wav'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -l quality -x -a 'standard high' -d 'How the sound is coded'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -l verbose -d "Show the decoding libraries' own messages"
complete -c quorbin-cli -n '__quorbin_cli_using convert' -l dry-run -d 'Print what would be written and write nothing'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -l resample -d 'Accept any recording: mono, 8000 Hz, 16 bits'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -l rate -x -a '4000 8000 11025 12000 16000' -d 'As --resample, to this rate (Hz)'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -l normalize -d 'As --resample, keeping the rate; peak at -1 dBFS'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -l fit -d 'The highest rate at which the whole selection fits'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -l start -x -d 'Begin here (seconds or m:ss.fff)'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -l length -x -d 'Keep this long from the start'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -l end -x -d 'Keep up to here'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -l trim-silence -d 'Drop leading and trailing silence (--trim-silence=DB)'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -l fade-in -x -d 'Fade in over the first milliseconds kept'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -l fade-out -x -d 'Fade out over the last milliseconds kept'
complete -c quorbin-cli -n '__quorbin_cli_using convert' -s h -l help -d 'Show this help'

# info
complete -c quorbin-cli -n '__quorbin_cli_using info' -k -a '(__fish_complete_suffix .mld)'
complete -c quorbin-cli -n '__quorbin_cli_using info' -l json -d 'One JSON object per file and line'
complete -c quorbin-cli -n '__quorbin_cli_using info' -s h -l help -d 'Show this help'

# decode
complete -c quorbin-cli -n '__quorbin_cli_using decode' -k -a '(__fish_complete_suffix .mld)'
complete -c quorbin-cli -n '__quorbin_cli_using decode' -s o -l output -r -F -d 'Write the WAVE file here (- for standard output)'
complete -c quorbin-cli -n '__quorbin_cli_using decode' -s n -l no-clobber -d 'Keep an existing WAVE file (the input fails)'
complete -c quorbin-cli -n '__quorbin_cli_using decode' -l skip-existing -d 'Keep an existing WAVE file and skip the input'
complete -c quorbin-cli -n '__quorbin_cli_using decode' -s f -l force -d 'Replace an existing WAVE file'
complete -c quorbin-cli -n '__quorbin_cli_using decode' -s q -l quiet -d 'Print no success lines'
complete -c quorbin-cli -n '__quorbin_cli_using decode' -s h -l help -d 'Show this help'
