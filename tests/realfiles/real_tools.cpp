#include "tests/realfiles/real_tools.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "tests/e2e/child_process.h"

namespace {

// The tools make files of a fraction of a second; a run takes far less than this.
constexpr int ToolLimitMilliseconds = 10000;
constexpr double Tolerance = 1e-9;
// -1 dBFS, the level sox normalises its files to here ("gain -n -1").
const double MinusOneDecibel = std::pow(10.0, -1.0 / 20.0);

const std::string Out = "{out}";
const std::string NotPcm = "   ERROR - This is not a PCM format Wave file";
const std::string NotMono = "   ERROR - This is not a mono Wave file";
const std::vector<std::string> Extensible = {"--extensible"};
const std::string ExtensibleHint =
    "This is not a PCM format Wave file (extensible format; --extensible reads it)";
const std::vector<std::string> DataToEnd = {"--data-to-end"};
const std::vector<std::string> AnyPcm = {"--any-pcm"};
const std::string FloatHint = NotPcm.substr(11) + " (32-bit float; --any-pcm reads it)";

std::string SizeHint(const std::string& given, const std::string& held) {
    return "the header gives " + given + " samples, the file holds " + held +
           "; --data-to-end converts them";
}

// A tool's command line run by sh, for what the tool does not do itself (a pipe, a cut); the
// tool writes to `written`, "{out}" or its name for standard output.
std::vector<std::string> InShell(const std::vector<std::string>& command,
                                 const std::string& written, const std::string& after) {
    std::string line;
    for (const std::string& part : command)
        line += (part == Out ? written : "'" + part + "'") + " ";
    return {"sh", "-c", line + after};
}

// sox: -R repeatable noise, -D no dither (so the level is what gain set), the input rate
// given so no rate change is put in between.
std::vector<std::string> SoxSynth(const std::string& rate, const std::string& bits,
                                  const std::vector<std::string>& outputOptions,
                                  const std::vector<std::string>& effects) {
    std::vector<std::string> command = {"sox", "-R", "-D", "-r", rate, "-n", "-b", bits};
    command.insert(command.end(), outputOptions.begin(), outputOptions.end());
    command.push_back(Out);
    command.insert(command.end(), effects.begin(), effects.end());
    return command;
}

// sox as it writes by default: with dither, for a file of fewer bits than its own samples.
std::vector<std::string> SoxDithered(const std::string& rate, const std::string& bits,
                                     const std::vector<std::string>& effects) {
    std::vector<std::string> command = {"sox", "-R", "-r", rate, "-n", "-b", bits, "-c", "1", Out};
    command.insert(command.end(), effects.begin(), effects.end());
    return command;
}

std::vector<std::string> Ffmpeg(const std::string& source, const std::vector<std::string>& output) {
    std::vector<std::string> command = {"ffmpeg", "-nostdin", "-loglevel", "error", "-y",
                                        "-f",     "lavfi",    "-i",        source};
    command.insert(command.end(), output.begin(), output.end());
    command.push_back(Out);
    return command;
}

// A sine with one sample at -0.75 (sample 100), the largest magnitude of the file.
std::string SineWithPeak(const std::string& rate) {
    return "aevalsrc=exprs='if(eq(n,100),-0.75,0.4*sin(2*PI*440*t)+0.3*sin(2*PI*1234.5*t))':s=" +
           rate + ":d=0.3";
}

std::string Describe(const std::vector<std::string>& command) {
    std::string shown;
    for (const std::string& part : command) shown += (shown.empty() ? "" : " ") + part;
    return shown;
}

// Whole text as a number; false when anything is left over.
bool ParseWhole(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size();
}

}  // namespace

bool RunTool(std::vector<std::string> command, std::string& output, std::string& problem) {
    const std::string tool = command[0];
    command[0] = FindExecutable(tool);
    if (command[0].empty()) {
        problem = tool +
                  " was not found on PATH. The real-file tests make their files with sox and "
                  "ffmpeg and read them back with sox and soxi (Debian: apt-get install sox "
                  "ffmpeg).";
        return false;
    }
    ChildResult result = RunChild(command, ToolLimitMilliseconds);
    output = result.Output;
    if (result.Ran && result.ExitStatus == 0) return true;
    command[0] = tool;
    problem = Describe(command) + " failed (status " + std::to_string(result.ExitStatus) +
              "): " + result.Errors;
    return false;
}

