#pragma once

#include <functional>
#include <string>

#include "ini/IniFile.h"

// The configuration file on disk: reads it into an IniFile and writes an IniFile back. The
// document itself, parsing and text, is IniFile's; this is only the file access around it.
//
// - Only regular files are opened (a FIFO, a device or a directory of that name is refused
//   without opening it for long), following symbolic links to the file they name where LinkChain
//   lets them be followed; a link someone else planted is refused with the reason.
// - A file that does not exist reads as an empty document. A file that exists but cannot be read
//   reads as an empty document too, with Read's result false, and Update never writes it.
// - Update replaces the file atomically where it can: the new text goes to a temporary file
//   beside it (given the file's mode, owner and group), is synced, and is renamed over the file,
//   so a crash leaves the old text or the new one. Where no such file can be made or given the
//   file's owner and group (a read-only directory, another user's file, a group the user is not
//   in), or where the file has further hard links, the file is rewritten in place, keeping its
//   inode and so its owner and group: the room for the new text is reserved before anything is
//   overwritten, and when a write, the truncation or the sync fails the old text is written back.
//   An update that fails leaves the file as it was. A file the process may not write is refused.
//   The process umask is never changed.
//
// Threading: any thread. Every access goes through one process-wide lock and, across processes,
// an advisory lock on the open file (flock: shared to read, exclusive to update), so a reader
// never sees a half-written file and two writers never lose each other's keys.
class IniFileStore {
  public:
    // Reads the file. False when the file exists but cannot be read (file is then empty and
    // error tells why); true for a missing file (empty document) and a file read.
    static bool Read(const std::string& path, IniFile& file, std::string& error);
    // The document, empty when the file is missing or cannot be read.
    static IniFile Read(const std::string& path);

    // Reads the file (a missing one as empty), lets update change the document, and writes it
    // back, all under both locks; the file is written only when the text changed. False, with
    // the file untouched and the reason in error when given, when it cannot be read or written.
    static bool Update(const std::string& path, const std::function<void(IniFile&)>& update,
                       std::string* error = nullptr);

    // One value, as GetPrivateProfileString does it.
    static std::string GetProfileString(const std::string& path, const std::string& section,
                                        const std::string& key, const std::string& defaultValue,
                                        size_t bufferSize = IniFile::kValueBufferSize);
    // One key written, as WritePrivateProfileString does it. False when the file can't be written.
    static bool WriteProfileString(const std::string& path, const std::string& section,
                                   const std::string& key, const std::string& value);
};
