// The Python module: the command-line mode's conversion handed over as a NumPy array, with the
// command line's words for its refusals and failures. Every channel at once comes as the
// columns of one array, each the values of that channel's own signal file. The channels are the
// program's own, one file at a time: a lock keeps calls from several Python threads apart, and is
// taken with the interpreter's lock let go, so that neither waits on the other.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cerrno>
#include <cstdint>
#include <mutex>
#include <string>

#include "command_line/failure_words.h"
#include "command_line/verdict_words.h"
#include "converter/channel_conversion.h"
#include "converter/header_check.h"
#include "converter/line_blocks.h"
#include "converter/streamed_conversion.h"
#include "files/channels.h"
#include "files/file_error.h"

namespace py = pybind11;

namespace {

// The channel the header check leaves open on an accepted file.
constexpr std::int16_t AcceptedWaveChannel = 1;

std::mutex ChannelsBusy;

// The reading options of read() and info(), checked.
struct Reading {
    py::object Given;  // the path as given, for OSError
    std::string Path;  // its bytes, as the system takes them
    int Channel;       // from 1; 0: the file must be mono. Every channel read: 1
    bool AllChannels;  // channel="all": a column for each channel
    bool CommonPeak;   // divided by the peak of every channel
    bool Mix;          // the channels of each frame summed
    bool AnyPcm;
    bool Extensible;
    bool DataToEnd;
    int Threads;
};

// The system's error number for a file error number, so that Python picks the OSError
// subclass (FileNotFoundError, PermissionError) the same failure of its own open would give.
int SystemErrorNumber(std::uint8_t fileError) {
    switch (fileError) {
        case FileNotFound:
        case PathNotFound:
            return ENOENT;
        case AccessRefused:
            return EACCES;
        case NoMemory:
            return ENOMEM;
        case TooManyFiles:
            return EMFILE;
        case DiskFull:
            return ENOSPC;
        case DeviceUnavailable:
            return ENODEV;
        case DeviceNotReady:
            return EBUSY;
        case BadFileName:
        case BadSystemName:
            return EINVAL;
        default:
            return EIO;
    }
}

std::string Line(const FailureWords& words) {
    return words.Cause.empty() ? words.Sentence : words.Sentence + " (" + words.Cause + ")";
}

// Raises the OSError subclass the arguments make (OSError(errno, text, path) picks it).
[[noreturn]] void RaiseOsError(py::object arguments) {
    PyErr_SetObject(PyExc_OSError, arguments.ptr());
    throw py::error_already_set();
}

[[noreturn]] void RaiseRefused(const FailureWords& words) {
    const py::object refused = py::module_::import("norvistrand").attr("RefusedError");
    PyErr_SetString(refused.ptr(), Line(words).c_str());
    throw py::error_already_set();
}

Reading CheckReading(const py::object& path, const py::object& channel, bool anyPcm,
                     bool extensible, bool dataToEnd, bool commonPeak, bool mix,
                     const py::object& threads) {
    const py::module_ os = py::module_::import("os");
    Reading reading{.Given = os.attr("fspath")(path),
                    .Path = os.attr("fsencode")(path).cast<std::string>(),
                    .Channel = 0,
                    .AllChannels = false,
                    .CommonPeak = commonPeak,
                    .Mix = mix,
                    .AnyPcm = anyPcm,
                    .Extensible = extensible,
                    .DataToEnd = dataToEnd,
                    .Threads = AutomaticThreads};
    // As Python's own open: a name is cut at a null byte, which would name another file.
    if (reading.Path.find('\0') != std::string::npos) throw py::value_error("embedded null byte");
    reading.AllChannels = py::isinstance<py::str>(channel) && channel.cast<std::string>() == "all";
    if (!channel.is_none() && !reading.AllChannels) {
        if (!py::isinstance<py::int_>(channel) || channel.cast<long long>() < 1 ||
            channel.cast<long long>() > 999999999) {
            throw py::value_error("channel must be a channel number from 1, \"all\", or None");
        }
        reading.Channel = channel.cast<int>();
    }
    if (mix && !channel.is_none()) {
        throw py::value_error("mix sums every channel, so channel has no use with it");
    }
    if (commonPeak && channel.is_none()) {
        throw py::value_error("common_peak divides channels read with channel, so it needs it");
    }
    // The header check's channel where every channel is read: the first, there in any file.
    if (reading.AllChannels || mix) reading.Channel = 1;
    if (!threads.is_none()) {
        if (!py::isinstance<py::int_>(threads) || threads.cast<long long>() < 1 ||
            threads.cast<long long>() > ThreadLimit) {
            throw py::value_error("threads must be a thread count from 1 to 16, or None");
        }
        reading.Threads = threads.cast<int>();
    }
    return reading;
}

// The header check as the command line makes it with the same options; raises for a refused
// file, else leaves the channel open on it with the header filled. Called with ChannelsBusy
// held and the interpreter's lock let go, which it takes back to raise.
void AcceptOrRaise(const Reading& reading, WaveHeader& header, HeaderVerdict& verdict) {
    if (reading.Path.size() > ChannelNameLimit) {
        py::gil_scoped_acquire python;
        RaiseRefused(LongNameWords());
    }
    verdict = CheckWaveHeader(reading.Path, header,
                              HeaderReading{.Extensible = reading.Extensible,
                                            .AnyPcm = reading.AnyPcm,
                                            .Channel = reading.Channel,
                                            .DataToEnd = reading.DataToEnd,
                                            .WholeChannelCount = true,
                                            .CountHeld = true,
                                            .AnyLength = true,
                                            .SignalName = {},
                                            .NoSignalFile = true});
    if (verdict.Code == HeaderCode::Accepted) return;
    py::gil_scoped_acquire python;
    const FailureWords words = RefusalWords(verdict, reading.Channel);
    if (verdict.Code == HeaderCode::NotFound) {
        RaiseOsError(
            py::make_tuple(SystemErrorNumber(verdict.FileError), Line(words), reading.Given));
    }
    RaiseRefused(words);
}

// A header that leaves out samples the file holds: the command line's warning, as a Python one.
void WarnOfDataSize(const HeaderVerdict& verdict) {
    const std::string hint = DataSizeHint(verdict);
    if (hint.empty()) return;
    if (PyErr_WarnEx(PyExc_UserWarning, hint.c_str(), 1) != 0) throw py::error_already_set();
}

[[noreturn]] void RaiseFailure(ConversionOutcome outcome, const ConversionFailure& failure,
                               const Reading& reading, const std::string& hint) {
    const FailureWords words{.Sentence = std::string(OutcomeText(outcome)),
                             .Cause = outcome == ConversionOutcome::TooLarge
                                          ? hint
                                          : ConversionCause(outcome, failure, reading.Path)};
    if (outcome == ConversionOutcome::ReadFailed) {
        // A file changed while it was read has no error number of the system's.
        if (failure.Changed) RaiseOsError(py::make_tuple(Line(words)));
        RaiseOsError(py::make_tuple(SystemErrorNumber(failure.Error), Line(words), reading.Given));
    }
    RaiseRefused(words);
}

// The channels read together, each stream's values a column of values.
ConversionOutcome ConvertTogether(const Reading& reading, const WaveHeader& header,
                                  ConversionFailure& failure, double* values) {
    const ChannelRequest request{.Work = ChannelWorkFor(reading.AllChannels, reading.Mix),
                                 .Channel = reading.Channel,
                                 .CommonPeak = reading.CommonPeak,
                                 .Form = SignalForm::Memory,
                                 .StandardOutput = false,
                                 .Paths = {},
                                 .Values = values};
    return ConvertChannels(header, request, reading.Threads, failure);
}

py::array_t<double> Read(const py::object& path, const py::object& channel, bool anyPcm,
                         bool extensible, bool dataToEnd, bool commonPeak, bool mix,
                         const py::object& threads) {
    const Reading reading =
        CheckReading(path, channel, anyPcm, extensible, dataToEnd, commonPeak, mix, threads);
    WaveHeader header{};
    HeaderVerdict verdict{};
    std::unique_lock<std::mutex> busy(ChannelsBusy, std::defer_lock);
    {
        py::gil_scoped_release others;
        busy.lock();
        AcceptOrRaise(reading, header, verdict);
    }
    py::array_t<double> values;
    try {
        const auto frames = static_cast<py::ssize_t>(header.SampleCount);
        values = reading.AllChannels
                     ? py::array_t<double>({frames, py::ssize_t{header.ChannelCount}})
                     : py::array_t<double>(frames);
    } catch (...) {
        CloseChannel(AcceptedWaveChannel);  // the next call opens it again
        TakeFileError();
        throw;
    }
    double* const into = values.mutable_data();
    ConversionFailure failure;
    ConversionOutcome outcome = ConversionOutcome::Finished;
    {
        py::gil_scoped_release others;
        if (reading.AllChannels || reading.CommonPeak || reading.Mix) {
            outcome = ConvertTogether(reading, header, failure, into);
        } else {
            outcome = ConvertStreamed(reading.Path, header, failure,
                                      SignalTarget{.Path = {},
                                                   .StandardOutput = false,
                                                   .Form = SignalForm::Memory,
                                                   .Values = into},
                                      reading.Threads);
        }
        busy.unlock();
    }
    if (outcome != ConversionOutcome::Finished) {
        RaiseFailure(outcome, failure, reading, DataSizeHint(verdict));
    }
    WarnOfDataSize(verdict);
    return values;
}

py::dict Info(const py::object& path, const py::object& channel, bool anyPcm, bool extensible,
              bool dataToEnd) {
    const Reading reading =
        CheckReading(path, channel, anyPcm, extensible, dataToEnd, false, false, py::none());
    WaveHeader header{};
    HeaderVerdict verdict{};
    {
        py::gil_scoped_release others;
        const std::lock_guard<std::mutex> busy(ChannelsBusy);
        AcceptOrRaise(reading, header, verdict);
        CloseChannel(AcceptedWaveChannel);
        TakeFileError();  // closing a file that was only read changes nothing on disk
    }
    py::dict facts;
    facts["bits"] = header.BitsPerSample;
    facts["rate"] = header.SampleRate;
    facts["channels"] = verdict.Format.ChannelCount;
    facts["samples"] = header.SampleCount;
    facts["milliseconds"] = header.Duration;
    facts["form"] = SampleFormatText(header);
    return facts;
}

}  // namespace

PYBIND11_MODULE(norvistrand, module) {
    module.doc() = "Mono PCM Wave files as arrays of their signal files' values";
    py::object refused = py::reinterpret_steal<py::object>(
        PyErr_NewExceptionWithDoc("norvistrand.RefusedError",
                                  "The file is not one norvistrand converts, or it failed as "
                                  "the command line would report it.",
                                  PyExc_ValueError, nullptr));
    module.attr("RefusedError") = refused;
    module.def("read", &Read, py::arg("path"), py::kw_only(), py::arg("channel") = py::none(),
               py::arg("any_pcm") = false, py::arg("extensible") = false,
               py::arg("data_to_end") = false, py::arg("common_peak") = false,
               py::arg("mix") = false, py::arg("threads") = py::none(),
               "The values of the signal file the same options write, as a 1-D float64 array; "
               "with channel=\"all\", a 2-D one, frames by channels, a column for each channel.");
    module.def("info", &Info, py::arg("path"), py::kw_only(), py::arg("channel") = py::none(),
               py::arg("any_pcm") = false, py::arg("extensible") = false,
               py::arg("data_to_end") = false,
               "The header's facts: bits, rate, channels, samples, milliseconds and form.");
}
