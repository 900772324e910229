// Stand-in for the font-interaction library: answers the code in SORVANE_STUB_CODE
// (0 when unset) and appends each call's arguments to the file SORVANE_STUB_LOG.
#include <cstdio>
#include <cstdlib>

extern "C" __attribute__((visibility("default"))) int
SV_FontSoftInteractionOfName(const char *host, const char *sub, const char *ps, int flag,
                             void *reserved)
{
    if (const char *logPath = std::getenv("SORVANE_STUB_LOG")) {
        if (FILE *log = std::fopen(logPath, "a")) {
            std::fprintf(log, "%s|%s|%s|%d|%s\n", host, sub, ps, flag, reserved ? "ptr" : "null");
            std::fclose(log);
        }
    }
    const char *code = std::getenv("SORVANE_STUB_CODE");
    return code ? std::atoi(code) : 0;
}