const std::vector<RealFileCase>& RealFileCases() {
    static const std::vector<RealFileCase> cases = {
        {"sox, 8-bit at 8000 Hz: a sine at -1 dBFS", "sox8.wav",
         SoxSynth("8000", "8", {"-c", "1"}, {"synth", "0.25", "sine", "440", "gain", "-n", "-1"}),
         1, false, "", MinusOneDecibel, 1.0 / 128},
        {"sox, 16-bit at 22050 Hz: white noise at -1 dBFS", "sox16.wav",
         SoxSynth("22050", "16", {"-c", "1"}, {"synth", "0.25", "whitenoise", "gain", "-n", "-1"}),
         1, false, "", MinusOneDecibel, 1.0 / 32768},
        {"sox, 16-bit at 44100 Hz: a quiet sine, dithered as sox does by default", "dither16.wav",
         SoxDithered("44100", "16", {"synth", "0.2", "sine", "1000", "vol", "0.01"}), 1, false, "",
         0, 0},
        {"sox, 24-bit at 96000 Hz asked for plain PCM (-t wavpcm): pink noise at -1 dBFS",
         "sox24.wav",
         SoxSynth("96000", "24", {"-c", "1", "-t", "wavpcm"},
                  {"synth", "0.25", "pinknoise", "gain", "-n", "-1"}),
         1, false, "", MinusOneDecibel, 1.0 / 8388608},
        {"ffmpeg, 8-bit (pcm_u8) at 11025 Hz with its LIST chunk: two sines, one sample -0.75",
         "ffmpeg8.wav", Ffmpeg(SineWithPeak("11025"), {"-c:a", "pcm_u8"}), 1, true, "", 0.75, 0},
        {"ffmpeg, 16-bit (pcm_s16le) at 44100 Hz with its LIST chunk: two sines, one sample -0.75",
         "ffmpeg16.wav", Ffmpeg(SineWithPeak("44100"), {"-c:a", "pcm_s16le"}), 1, true, "", 0.75,
         0},
        {"ffmpeg, 16-bit at 48000 Hz with its LIST chunk: pink noise", "noise16.wav",
         Ffmpeg("anoisesrc=d=0.2:c=pink:r=48000:a=0.5:seed=7", {"-c:a", "pcm_s16le"}), 1, true, "",
         0, 0},

        // sox and ffmpeg both write 24-bit mono as WAVE_FORMAT_EXTENSIBLE unless told otherwise.
        {"sox, 24-bit at 44100 Hz as sox writes it by default: extensible", "sox24ext.wav",
         SoxSynth("44100", "24", {"-c", "1"}, {"synth", "0.1", "sine", "440"}),
         static_cast<std::int16_t>(0xFFFE), false, NotPcm, 0, 0, Extensible, ExtensibleHint},
        {"ffmpeg, 24-bit (pcm_s24le) at 48000 Hz: extensible", "ffmpeg24.wav",
         Ffmpeg(SineWithPeak("48000"), {"-c:a", "pcm_s24le"}), static_cast<std::int16_t>(0xFFFE),
         true, NotPcm, 0, 0, Extensible, ExtensibleHint},
        // ffmpeg also writes every file above 48000 Hz as extensible, 16 bits or not.
        {"ffmpeg, 16-bit at 96000 Hz: extensible", "ffmpeg96k.wav",
         Ffmpeg("anoisesrc=d=0.2:c=pink:r=96000:a=0.5:seed=7", {"-c:a", "pcm_s16le"}),
         static_cast<std::int16_t>(0xFFFE), true, NotPcm, 0, 0, Extensible, ExtensibleHint},
        // Valid bits (bytes 38-39) set to 20 below the 24-bit container change nothing.
        {"sox, 24-bit extensible with its valid bits set to 20", "valid20.wav",
         InShell(SoxSynth("44100", "24", {"-c", "1"}, {"synth", "0.1", "sine", "440"}), Out,
                 "&& printf '\\024' | dd of={out} bs=1 seek=38 conv=notrunc status=none"),
         static_cast<std::int16_t>(0xFFFE), false, NotPcm, 0, 0, Extensible, ExtensibleHint},
        // Written to a pipe, sox leaves the data size 0x7FFFF000, ffmpeg 0xFFFFFFFF.
        {"sox, 16-bit at 8000 Hz written to a pipe", "soxpipe.wav",
         InShell(SoxSynth("8000", "16", {"-c", "1", "-t", "wav"}, {"synth", "0.25", "sine", "440"}),
                 "-", "2>/dev/null | cat > {out}"),
         1, false, "", 0, 0, DataToEnd,
         "This file is too large to convert (" + SizeHint("1073739776", "2000") + ")"},
        {"ffmpeg, 16-bit at 22050 Hz written to a pipe", "ffmpegpipe.wav",
         InShell(Ffmpeg("sine=f=440:r=22050:d=0.1", {"-c:a", "pcm_s16le", "-f", "wav"}), "pipe:1",
                 "| cat > {out}"),
         1, true, "", 0, 0, DataToEnd, "warning: " + SizeHint("0", "2205")},
        {"sox, 16-bit at 8000 Hz cut short: 2500 of its 4000 samples and half a sample",
         "soxcut.wav",
         InShell(SoxSynth("8000", "16", {"-c", "1"}, {"synth", "0.5", "sine", "440"}), Out,
                 "&& truncate -s 5045 {out}"),
         1, false, "", 0, 0, DataToEnd, "warning: " + SizeHint("4000", "2500")},
        {"sox, 32-bit float", "soxfloat.wav",
         SoxSynth("44100", "32", {"-e", "floating-point", "-c", "1"},
                  {"synth", "0.1", "sine", "440"}),
         3, false, NotPcm, 0, 0, AnyPcm, FloatHint},
        {"sox, 64-bit float", "soxdouble.wav",
         SoxSynth("44100", "64", {"-e", "floating-point", "-c", "1"},
                  {"synth", "0.1", "sine", "440", "gain", "-n", "-1"}),
         3, false, NotPcm, 0, 0, AnyPcm, NotPcm.substr(11) + " (64-bit float; --any-pcm reads it)"},
        {"ffmpeg, 32-bit float (pcm_f32le): extensible", "ffmpegfloat.wav",
         Ffmpeg(SineWithPeak("44100"), {"-c:a", "pcm_f32le"}), static_cast<std::int16_t>(0xFFFE),
         true, NotPcm, 0, 0, AnyPcm,
         NotPcm.substr(11) + " (extensible format, 32-bit float; --any-pcm reads it)"},
        {"ffmpeg, 64-bit float (pcm_f64le): extensible", "ffmpegdouble.wav",
         Ffmpeg(SineWithPeak("44100"), {"-c:a", "pcm_f64le"}), static_cast<std::int16_t>(0xFFFE),
         true, NotPcm, 0, 0, AnyPcm,
         NotPcm.substr(11) + " (extensible format, 64-bit float; --any-pcm reads it)"},
        // 24 bits in the low three bytes of 4, the top one the sign's extension, as arecord
        // records S24_LE: sox's 32-bit samples kept below 2^23, then bits per sample set to 24.
        {"24 bits in 4-byte slots as arecord writes them", "slots24.wav",
         InShell(SoxSynth("48000", "32", {"-c", "1", "-t", "wavpcm"},
                          {"synth", "0.1", "sine", "440", "vol", "0.003"}),
                 Out, "&& printf '\\030' | dd of={out} bs=1 seek=34 conv=notrunc status=none"),
         1, false, "   ERROR - 24-bit Wave files must be packed integer format", 0, 0, AnyPcm,
         "24-bit Wave files must be packed integer format (24-bit samples in 4-byte slots; "
         "--any-pcm reads it)"},
        {"sox, 32-bit integer", "sox32.wav",
         SoxSynth("44100", "32", {"-c", "1", "-t", "wavpcm"}, {"synth", "0.1", "sine", "440"}), 1,
         false, "   ERROR - This is not an 8-, 16- or 24-bit Wave file", 0, 0, AnyPcm,
         "This is not an 8-, 16- or 24-bit Wave file (32-bit samples; --any-pcm reads it)"},
        {"sox, 16-bit stereo",
         "soxstereo.wav",
         SoxSynth("22050", "16", {"-c", "2"}, {"synth", "0.1", "sine", "440", "sine", "1000"}),
         1,
         false,
         NotMono,
         0,
         0,
         {"--channel", "2"},
         NotMono.substr(11) + " (2 channels; --channel N reads one)"},
        {"ffmpeg, 16-bit stereo",
         "ffmpegstereo.wav",
         Ffmpeg(SineWithPeak("22050"), {"-ac", "2", "-c:a", "pcm_s16le"}),
         1,
         true,
         NotMono,
         0,
         0,
         {"--channel", "1"},
         NotMono.substr(11) + " (2 channels; --channel N reads one)"},
    };
    return cases;
}

