#include "cli/ConvertHelp.h"

#include "cli/ConvertOptions.h"

namespace quorbin::cli {

Subcommand ConvertDefinition()
{
    Subcommand command{
        "convert",
        "FILE.wav...",
        N_("convert WAVE recordings into melody files (.mld)"),
        N_("Converts each 16-bit mono PCM WAVE file (4000 to 16000 Hz) into a melody file\n"
           "beside it, with the same name and the extension \".mld\" (or into the folder\n"
           "given by --output-dir or -o DIR). An existing melody file is replaced unless\n"
           "-n (then the input fails) or --skip-existing (then it is skipped) is given.\n"
           "\"-\" reads a WAVE file from standard input (then -o is needed); \"-o -\"\n"
           "writes the melody file to standard output.\n\n"
           "With --resample, --rate, --normalize or --fit, any recording libsndfile or\n"
           "FFmpeg reads (WAVE of any sample format, FLAC, Ogg Vorbis or Opus, MP3, AAC in\n"
           ".m4a/.mp4, AMR-NB in .amr/.3gp, AIFF, ...) is mixed down to mono, resampled\n"
           "and rounded to 16 bits first; the melody file gets the source's name with the\n"
           "extension \".mld\".\n\n"
           "A melody file holds 131054 samples (16.4 s at 8000 Hz); a note on standard\n"
           "error tells when more was cut. --start, --length or --end choose the part\n"
           "(sample-accurate; a native WAVE file needs no --resample for them). The sound\n"
           "is worked in this order: decode, mix to mono, resample, trim silence, select,\n"
           "cut to what fits, normalize, fade.\n\n"
           "With --preview, the sound as the melody file holds it is also written beside\n"
           "the melody file as NAME.preview.wav (see \"decode\"); the melody file is only read.\n\n"
           "--quality high searches for the codes whose decoded sound is closest to the\n"
           "recording (1 to 4 dB less noise, about a third of a second per full file); the\n"
           "file format is the same. The default, standard, is the window program's coding.\n\n"
           "Each file gives one line \"FILE: message\"; with several files a last line on\n"
           "standard error counts them.\n"
           "Exit status: 0 when every file was converted or skipped, otherwise the number\n"
           "of the first failure's message (2 to 9: 2 when a file cannot be opened, 6 when\n"
           "an output cannot be written or exists), 65 when a preview finds a damaged\n"
           "melody file, 74 when standard output could not be written; 64 for a usage\n"
           "error (as for \"info\" and \"decode\")."),
        {
            {"title", 0, "TEXT", N_("title, at most 50 bytes in CP932 (default: the file name)")},
            {"copyright", 0, "TEXT", N_("copyright text, at most 256 bytes in CP932 (default: none)")},
            {"transliterate", 0, "", N_("write characters CP932 lacks as near ones (\"©\" as \"(C)\")")},
            {"cut-texts", 0, "", N_("cut a title or copyright over its limit at the limit, on a whole character")},
            {"protect", 0, "", N_("mark the melody file as protected")},
            {"date", 0, "YYYYMMDD", N_("date of making (default: SOURCE_DATE_EPOCH in UTC, else today)")},
            {"output", 'o', "OUT.mld", N_("write it here (one input; -: standard output; a folder: as --output-dir)")},
            {"output-dir", 0, "DIR", N_("write NAME.mld into the folder DIR")},
            {"no-clobber", 'n', "", N_("keep an existing melody file (the input fails with message 6)")},
            {"skip-existing", 0, "", N_("keep an existing melody file and skip the input (not a failure)")},
            {"quiet", 'q', "", N_("print no success lines (nor the summary when all went well)")},
            {"preview", 0, "", N_("also write the decoded sound as NAME.preview.wav beside it")},
            {"quality", 0, "standard|high", N_("how the sound is coded (default: standard)")},
            {"verbose", 0, "", N_("show the decoding libraries' own messages")},
            {"dry-run", 0, "", N_("print what would be written (rate, seconds, size) and write nothing")},
        },
        nullptr,
    };
    command.examples = {
        {"quorbin-cli convert --fit --start 0:42 --length 15 --fade-out 800 song.m4a",
         N_("a 15 s ringtone from 0:42, at the highest rate that fits, fading out")},
        {"quorbin-cli convert --resample --skip-existing --output-dir ringtones *.m4a",
         N_("every .m4a here into the folder ringtones; run again, only the new ones")},
        {"ffmpeg -i memo.m4a -ac 1 -ar 8000 -f wav - | quorbin-cli convert - -o ring.mld",
         N_("a recording that ffmpeg decodes, through a pipe")},
    };
    const std::vector<OptionDefinition> sound = SoundOptionDefinitions();
    command.options.insert(command.options.end(), sound.begin(), sound.end());
    return command;
}

}  // namespace quorbin::cli
