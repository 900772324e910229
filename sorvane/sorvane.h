#pragma once

// The font-interaction library: sets a font in the application the user is working in.
// The main program loads libSorvane.so by name at each use and resolves this one function.

#if defined(_WIN32)
#define SORVANE_EXPORT __declspec(dllexport)
#else
#define SORVANE_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

// host, sub and ps are the UTF-8 family, style and PostScript names of an activated font;
// flag is 0 and eng is null (both reserved). Returns 0 once the font is set and confirmed
// in the foreground application, otherwise one of the codes listed in README.md.
SORVANE_EXPORT int SV_FontSoftInteractionOfName(const char *host, const char *sub, const char *ps,
                                                int flag, void *eng);

#ifdef __cplusplus
}
#endif
