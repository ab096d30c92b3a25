// The check that the video control is registered, run for real: regsvr32 in the
// prefix registers the stand-in control VANTO.ocx, which VANTO_MODE makes refuse or
// come late.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/control_registration.h"
#include "support/host_dir.h"
#include "support/log_files.h"

namespace nubix::test {
namespace {

using Lines = std::vector<std::string>;

const std::string kDebug = " ◎◎ DEBUG ◎◎ ";
const std::string kAlreadyRegistered = kDebug + "控件{4B1D92E7-5A3C-4F08-9E6B-2C7D81A0F35C}已经注册 ！";
const std::string kRegistered = kDebug + "控件{4B1D92E7-5A3C-4F08-9E6B-2C7D81A0F35C}注册成功 ！";
const std::string kCannotRegister = kDebug + "控件{4B1D92E7-5A3C-4F08-9E6B-2C7D81A0F35C}不能在此计算机上注册！";
const std::string kPathMissing = kDebug + "控件{4B1D92E7-5A3C-4F08-9E6B-2C7D81A0F35C}安装路径不存在！";

constexpr char kControlBelowDirectory[] = "\\ocx\\brindle\\VANTO.ocx";

std::string ControlPath(const std::string& directory) { return directory + kControlBelowDirectory; }

// The command line as the level log shows it.
std::string CommandLine(const std::string& directory) {
    return kDebug + "regsvr32 /s \"" + ControlPath(directory) + "\"";
}

// Removes the class key with everything below it. DeleteControlKey() removes a
// bare key only, and the control's own registration adds InprocServer32 below it.
void RemoveControlKey() { RegDeleteTreeA(HKEY_CLASSES_ROOT, kControlKey); }

// Waits until no regsvr32 is running, so that a late registration cannot write the
// key after the test has set it.
void WaitForRegistrationPrograms() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, "regsvr32.exe") != 0) continue;
        if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
            WaitForSingleObject(process, 30000);
            CloseHandle(process);
        }
    }
    CloseHandle(snapshot);
}

// Sets VANTO_MODE, which regsvr32 inherits through WinExec, for the life of the object.
class ScopedVantoMode {
public:
    explicit ScopedVantoMode(const char* mode) { SetEnvironmentVariableA("VANTO_MODE", mode); }
    ~ScopedVantoMode() { SetEnvironmentVariableA("VANTO_MODE", nullptr); }
    ScopedVantoMode(const ScopedVantoMode&) = delete;
    ScopedVantoMode& operator=(const ScopedVantoMode&) = delete;
};

// Leaves the control registered from the host directory, whatever the test did to
// the key: the other test programs open the server and need it.
class ControlLeftRegistered {
public:
    ControlLeftRegistered() = default;
    ~ControlLeftRegistered() {
        WaitForRegistrationPrograms();
        SetEnvironmentVariableA("VANTO_MODE", nullptr);
        RemoveControlKey();
        // The control's own DllRegisterServer, so that the key names the host's copy.
        if (HMODULE control = LoadLibraryA(ControlPath(HostDirectory()).c_str())) {
            using Register = HRESULT(WINAPI*)();
            if (auto registerServer = reinterpret_cast<Register>(GetProcAddress(control, "DllRegisterServer"))) {
                registerServer();
            }
            FreeLibrary(control);
        }
        if (!ControlKeyExists()) CreateControlKey();
    }
    ControlLeftRegistered(const ControlLeftRegistered&) = delete;
    ControlLeftRegistered& operator=(const ControlLeftRegistered&) = delete;
};

// A fresh directory below the temporary directory, removed with everything in it
// at the end. Path() is a directory in it, which may hold a copy of the control
// where a host would install it.
class TempDirectory {
public:
    struct OfLength {
        std::size_t pathLength;
    };

    explicit TempDirectory(const std::string& leaf = "app") : root_(NewRoot()) { Make(leaf); }
    // Path() `length.pathLength` bytes long, when the temporary directory leaves room.
    explicit TempDirectory(OfLength length) : root_(NewRoot()) {
        const std::size_t used = root_.size() + 1;
        Make(std::string(length.pathLength > used ? length.pathLength - used : 1, 'd'));
    }
    ~TempDirectory() { RemoveTree(root_); }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::string& Path() const { return path_; }

