// "quorbin-cli decode": writes the audio of melody files as 16-bit mono WAVE files.
#include <ostream>
#include <system_error>

#include "audio/AdpcmDecoder.h"
#include "audio/WaveWriter.h"
#include "cli/MelodyCommands.h"
#include "cli/MelodyFile.h"
#include "platform/FileSystem.h"

namespace quorbin::cli {

namespace {

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

int RunDecode(const ParsedArguments& arguments, Streams streams)
{
    if (arguments.operands.empty())
        return UsageError(streams.err, "decode", "decode: no melody file given");
    const auto output = arguments.Value("output");
    if (output && (arguments.operands.size() != 1 || output->empty()))
        return UsageError(streams.err, "decode", "decode: -o needs exactly one input file and a non-empty name");

    int firstFailure = 0;
    for (const std::string& file : arguments.operands) {
        const std::filesystem::path wave = output ? std::filesystem::path(*output) : PreviewPathFor(file);
        const int status = WriteDecodedWave(file, wave, streams);
        if (status != 0 && firstFailure == 0) firstFailure = status;
    }
    return firstFailure;
}

} // namespace

std::filesystem::path PreviewPathFor(const std::filesystem::path& melodyFile)
{
    std::filesystem::path preview = melodyFile;
    preview.replace_extension(".preview.wav");
    return preview;
}

int WriteDecodedWave(const std::filesystem::path& melodyFile, const std::filesystem::path& wavePath,
                     Streams streams)
{
    if (SameFile(melodyFile, wavePath)) {
        streams.err << melodyFile.string() << ": the WAVE file would replace the melody file itself" << std::endl;
        return kExitCantCreate;
    }
    LoadedMelody melody;
    if (const int status = LoadMelodyFile(melodyFile, melody, streams.err); status != 0)
        return status;
    const MldContents& c = melody.contents;
    const std::vector<std::int16_t> samples =
        adpcm_decode({melody.bytes.Data() + c.audioOffset, c.audioLength});
    ByteBuffer wave;
    if (!WriteMonoWave(samples, static_cast<std::uint32_t>(c.sampleRate), wave)
        || !SaveFileAtomically(wavePath, wave)) {
        streams.err << wavePath.string() << ": cannot write the WAVE file" << std::endl;
        return kExitCantCreate;
    }
    streams.out << melodyFile.string() << ": wrote " << wavePath.string() << " (" << samples.size()
                << " samples at " << c.sampleRate << " Hz)" << std::endl;
    return 0;
}

Subcommand DecodeSubcommand()
{
    return Subcommand{
        "decode",
        "FILE.mld...",
        "decode the audio of melody files into WAVE files",
        "Decodes the 4-bit audio of each melody file into a 16-bit mono PCM WAVE file\n"
        "at the file's sample rate: the sound as the encoder itself tracked it. The\n"
        "file is written beside the melody file as NAME.preview.wav unless -o is given.\n"
        "Every coded byte holds two samples, so n coded bytes give 2 x n samples; a\n"
        "recording with an odd number of samples gains one sample at the end.\n"
        "Exit status: 0 when every file was decoded; otherwise that of the first\n"
        "failure: 65 for a damaged or foreign file, 66 when a file cannot be opened,\n"
        "73 when the WAVE file cannot be written; 64 for a usage error.",
        {
            {"output", 'o', "OUT.wav", "write the WAVE file here (one input file only)"},
        },
        RunDecode,
    };
}

} // namespace quorbin::cli
