// The directory of the host's executable and the paths built from it.
#include <cstring>

#include "client/app_paths.h"
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

}  // namespace

std::string AppPathsViolation(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::string exePath = input.Text();
    ExactBlock directory(kPathBytes);
    const bool found = ApplicationDirectory(exePath.c_str(), AsPath(directory));
    const std::size_t slash = exePath.rfind('\\');
    const bool expected = !exePath.empty() && exePath.size() < kPathBytes && slash != std::string::npos;
    if (found != expected) return found ? "directory of an unusable path" : "no directory for a usable path";
    if (!found && directory.Chars()[0] != '\0') return "refused but the directory not emptied";
    if (found && std::string(directory.Chars()) != exePath.substr(0, slash)) {
        return "directory is not the path up to its last backslash";
    }

    // Any text may stand for the directory: the builders bound what they write.
    for (const std::string& dir : {std::string(directory.Chars()), exePath}) {
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
