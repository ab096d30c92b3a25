// vsclient.exe, the command-line host, run as a user runs it: a process of its own
// against the viewer simulator, its output lines and exit status read back.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "support/host_dir.h"
#include "support/log_files.h"

namespace nubix::test {
namespace {

constexpr char kLogin[] = "--server 192.168.1.20 --user admin --password secret";

struct VsclientRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::vector<std::string> out;  // stdout, one entry a line, CR LF removed
    std::string err;
};

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

HANDLE InheritableFile(const std::string& path) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Runs vsclient.exe from the host directory with `arguments`, stdout and stderr
// going to files (a viewer it starts cannot hold them open, as it could a pipe).
VsclientRun RunVsclient(const std::string& arguments) {
    VsclientRun run;
    const std::string outPath = HostPath("vsclient_test.out");
    const std::string errPath = HostPath("vsclient_test.err");
    HANDLE out = InheritableFile(outPath);
    HANDLE err = InheritableFile(errPath);
    std::string commandLine = "\"" + HostPath("vsclient.exe") + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        HostDirectory().c_str(), &startup, &process);
    CloseHandle(out);
    CloseHandle(err);
    if (!started) {
        ADD_FAILURE() << "cannot start " << commandLine;
        return run;
    }
    if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "vsclient did not end: " << arguments;
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    }
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    run.out = SplitLines(ReadFileBytes(outPath.c_str()));
    for (char c : ReadFileBytes(errPath.c_str())) {
        if (c != '\r') run.err += c;
    }
    DeleteFileA(outPath.c_str());
    DeleteFileA(errPath.c_str());
    return run;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    for (const std::string& l : lines) {
        if (l == line) return true;
    }
    return false;
}

// One flat JSON object with string keys and string, integer or boolean values; any
// other shape, and any text after the object, fails the parse.
struct JsonValue {
    enum Kind { String, Integer, Boolean } kind = String;
    std::string text;  // strings unescaped; integers and booleans as written
};
using JsonObject = std::map<std::string, JsonValue>;

class FlatJsonParser {
public:
    explicit FlatJsonParser(const std::string& text) : text_(text) {}

    bool Parse(JsonObject& object) {
        Blanks();
        if (!Take('{')) return false;
        Blanks();
        if (Take('}')) return AtEnd();
        for (;;) {
            std::string key;
            JsonValue value;
            Blanks();
            if (!String(key)) return false;
            Blanks();
            if (!Take(':')) return false;
            Blanks();
            if (!Value(value) || object.count(key) != 0) return false;
            object[key] = value;
            Blanks();
            if (Take('}')) return AtEnd();
            if (!Take(',')) return false;
        }
    }

private:
    bool AtEnd() {
        Blanks();
        return pos_ == text_.size();
    }
    void Blanks() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
    }
    bool Take(char c) {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool Word(const char* word) {
        const std::string w(word);
        if (text_.compare(pos_, w.size(), w) != 0) return false;
        pos_ += w.size();
        return true;
    }
    bool Value(JsonValue& value) {
        if (pos_ >= text_.size()) return false;
        const char c = text_[pos_];
        if (c == '"') {
            value.kind = JsonValue::String;
            return String(value.text);
        }
        if (c == 't' || c == 'f') {
            value.kind = JsonValue::Boolean;
            value.text = c == 't' ? "true" : "false";
            return Word(value.text.c_str());
        }
        value.kind = JsonValue::Integer;
        const std::size_t start = pos_;
        Take('-');
        const std::size_t digits = pos_;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
        if (pos_ == digits) return false;
        value.text = text_.substr(start, pos_ - start);
        return true;
    }
    bool String(std::string& out) {
        if (!Take('"')) return false;
        while (pos_ < text_.size()) {
            const unsigned char c = static_cast<unsigned char>(text_[pos_++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (pos_ >= text_.size()) return false;
            switch (text_[pos_++]) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case '/': out += '/'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    if (pos_ + 4 > text_.size()) return false;
                    const long code = std::strtol(text_.substr(pos_, 4).c_str(), nullptr, 16);
                    pos_ += 4;
                    if (code >= 0x80) return false;  // vsclient escapes control characters only
                    out += static_cast<char>(code);
                    break;
                }
                default: return false;
            }
        }
        return false;
    }

    const std::string& text_;
    std::size_t pos_ = 0;
};

