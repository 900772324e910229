#pragma once

// The named pipe on which the user's LibreOffice accepts this program's connections, once
// the user allowed it; the program opens it, the library connects to it. Pipes are private
// to the user's account, unlike a TCP port that any local account could reach.
namespace sorvane {
inline constexpr char kOfficePipe[] = "quillora";
// The --accept argument that makes a running LibreOffice open the pipe until it exits.
inline constexpr char kOfficeAcceptArgument[] = "--accept=pipe,name=quillora;urp;";
} // namespace sorvane
