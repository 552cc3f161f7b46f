#include "workbench_harness.h"
#include "command_support.h"
#include "dialog_answerer.h"
#include "test_images.h"
#include "win_process.h"
#include <cstdio>

TEST_F(WorkbenchTest, Explore) {
    TempFolder folder;
    DialogAnswerer answerer;
    answerer.ChooseFile(folder / "x.jpg");
    answerer.CancelFile();
    answerer.AcceptFolder();
    answerer.ChooseFolder(folder.Path());
    answerer.CancelFolder();
    char name[kPathSize] = "init.jpg";
    bool ok = ChooseFile(MainWindow(), "タイトル", "JpgFile(*.jpg)\0*.jpg\0ALLFile(*.*)\0*.*\0", name);
    printf("file %d '%s'\n", ok, name);
    ok = ChooseFile(MainWindow(), "タイトル", "JpgFile(*.jpg)\0*.jpg\0ALLFile(*.*)\0*.*\0", name);
    printf("file %d '%s'\n", ok, name);
    char path[kPathSize] = "unset";
    ok = ChooseFolder("フォルダ", path); printf("folder %d '%s'\n", ok, path);
    ok = ChooseFolder("フォルダ", path); printf("folder %d '%s' (%s)\n", ok, path, folder.Path().c_str());
    ok = ChooseFolder("フォルダ", path); printf("folder %d '%s'\n", ok, path);
    for (auto& s : answerer.Answered()) printf("seen %d '%s' '%s' owner %p\n", (int)s.kind, s.caption.c_str(), s.text.c_str(), (void*)s.owner);
}