class Vsclient : public ::testing::Test {
protected:
    void SetUp() override {
        EndAllViewers();
        files_ = HostPath("vsclient_test_files");
        CreateDirectoryA(files_.c_str(), nullptr);
    }
    void TearDown() override {
        EndAllViewers();
        for (const std::string& path : made_) DeleteFileA(path.c_str());
        RemoveDirectoryA(files_.c_str());
    }
    // A path in the test's own folder; the file is removed before and after the test.
    std::string File(const std::string& name) {
        const std::string path = files_ + "\\" + name;
        DeleteFileA(path.c_str());
        made_.push_back(path);
        return path;
    }

private:
    std::string files_;
    std::vector<std::string> made_;
};

TEST_F(Vsclient, PictureAndRecordFileRoadPrintsEveryCallbackOnItsLineAndExitsZero) {
    ViewerScript script;
    const std::string picture = File("road.bmp");
    const std::string record = File("road.rec");
    const VsclientRun run =
        RunVsclient(std::string(kLogin) + " capture 3 " + Quoted(picture) + " record 3 " + Quoted(record));

    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.out, (std::vector<std::string>{
                           "open    tag 0  192.168.1.20",
                           "status  channel 3  tag 1  picture succeeded",
                           "picture channel 3  tag 1  " + picture,
                           "status  channel 3  tag 2  record succeeded",
                           "record  channel 3  tag 2  " + record,
                           "closed  tag 0  every request succeeded",
                       }));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ReadFileBytes(picture.c_str()).substr(0, 2), "BM");
    EXPECT_EQ(ReadFileBytes(record.c_str()).substr(0, 11), "QUIL RECORD");
    // vsclient closed the server: the viewer was asked to quit.
    EXPECT_EQ(JournalEvents(script.JournalPath(), "quit").size(), 1u);
}

TEST_F(Vsclient, JsonGivesOneParsableObjectPerLine) {
    ViewerScript script;
    const std::string picture = File("json.png");
    const std::string record = File("json.rec");
    const VsclientRun run = RunVsclient(std::string("--json ") + kLogin + " capture 0 " + Quoted(picture) +
                                        " record 5 " + Quoted(record));
    EXPECT_EQ(run.exitCode, 0u);

    std::vector<JsonObject> objects;
    for (const std::string& line : run.out) {
        JsonObject object;
        EXPECT_TRUE(FlatJsonParser(line).Parse(object)) << line;
        objects.push_back(object);
    }
    const std::vector<std::string> events = {"open", "status", "picture", "status", "record", "closed"};
    ASSERT_EQ(objects.size(), events.size());
    auto text = [&](std::size_t i, const char* key) { return objects[i][key].text; };
    for (std::size_t i = 0; i < events.size(); ++i) EXPECT_EQ(text(i, "event"), events[i]) << i;
    EXPECT_EQ(text(0, "detail"), "192.168.1.20");

    EXPECT_EQ(text(1, "channel"), "0");
    EXPECT_EQ(text(1, "tag"), "1");
    EXPECT_EQ(text(1, "operation"), "picture");
    EXPECT_EQ(objects[1]["outcome"].kind, JsonValue::Integer);
    EXPECT_EQ(text(1, "outcome"), "0");
    EXPECT_EQ(text(2, "path"), picture) << "backslashes escaped and read back";
    EXPECT_EQ(text(3, "operation"), "record");
    EXPECT_EQ(text(3, "channel"), "5");
    EXPECT_EQ(text(4, "path"), record);
    EXPECT_EQ(text(4, "tag"), "2");
    EXPECT_EQ(text(5, "detail"), "every request succeeded");
}

