// Where the program keeps its fixed-name files, with real folders.

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/program_folder.h"
#include "support/temp_dir.h"

namespace morvik::platform {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

// A folder the program cannot write to, whoever runs the test (root included).
const std::string kUnwritableExe = "/proc/1/morvik2";

TEST(ProgramFolder, IsTheProgramFileFolderWhenItIsWritable) {
    TempDir dir;
    fs::create_directory(dir.File("bin"));
    EXPECT_EQ(ProgramFolderFor(dir.File("bin/morvik2"), {dir.File("xdg"), dir.File("home")}), dir.File("bin/"));
    EXPECT_FALSE(fs::exists(dir.File("xdg")));
    EXPECT_FALSE(fs::exists(dir.File("home")));
}

TEST(ProgramFolder, MovesToTheUserConfigurationFolderWhenTheProgramFolderIsNotWritable) {
    TempDir dir;
    EXPECT_EQ(ProgramFolderFor(kUnwritableExe, {dir.File("xdg"), dir.File("home")}), dir.File("xdg/morvik2/"));
    EXPECT_TRUE(fs::is_directory(dir.File("xdg/morvik2")));

    // No usable XDG_CONFIG_HOME (unset, or relative, which does not count): ~/.config.
    for (const std::string xdg : {"", "relative/xdg"}) {
        EXPECT_EQ(ProgramFolderFor(kUnwritableExe, {xdg, dir.File("home")}), dir.File("home/.config/morvik2/"));
    }
    EXPECT_TRUE(fs::is_directory(dir.File("home/.config/morvik2")));
    // A missing program folder is no better than an unwritable one.
    EXPECT_EQ(ProgramFolderFor(dir.File("gone/morvik2"), {dir.File("xdg/"), ""}), dir.File("xdg/morvik2/"));
}

TEST(ProgramFolder, OfAnInstalledProgramIsTheUserConfigurationFolderThoughItsFolderIsWritable) {
    TempDir dir;
    fs::create_directories(dir.File("usr/bin"));
    fs::create_directories(dir.File("usr/share/applications"));
    dir.Write("usr/share/applications/morvik2.desktop", "[Desktop Entry]\n");
    EXPECT_EQ(ProgramFolderFor(dir.File("usr/bin/morvik2"), {dir.File("xdg"), ""}), dir.File("xdg/morvik2/"));
}

TEST(ProgramFolder, StaysWithTheProgramFolderWhenNoConfigurationFolderCanBeHad) {
    TempDir dir;
    EXPECT_EQ(ProgramFolderFor(kUnwritableExe, {"", ""}), "/proc/1/");
    dir.Write("file", "not a folder");
    EXPECT_EQ(ProgramFolderFor(kUnwritableExe, {dir.File("file"), ""}), "/proc/1/");
}

TEST(ProgramFolder, OfTheRunningProgramIsTheFolderOfItsFile) {
    EXPECT_EQ(ProgramFolder(), fs::canonical(MORVIK_BIN_DIR).string() + "/");
}

}  // namespace
}  // namespace morvik::platform
