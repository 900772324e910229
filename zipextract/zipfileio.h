#pragma once

#include <ioapi.h>
#ifdef _WIN32
#include <iowin32.h>
#endif

// minizip's file functions for 8-bit path names: stdio's 64-bit calls, or Win32's.
inline void fillFileFunctions(zlib_filefunc64_def *io)
{
#ifdef _WIN32
    fill_win32_filefunc64A(io);
#else
    fill_fopen64_filefunc(io);
#endif
}
