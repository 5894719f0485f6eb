// Runs the built zindra-cli and collects its exit status, stdout and stderr.
#pragma once

#ifdef _WIN32
#include <process.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace zindra::testing {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string readAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

#ifdef _WIN32
// cmd.exe: double quotes (the tests' arguments hold none), the program path
// with backslashes, and the whole line quoted once more, which cmd /c strips.
inline std::string shellQuote(const std::string& s) { return "\"" + s + "\""; }

inline CliResult runCli(std::initializer_list<std::string> args) {
    namespace fs = std::filesystem;
    static int counter = 0;
    const fs::path base = fs::temp_directory_path() /
                          ("zindra-cli-" + std::to_string(::_getpid()) + "-" + std::to_string(counter++));
    std::string program = ZINDRA_CLI;
    for (char& c : program) {
        if (c == '/') c = '\\';
    }
    std::string cmd = shellQuote(program);
    for (const std::string& a : args) cmd += " " + shellQuote(a);
    cmd += " >" + shellQuote(base.string() + ".out") + " 2>" + shellQuote(base.string() + ".err") + " <NUL";
    CliResult r;
    r.status = std::system(("\"" + cmd + "\"").c_str());  // the program's exit code
    r.out = readAll(base.string() + ".out");
    r.err = readAll(base.string() + ".err");
    fs::remove(base.string() + ".out");
    fs::remove(base.string() + ".err");
    return r;
}
#else
inline std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') {
            q += "'\\''";
        } else {
            q.push_back(c);
        }
    }
    return q + "'";
}

// args are passed to the shell quoted one by one.
inline CliResult runCli(std::initializer_list<std::string> args) {
    namespace fs = std::filesystem;
    static int counter = 0;
    const fs::path base = fs::temp_directory_path() /
                          ("zindra-cli-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::string cmd = shellQuote(ZINDRA_CLI);
    for (const std::string& a : args) cmd += " " + shellQuote(a);
    cmd += " >" + shellQuote(base.string() + ".out") + " 2>" + shellQuote(base.string() + ".err") + " </dev/null";
    CliResult r;
    const int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = readAll(base.string() + ".out");
    r.err = readAll(base.string() + ".err");
    fs::remove(base.string() + ".out");
    fs::remove(base.string() + ".err");
    return r;
}
#endif

}  // namespace zindra::testing
