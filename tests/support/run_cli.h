// Runs the built zindra-cli and collects its exit status, stdout and stderr.
#pragma once

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
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
// The program is started directly, without cmd.exe between: its exit code
// comes from the process itself, and a failure to start it is reported as
// such instead of as a wrong exit status.  Arguments are quoted for the C
// runtime's parser; the tests' arguments hold no double quotes.
inline std::wstring quoteArgument(const std::string& s) {
    const std::filesystem::path p(s);  // the narrow text in the process code page
    return L"\"" + p.wstring() + L"\"";
}

inline HANDLE inheritableFile(const std::filesystem::path& p, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    return ::CreateFileW(p.wstring().c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

inline CliResult runCli(std::initializer_list<std::string> args) {
    namespace fs = std::filesystem;
    static int counter = 0;
    const fs::path base =
        fs::temp_directory_path() /
        ("zindra-cli-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(counter++));
    const fs::path outPath = base.string() + ".out";
    const fs::path errPath = base.string() + ".err";
    std::string program = ZINDRA_CLI;
    for (char& c : program) {
        if (c == '/') c = '\\';
    }
    std::wstring cmd = quoteArgument(program);
    for (const std::string& a : args) cmd += L" " + quoteArgument(a);

    CliResult r;
    HANDLE out = inheritableFile(outPath, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = inheritableFile(errPath, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE in = inheritableFile("NUL", GENERIC_READ, OPEN_EXISTING);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in;
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    const bool started =
        out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE && in != INVALID_HANDLE_VALUE &&
        ::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    const DWORD startError = started ? 0 : ::GetLastError();
    if (started) {
        ::WaitForSingleObject(pi.hProcess, INFINITE);
        DWORD code = 0;
        if (::GetExitCodeProcess(pi.hProcess, &code)) r.status = static_cast<int>(code);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    for (HANDLE h : {out, err, in}) {
        if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    }
    r.out = readAll(outPath);
    r.err = readAll(errPath);
    if (!started)
        r.err += "runCli: could not start " + std::string(ZINDRA_CLI) + ": error " +
                 std::to_string(startError) + "\n";
    std::error_code ec;
    fs::remove(outPath, ec);
    fs::remove(errPath, ec);
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
    // Appended piece by piece: "literal" + std::string trips a false
    // -Wrestrict in GCC 12 where this gets inlined.
    for (const std::string& a : args) cmd.append(" ").append(shellQuote(a));
    cmd.append(" >").append(shellQuote(base.string() + ".out"));
    cmd.append(" 2>").append(shellQuote(base.string() + ".err")).append(" </dev/null");
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
