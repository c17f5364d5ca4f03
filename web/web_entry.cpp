// The web page's module: the command-line mode run over the files the page gives it. The
// page writes into the module's space, through the exports below, the names of its files and
// the arguments of each run; the lines come back through the standard streams and the signal
// files through the page's file functions (platform/web/, files/wasi/).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "command_line/command_line.h"
#include "command_line/options.h"
#include "command_line/verdict_words.h"
#include "converter/conversion_outcome.h"
#include "files/wasi/page_files.h"
#include "platform/standard_streams.h"

namespace {

// Where the page puts a name or a run's arguments.
std::vector<char> Space;

// The signal files the page keeps from the choice being converted, and those of its last run,
// which join them once the page has kept that run's file.
std::vector<WrittenFile> ChoiceWritten;
std::vector<WrittenFile> RunWritten;

// The last envelope asked for, as SignalPicture hands it to the page.
std::vector<double> Picture;

// What befell a file outside the module, as the page tells it.
enum class PageEvent : std::int32_t {
    Unkept = 0,    // the browser had no room for its signal file
    Changed = 1,   // it changed on disk, or went, after it was chosen
    Replaces = 2,  // its signal file replaces that of a file of an earlier choice
};

// The count strings the space holds, each ended by a zero byte.
std::vector<const char*> SpaceStrings(std::int32_t count) {
    std::vector<const char*> strings;
    const char* next = Space.data();
    for (std::int32_t i = 0; i < count; ++i) {
        strings.push_back(next);
        next += std::string_view(next).size() + 1;
    }
    return strings;
}

// The line about the file, framed as the command-line mode frames its own.
void SayAboutFile(std::string_view name, std::string_view text) {
    platform::WriteToStream(
        platform::StandardStream::Error,
        std::string(ProgramName) + ": " + std::string(name) + ": " + std::string(text) + "\n");
}

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

// A choice of files begins: none of its signal files is written yet.
extern "C" __attribute__((export_name("BeginChoice"))) void BeginChoice() {
    ChoiceWritten.clear();
}

// Runs the command-line mode with the count arguments the space holds, each ended by a zero
// byte, and then empties the folder. Each signal file's envelope is gathered over columns
// columns, or none for 0. The exit status comes back.
extern "C" __attribute__((export_name("RunArguments"))) std::int32_t RunArguments(
    std::int32_t count, std::int32_t columns) {
    std::vector<const char*> arguments = SpaceStrings(count);
    RunWritten = ChoiceWritten;
    const int status = RunCommandLineAfter(count, arguments.data(), RunWritten, columns);
    ForgetPageFiles();
    return status;
}

// The envelope of the last run's signal file whose name is the first nameLength bytes of the
// space, for its picture: its column count C, its samples, the divisor of its lines, the
// sample of the peak and where that falls (from 0, or -1), then C least and C greatest samples.
// nullptr when the run wrote no such file.
extern "C" __attribute__((export_name("SignalPicture"))) const double* SignalPicture(
    std::int32_t nameLength) {
    const std::string_view name(Space.data(), static_cast<std::size_t>(nameLength));
    for (auto file = RunWritten.rbegin(); file != RunWritten.rend(); ++file) {
        const SignalEnvelope& envelope = file->Envelope;
        if (file->SignalName != name) continue;
        Picture = {static_cast<double>(envelope.Columns), static_cast<double>(envelope.Samples),
                   envelope.Divisor, envelope.PeakSample, static_cast<double>(envelope.PeakAt)};
        Picture.insert(Picture.end(), envelope.Least.begin(), envelope.Least.end());
        Picture.insert(Picture.end(), envelope.Greatest.begin(), envelope.Greatest.end());
        return Picture.data();
    }
    return nullptr;
}

// The page kept the signal file of the last run: a later file of the choice may not overwrite
// it.
extern "C" __attribute__((export_name("KeepWritten"))) void KeepWritten() {
    ChoiceWritten = RunWritten;
}

// Says on standard error what befell the file named first in the space; for Replaces, the
// space holds then the signal file's name and the earlier wave file's. The file's exit status
// comes back.
extern "C" __attribute__((export_name("SayPageEvent"))) std::int32_t SayPageEvent(
    std::int32_t event, std::int32_t count) {
    const std::vector<const char*> strings = SpaceStrings(count);
    switch (static_cast<PageEvent>(event)) {
        case PageEvent::Unkept:
            SayAboutFile(strings[0],
                         std::string(OutcomeText(ConversionOutcome::WriteFailed)) +
                             " (the browser has no room left for it; convert fewer long files "
                             "at once)");
            return SomeFileFailedExitCode;
        case PageEvent::Changed:
            SayAboutFile(strings[0], std::string(OutcomeText(ConversionOutcome::ReadFailed)) +
                                         " (changed or gone since it was chosen: choose it "
                                         "again)");
            return SomeFileFailedExitCode;
        case PageEvent::Replaces:
            SayAboutFile(strings[0],
                         "warning: the signal file replaces that of an earlier choice (" +
                             std::string(strings[1]) + ", from " + std::string(strings[2]) + ")");
            return AllConvertedExitCode;
    }
    return SomeFileFailedExitCode;
}
