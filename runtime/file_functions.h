#pragma once

// The run-time's file functions. They work on the file system of the installed run-time and
// buffer every file inside the run-time, so callers may read and write field by field while the
// backend sees large blocks. They are called from one thread, the program's; beside it runs only
// the worker of a file written behind (FWriteBehind, runtime/write_behind.h).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "runtime/file_handle.h"
#include "runtime/file_system.h"

namespace qef {

inline constexpr uint32_t FO_READ = 0;
inline constexpr uint32_t FO_WRITE = 1;
inline constexpr uint32_t FO_READWRITE = 2;
inline constexpr uint32_t FC_NORMAL = 0;

// What FError() says when a read or a write failed and the file system gave no code of its own.
inline constexpr int kFileWriteFault = 29;
inline constexpr int kFileReadFault = 30;

FHandle FOpen(const std::string& path, uint32_t mode);
// Creates the file, or empties an existing one, for writing.
FHandle FCreate(const std::string& path, uint32_t attributes = FC_NORMAL);
// Creates the file for writing only if no file of that name exists yet.
FHandle FCreateNew(const std::string& path);
// Creates a temporary file for writing, for the owner alone: only if no file of that name
// exists yet, or in place of a stale one that no program claims (CreateMode::kTemporary).
FHandle FCreateTemporary(const std::string& path);
// As FCreateTemporary, for a copy that takes the permission bits of `model` next
// (FTakePermissions): where the backend can, it is created with them (FileSystem::CreateLike).
FHandle FCreateTemporary(const std::string& path, FHandle model);
// Gives the output the permission bits of the input (File::TakePermissions); false on a failure.
bool FTakePermissions(FHandle output, FHandle input);
// Reads up to `count` bytes; returns how many were read. Bytes not filled keep their contents.
size_t FRead(FHandle handle, void* buffer, size_t count);
// Reads up to `count` bytes from `offset` without moving the position, beside the worker's
// copies from the file as a view is: returns how many were read (fewer only at the end of the
// file), or -1 on a failure or where the file system has no such read (FReadsAt).
int64_t FReadAt(FHandle handle, int64_t offset, void* buffer, size_t count);
bool FReadsAt(FHandle handle);
// Writes `count` bytes; returns how many were accepted (fewer on a failure).
size_t FWrite(FHandle handle, const void* data, size_t count);
// Writes `count` bytes over what the file holds at `offset` (before its position, which stays);
// returns how many were accepted (fewer on a failure).
size_t FWriteAt(FHandle handle, int64_t offset, const void* data, size_t count);
// Copies `count` bytes of `input` from `offset` on to `output` at its position, from file to file
// where the system can, so the bytes need not pass through the program. The input's position
// stays. Returns how many were copied: fewer when the input ends first, or on a failure, which
// FError() then tells: kFileReadFault or kFileWriteFault.
uint64_t FCopySpan(FHandle output, FHandle input, int64_t offset, uint64_t count);
// From now until it is closed, the file's writes and span copies are done by a worker, in
// their order, while the caller goes on; false where the build has no threads (it is then
// written as before). What is written counts as accepted at once: a failure shows at a later
// write, copy, FWaitBehind or FClose, and FError() then tells which side failed. A short span
// copy is a read failure. Reading, moving or closing any file first waits for the worker's
// copies, which may read from it; views do not wait.
bool FWriteBehind(FHandle handle);
// Waits until what the worker was given is done (what is still buffered stays); false when
// some of it failed.
bool FWaitBehind(FHandle handle);
// A read-only view of up to `size` bytes of the file from `offset`, fewer at the file's end; null
// where the file system has none (then read instead).
std::unique_ptr<FileView> FView(FHandle handle, int64_t offset, size_t size);
// Returns the new position (with origin 2 and offset 0, the file size), or -1.
int64_t FSeek(FHandle handle, int64_t offset, int origin);
bool FEof(FHandle handle);
// Writes out what is buffered and closes; false when that failed.
bool FClose(FHandle handle);
bool FErase(const std::string& path);
bool FRename(const std::string& from, const std::string& to);
// As FRename, only where no file has the name `to` (FileSystem::RenameIfFree).
bool FRenameIfFree(const std::string& from, const std::string& to);
// Whether looking for a file that is not there costs much (FileSystem::MissingNamesAreDear).
bool FMissingNamesAreDear();
// Makes the folder and every missing folder above it; false, with FError() telling why, when
// one of them cannot be made.
bool FMakeFolders(const std::string& path);
// Memory for blocks of file data of `size` bytes, from the backend (FileSystem::NewBlockMemory).
std::unique_ptr<BlockMemory> FNewBlockMemory(size_t size);
// True when the path leads to a folder (FileSystem::IsFolder).
bool FIsFolder(const std::string& path);
// The error code of the last file function called, 0 when it succeeded.
int FError();
// The system's own code for why the last FClose failed (a write of the file failed with "no
// space left", say, where FError() says kFileWriteFault); 0 when the system gave none.
int FSystemError();

// The folder separators of the installed file system.
std::string_view PathSeparators();
// Which file the path leads to, and which folder entry it names (FileSystem::IdentifyFile and
// IdentifyEntry).
std::optional<FileIdentity> FIdentifyFile(const std::string& path);
std::optional<FileIdentity> FIdentifyEntry(const std::string& path);
// FileSystem::SameFile.
bool FSameFile(const std::string& first, const std::string& second);
// The system's words for an error code of FError(), when the file system gave that code.
std::string FErrorText(int code);

}  // namespace qef