// restart and params reach the notification window as posted messages; mac asks the
// system for an ARP answer, which Wine does not give.
TEST_F(Vsclient, RestartReportsFailureParamsArePostedAndMacIsNotFoundUnderWine) {
    ViewerScript script;
    ClearLogs();
    const VsclientRun run = RunVsclient(std::string(kLogin) + " restart params 4 0102030405060708090a0B0C mac");

    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.out, (std::vector<std::string>{
                           "open    tag 0  192.168.1.20",
                           "status  channel -1  tag 1  restart failed",
                           "params  tag 2  posted for channel 4",
                           "mac     not found",
                           "closed  tag 0  some requests failed",
                       }));
    const std::vector<std::string> texts = OpLogTexts();
    EXPECT_TRUE(Contains(texts, "重启服务器失败"));
    EXPECT_TRUE(Contains(texts, "设置录象参数"));
}

struct FailingRequest {
    const char* name;
    std::vector<std::string> script;
    std::string options;
    std::string action;  // "capture" or "record"
    std::string line;    // the line that reports the failure, for tag 1 on channel 0
};

class VsclientFailingRequest : public Vsclient, public ::testing::WithParamInterface<FailingRequest> {};

TEST_P(VsclientFailingRequest, ReportsTheFailureAndExitsOne) {
    const FailingRequest& c = GetParam();
    ViewerScript script(c.script);
    const std::string path = File(c.action == "capture" ? "failing.bmp" : "failing.rec");
    const VsclientRun run = RunVsclient(c.options + " " + kLogin + " " + c.action + " 0 " + Quoted(path));

    EXPECT_EQ(run.exitCode, 1u);
    ASSERT_EQ(run.out.size(), 3u) << ::testing::PrintToString(run.out);
    EXPECT_EQ(run.out[0], "open    tag 0  192.168.1.20");
    EXPECT_EQ(run.out[1], c.line);
    EXPECT_EQ(run.out[2], "closed  tag 0  some requests failed");
}

const std::string kNotTaken = "refused tag 1  not taken: refused by the library or by the viewer (see c:\\nv.log)";

INSTANTIATE_TEST_SUITE_P(
    Cases, VsclientFailingRequest,
    ::testing::Values(
        FailingRequest{"ViewerRefusesTheCapture", {"capture=refuse"}, "", "capture", kNotTaken},
        FailingRequest{"ViewerRefusesTheRecordFile", {"record=refuse"}, "", "record", kNotTaken},
        FailingRequest{"PictureFails", {"picture_result=0"}, "", "capture",
                       "status  channel 0  tag 1  picture failed"},
        FailingRequest{"RecordFileFails", {"record_result=0"}, "", "record",
                       "status  channel 0  tag 1  record failed"},
        FailingRequest{"NoResultBeforeTheTimeOut", {"results=none"}, "--timeout 1", "capture",
                       "timeout tag 1  no outcome in time"}),
    [](const ::testing::TestParamInfo<FailingRequest>& info) { return std::string(info.param.name); });

TEST_F(Vsclient, RequestTheLibraryRefusesNeverReachesTheViewer) {
    ViewerScript script;
    const std::string longName = std::string(64, 'n');
    const VsclientRun run = RunVsclient(std::string(kLogin) + " capture 0 " + Quoted("C:\\pictures\\" + longName));

    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_TRUE(Contains(run.out, kNotTaken)) << ::testing::PrintToString(run.out);
    for (const JournalEntry& command : JournalEvents(script.JournalPath(), "command")) {
        EXPECT_EQ(command.Get("code"), "1") << "only the open command was sent";
    }
}

struct OpenFailure {
    const char* name;
    std::string scriptLine;
};

