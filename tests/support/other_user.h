#pragma once
// Tests that meet permission bits as a user who is not root. Root ignores those bits, so a
// suite run as root gives them to the unprivileged user 65534, which reaches only what every
// user may reach: the system's temporary folder, and the folders the tests open to all there.
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

inline constexpr unsigned UnprivilegedId = 65534;

inline bool RunsAsRoot() {
    return geteuid() == 0;
}

// In a child: gives up root for the unprivileged user. A run that is not root has nothing
// to give up, and its own files' permission bits already count.
inline bool DropToUnprivilegedUser() {
    if (!RunsAsRoot()) return true;
    return setgroups(0, nullptr) == 0 && setgid(UnprivilegedId) == 0 && setuid(UnprivilegedId) == 0;
}

// TMPDIR, or /tmp when it is not set.
inline std::string SystemTemporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    std::string path = folder != nullptr && folder[0] != '\0' ? folder : "/tmp";
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// Copies the program into `folder`, mode 0755, and gives the copy's path ("" when the copy
// failed). The unprivileged user may not enter the build folder (a checkout in a home folder
// of mode 0700), so it runs the copy beside the test's files.
inline std::string CopyOfProgram(const std::string& program, const std::string& folder) {
    const std::string copy =
        (std::filesystem::absolute(folder) / "norvistrand").lexically_normal().string();
    std::error_code error;
    std::filesystem::copy_file(program, copy, std::filesystem::copy_options::overwrite_existing,
                               error);
    if (error || chmod(copy.c_str(), 0755) != 0) return "";
    return copy;
}
