// Records every call of the host callback, as a host would see it.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "NubixVSClient.h"

namespace nubix::test {

struct CallbackCall {
    int channel;
    std::uint32_t kind;  // the full 32-bit argument, to see that it was widened with zeros
    int tag;
    std::string data;    // the bytes the data pointer held, `length` of them
    int length;

    StatusBlock Status() const;
    bool operator==(const CallbackCall& other) const;
};

// The callback to register; every call is appended to Calls().
int __stdcall RecordingCallback(int channel, unsigned short kind, int tag, void* data, int length);
ResultCallback Recorder();

std::vector<CallbackCall>& Calls();

CallbackCall StatusCall(int channel, int tag, std::uint16_t operation, int outcome);
CallbackCall FileCall(int channel, std::uint32_t kind, int tag, const std::string& path);

// gtest prints calls readably.
void PrintTo(const CallbackCall& call, std::ostream* os);

}  // namespace nubix::test
