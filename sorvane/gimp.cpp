#include "sorvane/gimp.h"

#include "sorvane/fontdesc.h"
#include "sorvane/inkscape.h"
#include "sorvane/resultcodes.h"
#include "sorvane/settingstool.h"

#include <cerrno>
#include <cstdlib>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sorvane {
namespace {

constexpr int kTimeoutMs = 5000;
constexpr const char *kAnswerPrefix = "sorvane:";

int serverPort()
{
    const char *text = std::getenv("SORVANE_SCRIPT_FU_PORT");
    if (text && *text) {
        char *end = nullptr;
        const long port = std::strtol(text, &end, 10);
        if (*end == '\0' && port > 0 && port < 65536)
            return int(port);
    }
    return kScriptFuDefaultPort;
}

bool waitFor(int fd, short events)
{
    pollfd p{fd, events, 0};
    int r;
    do
        r = poll(&p, 1, kTimeoutMs);
    while (r < 0 && errno == EINTR);
    return r > 0 && (p.revents & events);
}

// Connects without blocking past the timeout; -1 when nobody listens.
int connectLocal(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int error = 0;
    socklen_t size = sizeof error;
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 &&
        (errno != EINPROGRESS || !waitFor(fd, POLLOUT) ||
         getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)) {
        close(fd);
        return -1;
    }
    return fd;
}

bool exchange(int fd, const std::string &request, bool &failed, std::string &text)
{
    for (size_t sent = 0; sent < request.size();) {
        if (!waitFor(fd, POLLOUT))
            return false;
        const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += size_t(n);
    }
    std::string reply;
    char buffer[4096];
    while (!parseScriptFuReply(reply, failed, text)) {
        if (!waitFor(fd, POLLIN))
            return false;
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0 || reply.size() > 70000)
            return false;
        reply.append(buffer, size_t(n));
    }
    return true;
}

} // namespace

std::string scriptFuRequest(std::string_view script)
{
    if (script.size() > 0xffff)
        return {};
    std::string request = "G";
    request += char((script.size() >> 8) & 0xff);
    request += char(script.size() & 0xff);
    request += script;
    return request;
}

bool parseScriptFuReply(std::string_view bytes, bool &failed, std::string &text)
{
    if (bytes.size() < 4 || bytes[0] != 'G')
        return false;
    const size_t length = (size_t(uint8_t(bytes[2])) << 8) | uint8_t(bytes[3]);
    if (bytes.size() < 4 + length)
        return false;
    failed = bytes[1] != 0;
    text = std::string(bytes.substr(4, length));
    return true;
}

std::string gimpFontScript(const std::string &fontName)
{
    // The name has no quote or backslash (checked before), so it stands as it is.
    return "(let* ((images (gimp-image-list)))"
           " (if (= (car images) 0) \"sorvane:no-image\""
           "  (let* ((layer (car (gimp-image-get-active-layer (vector-ref (cadr images) 0)))))"
           "   (if (or (= layer -1) (= (car (gimp-item-is-text-layer layer)) 0))"
           "    \"sorvane:not-text\""
           "    (begin (gimp-text-layer-set-font layer \"" +
           fontName +
           "\") (gimp-displays-flush)"
           "     (string-append \"sorvane:font:\" (car (gimp-text-layer-get-font layer))))))))";
}

int gimpAnswerCode(std::string_view answer, const std::string &fontName)
{
    const size_t at = answer.find(kAnswerPrefix);
    if (at == std::string_view::npos)
        return PhotoFailed;
    std::string_view rest = answer.substr(at + std::string_view(kAnswerPrefix).size());
    // The server may print the string with its quotes.
    while (!rest.empty() && (rest.back() == '"' || rest.back() == '\n' || rest.back() == ' '))
        rest.remove_suffix(1);
    if (rest == "no-image")
        return PhotoNoDocument;
    if (rest.substr(0, 5) == "font:" && rest.substr(5) == fontName)
        return Applied;
    return PhotoFailed;
}

int applyToGimp(const std::string &family, const std::string &style)
{
    if (!isCssSafeFamily(family))
        return InexpressibleFontName;
    const int fd = connectLocal(serverPort());
    if (fd < 0)
        return hasProgram("gimp") || hasProgram("gimp-2.10") ? PhotoUnreachable
                                                               : PhotoNotInstalled;
    const std::string words = styleWords(style);
    const std::string fontName = family + (words.empty() ? "" : " " + words);
    bool failed = false;
    std::string answer;
    const bool answered = exchange(fd, scriptFuRequest(gimpFontScript(fontName)), failed, answer);
    close(fd);
    if (!answered)
        return PhotoUnreachable;
    return failed ? PhotoFailed : gimpAnswerCode(answer, fontName);
}

} // namespace sorvane
