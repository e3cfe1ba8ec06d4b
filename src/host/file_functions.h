#pragma once
// Path, file and desktop utilities shared by the catalog, the output dialogs and the service
// client. Paths are POSIX paths with "/" as the separator; identity is exact (byte-equal).
// Utilities that can fail raise EFileFunctionsError (host/host_errors.h) in the form
// "%s Raised in %s. ( %s )" of the underlying error's class, the utility and its message.
#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "host/date_time.h"
#include "host/host_errors.h"
#include "platform/volumes.h"

namespace plb {

// --- Separators and names ---

std::string ExcludeLeadingSeparators(std::string_view path);   // "//a/" -> "a/"
std::string ExcludeTrailingSeparators(std::string_view path);  // "/a//" -> "/a"
std::string IncludeLeadingSeparator(std::string_view path);    // exactly one: "a" -> "/a"
std::string IncludeTrailingSeparator(std::string_view path);   // exactly one: "a//" -> "a/"

// Every character of "\"*?\\/:<>|" becomes "-" ("a:b*c" -> "a-b-c"), so that the name is a
// single component that a memory card's filesystem accepts too. A NUL byte becomes "-" as well.
std::string SafeFileName(std::string_view name);

// Drops "." components and empty ones (runs of "/" count as one), lets ".." remove the component
// before it ("/" has no parent: "/.." is "/"), and keeps a trailing "/". A relative path stays
// relative, keeping the ".." that have nothing left to remove.
std::string NormalizePath(std::string_view path);

// An absolute second path is normalised alone; otherwise it is appended to the first with one
// "/" between and the whole is normalised. The result always ends with "/":
// ("/x/y", "../z") -> "/x/z/".
std::string CombinePath(std::string_view first, std::string_view second);

// The short and the long form of a path: both are the path itself here, without a trailing "/".
std::string ShortPathName(std::string_view path);
std::string LongPathName(std::string_view path);

// True when path lies strictly below folder: both get a trailing "/", equal paths give false,
// otherwise folder must be the start of path. Compared exactly, as the filesystem does.
bool IsInsideFolder(std::string_view folder, std::string_view path);

// When the file exists (as anything, a dangling link included), the first free name of
// "%s/%s(%d)%s" (folder, name without extension, counter from 1, extension with its dot);
// otherwise the path unchanged. A leading dot does not start an extension (".profile(1)").
std::string UniqueFileName(std::string_view path);

// --- Files, folders and volumes ---

// A plain folder test; there are no error dialogs to silence here.
bool FolderExistsQuietly(const std::string& path);

// The volume that holds path; false, with serial -1 and volume "Unknown", when there is none.
bool GetDriveInfo(const std::string& path, TDriveInfoRec& info);

// Whether path lies on the volume of the root filesystem.
bool IsOnSystemDrive(const std::string& path);

// No floppy drives are told apart here: always false.
bool IsFloppyDrive(const std::string& path);

// Bytes available to the user on the volume that holds path; 0 when that cannot be told.
uint64_t DiskFreeSpace(const std::string& path);

// The program's private temporary folder (platform/private_temp.h) without a trailing "/"; empty
// when it cannot be made safe or its path is longer than 2047 bytes.
std::string TemporaryFolder();

// --- File times ---

// A file time (a moment) as local date-time, with the offset in force on that date.
TDateTime FileTimeToDateTimeEx(const timespec& file_time);
// The moment of a local date-time; false for 0 and values outside the years 1-9999.
bool DateTimeToFileTimeEx(TDateTime value, timespec& file_time);

// The last-write time of a file as local date-time (milliseconds kept). Raises
// EFileFunctionsError "EFileFunctionsError Raised in GetFileUpdateDateTime. (
// ファイルのオープンに失敗しました。( <path> ) )" when the file cannot be reached.
TDateTime GetFileUpdateDateTime(const std::string& path);

// Sets only the last-write time and returns it as read back; a time of 0 or less does nothing
// and returns 0. Raises as above (operation "SetFileUpdateDateTime").
TDateTime SetFileUpdateDateTime(const std::string& path, TDateTime value);

// --- Shell attributes and permissions ---

// The attribute flags a desktop shell would report, made from what the filesystem allows.
enum ShellAttributeFlags : uint32_t {
  kSfgaoCanCopy = 0x1,     // the object can be read
  kSfgaoCanMove = 0x2,     // its folder lets us remove and add entries
  kSfgaoCanRename = 0x10,  // as for moving
  kSfgaoCanDelete = 0x20,  // as for moving
  kSfgaoFileSysAncestor = 0x10000000,
  kSfgaoFolder = 0x20000000,
  kSfgaoFileSystem = 0x40000000,
};

// 0 when nothing is at path. Moving, renaming and deleting need a writable, searchable parent
// folder; in a sticky folder (such as /tmp) also that we own the object or the folder.
uint32_t ShellAttributes(const std::string& path);

bool CanCopyPath(const std::string& path);
bool CanMovePath(const std::string& path);
bool CanDeletePath(const std::string& path);
bool CanRenamePath(const std::string& path);

// Copying or moving source into the folder target: the source must allow it, the target must
// exist, and the target may be neither the source itself nor lie inside it (compared after
// symbolic links are resolved): copying a folder into itself would never end.
bool CanCopyInto(const std::string& source, const std::string& target);
bool CanMoveInto(const std::string& source, const std::string& target);

// --- Desktop ---

// Opens an http or https address in the user's browser, or an existing local file or folder
// (absolute path) with the program the desktop associates with it, through xdg-open. The program
// is started directly (never through a shell) and not waited for. False for any other target
// (other schemes, relative paths, missing files) and when xdg-open cannot be started.
bool ShellOpen(const std::string& target);

// Shows a folder in the file manager.
bool OpenInFileManager(const std::string& folder);

// There is no common properties dialog: shows the folder that holds path instead.
bool ShowProperties(const std::string& path);

}  // namespace plb
