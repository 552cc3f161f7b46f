// The command line: three commands, parsed by CLI11. The help is the tool's
// own text, wrapped to the terminal; numbers are decimal only. Usage errors
// exit with 2, as diff and cmp do.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <CLI/CLI.hpp>

#include "console.h"
#include "pack_rules.h"
#include "tolvpack.h"

namespace {

const char kVersion[] = "tolvpack (Tolvane) " TOLVANE_VERSION;

const char kMainHelp[] =
    "Usage: tolvpack COMMAND [OPTIONS] FOLDER\n"
    "\n"
    "Ships pictures as JPEG files and a list, tvfile.txt, that tolvinst.exe turns back into the BMP files at "
    "install time.\n"
    "\n"
    "Commands:\n"
    "  pack     make a JPEG of every BMP file of a folder, and the list\n"
    "  check    rehearse the restore of a packed folder, before it ships\n"
    "  restore  restore a packed folder, as tolvinst.exe does\n"
    "\n"
    "Exit status: 0 all good, 1 something did not pass, 2 trouble (bad usage, no list to read).\n"
    "\n"
    "Example, from a build script:\n"
    "  tolvpack pack -q 90 -o build/pictures art/pictures\n"
    "  tolvpack check --bmp-from art/pictures --min-psnr 36 build/pictures\n"
    "\n"
    "Run 'tolvpack COMMAND --help' for a command's options. --version shows the version.\n";

const char kPackHelp[] =
    "Usage: tolvpack pack [OPTIONS] SOURCE\n"
    "\n"
    "Makes a JPEG of every BMP file of SOURCE (not of its subfolders), named as the BMP with \"jpg\" for \"bmp\", "
    "and writes tvfile.txt, which pairs each JPEG with the BMP it came from. A picture the installer carries in "
    "fewer bytes as its BMP (after the installer's compression), or whose BMP has an alpha channel in use, ships "
    "as the BMP itself: copied into the output folder and not listed. Files whose names the list cannot "
    "carry are left out and named on standard error.\n"
    "\n"
    "Options:\n"
    "  -q, --quality N\n"
    "      JPEG quality from 1 (smallest file) to 100 (best picture); default 100\n"
    "  --target-psnr DB\n"
    "      for each picture the lowest quality whose JPEG comes back at DB decibels or more against its BMP, "
    "instead of one quality for all\n"
    "  --progressive\n"
    "      progressive JPEG files (default: baseline)\n"
    "  --optimize\n"
    "      optimised Huffman tables: the same pictures in smaller files, at some cost in time and memory\n"
    "  --chroma 420|444|auto\n"
    "      colour at half resolution (420, the default), at full resolution (444: icons, coloured text), or per "
    "picture (auto: with --target-psnr the one reaching it in fewer bytes, else 444 where 420 loses more than "
    "2 dB)\n"
    "  --compressor lzma|zlib|none\n"
    "      the installer's compression, by which each picture is weighed: lzma (NSIS's /SOLID lzma, Inno Setup; "
    "the default), zlib (NSIS's default) or none\n"
    "  --all-jpeg\n"
    "      every BMP as a JPEG, however many bytes it takes (a BMP with alpha in use is still kept)\n"
    "  --restorer FILE\n"
    "      tolvinst.exe, whose compressed size the report counts (default: tolvinst.exe beside tolvpack)\n"
    "  -o, --out DIR\n"
    "      write the JPEG files, the kept BMPs and the list to DIR, made if missing (default: SOURCE); "
    "the folder to ship whole\n"
    "  --clean\n"
    "      remove JPEG and BMP files in the output folder that this pack did not make\n"
    "  -j, --jobs N\n"
    "      pictures converted at once (default: one per processor)\n"
    "  --json\n"
    "      write the report as one JSON document on standard output\n"
    "  --quiet\n"
    "      write nothing but errors (and the JSON document)\n"
    "\n"
    "Examples:\n"
    "  tolvpack pack -q 85 art/pictures\n"
    "  tolvpack pack --target-psnr 40 --optimize -o build/pictures art/pictures\n";

const char kCheckHelp[] =
    "Usage: tolvpack check [OPTIONS] DIR\n"
    "\n"
    "Rehearses the restore of DIR as it stands: reads DIR/tvfile.txt as tolvinst.exe reads it, checks every "
    "entry as it does, and decodes every listed JPEG completely. Where the original BMP is at hand (in DIR, or in "
    "the folder --bmp-from names), it also measures the restored picture against it (PSNR over red, green and "
    "blue) and the bytes saved. Each entry is ok, would not restore, below --min-psnr, not compared (no BMP to "
    "measure against --min-psnr), not the BMP's picture (another size) or larger than its BMP; every entry that "
    "is not ok is also named on standard error.\n"
    "\n"
    "Options:\n"
    "  --bmp-from FOLDER\n"
    "      the original BMP files (default: DIR)\n"
    "  --min-psnr DB\n"
    "      fail every entry whose restored picture is below DB decibels\n"
    "  --json\n"
    "      write the report as one JSON document on standard output\n"
    "  --quiet\n"
    "      write nothing but errors (and the JSON document)\n"
    "\n"
    "Example:\n"
    "  tolvpack check --bmp-from art/pictures --min-psnr 36 build/pictures\n";

const char kRestoreHelp[] =
    "Usage: tolvpack restore [OPTIONS] DIR\n"
    "\n"
    "Does in DIR what tolvinst.exe does in an install folder: turns every listed JPEG back into its BMP, deletes "
    "the list and the restored JPEG files, and keeps in the list the entries it could not restore.\n"
    "\n"
    "Options:\n"
    "  -j, --jobs N\n"
    "      pictures converted at once (default: one per processor)\n"
    "  --quiet\n"
    "      write nothing but errors\n"
    "\n"
    "Example:\n"
    "  tolvpack restore build/try-install\n";

// The help above, for the command asked about, wrapped to the terminal.
class HelpText : public CLI::FormatterBase {
public:
    std::string make_help(const CLI::App* app, std::string, CLI::AppFormatMode) const override {
        std::string name = app->get_name();
        const char* text = name == "pack" ? kPackHelp : name == "check" ? kCheckHelp : name == "restore" ? kRestoreHelp
                                                                                                        : kMainHelp;
        return WrapText(text, TerminalColumns() - 1) + "\n";
    }
};

// Whole numbers and decimals as people write them: no sign, no hexadecimal,
// no exponent.
bool ParseWhole(const std::string& text, int low, int high, int* value) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    long number = strtol(text.c_str(), nullptr, 10);
    if (number < low || number > high) return false;
    *value = static_cast<int>(number);
    return true;
}

