#pragma once
// The forms one Windows path takes. Without the extended-length prefix (\\?\) the wide functions stop at
// MAX_PATH characters (a new folder at 12 fewer) unless the program declares itself aware of long paths,
// which the programs that host a control do not; the ANSI functions and the loader stop there in any
// case, and reach a longer path only through its short (8.3) form.
#include <optional>
#include <string>

namespace qtv::platform::windows {

// The full form of `path` as GetFullPathNameW gives it, or nothing ("") when the system cannot make it.
std::wstring FullForm(const std::wstring& path);

// True when the plain functions take `path` as it is: its full form is shorter than MAX_PATH.
bool FitsPlainFunctions(const std::wstring& path);

// `path` for the wide functions: its full form with the extended-length prefix when it is too long to
// be taken plain, else `path` itself. Device names and extended names stay as they are.
std::wstring ExtendedWhenLong(const std::wstring& path);

// The form of `path` in which every part that has a short name has it, when that fits the plain
// functions; else nothing (the file is missing, the volume makes no short names, or even the short form
// is too long).
std::optional<std::wstring> ShortForm(const std::wstring& path);

} // namespace qtv::platform::windows
