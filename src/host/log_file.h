#pragma once
// The diagnostic log: one file per run in the log folder, named after the start time, opened with
// a START block, one entry per message, closed with an END block. Every thread of the process
// writes to the same file through these functions; each entry is written at once with one write,
// so nothing is lost in a buffer when the process ends abnormally. Nothing reads the log back.
//
// Texts are written as they are (UTF-8), lines end in CR LF.
#include <exception>
#include <string>
#include <string_view>

#include "host/date_time.h"
#include "platform/error.h"

namespace plb {

// The log file could not be created or opened.
PLB_DECLARE_ERROR(EFCreateError, Error);

// Opens the log in folder: does nothing when the folder does not exist; otherwise deletes the
// oldest "*.log" files of the folder until seven remain, opens (or creates) the file `name`, by
// default the name for the current time (DefaultLogFileName), and writes the START block with the
// process's command line. A file opened by an explicit name is shifted aside first once it has
// grown past kAppendedLogLimit (RotateAppendedLog). A log that is already open is closed first, without an END block.
// Raises EFCreateError when the file cannot be opened.
void OpenLog(const std::string& folder, const std::string& name = "");

// Writes the END block and closes the file; nothing when no log is open.
void CloseLog();

// Writes one entry; an empty message, or any message while no log is open, writes nothing.
void WriteLog(std::string_view message);

// The four forms of a caught error. They never throw because of the error they report.
// "%s Raised. ( %s )" (class name, message)
void LogException(const std::exception& e) noexcept;
// "%s : %s Raised ( %s )" (context, class name, message)
void LogException(std::string_view context, const std::exception& e) noexcept;
// "%s is Failed. ( %s Raised ( %s ) )" (operation, class name, message)
void LogFailure(std::string_view operation, const std::exception& e) noexcept;
// "%s : %s Raised ( %s ; %s )" (operation, class name, message, detail)
void LogFailure(std::string_view operation, std::string_view detail, const std::exception& e) noexcept;

// The path of the open log file; empty when none is open.
std::string LogFilePath();

// "yyyymmmdd-hhnnss.zzz.log" of a time, with English month abbreviations ("2024May17-..."), so
// that the name is plain ASCII whatever the locale.
std::string DefaultLogFileName(TDateTime time);

// The time stamp of entries, "yyyy/mm/dd hh:nn:ss.zzz".
std::string LogTimeStamp(TDateTime time);

// The process's command line: its arguments joined by blanks.
std::string ProcessCommandLine();

}  // namespace plb
