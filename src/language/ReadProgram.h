#pragma once
// Reading a program file with bounds, for the workbench and tarko-run alike.
// Only a regular file is read: a FIFO would block the reader for ever and a
// device such as /dev/zero never ends. The size is bounded as well.
#include <string>

namespace tarko {

// A program holds at most 10,000 instructions. Even written one per line
// with a long comment beside each, that stays below one megabyte; 4 MiB
// loses no program a person could write, keeps loading and colouring
// quick, and refuses an endless or runaway file at once.
constexpr long long MaxProgramFileSize = 4LL * 1024 * 1024;

enum class TFileRead {
    Ok,
    Missing,      // no such file (or a folder on its path is missing)
    Directory,    // a folder
    NotRegular,   // a FIFO, socket or device
    TooLarge,     // more than MaxProgramFileSize bytes
    NoPermission, // not readable for this user
    Failed,       // any other error of the file system
};

// Reads the whole file at `path` (in the file system's encoding) into
// *bytes. A FIFO is recognised before it is opened, so it never blocks.
TFileRead ReadProgramBytes(const std::string& path, std::string* bytes);

// The German message for a failed read, UTF-8: "Datei NAME kann nicht
// geöffnet werden", followed by the reason where the reason is not plain.
std::string ReadFailureMessage(TFileRead result, const std::string& name);

// The reason alone, as the message above ends: ": Sie ist ..." or empty.
std::string ReadFailureReason(TFileRead result);

} // namespace tarko
