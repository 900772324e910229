#include "sorvane/sessionapps.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sorvane {
namespace {

std::string_view displayServer(std::string_view display)
{
    const size_t colon = display.rfind(':');
    if (colon == std::string_view::npos)
        return display;
    const size_t dot = display.find('.', colon);
    return dot == std::string_view::npos ? display : display.substr(0, dot);
}

std::string envValue(const std::string &environ, std::string_view key)
{
    size_t pos = 0;
    while (pos < environ.size()) {
        size_t end = environ.find('\0', pos);
        if (end == std::string::npos)
            end = environ.size();
        const std::string_view entry(environ.data() + pos, end - pos);
        if (entry.size() > key.size() && entry.compare(0, key.size(), key) == 0 &&
            entry[key.size()] == '=')
            return std::string(entry.substr(key.size() + 1));
        pos = end + 1;
    }
    return {};
}

std::string readSmallFile(const std::string &path, size_t limit)
{
    std::ifstream in(path, std::ios::binary);
    std::string text;
    char buffer[4096];
    while (in && text.size() < limit) {
        in.read(buffer, sizeof buffer);
        text.append(buffer, size_t(in.gcount()));
    }
    return text.substr(0, limit);
}

const char *env(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

} // namespace

bool sameSession(std::string_view callerDisplay, std::string_view callerWayland,
                 std::string_view display, std::string_view wayland)
{
    if (!callerWayland.empty())
        return wayland == callerWayland;
    if (!callerDisplay.empty())
        return !display.empty() && displayServer(display) == displayServer(callerDisplay);
    return false;
}

std::vector<std::string> sessionProcessNames()
{
    std::vector<std::string> names;
    const std::string callerDisplay = env("DISPLAY"), callerWayland = env("WAYLAND_DISPLAY");
    if (callerDisplay.empty() && callerWayland.empty())
        return names;
    DIR *proc = opendir("/proc");
    if (!proc)
        return names;
    const std::string self = std::to_string(getpid());
    while (const dirent *entry = readdir(proc)) {
        const std::string pid = entry->d_name;
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || pid == self)
            continue;
        const std::string dir = "/proc/" + pid;
        struct stat info;
        if (stat(dir.c_str(), &info) != 0 || info.st_uid != getuid())
            continue;
        const std::string environ = readSmallFile(dir + "/environ", 256 * 1024);
        if (!sameSession(callerDisplay, callerWayland, envValue(environ, "DISPLAY"),
                         envValue(environ, "WAYLAND_DISPLAY")))
            continue;
        std::string comm = readSmallFile(dir + "/comm", 64);
        while (!comm.empty() && comm.back() == '\n')
            comm.pop_back();
        if (!comm.empty())
            names.push_back(comm);
    }
    closedir(proc);
    return names;
}

} // namespace sorvane
