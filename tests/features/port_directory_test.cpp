#include "features/portdir/port_directory.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace morvik::portdir {
namespace {

constexpr const char* kFiveEntries =
    "[Port]\r\nNo=5\r\n"
    "Addr1=Com1\r\nPort1=\r\nComment1=desk\r\n"
    "Addr2=192.168.0.7\r\nPort2=8000\r\nComment2=lab converter\r\n"
    "Addr3=Com3\r\nPort3=\r\nComment3=\r\n"
    "Addr4=COM3\r\nPort4=23\r\nComment4=capitals\r\n"
    "Addr5=Com3\r\nPort5=\r\nComment5=again\r\n"
    "\r\n[Other]\r\nKeep=1\r\n\r\n";

class PortDirectoryTest : public ::testing::Test {
protected:
    // The program passes its folder around with a trailing "/".
    std::string FolderPath() const { return folder.Path() + "/"; }

    test::TempDir folder;
};

TEST_F(PortDirectoryTest, WithoutAFileTheOnlyEntryIsCom1AndClosingWritesIt) {
    PortDirectory directory("Com0", FolderPath());
    EXPECT_EQ(directory.Rows(), (std::vector<PortEntry>{{"Com1", "", ""}}));
    EXPECT_EQ(directory.SelectedRow(), 0);
    EXPECT_EQ(directory.Mode(), EditMode::kList);
    EXPECT_TRUE(directory.LoadError().empty());
    EXPECT_FALSE(std::filesystem::exists(folder.File("DectPort.ini")));
    ASSERT_EQ(directory.FormClose(), "");
    EXPECT_EQ(folder.Read("DectPort.ini"), "[Port]\r\nNo=1\r\nAddr1=Com1\r\nPort1=\r\nComment1=\r\n\r\n");
}

TEST_F(PortDirectoryTest, TheLastExactMatchIsSelectedAndNoMatchSelectsTheFirst) {
    folder.Write("DectPort.ini", kFiveEntries);
    EXPECT_EQ(PortDirectory("Com3", FolderPath()).SelectedRow(), 4) << "the last of two matches";
    EXPECT_EQ(PortDirectory("COM3", FolderPath()).SelectedRow(), 3) << "letter case counts";
    EXPECT_EQ(PortDirectory("192.168.0.7", FolderPath()).SelectedRow(), 1);
    EXPECT_EQ(PortDirectory("com3", FolderPath()).SelectedRow(), 0);
    EXPECT_EQ(PortDirectory("Com9", FolderPath()).SelectedRow(), 0);
    PortDirectory directory("Com9", FolderPath());
    EXPECT_EQ(directory.Rows()[1], (PortEntry{"192.168.0.7", "8000", "lab converter"}));
}

TEST_F(PortDirectoryTest, MissingKeysReadEmptyAndACountBelowOneGivesCom1) {
    folder.Write("DectPort.ini", "[Port]\r\nNo=2\r\nAddr2=Com4\r\n");
    EXPECT_EQ(PortDirectory("", FolderPath()).Rows(),
              (std::vector<PortEntry>{{"", "", ""}, {"Com4", "", ""}}));
    folder.Write("DectPort.ini", "[Port]\r\nNo=0\r\nAddr1=Com4\r\n");
    EXPECT_EQ(PortDirectory("", FolderPath()).Rows(), (std::vector<PortEntry>{{"Com1", "", ""}}));
    folder.Write("DectPort.ini", "[Port]\r\nNo=-3\r\n");
    EXPECT_EQ(PortDirectory("", FolderPath()).Rows(), (std::vector<PortEntry>{{"Com1", "", ""}}));
}

TEST_F(PortDirectoryTest, AHugeHandWrittenCountIsBoundedInsteadOfFillingMemory) {
    folder.Write("DectPort.ini", "[Port]\r\nNo=2000000000\r\nAddr1=Com2\r\n");
    PortDirectory directory("Com2", FolderPath());
    EXPECT_EQ(directory.Rows().size(), 999u);
    EXPECT_EQ(directory.Rows()[0].address, "Com2");
}

TEST_F(PortDirectoryTest, ClearOnTheOnlyEntryResetsItAndOtherwiseRemovesTheSelectedRow) {
    folder.Write("DectPort.ini", "[Port]\r\nNo=1\r\nAddr1=10.0.0.1\r\nPort1=8000\r\nComment1=x\r\n");
    PortDirectory single("", FolderPath());
    single.miClearClick();
    EXPECT_EQ(single.Rows(), (std::vector<PortEntry>{{"Com1", "", ""}}));

    folder.Write("DectPort.ini", kFiveEntries);
    PortDirectory five("", FolderPath());
    five.Select(1);
    five.miClearClick();
    ASSERT_EQ(five.Rows().size(), 4u);
    EXPECT_EQ(five.Rows()[1].address, "Com3") << "the following rows move up";
    five.Select(3);
    five.miClearClick();
    EXPECT_EQ(five.SelectedRow(), 2) << "the selection stays on a row";
    five.Select(7);
    EXPECT_EQ(five.SelectedRow(), 2) << "rows outside the list are ignored";
}

TEST_F(PortDirectoryTest, NewThenCancelKeepsTheDialogOpenAndTheTypedRowIsSavedOnTheNextClose) {
    folder.Write("DectPort.ini", kFiveEntries);
    PortDirectory directory("Com1", FolderPath());
    EXPECT_EQ(directory.miNewClick(), PortEntry{});
    EXPECT_EQ(directory.Mode(), EditMode::kNew);
    EXPECT_EQ(directory.SelectedRow(), 5);
    EXPECT_FALSE(directory.FormCloseQuery(PortEntry{"127.0.0.1", "8000", "simulator"}));
    EXPECT_EQ(directory.Mode(), EditMode::kList);
    EXPECT_EQ(directory.Selected(), (PortEntry{"127.0.0.1", "8000", "simulator"}));
    EXPECT_TRUE(directory.FormCloseQuery(PortEntry{"ignored", "", ""}));
    ASSERT_EQ(directory.FormClose(), "");
    const std::string text = folder.Read("DectPort.ini");
    EXPECT_NE(text.find("No=6\r\n"), std::string::npos);
    EXPECT_NE(text.find("Addr6=127.0.0.1\r\nPort6=8000\r\nComment6=simulator\r\n"), std::string::npos);
}

TEST_F(PortDirectoryTest, NewWithNothingTypedLeavesAnEmptyRowThatIsSavedUnchanged) {
    PortDirectory directory("Com1", FolderPath());
    directory.miNewClick();
    EXPECT_FALSE(directory.FormCloseQuery(PortEntry{}));
    EXPECT_TRUE(directory.FormCloseQuery(PortEntry{}));
    ASSERT_EQ(directory.FormClose(), "");
    EXPECT_EQ(PortDirectory("", FolderPath()).Rows(),
              (std::vector<PortEntry>{{"Com1", "", ""}, {"", "", ""}}));
}

TEST_F(PortDirectoryTest, EditCopiesTheSelectedRowAndTheTypedFieldsReplaceIt) {
    folder.Write("DectPort.ini", kFiveEntries);
    PortDirectory directory("192.168.0.7", FolderPath());
    EXPECT_EQ(directory.miEditClick(), (PortEntry{"192.168.0.7", "8000", "lab converter"}));
    EXPECT_EQ(directory.Mode(), EditMode::kEdit);
    EXPECT_FALSE(directory.FormCloseQuery(PortEntry{"192.168.0.8", "8001", "moved"}));
    EXPECT_EQ(directory.Rows()[1], (PortEntry{"192.168.0.8", "8001", "moved"}));
    EXPECT_EQ(directory.Rows().size(), 5u);
}

TEST_F(PortDirectoryTest, FiveEntriesReducedToThreeLeaveOnlyTheKeysOfThree) {
    folder.Write("DectPort.ini", kFiveEntries);
    PortDirectory directory("", FolderPath());
    directory.Select(4);
    directory.miClearClick();
    directory.Select(1);
    directory.miClearClick();
    ASSERT_EQ(directory.FormClose(), "");
    EXPECT_EQ(folder.Read("DectPort.ini"),
              "[Port]\r\nNo=3\r\n"
              "Addr1=Com1\r\nPort1=\r\nComment1=desk\r\n"
              "Addr2=Com3\r\nPort2=\r\nComment2=\r\n"
              "Addr3=COM3\r\nPort3=23\r\nComment3=capitals\r\n"
              "\r\n[Other]\r\nKeep=1\r\n\r\n");
}

TEST_F(PortDirectoryTest, AFileThatCannotBeReadIsReportedAndNeverOverwritten) {
    std::filesystem::create_directory(folder.File("DectPort.ini"));
    PortDirectory directory("Com1", FolderPath());
    EXPECT_FALSE(directory.LoadError().empty());
    EXPECT_EQ(directory.Rows(), (std::vector<PortEntry>{{"Com1", "", ""}}));
    EXPECT_FALSE(directory.FormClose().empty());
    EXPECT_TRUE(std::filesystem::is_directory(folder.File("DectPort.ini")));
}

}  // namespace
}  // namespace morvik::portdir
