// The command line: three commands, parsed by CLI11. The help is the tool's
// own text, wrapped to the terminal; numbers are decimal only. Usage errors
// exit with 2, as diff and cmp do.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "console.h"
#include "folder_files.h"
#include "pack_rules.h"
#include "reasons.h"
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
    "Run 'tolvpack COMMAND --help' for a command's options. -V or --version shows the version.\n";

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
    "  --target-quality S\n"
    "      for each picture the fewest bytes whose restored picture scores S or more in SSIMULACRA2, a score that "
    "follows what people see (about 90: no visible difference; 70: high quality; 50: medium); the recommended way\n"
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
    "  --encoder jpegli|libjpeg-turbo\n"
    "      jpegli, the JPEG XL project's encoder: the same pictures in fewer bytes (the default where this build "
    "has it); libjpeg-turbo: the workbench's bytes\n"
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
    "  --min-quality S\n"
    "      fail every compared entry whose restored picture scores below S in SSIMULACRA2 (about 90: no visible "
    "difference; 70: high quality; 50: medium)\n"
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

const char* const kCommands[] = {"pack", "check", "restore"};

// Edits from one word to another, a swap of neighbours counting as one.
size_t Distance(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

// " (did you mean 'X'?)" with the one nearest known word, or "" when none
// is near or two are equally near (-x is as near -j as -q).
std::string DidYouMean(const std::string& word, const std::vector<std::string>& known) {
    std::string best;
    size_t bestDistance = SIZE_MAX;
    bool tie = false;
    for (const std::string& candidate : known) {
        // A beginning of one (--qual) is as near as a typo.
        size_t distance = word.size() > 3 && candidate.compare(0, word.size(), word) == 0 ? 1 : Distance(word, candidate);
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
            tie = false;
        } else if (distance == bestDistance) {
            tie = true;
        }
    }
    if (best.empty() || tie || bestDistance > std::max<size_t>(2, best.size() / 4)) return "";
    return " (did you mean '" + best + "'?)";
}

std::vector<std::string> OptionNames(const CLI::App* command) {
    std::vector<std::string> names;
    for (const CLI::Option* option : command->get_options()) {
        for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
        for (const std::string& name : option->get_snames()) names.push_back("-" + name);
    }
    return names;
}

// An option CLI11 did not take: named with the nearest of the command's
// own, or with the command it belongs to.
std::string UnknownOption(const CLI::App& app, const CLI::App* command, std::string option) {
    option = option.substr(0, option.find('='));
    for (const char* other : kCommands) {
        std::vector<std::string> names = OptionNames(app.get_subcommand(other));
        if (other != command->get_name() && std::find(names.begin(), names.end(), option) != names.end())
            return option + ": an option of " + other + ", not of " + command->get_name();
    }
    return option + ": not an option of " + command->get_name() + DidYouMean(option, OptionNames(command));
}

// A shell glob (art/*.bmp) gives a command the files of a folder, where it
// takes the folder itself.
std::string SeveralFolders(const std::string& command, const std::vector<std::string>& given) {
    std::string shown = given[0] + ", " + given[1] + (given.size() > 2 ? ", ..." : "");
    for (const std::string& name : given)
        if (!IsFolder(name.c_str()))
            return command + " takes one folder, not " + std::to_string(given.size()) + " names (" + shown +
                   "): give the folder, not its files, as in 'tolvpack " + command + " " + FolderOf(given[0]) + "'";
    return command + " takes one folder, not " + std::to_string(given.size()) + " (" + shown +
           "): run it once for each";
}

}  // namespace

int UsageError(const std::string& message, const std::string& command) {
    fflush(stdout);
    PrintLine(stderr, "tolvpack: " + message);
    PrintLine(stderr, command.empty() ? "Run 'tolvpack --help' for the usage."
                                      : "Run 'tolvpack " + command + " --help' for its options.");
    return kExitTrouble;
}

