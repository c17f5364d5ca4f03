#pragma once
// Wave files on disk and scratch folders for tests.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/other_user.h"
#include "tests/support/wave_builder.h"

inline void WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A fresh folder in the system's temporary folder, made the working folder while the test
// runs, removed after.
struct ScratchFolder {
    std::string Path;
    std::string PreviousFolder;
};

inline ScratchFolder EnterScratchFolder() {
    ScratchFolder folder;
    char previous[4096];
    if (getcwd(previous, sizeof previous) != nullptr) folder.PreviousFolder = previous;
    std::string pattern = SystemTemporaryFolder() + "/norvistrand-test-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) folder.Path = pattern;
    if (chdir(folder.Path.c_str()) != 0) folder.Path.clear();
    return folder;
}

inline void LeaveScratchFolder(const ScratchFolder& folder) {
    if (!folder.PreviousFolder.empty() && chdir(folder.PreviousFolder.c_str()) != 0) return;
    if (folder.Path.rfind(SystemTemporaryFolder() + "/norvistrand-test-", 0) == 0) {
        // A test run without root may have closed a folder to its owner.
        std::string command =
            "chmod -R u+rwx '" + folder.Path + "' 2>/dev/null; rm -rf '" + folder.Path + "'";
        int ignored = std::system(command.c_str());
        (void)ignored;
    }
}
