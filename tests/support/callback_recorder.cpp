#include "support/callback_recorder.h"

#include <cstring>
#include <ostream>

namespace nubix::test {
namespace {

// Declared with a 32-bit kind so that the upper half the library passes is visible.
int __stdcall WideRecordingCallback(int channel, std::uint32_t kind, int tag, void* data, int length) {
    CallbackCall call{channel, kind, tag, std::string(), length};
    if (data != nullptr && length > 0) call.data.assign(static_cast<const char*>(data), length);
    Calls().push_back(call);
    return 0;
}

}  // namespace

StatusBlock CallbackCall::Status() const {
    StatusBlock status{};
    if (data.size() == sizeof status) std::memcpy(&status, data.data(), sizeof status);
    return status;
}

bool CallbackCall::operator==(const CallbackCall& o) const {
    return channel == o.channel && kind == o.kind && tag == o.tag && data == o.data && length == o.length;
}

ResultCallback Recorder() {
    return reinterpret_cast<ResultCallback>(reinterpret_cast<void (*)()>(WideRecordingCallback));
}

std::vector<CallbackCall>& Calls() {
    static std::vector<CallbackCall> calls;
    return calls;
}

CallbackCall StatusCall(int channel, int tag, std::uint16_t operation, int outcome) {
    StatusBlock status{operation, 0, outcome};
    return CallbackCall{channel, KIND_STATUS, tag,
                        std::string(reinterpret_cast<const char*>(&status), sizeof status), 8};
}

CallbackCall FileCall(int channel, std::uint32_t kind, int tag, const std::string& path) {
    return CallbackCall{channel, kind, tag, path, static_cast<int>(path.size())};
}

void PrintTo(const CallbackCall& c, std::ostream* os) {
    *os << "{channel " << c.channel << ", kind " << c.kind << ", tag " << c.tag << ", length " << c.length
        << ", data \"";
    for (unsigned char ch : c.data) {
        if (ch >= 32 && ch < 127) *os << ch; else *os << "\\x" << std::hex << int(ch) << std::dec;
    }
    *os << "\"}";
}

}  // namespace nubix::test
