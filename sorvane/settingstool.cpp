#include "sorvane/settingstool.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace sorvane {
namespace {

constexpr int kToolTimeoutMs = 5000;
constexpr const char *kTool = "gsettings";

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

// Waits for the child until the deadline, then kills it; the child is always reaped.
void reap(pid_t pid, Clock::time_point deadline, ToolRun &run)
{
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            if (WIFEXITED(status)) {
                run.exited = true;
                run.exitCode = WEXITSTATUS(status);
            }
            return;
        }
        if (r < 0 && errno != EINTR)
            return; // not ours to wait for (SIGCHLD ignored by the host): status unknown
        if (r == 0 && remainingMs(deadline) == 0) {
            kill(pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            return;
        }
        usleep(2000);
    }
}

void appendUtf8(std::string &out, unsigned long cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

bool hexValue(std::string_view digits, unsigned long &value)
{
    value = 0;
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        value = value * 16 + unsigned(d);
    }
    return true;
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\n' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() &&
           (s.back() == ' ' || s.back() == '\n' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

} // namespace

bool hasProgram(const char *name)
{
    const char *path = std::getenv("PATH");
    std::string_view dirs = path ? path : "";
    while (!dirs.empty()) {
        const size_t colon = dirs.find(':');
        const std::string dir(dirs.substr(0, colon));
        if (!dir.empty() && access((dir + '/' + name).c_str(), X_OK) == 0)
            return true;
        dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
    }
    return false;
}

ToolRun runTool(const std::vector<std::string> &argv, int timeoutMs)
{
    ToolRun run;
    if (argv.empty())
        return run;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return run;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

    // The host may block or ignore signals; the tool gets the defaults.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGINT);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);

    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        return run;
    }
    run.started = true;

    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[4096];
    for (;;) {
        pollfd p{fds[0], POLLIN, 0};
        const int ready = poll(&p, 1, remainingMs(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break; // timed out (reap kills it) or poll failed
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        const size_t room = kMaxToolOutput - run.output.size();
        run.output.append(buffer, std::min(size_t(n), room));
    }
    close(fds[0]);
    reap(pid, deadline, run);
    return run;
}

std::string quotedString(std::string_view utf8)
{
    std::string out = "'";
    for (char c : utf8) {
        if (c == '\'' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '\'';
    return out;
}

bool parseStringLiteral(std::string_view text, std::string &out)
{
    text = trimmed(text);
    if (text.size() < 2)
        return false;
    const char quote = text.front();
    if ((quote != '\'' && quote != '"') || text.back() != quote)
        return false;
    const std::string_view body = text.substr(1, text.size() - 2);
    std::string value;
    for (size_t i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == quote)
            return false; // an unescaped quote ends the literal early
        if (c != '\\') {
            value += c;
            continue;
        }
        if (++i >= body.size())
            return false;
        const char e = body[i];
        switch (e) {
        case 'a':
            value += '\a';
            break;
        case 'b':
            value += '\b';
            break;
        case 'f':
            value += '\f';
            break;
        case 'n':
            value += '\n';
            break;
        case 'r':
            value += '\r';
            break;
        case 't':
            value += '\t';
            break;
        case 'v':
            value += '\v';
            break;
        case 'u':
        case 'U': {
            const size_t digits = e == 'u' ? 4 : 8;
            unsigned long cp = 0;
            if (body.size() - (i + 1) < digits || !hexValue(body.substr(i + 1, digits), cp) ||
                cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                return false;
            appendUtf8(value, cp);
            i += digits;
            break;
        }
        default:
            value += e;
            break; // \\, \', \" and any other escaped character
        }
    }
    out = std::move(value);
    return true;
}

bool parseBoolean(std::string_view text, bool &out)
{
    text = trimmed(text);
    if (text == "true" || text == "false") {
        out = text == "true";
        return true;
    }
    return false;
}

bool readSetting(const std::string &schema, const std::string &key, std::string &printed)
{
    const ToolRun run = runTool({kTool, "get", schema, key}, kToolTimeoutMs);
    if (!run.exited || run.exitCode != 0 || run.output.size() >= kMaxToolOutput)
        return false;
    printed = std::string(trimmed(run.output));
    return !printed.empty();
}

bool writeSetting(const std::string &schema, const std::string &key, const std::string &value)
{
    const ToolRun run = runTool({kTool, "set", schema, key, value}, kToolTimeoutMs);
    return run.exited && run.exitCode == 0;
}

} // namespace sorvane
