// quorbin-decoder: decodes one recording in a process of its own, for a
// parent that reads the records it writes (see DecoderChannel.h).
//   standard input:  the recording (a regular file or a stream)
//   standard output: the records
//   standard error:  the libraries' messages (the parent gives /dev/null unless asked)
// The arguments are those of DecodeRequestArguments.
#include <dlfcn.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "decode/Confinement.h"
#include "decode/DecoderChannel.h"
#include "decode/DecoderModule.h"
#include "platform/FileSource.h"

using namespace quorbin::decode;

namespace {

[[noreturn]] void Fail(DecodeProblem problem, const std::string& text = {})
{
    SendFailure(STDOUT_FILENO, problem, text.data(), text.size());
    ::_exit(1);
}

// The module, or the reason it cannot be loaded: what is missing, or memory.
void* LoadModule(const std::filesystem::path& path)
{
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module)
        return module;
    const std::string error = ::dlerror();
    if (error.find("Cannot allocate memory") != std::string::npos || error.find("failed to map") != std::string::npos)
        Fail(DecodeProblem::OutOfMemory);
    // "libavcodec.so.59: cannot open shared object file: No such file or directory": its name first.
    Fail(DecodeProblem::ModuleMissing, error.substr(0, error.find(": cannot open shared object file")));
}

template <typename Function>
Function Entry(void* module, const char* name)
{
    void* entry = ::dlsym(module, name);
    if (!entry)
        Fail(DecodeProblem::ModuleMissing, ::dlerror());
    return reinterpret_cast<Function>(entry);
}

}  // namespace

int main(int argc, char** argv)
{
    // A parent that goes away takes its decoder with it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    const auto request = ParseDecodeRequest(std::vector<std::string>(argv + 1, argv + argc));
    if (!request)
        Fail(DecodeProblem::BadRequest);
    LimitResources(ProcessorSecondsFor(quorbin::RegularFileSize(STDIN_FILENO)));
    void* module = LoadModule(request->module);
    const auto initialise = Entry<InitialiseFunction>(module, kInitialiseEntry);
    const auto run = Entry<RunFunction>(module, kRunEntry);
    try {
        initialise(request->verbose);
    } catch (const std::bad_alloc&) {
        Fail(DecodeProblem::OutOfMemory);
    }
    const DecodeJob job{
        {STDIN_FILENO, quorbin::RegularFileSize(STDIN_FILENO), request->name}, &*request, STDOUT_FILENO};
    CloseDoors();
    if (!InstallSystemCallFilter(STDIN_FILENO, STDOUT_FILENO))
        WriteRecord(STDOUT_FILENO, RecordType::Unconfined, nullptr, 0);
    run(job);
    ::_exit(0);
}
