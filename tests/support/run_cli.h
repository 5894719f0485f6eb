// Runs the built zindra-cli and collects its exit status, stdout and stderr.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

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

}  // namespace zindra::testing
