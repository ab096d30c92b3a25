// The client object behind the IVSClient pointer that hosts receive.
#pragma once

#include <windows.h>

#include <cstdint>

#include "NubixVSClient.h"
#include "channel/command_record.h"

namespace nubix {

// One entry of the per-channel table that each open creates; its bytes stay zero.
struct ChannelEntry {
    std::uint8_t bytes[16];
};
static_assert(sizeof(ChannelEntry) == 16, "ChannelEntry is 16 bytes");

constexpr int kChannelCount = 255;

class VSClient final : public IVSClient {
public:
    VSClient();
    ~VSClient();
    VSClient(const VSClient&) = delete;
    VSClient& operator=(const VSClient&) = delete;

    // IVSClient, in slot order.
    int RestartServer() override;
    int OpenServer(const char* address, int reserved1, const char* user, const char* password,
                   int reserved2) override;
    int CloseServer() override;
    int Reserved3(int) override;
    int Reserved4(int) override;
    int CapturePicture(int channel, const RequestBlock* request) override;
    int RequestRecordFile(int channel, const RequestBlock* request) override;
    int Reserved7(int) override;
    int Reserved8(int) override;
    int GetServerMac(char* buffer, int size) override;
    int Reserved10(int, int, int, int) override;
    void SetCallback(ResultCallback callback) override;
    HWND GetNotifyWindow() override;
    void SetRecordParam(int channel, const RecordParams* params) override;

    // Hands a command to the viewer's command window; re-opens the server with the
    // saved login when the viewer does not take it. Returns the viewer's answer.
    int SendCommand(HWND viewerWindow, HWND clientWindow, std::uint32_t code, const void* data,
                    int size);

    // Calls the host's callback, if any, with the kind widened to 32 bits with zeros.
    int InvokeCallback(int channel, std::uint16_t kind, int tag, void* data, int length);

    HWND notifyWindow = nullptr;
    ChannelEntry* ChannelTable = nullptr;
    RecordParams* RecordParamTable = nullptr;
    int channelCount = 0;
    ResultCallback callback = nullptr;
    int serverOpen = 0;

    // The per-channel tables of an open: created zeroed, released by close.
    bool CreateTables();
    void ReleaseTables();

private:
    // Sends a request record to the viewer through the rendezvous handles.
    int SendRequest(std::uint32_t code, const CommandRecord& record);
};

}  // namespace nubix
