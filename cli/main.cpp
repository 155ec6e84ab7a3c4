// quorbin-cli: converts WAVE recordings into melody files from the command line.
#include <unistd.h>

#include <csignal>
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/ConvertCommand.h"
#include "cli/MelodyCommands.h"

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    // A closed pipe and the file size limit are reported as failed writes
    // (exit status 74, or message 6 for a melody file) while the batch goes on.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    const std::vector<quorbin::cli::Subcommand> commands = {
        quorbin::cli::ConvertSubcommand(), quorbin::cli::InfoSubcommand(), quorbin::cli::DecodeSubcommand()};
    const std::vector<std::string> args(argv + 1, argv + argc);
    return quorbin::cli::RunCommandLine(
        args, commands, {std::cout, std::cerr, ::isatty(STDOUT_FILENO) == 1, ::isatty(STDIN_FILENO) == 1});
}
