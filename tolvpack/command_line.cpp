// The command line: three subcommands, parsed by CLI11, which also writes
// the help. Usage errors exit with 2, as diff and cmp do.
#include <cstdio>
#include <string>

#include <CLI/CLI.hpp>

#include "folder_files.h"
#include "pack_rules.h"
#include "tolvpack.h"

void ReportFileError(const char* file, const char* what) {
    fflush(stdout);
    char shown[kUtf8PathSize];
    fprintf(stderr, "tolvpack: %s: %s\n", ShownText(file, shown), what);
}

int RunTolvpack(int argc, char** argv) {
    CLI::App app{"Packs a folder of BMP pictures into JPEG files and the list tvfile.txt that tolvinst restores "
                 "them from, checks such a folder before it is shipped, and restores it as tolvinst does.\n"
                 "Exit status: 0 all good, 1 something did not pass, 2 trouble (bad usage, unreadable input).",
                 "tolvpack"};
    app.set_version_flag("--version", "tolvpack (Tolvane) 1.02");
    app.require_subcommand(1);

    PackOptions pack = {kStartQuality, kStartProgressive, 0, nullptr, nullptr};
    std::string source, out;
    bool progressive = false;
    CLI::App* packCommand = app.add_subcommand(
        "pack", "Every BMP file of SOURCE (not its subfolders) becomes a JPEG of the same name, as the workbench's "
                "\"bmp>jpg\" folder command makes it, and tvfile.txt lists them with their BMP names.");
    packCommand->add_option("--quality", pack.quality, "JPEG quality, 1 (smallest file) to 100 (best picture)")
        ->check(CLI::Range(1, 100))
        ->capture_default_str();
    packCommand->add_flag("--progressive", progressive, "write progressive JPEG files (default: baseline)");
    packCommand->add_option("--jobs", pack.jobs, "files converted at once (default: one per processor)")
        ->check(CLI::Range(1, 256));
    packCommand->add_option("--out", out, "folder for the JPEG files and tvfile.txt, made if missing; SOURCE is then "
                                          "only read (default: SOURCE)")
        ->type_name("DIR");
    packCommand->add_option("SOURCE", source, "folder of BMP files")->required()->type_name("FOLDER");

    CheckOptions check = {nullptr, nullptr, false, 0};
    std::string checkFolder, bmpFrom;
    CLI::App* checkCommand = app.add_subcommand(
        "check", "Reports for every entry of DIR/tvfile.txt whether tolvinst would restore it from DIR as it stands "
                 "and, where the original BMP is at hand, the restored picture's PSNR and the bytes saved.");
    CLI::Option* minPsnr =
        checkCommand->add_option("--min-psnr", check.minPsnr, "fail every entry whose PSNR is below DB decibels")
            ->type_name("DB");
    checkCommand->add_option("--bmp-from", bmpFrom, "folder of the original BMP files (default: DIR)")
        ->type_name("FOLDER");
    checkCommand->add_option("DIR", checkFolder, "folder holding tvfile.txt and the JPEG files")
        ->required()
        ->type_name("DIR");

    int restoreJobs = 0;
    std::string restoreFolder;
    CLI::App* restoreCommand = app.add_subcommand(
        "restore", "Does in DIR exactly what tolvinst does there: restores every listed JPEG to its BMP, deletes "
                   "the restored JPEGs and the list, and keeps in the list what was not restored.");
    restoreCommand->add_option("--jobs", restoreJobs, "files converted at once (default: one per processor)")
        ->check(CLI::Range(1, 256));
    restoreCommand->add_option("DIR", restoreFolder, "the install folder")->required()->type_name("DIR");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? kExitGood : kExitTrouble;
    }

    if (*packCommand) {
        pack.progressive = progressive ? 1 : 0;
        pack.source = source.c_str();
        pack.out = out.empty() ? nullptr : out.c_str();
        return PackCommand(pack);
    }
    if (*checkCommand) {
        check.folder = checkFolder.c_str();
        check.bmpFrom = bmpFrom.empty() ? nullptr : bmpFrom.c_str();
        check.minPsnrGiven = minPsnr->count() > 0;
        return CheckCommand(check);
    }
    return RestoreCommand(restoreFolder.c_str(), restoreJobs);
}
