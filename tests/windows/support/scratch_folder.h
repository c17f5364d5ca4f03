#pragma once
// Shared by the Windows tests: a fresh folder under the system's temporary folder, made the
// working folder while a test runs and removed after it, and whole-file reads and writes.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The bytes 0, 1, 2, ... count - 1 (mod 256): each byte tells its own offset.
inline std::string CountingBytes(std::size_t count) {
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>(i & 0xFF);
    return bytes;
}

// True under wine, which differs from Windows in a few documented ways that tests must not
// assert there.
inline bool UnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

struct ScratchFolder {
    std::string Path;  // empty when it could not be made
    std::string PreviousFolder;
};

inline ScratchFolder EnterScratchFolder() {
    ScratchFolder folder;
    char previous[MAX_PATH];
    if (GetCurrentDirectoryA(MAX_PATH, previous) != 0) folder.PreviousFolder = previous;
    char temporary[MAX_PATH];
    if (GetTempPathA(MAX_PATH, temporary) == 0) return folder;
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = std::string(temporary) + "norvistrand-test-" +
                                std::to_string(GetCurrentProcessId()) + "-" +
                                std::to_string(GetTickCount() + attempt);
        if (CreateDirectoryA(candidate.c_str(), nullptr)) {
            if (SetCurrentDirectoryA(candidate.c_str())) folder.Path = candidate;
            break;
        }
    }
    return folder;
}

inline void LeaveScratchFolder(const ScratchFolder& folder) {
    if (!folder.PreviousFolder.empty()) SetCurrentDirectoryA(folder.PreviousFolder.c_str());
    if (folder.Path.find("norvistrand-test-") == std::string::npos) return;
    // Read-only files left by a test must go too.
    std::error_code ignored;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.Path, ignored)) {
        SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    std::filesystem::remove_all(folder.Path, ignored);
}
