#include "spelt_folder.h"

#include "file_system.h"

#ifndef _WIN32
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#endif

#ifdef _WIN32

bool OpenSpeltFolder(const char* folder, bool, SpeltFolder* spelt) {
    spelt->view[0] = '\0';
    return CopyString(spelt->folder, folder) && JoinFolder(spelt->prefix, folder, "");
}

void CloseSpeltFolder(SpeltFolder*, bool) {}

#else

bool OpenSpeltFolder(const char* folder, bool inside, SpeltFolder* spelt) {
    spelt->view[0] = '\0';
    spelt->linked.clear();
    char real[PATH_MAX];
    std::vector<FolderFile> files;
    if (!CopyString(spelt->folder, folder) || !realpath(folder, real) || !ListFolderFiles(folder, &files)) return false;
    const char* temporary = getenv("TMPDIR");
    char pattern[kPathSize];
    if (!JoinFolder(pattern, inside ? real : (temporary && *temporary ? temporary : "/tmp"), ".tolvpack-XXXXXX") ||
        !mkdtemp(pattern))
        return false;
    (void)CopyString(spelt->view, pattern);
    if (!JoinFolder(spelt->prefix, spelt->view, "")) return false;
    for (const FolderFile& file : files) {
        char link[kPathSize], target[kPathSize];
        if (!file.spelt || !JoinFolder(link, spelt->view, file.listName) || !JoinFolder(target, real, file.nativeName))
            continue;
        if (symlink(target, link) == 0) spelt->linked.push_back(file);
    }
    return true;
}

static bool IsLink(const char* path) {
    struct stat status;
    return lstat(path, &status) == 0 && S_ISLNK(status.st_mode);
}

static bool Exists(const char* path) {
    struct stat status;
    return lstat(path, &status) == 0;
}

// A file the view now holds in place of a link, or beside the links, goes
// to its real name; a link that is gone takes its file with it.
static void CarryBack(SpeltFolder* spelt) {
    for (const FolderFile& file : spelt->linked) {
        char link[kPathSize], real[kPathSize];
        if (!JoinFolder(link, spelt->view, file.listName) || !JoinFolder(real, spelt->folder, file.nativeName))
            continue;
        if (!Exists(link)) unlink(real);
        else if (!IsLink(link)) rename(link, real);
    }
    DIR* dir = opendir(spelt->view);
    if (!dir) return;
    while (const dirent* entry = readdir(dir)) {
        char from[kPathSize], native[kPathSize], to[kPathSize];
        if (!JoinFolder(from, spelt->view, entry->d_name) || IsLink(from) || !IsPlainFile(from)) continue;
        if (!NativeNameOf(entry->d_name, native)) (void)CopyString(native, entry->d_name);
        if (JoinFolder(to, spelt->folder, native)) rename(from, to);
    }
    closedir(dir);
}

void CloseSpeltFolder(SpeltFolder* spelt, bool carryBack) {
    if (!spelt->view[0]) return;
    if (carryBack) CarryBack(spelt);
    // What is left is links and nothing else.
    DIR* dir = opendir(spelt->view);
    if (dir) {
        while (const dirent* entry = readdir(dir)) {
            char path[kPathSize];
            if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0 &&
                JoinFolder(path, spelt->view, entry->d_name))
                unlink(path);
        }
        closedir(dir);
    }
    rmdir(spelt->view);
    spelt->view[0] = '\0';
}

#endif
