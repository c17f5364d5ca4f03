#pragma once
// Wave files made by real sound tools (sox, ffmpeg), and an independent reading of them:
// soxi's figures and sox's own decoding of the samples. Each call returns false and says
// why in `problem` when a tool is missing or fails; a missing tool is a failure, never a
// reason to skip.
#include <cstdint>
#include <string>
#include <vector>

// One file a tool makes, and what the program should make of it.
struct RealFileCase {
    std::string Why;
    std::string Name;                  // the file's name in the test's folder
    std::vector<std::string> Command;  // tool first; "{out}" stands for the file's path
    std::int16_t FormatTag;            // what the tool writes at bytes 20-21
    bool ListChunk;                    // the tool writes a LIST chunk before the data
    std::string Refusal;               // the message it gets; "" when accepted
    double PeakLevel;                  // the peak's magnitude as the tool was told; 0 for none
    double PeakTolerance;              // how far quantisation may move it
    // The command-line mode: the options that have it read the file as sox does, and its line
    // on standard error without them, after "norvistrand: NAME: " ("" when it needs none).
    std::vector<std::string> Reading = {};
    std::string Unread = {};
};

// The data size of a file the case makes is no count of its samples: written to a pipe, or
// cut short. Only the command-line mode's --data-to-end reads such a file as sox does.
bool SizeIsNoCount(const RealFileCase& realFile);

// The table: 8-, 16- and 24-bit mono files from both tools at several rates, the files the
// program must refuse (24-bit as the tools write it by default, stereo, float), and files
// written to a pipe or cut short.
const std::vector<RealFileCase>& RealFileCases();
// The case that makes the file of this name; null when the table has none.
const RealFileCase* RealFileCaseNamed(const std::string& name);

// Runs a tool found on PATH (command[0] is its name); its standard output goes to `output`.
bool RunTool(std::vector<std::string> command, std::string& output, std::string& problem);

// Runs the case's tool to make the file at `path`.
bool MakeRealFile(const RealFileCase& realFile, const std::string& path, std::string& problem);

// soxi's figure for one option (-r the rate, -s the sample count, -b the bits per sample).
bool AskSoxi(const std::string& path, const std::string& option, std::int64_t& value,
             std::string& problem);

// sox's own decoding of every sample of a mono file, each scaled into [-1, 1).
bool DecodeWithSox(const std::string& path, std::vector<double>& samples, std::string& problem);

// Compares a signal file's bytes with sox's decoding: the same count of CR LF ended lines,
// each line the sample divided by the largest magnitude within 1e-9, and the line of every
// sample of that magnitude exactly "1" or "-1". Returns "" or what is wrong.
std::string CompareWithDecoding(const std::string& signalFile, const std::vector<double>& samples);

// Bytes 20-21 of a file's bytes, little-endian.
std::int16_t FormatTagOf(const std::string& bytes);