int RunTolvpack(int argc, char** argv) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    // The version after a command too, as git and cargo take it.
    for (const std::string& word : words) {
        if (word == "--") break;
        if (word == "-V" || word == "--version") {
            PrintLine(stdout, kVersion);
            return kExitGood;
        }
    }
    CLI::App app{"", "tolvpack"};
    app.formatter(std::make_shared<HelpText>());
    app.require_subcommand(1);

    std::string quality, jobs, targetPsnr, targetQuality, source, out, chroma, compressor, restorer, encoder;
    bool progressive = false, optimize = false, clean = false, packJson = false, packQuiet = false, allJpeg = false;
    CLI::App* packCommand = app.add_subcommand("pack");
    packCommand->add_option("-q,--quality", quality);
    packCommand->add_option("--target-psnr", targetPsnr);
    packCommand->add_option("--target-quality", targetQuality);
    packCommand->add_flag("--progressive", progressive);
    packCommand->add_flag("--optimize", optimize);
    packCommand->add_option("--chroma", chroma);
    packCommand->add_option("--compressor", compressor);
    packCommand->add_flag("--all-jpeg", allJpeg);
    packCommand->add_option("--restorer", restorer);
    packCommand->add_option("--encoder", encoder);
    packCommand->add_option("-o,--out", out);
    packCommand->add_flag("--clean", clean);
    packCommand->add_option("-j,--jobs", jobs);
    packCommand->add_flag("--json", packJson);
    packCommand->add_flag("--quiet", packQuiet);
    packCommand->add_option("SOURCE", source)->required();

    std::string checkFolder, bmpFrom, minPsnr, minQuality;
    bool checkJson = false, checkQuiet = false;
    CLI::App* checkCommand = app.add_subcommand("check");
    checkCommand->add_option("--bmp-from", bmpFrom);
    checkCommand->add_option("--min-psnr", minPsnr);
    checkCommand->add_option("--min-quality", minQuality);
    checkCommand->add_flag("--json", checkJson);
    checkCommand->add_flag("--quiet", checkQuiet);
    checkCommand->add_option("DIR", checkFolder)->required();

    std::string restoreJobs, restoreFolder;
    bool restoreQuiet = false;
    CLI::App* restoreCommand = app.add_subcommand("restore");
    restoreCommand->add_option("-j,--jobs", restoreJobs);
    restoreCommand->add_flag("--quiet", restoreQuiet);
    restoreCommand->add_option("DIR", restoreFolder)->required();

    // Mistakes are named in the tool's own words: what CLI11 does not take
    // is left for the checks below.
    std::vector<std::string> commands(std::begin(kCommands), std::end(kCommands));
    for (CLI::App* command : {packCommand, checkCommand, restoreCommand}) command->allow_extras();
    const std::string first = words.empty() ? "" : words[0];
    if (first.empty()) return UsageError("a command is missing: pack, check or restore", "");
    if (first != "-h" && first != "--help" && std::find(commands.begin(), commands.end(), first) == commands.end()) {
        if (first[0] != '-') return UsageError("'" + first + "' is not a command" + DidYouMean(first, commands), "");
        std::vector<std::string> every;
        for (CLI::App* command : {packCommand, checkCommand, restoreCommand}) {
            std::vector<std::string> names = OptionNames(command);
            if (std::find(names.begin(), names.end(), first) != names.end())
                return UsageError(first + " comes before the command: options follow it, as in 'tolvpack " +
                                      command->get_name() + " " + first + " ...'", "");
            every.insert(every.end(), names.begin(), names.end());
        }
        return UsageError(first + ": not an option" + DidYouMean(first, every), "");
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        return app.exit(CLI::CallForHelp()) == 0 ? kExitGood : kExitTrouble;
    } catch (const CLI::RequiredError&) {
        const char* what = first == "pack" ? "the folder of BMP files: tolvpack pack [OPTIONS] SOURCE"
                           : first == "check" ? "the packed folder: tolvpack check [OPTIONS] DIR"
                                              : "the folder to restore: tolvpack restore [OPTIONS] DIR";
        return UsageError(first + " needs " + what, first);
    } catch (const CLI::ArgumentMismatch& error) {
        std::string option = error.what();
        return UsageError(option.substr(0, option.find(':')) + " needs a value", first);
    } catch (const CLI::ParseError& error) {
        return UsageError(error.what(), first);
    }
    CLI::App* command = app.get_subcommand(first);
    std::vector<std::string> given = {*packCommand ? source : *checkCommand ? checkFolder : restoreFolder};
    for (const std::string& extra : command->remaining()) {
        if (extra.size() > 1 && extra[0] == '-' && extra != "--") return UsageError(UnknownOption(app, command, extra), first);
        if (extra != "--") given.push_back(extra);
    }
    if (given.size() > 1) return UsageError(SeveralFolders(first, given), first);

    if (*packCommand) {
        PackOptions pack = {};
        pack.quality = kStartQuality;
        pack.progressive = progressive ? 1 : 0;
        pack.optimize = optimize ? 1 : 0;
        if (!quality.empty() && !ParseWhole(quality, 1, 100, &pack.quality))
            return UsageError("--quality " + quality + ": not a whole number from 1 to 100", first);
        if (!jobs.empty() && !ParseWhole(jobs, 1, 256, &pack.jobs))
            return UsageError("--jobs " + jobs + ": not a whole number from 1 to 256", first);
        pack.targetGiven = !targetPsnr.empty();
        if (pack.targetGiven && (!ParseDecibels(targetPsnr, &pack.targetPsnr) || pack.targetPsnr <= 0))
            return UsageError("--target-psnr " + targetPsnr + ": not a number of decibels such as 40 or 38.5", first);
        if (pack.targetGiven && !quality.empty()) return UsageError("--quality and --target-psnr: choose one", first);
        pack.targetQuality = !targetQuality.empty();
        if (pack.targetQuality && (!ParseDecibels(targetQuality, &pack.targetScore) || pack.targetScore <= 0 ||
                                   pack.targetScore > 100))
            return UsageError("--target-quality " + targetQuality + ": not a score from 1 to 100 such as 70 or 82.5", first);
        if (pack.targetQuality && (pack.targetGiven || !quality.empty()))
            return UsageError("--target-quality, --target-psnr and --quality: choose one", first);
        pack.targetGiven = pack.targetGiven || pack.targetQuality;
        if (chroma.empty() || chroma == "420") pack.chroma = kChroma420;
        else if (chroma == "444") pack.chroma = kChroma444;
        else if (chroma == "auto") pack.chromaAuto = true;
        else return UsageError("--chroma " + chroma + ": give 420, 444 or auto", first);
        if (compressor.empty() || compressor == "lzma") pack.compressor = kCompressLzma;
        else if (compressor == "zlib") pack.compressor = kCompressZlib;
        else if (compressor == "none") pack.compressor = kCompressNone;
        else return UsageError("--compressor " + compressor + ": give lzma, zlib or none", first);
        pack.allJpeg = allJpeg;
        if (encoder.empty()) pack.jpegli = kHaveJpegli;
        else if (encoder == "libjpeg-turbo") pack.jpegli = false;
        else if (encoder == "jpegli" && kHaveJpegli) pack.jpegli = true;
        else if (encoder == "jpegli") return UsageError("--encoder jpegli: this build has no jpegli (give libjpeg-turbo)", first);
        else return UsageError("--encoder " + encoder + ": give jpegli or libjpeg-turbo", first);
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
            return UsageError("--min-psnr " + minPsnr + ": not a number of decibels such as 36 or 38.5", first);
        check.minQualityGiven = !minQuality.empty();
        if (check.minQualityGiven && (!ParseDecibels(minQuality, &check.minQuality) || check.minQuality > 100))
            return UsageError("--min-quality " + minQuality + ": not a score up to 100 such as 70 or 82.5", first);
        check.json = checkJson;
        check.quiet = checkQuiet;
        return CheckCommand(check);
    }
    int restoreWorkers = 0;
    if (!restoreJobs.empty() && !ParseWhole(restoreJobs, 1, 256, &restoreWorkers))
        return UsageError("--jobs " + restoreJobs + ": not a whole number from 1 to 256", first);
    return RestoreCommand(restoreFolder.c_str(), restoreWorkers, restoreQuiet);
}
