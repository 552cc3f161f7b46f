// The file chooser, folder chooser and message boxes, answered from inside
// the test while the real platform dialogs run.
#include <string>

#include "command_support.h"
#include "dialog_answerer.h"
#include "test_images.h"
#include "workbench_harness.h"

namespace {

const char kFilter[] = "JpgFile(*.jpg)\0*.jpg\0ALLFile(*.*)\0*.*\0";

using ChooserTest = WorkbenchTest;

TEST_F(ChooserTest, FileChooserGivesTheChosenPathOrEndsOnCancel) {
    TempFolder folder;
    DialogAnswerer answerer;
    answerer.ChooseFile(folder / "picture.jpg");
    answerer.CancelFile();
    char name[kPathSize] = "start.jpg";
    EXPECT_TRUE(ChooseFile(MainWindow(), "ＪＰＧファイル読み出し", kFilter, name));
    EXPECT_EQ(folder / "picture.jpg", name);

    char kept[kPathSize] = "keep.jpg";
    EXPECT_FALSE(ChooseFile(MainWindow(), "ＪＰＧファイル読み出し", kFilter, kept));
    EXPECT_STREQ("keep.jpg", kept);

    ASSERT_EQ(2u, answerer.Answered().size());
    const DialogAnswerer::Seen& seen = answerer.Answered()[0];
    EXPECT_EQ("ＪＰＧファイル読み出し", seen.caption);
    EXPECT_EQ("start.jpg", seen.text) << "the buffer's content is the initial name";
    EXPECT_EQ("JpgFile(*.jpg)", seen.fileType) << "the first filter is selected";
    EXPECT_EQ(MainWindow(), seen.owner);
}

TEST_F(ChooserTest, FolderChooserStartsAtDriveCAndGivesTheChosenFolder) {
    TempFolder folder;
    DialogAnswerer answerer;
    answerer.AcceptFolder();
    answerer.ChooseFolder(folder.Path());
    answerer.CancelFolder();
    char path[kPathSize] = "";
    EXPECT_TRUE(ChooseFolder("JPGファイルのフォルダを選択", path));
    EXPECT_EQ(0, lstrcmpiA("c:\\", path)) << path;
    EXPECT_TRUE(ChooseFolder("JPGファイルのフォルダを選択", path));
    EXPECT_EQ(folder.Path(), path);
    EXPECT_FALSE(ChooseFolder("JPGファイルのフォルダを選択", path));
    EXPECT_EQ(folder.Path(), path) << "a cancelled choice leaves the buffer alone";

    ASSERT_EQ(3u, answerer.Answered().size());
    EXPECT_EQ("JPGファイルのフォルダを選択", answerer.Answered()[0].text);
    EXPECT_EQ(nullptr, answerer.Answered()[0].owner) << "no owner: the main window stays usable";
    EXPECT_TRUE(IsWindowEnabled(MainWindow()));
}

// The browser gives up to 259 bytes; the commands' buffers hold 255.
TEST_F(ChooserTest, FolderPathMustFitTheCommandBuffer) {
    TempFolder folder;
    std::string fits = folder.Path() + "\\" + std::string(255 - folder.Path().size() - 1, 'f');
    std::string tooLong = folder.Path() + "\\" + std::string(256 - folder.Path().size() - 1, 'g');
    ASSERT_EQ(255u, fits.size());
    ASSERT_TRUE(CreateDirectoryA(fits.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(tooLong.c_str(), nullptr));

    DialogAnswerer answerer;
    answerer.ChooseFolder(fits);
    answerer.ChooseFolder(tooLong);
    char path[kPathSize] = "before";
    EXPECT_TRUE(ChooseFolder("title", path));
    EXPECT_EQ(fits, path);
    EXPECT_FALSE(ChooseFolder("title", path));
    EXPECT_EQ(fits, path);
    RemoveDirectoryA(fits.c_str());
    RemoveDirectoryA(tooLong.c_str());
}

TEST_F(ChooserTest, WarningBoxHasTheWarningIconAndCompletionBoxNone) {
    DialogAnswerer answerer;
    answerer.PressOk();
    answerer.PressOk();
    ShowWarningBox(MainWindow(), "読込出来ません！", "BMP･JPGﾌｧｲﾙ");
    ShowCompletionBox(nullptr, "読込完了", "BMP･JPGﾌｧｲﾙ");
    ASSERT_EQ(2u, answerer.Answered().size());
    const DialogAnswerer::Seen& warning = answerer.Answered()[0];
    EXPECT_EQ(DialogAnswerer::Kind::MessageBox, warning.kind);
    EXPECT_EQ("読込出来ません！", warning.text);
    EXPECT_EQ("BMP･JPGﾌｧｲﾙ", warning.caption);
    EXPECT_EQ(LoadIconA(nullptr, IDI_WARNING), warning.icon);
    EXPECT_EQ(MainWindow(), warning.owner);
    const DialogAnswerer::Seen& done = answerer.Answered()[1];
    EXPECT_EQ("読込完了", done.text);
    EXPECT_EQ(nullptr, done.icon);
    EXPECT_EQ(nullptr, done.owner);
}

}  // namespace
