#pragma once
// The files of the web page's module. The module sees one folder, its root, holding the files
// the page gives it under their own names and the files the conversion makes there. The bytes
// stay with the page: the page's files are read through a function the page supplies, and the
// made files' bytes go to the page as they are written, so the module's memory does not grow
// with a file. The page's files are only read, and the made ones only written, from start to
// end, as a conversion writes them. The module's table keeps each file's name, size and
// number; the page keeps its bytes under that number.
//
// The page's functions (import module "norvistrand"):
//   read(number, offset, target, count)  copies count bytes of the page's file from offset to
//                                        target; the range always lies inside the file. 0, or
//                                        1 when the browser could not read the file (a folder
//                                        dropped, a file changed on disk since it was chosen)
//   write(number, source, count)         the next count bytes of the made file
//   named(number, name, length)          the made file now has that name in the folder
//   dropped(number)                      the file is gone: neither named nor open
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The page's file called name, of size bytes, joins the folder. Returns its number, by which
// the page's read finds it. A size below 0 is a file the browser cannot read (a folder), which
// cannot be opened.
std::uint32_t AddPageFile(std::string_view name, std::int64_t size);

// Empties the folder; the page forgets its files. No file may be open.
void ForgetPageFiles();

// The steps of files/wasi/file_system.cpp and files/wasi/replacement_system.cpp.

// A file of the folder, or one that left it but is still open. It is held by one handle at a
// time.
struct PageFile {
    std::string Name;
    std::uint32_t Number;  // the page's number for the file, from 0
    bool FromPage;         // given by the page, to be read; else made here, to be written
    std::int64_t Size;     // bytes
    std::int64_t Version;  // from 1, one more at each change, so a stamp tells a change
    bool Named;            // in the folder; a file no longer named goes with its last handle
    bool Open;             // held by a handle
};

// The file called name in the folder ("./name" names it too); null when there is none.
PageFile* FindPageFile(std::string_view name);
// A new, empty file of that name, replacing any there; null when one of that name is open.
PageFile* MakePageFile(std::string_view name);
// Takes the name from the file that has it; the file goes unless it is open.
void RemovePageFile(std::string_view name);
// Gives the file at from the name to, replacing any there; false when none is at from.
bool RenamePageFile(std::string_view from, std::string_view to);

// Handles are small positive numbers; each holds its file and its file pointer.
std::intptr_t OpenPageFile(PageFile& file);
PageFile* HandleFile(std::intptr_t handle);
std::int64_t* HandlePointer(std::intptr_t handle);
// False for a handle that is not open.
bool ClosePageFile(std::intptr_t handle);

// Copies count bytes from offset (inside the file) through the page; false when the page could
// not read them.
bool ReadPage(const PageFile& file, std::int64_t offset, void* target, std::size_t count);
// Adds count bytes at the end of the made file, through the page.
void WritePage(PageFile& file, const void* source, std::size_t count);
