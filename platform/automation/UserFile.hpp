#pragma once
// Files that a user names on the command line, read or written by a program that may run
// as root: only a regular file is read, and never more than a limit, since a FIFO, a
// device or a growing file may never end; only a regular file is replaced, since the
// rename of a finished write would put a file where a device node or a folder was.

#include <cstddef>
#include <string>

namespace zev::automation {

// What ReadUserFile reads: `file` itself, or standard input for "-". `limit` in bytes.
// `tooLarge` is the source text of the refusal of a larger input; `notRegular` that of a
// name that is no regular file once its links are followed (a FIFO, a device, a
// directory, a socket). Both are raised as ComErrors naming the file; a file that cannot
// be opened or read raises one with the system's reason. The size is checked before the
// first read and while reading, so that a file that grows meanwhile stops at the limit
// too.
struct UserFileLimits {
    size_t limit;
    const char* tooLarge;
    const char* notRegular;
    const char* unreadable;
};
std::string ReadUserFile(const std::string& file, const UserFileLimits& limits);

// The file that a write to `path` is to replace, by a new file renamed over it in that
// file's folder: `path`, or for a symbolic link the file the link finally names, so that
// the link stays and its target is replaced. Raises a ComError naming the path, with the
// source text `notRegular`, when what is there is no regular file, or when links loop (with
// the system's reason).
std::string FileToReplace(const std::string& path, const char* notRegular);

}  // namespace zev::automation
