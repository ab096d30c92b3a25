// poster.exe: another process that throws messages at the library's notification
// window, for the fault matrix and the flood test.
//
//   poster messages WINDOW SEED REPORT   every number of the window's table, posted
//                                        and sent with random wParam and lParam
//   poster copydata WINDOW SEED REPORT   WM_COPYDATA with every code and size of
//                                        copydata_cases.h
//   poster results WINDOW COUNT REPORT   COUNT record-file results, back to back
//
// WINDOW is the window's handle in decimal. REPORT receives "key=value" lines saying
// what was delivered.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "channel/command_record.h"
#include "fault/copydata_cases.h"
#include "fault/fault_random.h"

namespace {

using nubix::fault::FaultRandom;

// The notification window's own numbers, and the two next to them it leaves alone.
constexpr UINT kTableNumbers[] = {WM_COPYDATA, WM_TIMER, 2025, 2027, 2029, 2030, 2032, 2033, 2034, 2035, 2036, 2037};
constexpr int kPostsPerNumber = 300;
constexpr int kSendsPerNumber = 30;
constexpr UINT kSendBoundMs = 10000;

using Report = std::map<std::string, unsigned long long>;

bool Sent(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kSendBoundMs, &answer) != 0;
}

void PostAndSendEveryNumber(HWND window, std::uint32_t seed, Report& report) {
    FaultRandom random(seed);
    for (UINT message : kTableNumbers) {
        const std::string n = std::to_string(message);
        report["delivered." + n] = 0;
        report["refused." + n] = 0;
        for (int i = 0; i < kPostsPerNumber + kSendsPerNumber; ++i) {
            const WPARAM wParam = random.Next();
            const LPARAM lParam = static_cast<LPARAM>(random.Next());
            // WM_COPYDATA carries a pointer into the sender: the system refuses to
            // post it, and sending it needs a real COPYDATASTRUCT ("copydata" mode).
            const bool ok = i < kPostsPerNumber ? PostMessageA(window, message, wParam, lParam) != 0
                                                : message != WM_COPYDATA && Sent(window, message, wParam, lParam);
            ++report[(ok ? "delivered." : "refused.") + n];
        }
    }
}

void SendEveryCopyData(HWND window, std::uint32_t seed, Report& report) {
    report["sent"] = 0;
    report["answered_nonzero"] = 0;
    for (const nubix::fault::CopyDataCase& c : nubix::fault::MakeCopyDataCases(seed)) {
        COPYDATASTRUCT copyData;
        copyData.dwData = c.code;
        copyData.cbData = static_cast<DWORD>(c.data.size());
        copyData.lpData = c.data.empty() ? nullptr : const_cast<std::uint8_t*>(c.data.data());
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copyData), SMTO_NORMAL,
                                kSendBoundMs, &answer)) {
            ++report["sent"];
            if (answer != 0) ++report["answered_nonzero"];
        }
    }
}

void SendResults(HWND window, unsigned long count, Report& report) {
    report["sent"] = 0;
    for (unsigned long i = 0; i < count; ++i) {
        nubix::CommandRecord record;
        std::memset(&record, 0, sizeof record);
        record.channel = static_cast<std::int32_t>(i % 255);
        record.tag = static_cast<std::int32_t>(i);
        std::strcpy(record.directory, "C:\\flood\\");
        std::snprintf(record.fileName, sizeof record.fileName, "r%lu.rec", i);
        record.result = 1;
        COPYDATASTRUCT copyData{nubix::CMD_RECORD_FILE, sizeof record, &record};
        // Synchronous, as the viewer sends: the host has taken it when this returns.
        SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copyData));
        ++report["sent"];
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: poster messages|copydata|results WINDOW SEED|COUNT REPORT\n");
        return 2;
    }
    const std::string mode = argv[1];
    HWND window = reinterpret_cast<HWND>(static_cast<INT_PTR>(std::strtoll(argv[2], nullptr, 10)));
    const unsigned long number = std::strtoul(argv[3], nullptr, 10);
    if (!IsWindow(window)) return 3;

    Report report;
    if (mode == "messages") PostAndSendEveryNumber(window, number, report);
    else if (mode == "copydata") SendEveryCopyData(window, number, report);
    else if (mode == "results") SendResults(window, number, report);
    else return 2;

    std::FILE* out = std::fopen(argv[4], "w");
    if (out == nullptr) return 4;
    for (const auto& [key, value] : report) std::fprintf(out, "%s=%llu\n", key.c_str(), value);
    std::fclose(out);
    return 0;
}
