// quorbin-cli: converts WAVE recordings into melody files from the command line.
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/ConvertCommand.h"
#include "cli/MelodyCommands.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    const std::vector<quorbin::cli::Subcommand> commands = {quorbin::cli::ConvertSubcommand(), quorbin::cli::InfoSubcommand(),
                                                            quorbin::cli::DecodeSubcommand()};
    const std::vector<std::string> args(argv + 1, argv + argc);
    return quorbin::cli::RunCommandLine(args, commands, {std::cout, std::cerr});
}
