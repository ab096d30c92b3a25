#include "fault/fault_session.h"

#include <regex>

#include "client/block_list.h"
#include "support/log_files.h"

namespace nubix::fault {

void FaultSession::SetUp() {
    ViewerSession::SetUp();
    // The system maps some views once per process: the code page table on the first
    // GBK decoding, the window station's on the first window. Before the count.
    test::GbkToUtf8("\xD6\xD0");
    DestroyWindow(CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
    baseline = CountResources();
}

void FaultSession::ExpectNothingLeft(std::size_t views, std::size_t windows) {
    test::PumpFor(50);
    const ResourceCounts now = CountResources();
    EXPECT_EQ(now.resultCopies, 0u);
    EXPECT_EQ(now.hostBuffers, baseline.hostBuffers);
    EXPECT_EQ(now.mappedViews, baseline.mappedViews + views);
    EXPECT_EQ(now.notifyWindows, baseline.notifyWindows + windows);
}

int FaultSession::Request(bool picture, int tag) {
    const std::string path = "C:\\faults\\" + std::to_string(tag) + (picture ? ".bmp" : ".rec");
    std::vector<char> request = test::MakeRequest(tag, path);
    return picture ? client->CapturePicture(0, test::AsRequest(request))
                   : client->RequestRecordFile(0, test::AsRequest(request));
}

std::vector<std::string> FaultSession::OpLogShape() {
    static const std::regex report("共享的地址-?[0-9]+窗口句柄-?[0-9]+DLL句柄-?[0-9]+");
    std::vector<std::string> texts = test::OpLogTexts();
    for (std::string& t : texts) {
        if (std::regex_match(t, report)) t = "<report>";
    }
    return texts;
}

}  // namespace nubix::fault
