#pragma once
// What differs between POSIX systems and Windows, behind one interface that both programs open
// every file through: file names are UTF-8 everywhere, files are read in binary and written in
// text mode, and "the same file" is decided by the file system's own identity. One source file
// per platform, chosen by the build.

#include <cstdint>
#include <cstdio>
#include <string>

namespace pctlfit {

// A file opened for sequential reading in binary mode: a descriptor, or -1 with errno set. A
// FIFO waits for its writer, as the shell's own tools do; after a few seconds without one,
// `notice` (see on_waiting_for_writer) is told once.
int open_for_reading(const std::string& path);

// What open_for_reading calls, from any thread, when a FIFO has had no writer for a few
// seconds; nullptr: nothing.
using WaitingNotice = void (*)(const std::string& path);
void on_waiting_for_writer(WaitingNotice notice);
// Up to `want` bytes into `to`: the count, 0 at the end, -1 with errno set.
int64_t read_some(int fd, void* to, size_t want);
void close_for_reading(int fd);
// Up to `want` bytes from `offset` of the file into `to`, leaving the descriptor's position
// alone, so that several threads may read one file at once: the count, 0 at the end, -1 with
// errno set.
int64_t read_at(int fd, void* to, size_t want, uint64_t offset);
// Whether the open file is a device (a terminal, /dev/zero), which a data file never is: reading
// one would wait for typing or never end.
bool is_device(int fd);
// The size of the open file when it is a regular file (one that can be read at any offset).
bool regular_file_size(int fd, uint64_t& size);

// A file created or truncated for writing, in text mode (lines end in CR LF on Windows) or as
// bytes; nullptr with errno set.
std::FILE* open_for_writing(const std::string& path, bool text = true);

// What a name leads to (through symbolic links): nothing, a regular file, a FIFO or pipe (read
// once only), or something else (a device such as /dev/stdout, a folder).
enum class FileKind { absent, regular, fifo, other };
FileKind file_kind(const std::string& path);

// The file that `path` names once symbolic links are followed: replacing it keeps the link.
// `path` itself where it is no link or leads nowhere.
std::string followed_links(const std::string& path);

// A new file in the folder of `target`, under a name no other file has, for writing in text mode
// (lines end in CR LF on Windows), with the permissions `target` has (a new file's where it has
// none); its name into `created`. nullptr with errno set where the folder cannot be written, or
// where `target` exists and may not be written, so that a run fails as opening `target` would.
std::FILE* create_beside(const std::string& target, std::string& created);

// Renames `from` over `to` in one step, so that a reader of `to` finds the old file or the new
// one, never a part of it. False with errno set.
bool replace_with(const std::string& from, const std::string& to);

void remove_file(const std::string& path);

// Removes `path` should the process be ended by an interrupt or a termination signal (Ctrl-C,
// SIGTERM, a closed terminal) before forget_when_interrupted(path); the signal then ends the
// process as it would have. At most two names at a time.
void remove_when_interrupted(const std::string& path);
void forget_when_interrupted(const std::string& path);

// The size of the file in bytes; false when it has none (missing, no file).
bool file_size(const std::string& path, uint64_t& size);

// What tells whether a file changed between two readings: its identity and size, and its times
// of last change. The change time (of the inode, or on Windows of the file's record) is set by
// the system on any write or rename, and no user or tool can set it back, as they can the
// modification time (touch -r, tools that keep times).
struct FileStamp {
  uint64_t device = 0;  // the volume's serial number on Windows
  uint64_t inode = 0;   // the file index on Windows
  uint64_t size = 0;
  int64_t modified = 0;  // in the system's finest unit
  int64_t changed = 0;
  bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at `path`; false when it has none (missing).
bool file_stamp(const std::string& path, FileStamp& stamp);

// True when the two names lead to the same file: the same file system identity where both exist
// (device and inode; volume serial number and file index on Windows), otherwise the same path
// once made absolute and normal (so 'a.sta' and './a.sta' agree; on Windows also 'A.STA').
bool same_file(const std::string& a, const std::string& b);

// A text that is the same for two names exactly when same_file holds for them.
std::string file_key(const std::string& path);

// The longest file name, in bytes of UTF-8, that the system can open: a longer word in a list
// names no file.
size_t longest_path_name();

// Whether `c` separates folders in a path: '/' everywhere, '\' on Windows too.
bool is_path_separator(char c);

// Whether `stream` is a terminal (a console on Windows).
bool is_terminal(std::FILE* stream);

// What erases the current line of the terminal `stream` and returns to its start: an escape
// sequence where the terminal takes them (Windows consoles are switched to take them where they
// can), else a carriage return, spaces and a carriage return.
const char* erase_line_sequence(std::FILE* stream);

// A large block of memory for values kept in bulk, straight from the system and given back to
// it whole; nullptr when there is none. Freed with free_large_block and the same size. In the
// system's small pages: a virtual machine that hands freed memory back to its host refills a
// huge page on its first touch several times slower (192 MB: 0.3 to 0.7 s against 0.1 s).
void* allocate_large_block(size_t bytes);
void free_large_block(void* block, size_t bytes);

}  // namespace pctlfit
