#pragma once
// Replacing a file whole, so that a reader never sees half of it.
#include <string>
#include <string_view>

// Writes text as the file at path: first into path.tmp, created afresh (never a file left there
// by someone else, never through a symbolic link), then renamed over path, so that a failed write
// never leaves half a file and a link planted at path is replaced, not followed. mode is the
// file's permission bits, set whatever the umask; -1 leaves them to the umask (as a newly created
// file gets them). On failure *error says why, and path is as it was.
bool File_Replace(const std::string& path, std::string_view text, int mode, std::string* error);
