// A console host built against the installed SDK with nubix::Session: no message
// loop, no callback and no request block of its own. Opens the simulated server,
// takes a picture and fetches a record file, each answered with its own result, and
// asks for a file name the library would refuse. Prints what fails; exit code 0 when
// all went well.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "NubixVSClientSession.hpp"

namespace {

int failures = 0;
void Expect(bool ok, const char* what) {
    if (!ok) {
        std::printf("FAIL: %s\n", what);
        ++failures;
    }
}

std::string BesideThisProgram(const char* name) {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string path(exe);
    return path.substr(0, path.find_last_of('\\') + 1) + name;
}

}  // namespace

int main() {
    const std::string picture = BesideThisProgram("consumer_session.bmp");
    const std::string record = BesideThisProgram("consumer_session.rec");
    DeleteFileA(picture.c_str());
    DeleteFileA(record.c_str());
    const auto timeout = std::chrono::seconds(20);
    {
        nubix::Session session;
        if (session.Open("192.168.1.20", "admin", "secret", timeout) != nubix::OpenStatus::Opened) {
            std::printf("FAIL: Open (see c:\\nv.log and c:\\vs.log)\n");
            return 1;
        }
        auto pending = session.RequestRecordFileAsync(4, record, timeout);
        const nubix::RequestResult shot = session.CapturePicture(0, picture, timeout);
        const nubix::RequestResult file = pending.get();
        Expect(shot.ok() && shot.path == picture, "the picture, with its path");
        Expect(file.ok() && file.path == record, "the record file, with its path");
        Expect(shot.tag != file.tag, "a tag for each request");
        std::printf("picture: %s (%s)\nrecord: %s (%s)\n", shot.path.c_str(), nubix::ToString(shot.status),
                    file.path.c_str(), nubix::ToString(file.status));
        const nubix::RequestResult refused =
            session.CapturePicture(0, BesideThisProgram(std::string(64, 'n').c_str()), timeout);
        Expect(refused.status == nubix::RequestStatus::Refused, "a 64-character file name is refused");
    }
    Expect(GetFileAttributesA(picture.c_str()) != INVALID_FILE_ATTRIBUTES, "the picture exists");
    Expect(GetFileAttributesA(record.c_str()) != INVALID_FILE_ATTRIBUTES, "the record file exists");
    std::printf("consumer_session: %s\n", failures == 0 ? "passed" : "failed");
    return failures == 0 ? 0 : 1;
}
