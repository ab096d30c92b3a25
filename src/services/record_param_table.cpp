// The per-channel tables a successful open creates and a close releases.
#include <cstring>
#include <new>

#include "client/vs_client.h"
#include "services/record_params.h"

namespace nubix {

bool VSClient::CreateTables() {
    auto* channels = new (std::nothrow) ChannelEntry[kChannelCount];
    auto* params = new (std::nothrow) RecordParams[kChannelCount];
    if (channels == nullptr || params == nullptr) {
        delete[] channels;
        delete[] params;
        return false;
    }
    for (int channel = 0; channel < kChannelCount; ++channel) {
        std::memset(&channels[channel], 0, sizeof channels[channel]);
        std::memset(&params[channel], 0, sizeof params[channel]);
    }
    channelCount = kChannelCount;
    ChannelTable = channels;
    RecordParamTable = params;
    return true;
}

void VSClient::ReleaseTables() {
    delete[] ChannelTable;
    ChannelTable = nullptr;
    delete[] RecordParamTable;
    RecordParamTable = nullptr;
}

void VSClient::SetRecordParam(int channel, const RecordParams* params) {
    if (params == nullptr || RecordParamTable == nullptr) return;
    if (!HasChannelEntry(channel, channelCount)) return;
    std::memcpy(&RecordParamTable[channel], params, sizeof(RecordParams));
}

}  // namespace nubix
