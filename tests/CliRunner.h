#pragma once
// Runs a built program (quorbin-cli by default) as a child process with its
// standard streams captured, for the tests of the command line.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "ConversionTestSupport.h"

namespace quorbin::testing_support {

struct CliResult {
    int status = -1;
    long peakKiB = 0;  // the largest resident size of the program or a child it waited for
    std::string out;
    std::string err;
};

// Where the child's standard streams lead besides the captured files.
struct Redirection {
    std::string input = "/dev/null";  // file read as standard input, relative to the folder
    std::string output;               // file written as standard output; empty: captured
    int outputFd = -1;                // descriptor given as standard output
    int inputFd = -1;                 // descriptor given as standard input, instead of `input`
};

// A program started in `folder`, its standard streams going to files.
struct StartedCli {
    pid_t pid = -1;
    std::string outPath;  // empty when standard output goes elsewhere
    std::string errPath;
};

// Starts `program` (the built quorbin-cli unless given) in `folder` with
// exactly the environment `env`; runs started together need their own `tag`
// for the captured streams.
inline StartedCli StartCli(const TempFolder& folder, const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& env = {{"LANG", "C.UTF-8"}},
                           const Redirection& io = {}, const std::string& tag = "",
                           const std::string& program = QUORBIN_CLI_PATH)
{
    StartedCli started;
    const std::string captured = (folder / (".stdout" + tag)).string();
    started.outPath = io.output.empty() && io.outputFd < 0 ? captured : "";
    started.errPath = (folder / (".stderr" + tag)).string();
    const std::string inPath = (folder.Path() / io.input).string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (io.inputFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, io.inputFd, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
    if (io.outputFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, io.outputFd, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, io.output.empty() ? captured.c_str() : io.output.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, started.errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, folder.Path().c_str());

    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<std::string> envStrings;
    for (const auto& [name, value] : env)
        envStrings.push_back(name + "=" + value);
    auto pointers = [](std::vector<std::string>& strings) {
        std::vector<char*> result;
        for (auto& s : strings)
            result.push_back(s.data());
        result.push_back(nullptr);
        return result;
    };
    auto argv = pointers(argStrings);
    auto envp = pointers(envStrings);
    if (posix_spawn(&started.pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
        started.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return started;
}

// Waits for a started program and collects what it printed.
inline CliResult FinishCli(const StartedCli& started)
{
    CliResult result;
    int status = 0;
    rusage usage{};
    if (started.pid > 0 && ::wait4(started.pid, &status, 0, &usage) == started.pid) {
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.peakKiB = usage.ru_maxrss;
    }
    result.err = ReadFile(started.errPath);
    std::filesystem::remove(started.errPath);
    if (!started.outPath.empty()) {
        result.out = ReadFile(started.outPath);
        std::filesystem::remove(started.outPath);
    }
    return result;
}

// Runs `program` (the built quorbin-cli unless given) in `folder` with
// exactly the environment `env`.
inline CliResult RunCli(const TempFolder& folder, const std::vector<std::string>& args,
                        const std::map<std::string, std::string>& env = {{"LANG", "C.UTF-8"}},
                        const Redirection& io = {}, const std::string& program = QUORBIN_CLI_PATH)
{
    return FinishCli(StartCli(folder, args, env, io, "", program));
}

// A copy of quorbin-cli in top/bin with its translations, and the decoder
// child `helper` and the module `module` in top/bin/`decoderFolder` where an
// installed one finds them (either left out when empty). Returns the copy's path.
inline std::string InstallCopy(const fs::path& top, const std::string& decoderFolder, const std::string& helper,
                               const std::string& module)
{
    const fs::path bin = top / "bin";
    const fs::path decoders = (bin / decoderFolder).lexically_normal();
    fs::create_directories(bin);
    fs::create_directories(decoders);
    fs::copy_file(QUORBIN_CLI_PATH, bin / "quorbin-cli");
    // The translations, where the copy looks for them: beside its own folder.
    const fs::path locale = fs::path(QUORBIN_CLI_PATH).parent_path().parent_path() / "share" / "locale";
    fs::create_directories(top / "share");
    fs::copy(locale, top / "share" / "locale", fs::copy_options::recursive);
    if (!helper.empty())
        fs::copy_file(helper, decoders / "quorbin-decoder");
    if (!module.empty())
        fs::copy_file(module, decoders / "quorbin-decoders.so");
    return bin / "quorbin-cli";
}

// The names of the melody files anywhere below `folder`, sorted.
inline std::vector<std::string> MelodyFiles(const TempFolder& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.Path())) {
        if (entry.path().extension() == ".mld")
            names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace quorbin::testing_support
