#pragma once
// What the commands of celwright-cli share: exit statuses, the one-line usage
// error, refusals through the message box, file tests and argument splitting.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/Progress.h"

namespace CliSupport {

inline constexpr int ExitOk = 0;
inline constexpr int ExitRefused = 1;
inline constexpr int ExitUsage = 2;

// Prints the usage error; returns ExitUsage.
int Usage(const std::string& problem);
// Reports a refused input ("Whoops"); returns ExitRefused.
int Refuse(const std::string& text);
// True when the path is a normal file; otherwise reports it missing.
bool RequireFile(const std::string& path);
bool Exists(const std::string& path);
void RemoveFile(const std::string& path);
// True when both paths exist and name the same file, however they are spelt.
bool SameFile(const std::string& a, const std::string& b);
bool EndsWithNoCase(const std::string& s, const std::string& suffix);
std::string Hex8(int32_t v);
std::string ColorText(int32_t c); // 0x00BBGGRR with its three channels
std::string Plural(size_t n, const char* one, const char* many);

// Positional arguments and flags of one command; "--mode X" and "--mode=X" both work.
struct Args {
    std::vector<std::string> Positional;
    std::vector<std::pair<std::string, std::string>> Options;
};
// Splits in[1..] into Args by the flags and the options that take a value;
// false (with the problem) for an unknown option or a missing value.
bool SplitArgs(const std::vector<std::string>& in, const std::vector<std::string>& flags,
               const std::vector<std::string>& valued, Args& out, std::string& problem);

// Set for one run by --quiet: no progress display.
extern bool Quiet;
// Whether stderr is a terminal (isatty); the tests put their own answer here.
extern bool (*StderrIsTerminal)();

// How far long work has come, as one line on stderr ("Exporting 42%")
// rewritten in place and cleared when done. Only a terminal gets it: a pipe or a
// log file would keep every step. Nothing either when Quiet.
class ProgressLine {
public:
    explicit ProgressLine(std::string what);
    ~ProgressLine() { Clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    const Progress& Get() const { return progress_; }
    // Removes the line, so that what is printed next starts a clean one.
    void Clear();

private:
    std::string what_;
    int shown_ = -1; // the percentage on screen, -1 before the first
    Progress progress_;
};

} // namespace CliSupport
