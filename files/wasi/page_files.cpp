#include "files/wasi/page_files.h"

#include <vector>

namespace {

extern "C" {
__attribute__((import_module("norvistrand"), import_name("read"))) int PageRead(
    std::uint32_t number, double offset, void* target, std::size_t count);
__attribute__((import_module("norvistrand"), import_name("write"))) void PageWrite(
    std::uint32_t number, const void* source, std::size_t count);
__attribute__((import_module("norvistrand"), import_name("named"))) void PageNamed(
    std::uint32_t number, const char* name, std::size_t length);
__attribute__((import_module("norvistrand"), import_name("dropped"))) void PageDropped(
    std::uint32_t number);
}

struct Handle {
    bool InUse;
    std::uint32_t Number;  // of the file held
    std::int64_t Pointer;  // byte offset of the next read or write
};

std::vector<PageFile> Files;
std::vector<Handle> Handles;  // the handle is the index plus 1
std::uint32_t NextNumber = 0;

PageFile* FileNumbered(std::uint32_t number) {
    for (PageFile& file : Files) {
        if (file.Number == number) return &file;
    }
    return nullptr;
}

// A file neither named nor open is gone, for the page too.
void DropIfGone(std::uint32_t number) {
    for (auto at = Files.begin(); at != Files.end(); ++at) {
        if (at->Number != number) continue;
        if (at->Named || at->Open) return;
        Files.erase(at);
        PageDropped(number);
        return;
    }
}

void Unname(PageFile& file) {
    file.Named = false;
    DropIfGone(file.Number);
}

Handle* HandleAt(std::intptr_t handle) {
    if (handle < 1 || static_cast<std::size_t>(handle) > Handles.size()) return nullptr;
    Handle& slot = Handles[static_cast<std::size_t>(handle) - 1];
    return slot.InUse ? &slot : nullptr;
}

}  // namespace

std::uint32_t AddPageFile(std::string_view name, std::int64_t size) {
    RemovePageFile(name);
    Files.push_back(PageFile{.Name = std::string(name),
                             .Number = NextNumber,
                             .FromPage = true,
                             .Size = size,
                             .Version = 1,
                             .Named = true,
                             .Open = false});
    return NextNumber++;
}

void ForgetPageFiles() {
    Files.clear();
    Handles.clear();
    NextNumber = 0;
}

PageFile* FindPageFile(std::string_view name) {
    // "./-" is how the command line names a file called "-", which alone means standard input.
    if (name.starts_with("./")) name.remove_prefix(2);
    for (PageFile& file : Files) {
        if (file.Named && file.Name == name) return &file;
    }
    return nullptr;
}

PageFile* MakePageFile(std::string_view name) {
    if (PageFile* there = FindPageFile(name); there != nullptr) {
        if (there->Open) return nullptr;
        Unname(*there);
    }
    Files.push_back(PageFile{.Name = std::string(name),
                             .Number = NextNumber++,
                             .FromPage = false,
                             .Size = 0,
                             .Version = 1,
                             .Named = true,
                             .Open = false});
    return &Files.back();
}

void RemovePageFile(std::string_view name) {
    if (PageFile* there = FindPageFile(name); there != nullptr) Unname(*there);
}

bool RenamePageFile(std::string_view from, std::string_view to) {
    PageFile* moved = FindPageFile(from);
    if (moved == nullptr) return false;
    const std::uint32_t number = moved->Number;
    RemovePageFile(to);
    moved = FileNumbered(number);  // the removal may have moved the table's entries
    moved->Name = std::string(to);
    PageNamed(number, moved->Name.data(), moved->Name.size());
    return true;
}

std::intptr_t OpenPageFile(PageFile& file) {
    file.Open = true;
    for (std::size_t i = 0; i < Handles.size(); ++i) {
        if (!Handles[i].InUse) {
            Handles[i] = Handle{.InUse = true, .Number = file.Number, .Pointer = 0};
            return static_cast<std::intptr_t>(i + 1);
        }
    }
    Handles.push_back(Handle{.InUse = true, .Number = file.Number, .Pointer = 0});
    return static_cast<std::intptr_t>(Handles.size());
}

PageFile* HandleFile(std::intptr_t handle) {
    Handle* slot = HandleAt(handle);
    return slot == nullptr ? nullptr : FileNumbered(slot->Number);
}

std::int64_t* HandlePointer(std::intptr_t handle) {
    Handle* slot = HandleAt(handle);
    return slot == nullptr ? nullptr : &slot->Pointer;
}

bool ClosePageFile(std::intptr_t handle) {
    Handle* slot = HandleAt(handle);
    if (slot == nullptr) return false;
    slot->InUse = false;
    if (PageFile* file = FileNumbered(slot->Number); file != nullptr) {
        file->Open = false;
        DropIfGone(file->Number);
    }
    return true;
}

bool ReadPage(const PageFile& file, std::int64_t offset, void* target, std::size_t count) {
    return PageRead(file.Number, static_cast<double>(offset), target, count) == 0;
}

void WritePage(PageFile& file, const void* source, std::size_t count) {
    PageWrite(file.Number, source, count);
    file.Size += static_cast<std::int64_t>(count);
    ++file.Version;
}
