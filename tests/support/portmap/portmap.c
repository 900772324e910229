// Preloaded into programs a test starts (LD_PRELOAD): their connections to
// QUILLORA_PORTMAP_FROM on the loopback go to QUILLORA_PORTMAP_TO instead. A program built
// for a fixed service address then reaches the test's service on a free port, and the
// test does not need the fixed port, which the demo or anything else may hold.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>

static int portFromEnv(const char *name)
{
    const char *text = getenv(name);
    if (!text)
        return 0;
    char *end = NULL;
    const long port = strtol(text, &end, 10);
    return (*text && !*end && port > 0 && port < 65536) ? (int)port : 0;
}

int connect(int fd, const struct sockaddr *addr, socklen_t length)
{
    typedef int (*ConnectFn)(int, const struct sockaddr *, socklen_t);
    static ConnectFn real;
    if (!real)
        real = (ConnectFn)dlsym(RTLD_NEXT, "connect");
    const int from = portFromEnv("QUILLORA_PORTMAP_FROM");
    const int to = portFromEnv("QUILLORA_PORTMAP_TO");
    if (addr && from && to) {
        if (addr->sa_family == AF_INET && length >= sizeof(struct sockaddr_in)) {
            struct sockaddr_in in;
            memcpy(&in, addr, sizeof in);
            if (ntohl(in.sin_addr.s_addr) == INADDR_LOOPBACK && ntohs(in.sin_port) == from) {
                in.sin_port = htons((unsigned short)to);
                return real(fd, (const struct sockaddr *)&in, sizeof in);
            }
        } else if (addr->sa_family == AF_INET6 && length >= sizeof(struct sockaddr_in6)) {
            struct sockaddr_in6 in6;
            memcpy(&in6, addr, sizeof in6);
            if (IN6_IS_ADDR_LOOPBACK(&in6.sin6_addr) && ntohs(in6.sin6_port) == from) {
                in6.sin6_port = htons((unsigned short)to);
                return real(fd, (const struct sockaddr *)&in6, sizeof in6);
            }
        }
    }
    return real(fd, addr, length);
}
