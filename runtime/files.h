#pragma once
// Files and processes. Open files are kept in one program-wide list; a FileHandle names a record of it
// and is valid only while the file is open. Every service reports failure through its result.

#include <cstdint>
#include <span>

#include "runtime/text.h"

using FileHandle = std::uintptr_t; // 0 = no file; opaque otherwise

// Modes: 1 read existing, 2 write existing, 3 read/write existing, 4 create or truncate (write),
// 5 open or create keeping the content (write), 6 as 5 with read; 0 or any other value as 3.
// Sharing: 2 others may not read, 3 others may not write, 4 neither; 0 or any other value: no limit.
// Gives 0 when the file cannot be opened.
FileHandle open_file(const Text& path, int mode = 0, int sharing = 0);
// Closing 0 or a handle that is no longer open does nothing.
void close_file(FileHandle file);
void close_all_files();
// The new position's low 32 bits (INVALID_SET_FILE_POINTER when the system fails); 0 for a handle that
// is not open.
std::uint32_t seek_to_end(FileHandle file);
// Writes at the current position: 1 when every byte was written, 0 otherwise (also for a handle that is
// not open).
int write_bytes(FileHandle file, std::span<const std::uint8_t> bytes);
// Creates or truncates `path`, writes the bytes and closes it again: 1 when all of that succeeded.
int write_whole_file(const Text& path, std::span<const std::uint8_t> bytes);

bool file_exists(const Text& path);
bool delete_file(const Text& path);
// Fails when `to` exists already: nothing is replaced.
bool move_file(const Text& from, const Text& to);

// The directory of the program's own file, without a trailing backslash; the empty text when the
// system cannot name the program's file.
Text run_directory();

// Starts `command_line` as given (a quoted program path stays quoted), inheriting handles, environment
// and current directory. With `wait`, returns only when the program has ended. Show modes: 1 hidden,
// 3 minimised, 4 maximised, 5 shown without activation, 6 minimised without activation; 0, 2 or any
// other value shown normally. False when the program could not be started.
bool run_program(const Text& command_line, bool wait, int show_mode = 0);

void sleep_ms(std::uint32_t milliseconds);
