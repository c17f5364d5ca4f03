#pragma once
// Runs each converter test in its own scratch folder on a fresh 81 x 30 in-memory console.
#include <gtest/gtest.h>

#include <string>

#include "console/screen.h"
#include "files/channels.h"
#include "platform/console_api.h"
#include "tests/support/wave_files.h"

class ConverterTest : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = EnterScratchFolder();
        ASSERT_FALSE(Folder.Path.empty());
        platform::ResetConsole(81, 30);
        PrepareConsole();
        CloseChannel(1);
        TakeFileError();
    }
    void TearDown() override {
        CloseChannel(1);
        TakeFileError();
        LeaveScratchFolder(Folder);
    }

    // Row y (from 0) of the in-memory screen, trailing blanks removed.
    static std::string Row(int y) {
        const platform::ConsoleState& console = platform::TheConsole();
        std::string text;
        for (int x = 0; x < console.Size.X; ++x) {
            text.push_back(static_cast<char>(console.Cells[y * console.Size.X + x].Char));
        }
        return text.substr(0, text.find_last_not_of(' ') + 1);
    }

    ScratchFolder Folder;
};