bool SizeIsNoCount(const RealFileCase& realFile) {
    return realFile.Reading == DataToEnd;
}

const RealFileCase* RealFileCaseNamed(const std::string& name) {
    for (const RealFileCase& realFile : RealFileCases()) {
        if (realFile.Name == name) return &realFile;
    }
    return nullptr;
}

bool MakeRealFile(const RealFileCase& realFile, const std::string& path, std::string& problem) {
    std::vector<std::string> command = realFile.Command;
    for (std::string& part : command) {
        for (std::size_t at = part.find(Out); at != std::string::npos;
             at = part.find(Out, at + path.size())) {
            part.replace(at, Out.size(), path);
        }
    }
    std::string ignored;
    return RunTool(command, ignored, problem);
}

bool AskSoxi(const std::string& path, const std::string& option, std::int64_t& value,
             std::string& problem) {
    std::string output;
    if (!RunTool({"soxi", option, path}, output, problem)) return false;
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    char* end = nullptr;
    value = std::strtoll(output.c_str(), &end, 10);
    if (output.empty() || end != output.c_str() + output.size()) {
        problem = "soxi " + option + " " + path + " answered \"" + output + "\"";
        return false;
    }
    return true;
}

bool DecodeWithSox(const std::string& path, std::vector<double>& samples, std::string& problem) {
    std::string output;
    if (!RunTool({"sox", path, "-t", "dat", "-"}, output, problem)) return false;
    // "; Sample Rate r" and "; Channels c", then one "time value" line per sample.
    samples.clear();
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        // sox ends its lines with CR LF.
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (line[0] == ';') {
            if (line.rfind("; Channels", 0) == 0 && line != "; Channels 1") {
                problem = "sox decoded " + path + " as not mono: " + line;
                return false;
            }
            continue;
        }
        std::istringstream fields(line);
        std::string time;
        std::string value;
        double sample = 0;
        if (!(fields >> time >> value) || !ParseWhole(value, sample)) {
            problem = "sox's decoding of " + path + " holds the line \"" + line + "\"";
            return false;
        }
        samples.push_back(sample);
    }
    return true;
}

