#include "cli/CliSupport.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <unistd.h>

#include "base/FileIO.h"
#include "base/Messages.h"

namespace CliSupport {

bool Quiet = false;
bool (*StderrIsTerminal)() = [] { return ::isatty(STDERR_FILENO) == 1; };

ProgressLine::ProgressLine(std::string what) : what_(std::move(what)) {
    if (Quiet || !StderrIsTerminal()) return; // reports nowhere
    progress_ = Progress([this](double done) {
        // Only a new whole percentage is printed: a line per report would be noise.
        const int percent = static_cast<int>(done * 100 + 1e-6); // the end of a part may fall a hair short of 1
        if (percent != shown_) {
            shown_ = percent;
            std::fprintf(stderr, "\r%s %d%%", what_.c_str(), percent);
            std::fflush(stderr);
        }
        return true;
    });
}

void ProgressLine::Clear() {
    if (shown_ < 0) return;
    shown_ = -1;
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(what_.size()) + 5, "");
    std::fflush(stderr);
}

int Usage(const std::string& problem) {
    std::fprintf(stderr, "celwright-cli: %s (see celwright-cli --help)\n", problem.c_str());
    return ExitUsage;
}

int Refuse(const std::string& text) {
    MsgBox(text, MsgButtons::OK, MsgIcon::Critical, "Whoops");
    return ExitRefused;
}

bool RequireFile(const std::string& path) {
    if (IsNormalFile(path)) return true;
    MsgBox(path + "\n\nThis file does not exist.", MsgButtons::OK, MsgIcon::Critical, "Whoops");
    return false;
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

void RemoveFile(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

// True when both paths exist and name the same file, however they are spelt.
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

bool EndsWithNoCase(const std::string& s, const std::string& suffix) {
    if (s.size() < suffix.size()) return false;
    for (size_t i = 0; i < suffix.size(); ++i) {
        char c = s[s.size() - suffix.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

std::string Hex8(int32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(v));
    return buf;
}

std::string ColorText(int32_t c) {
    const auto u = static_cast<uint32_t>(c);
    return Hex8(c) + " (red " + std::to_string(u & 0xFF) + ", green " + std::to_string((u >> 8) & 0xFF) +
           ", blue " + std::to_string((u >> 16) & 0xFF) + ")";
}

std::string Plural(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

bool SplitArgs(const std::vector<std::string>& in, const std::vector<std::string>& flags,
               const std::vector<std::string>& valued, Args& out, std::string& problem) {
    auto known = [](const std::vector<std::string>& list, const std::string& s) {
        for (const auto& k : list)
            if (k == s) return true;
        return false;
    };
    bool optionsEnded = false;
    for (size_t i = 1; i < in.size(); ++i) {
        const std::string& a = in[i];
        if (a == "--" && !optionsEnded) {
            optionsEnded = true; // what follows are file names, even "-x"
            continue;
        }
        if (!optionsEnded && a.size() > 1 && a[0] == '-') {
            std::string name = a, value;
            const size_t eq = a.find('=');
            if (eq != std::string::npos) {
                name = a.substr(0, eq);
                value = a.substr(eq + 1);
            }
            if (known(valued, name)) {
                if (eq == std::string::npos) {
                    if (i + 1 >= in.size()) {
                        problem = name + " needs a value";
                        return false;
                    }
                    value = in[++i];
                }
                out.Options.emplace_back(name, value);
            } else if (known(flags, name) && eq == std::string::npos) {
                out.Options.emplace_back(name, "");
            } else {
                problem = "unknown option " + a;
                return false;
            }
        } else {
            out.Positional.push_back(a);
        }
    }
    return true;
}

} // namespace CliSupport