bool ParseDecibels(const std::string& text, double* value) {
    size_t point = text.find('.');
    std::string whole = text.substr(0, point);
    std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
    if (whole.empty() || whole.size() > 3 || whole.find_first_not_of("0123456789") != std::string::npos ||
        (point != std::string::npos && (fraction.empty() || fraction.find_first_not_of("0123456789") != std::string::npos)))
        return false;
    *value = strtod(text.c_str(), nullptr);
    return true;
}

int UsageError(const std::string& message) {
    fflush(stdout);
    PrintLine(stderr, "tolvpack: " + message);
    PrintLine(stderr, "Run 'tolvpack --help' for the usage.");
    return kExitTrouble;
}

}  // namespace

int RunTolvpack(int argc, char** argv) {
    CLI::App app{"", "tolvpack"};
    app.formatter(std::make_shared<HelpText>());
    app.set_version_flag("--version", kVersion);
    app.require_subcommand(1);

    std::string quality, jobs, targetPsnr, source, out, chroma, compressor, restorer;
    bool progressive = false, optimize = false, clean = false, packJson = false, packQuiet = false, allJpeg = false;
    CLI::App* packCommand = app.add_subcommand("pack");
    packCommand->add_option("-q,--quality", quality);
    packCommand->add_option("--target-psnr", targetPsnr);
    packCommand->add_flag("--progressive", progressive);
    packCommand->add_flag("--optimize", optimize);
    packCommand->add_option("--chroma", chroma);
    packCommand->add_option("--compressor", compressor);
    packCommand->add_flag("--all-jpeg", allJpeg);
    packCommand->add_option("--restorer", restorer);
    packCommand->add_option("-o,--out", out);
    packCommand->add_flag("--clean", clean);
    packCommand->add_option("-j,--jobs", jobs);
    packCommand->add_flag("--json", packJson);
    packCommand->add_flag("--quiet", packQuiet);
    packCommand->add_option("SOURCE", source)->required();

    std::string checkFolder, bmpFrom, minPsnr;
    bool checkJson = false, checkQuiet = false;
    CLI::App* checkCommand = app.add_subcommand("check");
    checkCommand->add_option("--bmp-from", bmpFrom);
    checkCommand->add_option("--min-psnr", minPsnr);
    checkCommand->add_flag("--json", checkJson);
    checkCommand->add_flag("--quiet", checkQuiet);
    checkCommand->add_option("DIR", checkFolder)->required();

    std::string restoreJobs, restoreFolder;
    bool restoreQuiet = false;
    CLI::App* restoreCommand = app.add_subcommand("restore");
    restoreCommand->add_option("-j,--jobs", restoreJobs);
    restoreCommand->add_flag("--quiet", restoreQuiet);
    restoreCommand->add_option("DIR", restoreFolder)->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        return app.exit(CLI::CallForHelp()) == 0 ? kExitGood : kExitTrouble;
    } catch (const CLI::Success& success) {
        return app.exit(success) == 0 ? kExitGood : kExitTrouble;  // --version
    } catch (const CLI::ParseError& error) {
        return UsageError(error.what());
    }

    if (*packCommand) {
        PackOptions pack = {};
        pack.quality = kStartQuality;
        pack.progressive = progressive ? 1 : 0;
        pack.optimize = optimize ? 1 : 0;
        if (!quality.empty() && !ParseWhole(quality, 1, 100, &pack.quality))
            return UsageError("--quality " + quality + ": not a whole number from 1 to 100");
        if (!jobs.empty() && !ParseWhole(jobs, 1, 256, &pack.jobs))
            return UsageError("--jobs " + jobs + ": not a whole number from 1 to 256");
        pack.targetGiven = !targetPsnr.empty();
        if (pack.targetGiven && (!ParseDecibels(targetPsnr, &pack.targetPsnr) || pack.targetPsnr <= 0))
            return UsageError("--target-psnr " + targetPsnr + ": not a number of decibels such as 40 or 38.5");
        if (pack.targetGiven && !quality.empty()) return UsageError("--quality and --target-psnr: choose one");
        if (chroma.empty() || chroma == "420") pack.chroma = kChroma420;
        else if (chroma == "444") pack.chroma = kChroma444;
        else if (chroma == "auto") pack.chromaAuto = true;
        else return UsageError("--chroma " + chroma + ": give 420, 444 or auto");
        if (compressor.empty() || compressor == "lzma") pack.compressor = kCompressLzma;
        else if (compressor == "zlib") pack.compressor = kCompressZlib;
        else if (compressor == "none") pack.compressor = kCompressNone;
        else return UsageError("--compressor " + compressor + ": give lzma, zlib or none");
        pack.allJpeg = allJpeg;
        pack.restorer = restorer.empty() ? nullptr : restorer.c_str();
        pack.source = source.c_str();
        pack.out = out.empty() ? nullptr : out.c_str();
        pack.clean = clean;
        pack.json = packJson;
        pack.quiet = packQuiet;
        return PackCommand(pack);
    }
    if (*checkCommand) {
        CheckOptions check = {};
        check.folder = checkFolder.c_str();
        check.bmpFrom = bmpFrom.empty() ? nullptr : bmpFrom.c_str();
        check.minPsnrGiven = !minPsnr.empty();
        if (check.minPsnrGiven && !ParseDecibels(minPsnr, &check.minPsnr))
            return UsageError("--min-psnr " + minPsnr + ": not a number of decibels such as 36 or 38.5");
        check.json = checkJson;
        check.quiet = checkQuiet;
        return CheckCommand(check);
    }
    int restoreWorkers = 0;
    if (!restoreJobs.empty() && !ParseWhole(restoreJobs, 1, 256, &restoreWorkers))
        return UsageError("--jobs " + restoreJobs + ": not a whole number from 1 to 256");
    return RestoreCommand(restoreFolder.c_str(), restoreWorkers, restoreQuiet);
}
