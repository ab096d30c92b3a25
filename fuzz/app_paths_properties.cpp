// The directory of the host's executable and the paths built from it.
#include <cstring>
#include <vector>

#include "client/app_paths.h"
#include "code_pages.h"
#include "fuzz_input.h"
#include "properties.h"

namespace nubix::fuzz {
namespace {

PathBuffer& AsPath(const ExactBlock& block) { return *reinterpret_cast<PathBuffer*>(block.Get()); }

// A path is refused, never cut: built whole when it fits its buffer, else empty.
std::string BuiltViolation(const char* what, bool built, const ExactBlock& out, const std::string& expected) {
    const bool fits = expected.size() < kPathBytes;
    if (built != fits) return std::string(what) + (built ? " built although too long" : " refused although it fits");
    if (!built) return out.Chars()[0] == '\0' ? "" : std::string(what) + " refused but not emptied";
    return std::string(out.Chars()) == expected ? "" : std::string(what) + " is not " + expected;
}

// The application directory of `exePath` read in one code page: the path up to its
// last separator, which lies between two characters.
std::string DirectoryViolation(const std::string& exePath, const CodePage& codePage, std::string& found) {
    ExactBlock directory(kPathBytes);
    const bool made = ApplicationDirectory(exePath.c_str(), AsPath(directory), codePage.isLeadByte);
    const std::size_t split = ExpectedSplit(exePath, codePage.isLeadByte);
    const bool expected = !exePath.empty() && exePath.size() < kPathBytes && split != 0;
    if (made != expected) return made ? "directory of an unusable path" : "no directory for a usable path";
    if (!made) return directory.Chars()[0] == '\0' ? "" : "refused but the directory not emptied";
    found = directory.Chars();
    if (found.size() >= exePath.size() || exePath.compare(0, found.size(), found) != 0) {
        return "directory is not a part of the path";
    }
    return SplitViolation(exePath, found.size() + 1, codePage.isLeadByte);
}

}  // namespace

std::string AppPathsViolation(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::string exePath = input.Text();
    std::vector<std::string> directories;
    for (const CodePage& codePage : kCodePages) {
        std::string found;
        const std::string violation = DirectoryViolation(exePath, codePage, found);
        if (!violation.empty()) return std::string(codePage.name) + ": " + violation;
        directories.push_back(found);
    }
    directories.push_back(exePath);

    // Any text may stand for the directory: the builders bound what they write.
    for (const std::string& dir : directories) {
        ExactBlock control(kPathBytes), command(kPathBytes), named(kPathBytes), viewer(kPathBytes);
        const std::string controlPath = dir + "\\ocx\\brindle\\VANTO.ocx";
        const std::string program = dir + "\\regsvr32.exe";
        std::string violation =
            BuiltViolation("control path", BuildControlPath(dir.c_str(), AsPath(control)), control, controlPath);
        if (violation.empty()) {
            violation = BuiltViolation("registration command",
                                       BuildRegistrationCommand(nullptr, controlPath.c_str(), AsPath(command)),
                                       command, "regsvr32 /s \"" + controlPath + "\"");
        }
        if (violation.empty()) {
            violation = BuiltViolation(
                "registration command with a program",
                BuildRegistrationCommand(program.c_str(), controlPath.c_str(), AsPath(named)), named,
                "\"" + program + "\" /s \"" + controlPath + "\"");
        }
        if (violation.empty()) {
            violation = BuiltViolation("viewer path", BuildViewerPath(dir.c_str(), AsPath(viewer)), viewer,
                                       dir + "\\Quil.exe");
        }
        if (!violation.empty()) return violation;
    }
    return "";
}

}  // namespace nubix::fuzz