std::string CompareWithDecoding(const std::string& signalFile, const std::vector<double>& samples) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < signalFile.size()) {
        std::size_t end = signalFile.find("\r\n", start);
        if (end == std::string::npos) return "the signal file does not end with CR LF";
        lines.push_back(signalFile.substr(start, end - start));
        start = end + 2;
    }
    if (lines.size() != samples.size()) {
        return "the signal file has " + std::to_string(lines.size()) + " lines, sox decoded " +
               std::to_string(samples.size()) + " samples";
    }
    double peak = 0;
    for (double sample : samples) peak = std::fmax(peak, std::fabs(sample));
    if (peak == 0) return "sox decoded only silence: the case makes no test";

    std::ostringstream wrong;
    int shown = 0;
    for (std::size_t i = 0; i < lines.size() && shown < 5; ++i) {
        double value = 0;
        const double expected = samples[i] / peak;
        bool good = ParseWhole(lines[i], value) && std::fabs(value - expected) <= Tolerance;
        if (std::fabs(samples[i]) == peak) good = lines[i] == (samples[i] > 0 ? "1" : "-1");
        if (!good) {
            wrong << "line " << i + 1 << " reads \"" << lines[i] << "\", sox decoded " << samples[i]
                  << " over the peak " << peak << "\n";
            ++shown;
        }
    }
    return wrong.str();
}

std::int16_t FormatTagOf(const std::string& bytes) {
    if (bytes.size() < 22) return 0;
    return static_cast<std::int16_t>(static_cast<unsigned char>(bytes[20]) |
                                     static_cast<unsigned char>(bytes[21]) << 8);
}