    // Copies the host's control to Path()\ocx\brindle\VANTO.ocx.
    bool InstallControl() const {
        CreateDirectoryA((path_ + "\\ocx").c_str(), nullptr);
        CreateDirectoryA((path_ + "\\ocx\\brindle").c_str(), nullptr);
        return CopyFileA(ControlPath(HostDirectory()).c_str(), ControlPath(path_).c_str(), FALSE) != 0;
    }

private:
    static std::string NewRoot() {
        static int made = 0;
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        return std::string(temp) + "vanto-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(++made);
    }

    void Make(const std::string& leaf) {
        path_ = root_ + "\\" + leaf;
        CreateDirectoryA(root_.c_str(), nullptr);
        CreateDirectoryA(path_.c_str(), nullptr);
    }

    std::string root_;
    std::string path_;
};

class ControlRegistration : public ::testing::Test {
protected:
    void SetUp() override {
        // Wine's WinExec waits for the started program only when the caller has
        // user32 loaded; the library does, and so must this program.
        ASSERT_NE(GetModuleHandleA("user32.dll"), nullptr);
        ClearLogs();
    }

    ControlLeftRegistered leftRegistered_;
};

TEST_F(ControlRegistration, AlreadyRegisteredWritesOneLineAndLooksNoFurther) {
    CreateControlKey();
    TempDirectory noControl;  // nothing to register from: the file is not looked at

    EXPECT_TRUE(EnsureControlRegistered(noControl.Path().c_str()));
    EXPECT_EQ(LevelLogMessages(), Lines{kAlreadyRegistered});
}

TEST_F(ControlRegistration, MissingControlFileGivesUp) {
    RemoveControlKey();
    TempDirectory noControl;

    EXPECT_FALSE(EnsureControlRegistered(noControl.Path().c_str()));
    EXPECT_EQ(LevelLogMessages(), Lines{kPathMissing});
    EXPECT_FALSE(ControlKeyExists());
}

TEST_F(ControlRegistration, RegistersTheControlBesideTheHost) {
    RemoveControlKey();
    const std::string directory = HostDirectory();

    EXPECT_TRUE(EnsureControlRegistered(directory.c_str()));
    EXPECT_EQ(LevelLogMessages(), (Lines{CommandLine(directory), kRegistered, kAlreadyRegistered}));
    EXPECT_TRUE(ControlKeyExists());
}

TEST_F(ControlRegistration, RefusedRegistrationAnswersFalse) {
    RemoveControlKey();
    ScopedVantoMode refuse("fail");
    const std::string directory = HostDirectory();

    EXPECT_FALSE(EnsureControlRegistered(directory.c_str()));
    EXPECT_EQ(LevelLogMessages(), (Lines{CommandLine(directory), kCannotRegister}));
    EXPECT_FALSE(ControlKeyExists());
}

TEST_F(ControlRegistration, LateRegistrationIsFoundByTheNextCheck) {
    RemoveControlKey();
    ScopedVantoMode late("late:2000");
    const std::string directory = HostDirectory();

    EXPECT_FALSE(EnsureControlRegistered(directory.c_str()));
    EXPECT_EQ(LevelLogMessages(), (Lines{CommandLine(directory), kCannotRegister}));

    ASSERT_TRUE(PumpUntil([] { return ControlKeyExists(); }, 20000));
    ClearLogs();
    EXPECT_TRUE(EnsureControlRegistered(directory.c_str()));
    EXPECT_EQ(LevelLogMessages(), Lines{kAlreadyRegistered});
}

TEST_F(ControlRegistration, PercentSignsInTheDirectoryAreLoggedAsTheyStand) {
    RemoveControlKey();
    TempDirectory installed("a%sb%d%n");
    ASSERT_TRUE(installed.InstallControl());

    EXPECT_TRUE(EnsureControlRegistered(installed.Path().c_str()));
    EXPECT_EQ(LevelLogMessages(), (Lines{CommandLine(installed.Path()), kRegistered, kAlreadyRegistered}));
    EXPECT_TRUE(ControlKeyExists());
}

