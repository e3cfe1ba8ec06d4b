#pragma once
// The program's private per-user folder for temporary and exchange files, lock files and the
// hand-off socket. A shared temporary folder such as /tmp lets any other user pre-create or
// replace a fixed file name there, so nothing of ours ever goes there directly: the folder below
// is created with mode 0700 and refused when it is not a real directory owned by the user.
#include <sys/types.h>

#include <string>
#include <string_view>

#include "platform/error.h"

namespace plb::platform {

PLB_DECLARE_ERROR(EPrivateFolderError, Error);

// $XDG_RUNTIME_DIR/PlumoraBrowser when XDG_RUNTIME_DIR names an existing directory, otherwise
// $TMPDIR/PlumoraBrowser-<uid> ($TMPDIR defaulting to /tmp). Creates the folder with mode 0700
// when missing and checks it on every call: a symbolic link, something that is not a directory
// or a folder owned by another user raises EPrivateFolderError; group or other permission bits
// on our own folder are taken away. Returns the path without a trailing "/".
std::string PrivateTempFolder();

// The private folder that a process with these environment values (empty when unset) and this
// user id uses, without creating or checking it.
std::string PrivateFolderFor(const std::string& xdg_runtime_dir, const std::string& tmpdir, uid_t uid);

// The folder of the lock files and the hand-off socket, so that every start of the same user in
// the same session finds them: $XDG_RUNTIME_DIR/PlumoraBrowser when XDG_RUNTIME_DIR names an
// existing directory, otherwise /tmp/PlumoraBrowser-<uid> whatever TMPDIR says (a start with
// another temporary folder is still the same user's second start, not a first instance that then
// fails on the catalog). Created and checked as PrivateTempFolder does.
std::string RuntimeFolder();

// The runtime folder that a process with this XDG_RUNTIME_DIR (empty when unset) and this user id
// uses, without creating or checking it.
std::string RuntimeFolderFor(const std::string& xdg_runtime_dir, uid_t uid);

// Checks (and creates when missing) folder as a private folder, the same way as above.
void EnsurePrivateFolder(const std::string& folder);

// Creates a new exchange file for writing with O_CREAT|O_EXCL|O_NOFOLLOW, mode 0600: the call
// fails with EEXIST when the name is taken (also by a symbolic link), which makes "pick the first
// free number" safe between threads and processes. Returns the open descriptor, or -1 with errno.
int CreateExchangeFile(const std::string& path);

// Writes bytes to an exchange file. With replace, an existing regular file is truncated and
// rewritten (never through a symbolic link); without it, an existing name fails. Mode 0600.
// Raises EWriteError naming the path and the reason.
void WriteExchangeFile(const std::string& path, std::string_view bytes, bool replace);

}  // namespace plb::platform
