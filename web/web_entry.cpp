// The web page's module: the command-line mode run over the files the page gives it. The
// page writes into the module's space, through the exports below, the names of its files and
// the arguments of each run; the lines come back through the standard streams and the signal
// files through the page's file functions (platform/web/, files/wasi/).
#include <cstdint>
#include <string_view>
#include <vector>

#include "command_line/command_line.h"
#include "files/wasi/page_files.h"

namespace {

// Where the page puts a name or a run's arguments.
std::vector<char> Space;

}  // namespace

// Room for size bytes from the page; their address.
extern "C" __attribute__((export_name("ReserveSpace"))) char* ReserveSpace(std::int32_t size) {
    Space.assign(static_cast<std::size_t>(size), '\0');
    return Space.data();
}

// The page's file whose name is the first nameLength bytes of the space joins the module's
// folder; its number, under which the page's read is asked for its bytes.
extern "C" __attribute__((export_name("AddFile"))) std::uint32_t AddFile(std::int32_t nameLength,
                                                                         double size) {
    return AddPageFile(std::string_view(Space.data(), static_cast<std::size_t>(nameLength)),
                       static_cast<std::int64_t>(size));
}

// Runs the command-line mode with the count arguments the space holds, each ended by a zero
// byte, and then empties the folder. The exit status comes back.
extern "C" __attribute__((export_name("RunArguments"))) std::int32_t RunArguments(
    std::int32_t count) {
    std::vector<const char*> arguments;
    const char* next = Space.data();
    for (std::int32_t i = 0; i < count; ++i) {
        arguments.push_back(next);
        next += std::string_view(next).size() + 1;
    }
    const int status = RunCommandLine(count, arguments.data());
    ForgetPageFiles();
    return status;
}