// The control's path and the command each live in 256 bytes. The command adds 14
// bytes to the path, the path 22 to the directory: a directory of 219 bytes is the
// longest that registers, one of 220 overflows the command, one of 234 the path.
// A path or command that does not fit is refused, never cut and run.
TEST_F(ControlRegistration, LongDirectoryRegistersOnlyWhenTheCommandFits) {
    struct Case {
        std::size_t directoryLength;
        bool registers;
    };
    for (const Case& c : {Case{219, true}, Case{220, false}, Case{234, false}}) {
        SCOPED_TRACE(c.directoryLength);
        ClearLogs();
        RemoveControlKey();
        TempDirectory installed(TempDirectory::OfLength{c.directoryLength});
        ASSERT_EQ(installed.Path().size(), c.directoryLength);
        ASSERT_TRUE(installed.InstallControl());

        EXPECT_EQ(EnsureControlRegistered(installed.Path().c_str()), c.registers);
        EXPECT_EQ(ControlKeyExists(), c.registers);
        if (c.registers) {
            // The level log keeps 255 bytes of a marked message: the 17-byte mark
            // and the first 238 bytes of the 255-byte command.
            const std::string command = "regsvr32 /s \"" + ControlPath(installed.Path()) + "\"";
            ASSERT_EQ(command.size(), 255u);
            EXPECT_EQ(LevelLogMessages(), (Lines{kDebug + command.substr(0, 238), kRegistered, kAlreadyRegistered}));
        } else {
            EXPECT_EQ(LevelLogMessages(), Lines{});
        }
    }
}

}  // namespace
#if defined(_WIN64)
// The viewer hosts the control, so the x64 library looks for the control in the
// registry view of the viewer's bitness. A 32-bit viewer (the x86 build's Quil.exe,
// from NUBIX_X86_HOST_DIR) puts it in the 32-bit view; these cases run no 32-bit code.
class ViewerBitness : public ControlRegistration {
protected:
    void SetUp() override {
        ControlRegistration::SetUp();
        char x86Dir[MAX_PATH] = {};
        if (GetEnvironmentVariableA("NUBIX_X86_HOST_DIR", x86Dir, sizeof x86Dir) == 0) {
            GTEST_SKIP() << "NUBIX_X86_HOST_DIR (the x86 build's bin directory) is not given";
        }
        x86Viewer_ = std::string(x86Dir) + "\\Quil.exe";
        ASSERT_NE(GetFileAttributesA(x86Viewer_.c_str()), INVALID_FILE_ATTRIBUTES) << x86Viewer_;
    }
    void TearDown() override { SetKeyIn(KEY_WOW64_32KEY, false); }

    static void SetKeyIn(REGSAM view, bool present) {
        if (!present) {
            // With everything below it: a registration adds InprocServer32.
            HKEY clsid = nullptr;
            if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_ALL_ACCESS | view, &clsid) == ERROR_SUCCESS) {
                RegDeleteTreeA(clsid, kControlKey + sizeof "CLSID");  // the name below CLSID
                RegCloseKey(clsid);
            }
            return;
        }
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CLASSES_ROOT, kControlKey, 0, nullptr, 0, KEY_WRITE | view, nullptr, &key,
                            nullptr) == ERROR_SUCCESS) {
            RegCloseKey(key);
        }
    }

    std::string x86Viewer_;
};

TEST_F(ViewerBitness, ThirtyTwoBitViewerFindsItsControlInThe32BitView) {
    RemoveControlKey();
    SetKeyIn(KEY_WOW64_32KEY, true);
    TempDirectory host;
    ASSERT_TRUE(CopyFileA(x86Viewer_.c_str(), (host.Path() + "\\Quil.exe").c_str(), FALSE));

    EXPECT_TRUE(EnsureControlRegistered(host.Path().c_str()));
    EXPECT_EQ(LevelLogMessages(), Lines{kAlreadyRegistered});
}

TEST_F(ViewerBitness, ThirtyTwoBitViewerIgnoresAControlIn64BitView) {
    SetKeyIn(KEY_WOW64_32KEY, false);
    CreateControlKey();  // the 64-bit view, this process's own
    TempDirectory host;  // no control file to register from
    ASSERT_TRUE(CopyFileA(x86Viewer_.c_str(), (host.Path() + "\\Quil.exe").c_str(), FALSE));

    EXPECT_FALSE(EnsureControlRegistered(host.Path().c_str()));
    EXPECT_EQ(LevelLogMessages(), Lines{kPathMissing});
}

TEST_F(ViewerBitness, SixtyFourBitViewerLooksInThe64BitView) {
    RemoveControlKey();
    SetKeyIn(KEY_WOW64_32KEY, true);
    TempDirectory host;
    ASSERT_TRUE(CopyFileA(HostPath("Quil.exe").c_str(), (host.Path() + "\\Quil.exe").c_str(), FALSE));

    EXPECT_FALSE(EnsureControlRegistered(host.Path().c_str()));
    EXPECT_EQ(LevelLogMessages(), Lines{kPathMissing});
}
#endif

}  // namespace nubix::test