class VsclientOpenFailure : public Vsclient, public ::testing::WithParamInterface<OpenFailure> {};

TEST_P(VsclientOpenFailure, ExitsTwoAndStopsTheViewerItStarted) {
    ViewerScript script({GetParam().scriptLine});
    const VsclientRun run = RunVsclient(std::string(kLogin) + " capture 0 " + Quoted(File("never.bmp")));

    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(run.out, std::vector<std::string>{});
    EXPECT_EQ(run.err, "vsclient: the server could not be opened (see c:\\nv.log and c:\\vs.log)\n");
    EXPECT_EQ(JournalEvents(script.JournalPath(), "quit").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Cases, VsclientOpenFailure,
                         ::testing::Values(OpenFailure{"ViewerReportsFailure", "open_result=failure"},
                                           OpenFailure{"NoRendezvous", "mapping=skip"}),
                         [](const ::testing::TestParamInfo<OpenFailure>& info) {
                             return std::string(info.param.name);
                         });

struct UsageError {
    std::string arguments;
    std::string message;
};

TEST_F(Vsclient, UsageErrorsExitTwoWithTheReasonAndTheUsageAndStartNothing) {
    const std::string login = kLogin;
    const std::string hex = "0102030405060708090A0B0C";
    const UsageError cases[] = {
        {"", "--server, --user and --password are required"},
        {"--server 10.0.0.1 --user admin capture 0 a.bmp", "--server, --user and --password are required"},
        {"--server", "--server needs a value"},
        {login, "no action given"},
        {login + " --verbose capture 0 a.bmp", "unknown option --verbose"},
        {login + " snap 0 a.bmp", "unknown action snap"},
        {login + " capture 0", "capture needs CHANNEL PATH"},
        {login + " record two a.rec", "record needs CHANNEL PATH"},
        {login + " capture 0 \"\"", "capture: the path is empty"},
        {login + " params 255 " + hex, "params needs CHANNEL (0 to 254) and 24 hex digits"},
        {login + " params 1 0102", "params needs CHANNEL (0 to 254) and 24 hex digits"},
        {login + " params 1 0102030405060708090A0B0G", "params needs CHANNEL (0 to 254) and 24 hex digits"},
        {"--timeout 0 " + login + " mac", "--timeout takes whole seconds from 1 to 86400"},
        {"--timeout soon " + login + " mac", "--timeout takes whole seconds from 1 to 86400"},
    };
    for (const UsageError& c : cases) {
        ViewerScript script;
        const VsclientRun run = RunVsclient(c.arguments);
        EXPECT_EQ(run.exitCode, 2u) << c.arguments;
        EXPECT_EQ(run.out, std::vector<std::string>{}) << c.arguments;
        EXPECT_EQ(run.err.rfind("vsclient: " + c.message + "\n\nUsage: vsclient ", 0), 0u)
            << c.arguments << "\n" << run.err;
        EXPECT_EQ(ReadJournal(script.JournalPath()).size(), 0u) << "no viewer for " << c.arguments;
    }
}

TEST_F(Vsclient, HelpDescribesTheCommandAndExitsZero) {
    const VsclientRun run = RunVsclient("--help");
    EXPECT_EQ(run.exitCode, 0u);
    ASSERT_FALSE(run.out.empty());
    EXPECT_EQ(run.out[0],
              "Usage: vsclient --server ADDR --user NAME --password PW [--timeout SECONDS] [--json] ACTION...");
    std::string all;
    for (const std::string& line : run.out) all += line + "\n";
    for (const char* word : {"capture CHANNEL PATH", "record CHANNEL PATH", "mac", "params CHANNEL HEX24",
                             "restart", "--json", "--timeout", "Exit status: 0", "SendARP", "always a failure"}) {
        EXPECT_NE(all.find(word), std::string::npos) << word;
    }
}

}  // namespace
}  // namespace nubix::test
