// GetServerMac (slot 9) with ARP answers chosen by the test: the hexadecimal text,
// the buffer-size rules, failures, and the address the request is sent to.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "NubixVSClient.h"
#include "channel/command_record.h"
#include "client/process_state.h"
#include "services/server_mac.h"

namespace nubix {
namespace {

// 192.168.7.9 as inet_addr gives it: network byte order in memory.
constexpr ULONG kServer = 0x0907A8C0;

// What the fake ARP service answers, and what it was asked.
struct ArpScript {
    DWORD error = NO_ERROR;
    std::vector<unsigned char> write;  // bytes put into the address buffer (at most 8)
    ULONG length = 6;                  // the length it reports back

    int calls = 0;
    ULONG destination = 0;
    ULONG source = 0xDEADBEEF;
    ULONG lengthIn = 0;
    unsigned char bufferIn[8] = {};
};
ArpScript Script;

DWORD WINAPI FakeArp(ULONG destination, ULONG source, void* address, ULONG* length) {
    ++Script.calls;
    Script.destination = destination;
    Script.source = source;
    Script.lengthIn = *length;
    std::memcpy(Script.bufferIn, address, sizeof Script.bufferIn);
    if (!Script.write.empty()) std::memcpy(address, Script.write.data(), Script.write.size());
    *length = Script.length;
    return Script.error;
}

const std::vector<unsigned char> kMac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

std::string Zeros(std::size_t n) { return std::string(n, '\0'); }

class ServerMacTest : public ::testing::Test {
protected:
    void SetUp() override {
        Script = ArpScript{};
        client = kesaCreateVSClient();
        ASSERT_NE(client, nullptr);
        SetArpRequestForTesting(FakeArp);
    }
    void TearDown() override {
        SetArpRequestForTesting(nullptr);
        kesaReleaseVSClient(client);
    }

    static void SaveAddress(const char* address) {
        CopyPadded(SavedLogin.address, sizeof SavedLogin.address, address);
    }

    // Calls slot 9 on a buffer of 0xCC bytes and returns the whole buffer.
    std::string Lookup(int size, int* result) {
        char buffer[kBufferBytes];
        std::memset(buffer, 0xCC, sizeof buffer);
        *result = client->GetServerMac(buffer, size);
        return std::string(buffer, sizeof buffer);
    }

    static constexpr std::size_t kBufferBytes = 48;
    IVSClient* client = nullptr;
};

struct MacCase {
    const char* name;
    DWORD error;
    std::vector<unsigned char> write;
    ULONG length;
    int size;
    int result;
    std::string written;  // the first max(size, 0) bytes; the rest must stay 0xCC
};

TEST_F(ServerMacTest, FormatsTheAnswerIntoTheBufferAsFarAsItFits) {
    const MacCase cases[] = {
        {"13-byte buffer", NO_ERROR, kMac, 6, 13, 1, std::string("001A2B3C4D5E") + Zeros(1)},
        {"20-byte buffer: zeros to the end", NO_ERROR, kMac, 6, 20, 1, "001A2B3C4D5E" + Zeros(8)},
        {"12-byte buffer: no terminator", NO_ERROR, kMac, 6, 12, 1, "001A2B3C4D5E"},
        {"4-byte buffer: first 4 digits", NO_ERROR, kMac, 6, 4, 1, "001A"},
        {"size 0: untouched", NO_ERROR, kMac, 6, 0, 1, ""},
        {"negative size: treated as 0", NO_ERROR, kMac, 6, -1, 1, ""},
        {"uppercase, leading zero kept", NO_ERROR, {0xAB, 0x0A, 0xFF, 0x00, 0xC3, 0x5D}, 6, 13, 1,
         std::string("AB0AFF00C35D") + Zeros(1)},
        {"short answer of 4 bytes", NO_ERROR, {0x01, 0x02, 0x03, 0x04}, 4, 20, 1, "01020304" + Zeros(12)},
        {"answer of 1 byte", NO_ERROR, {0xF0}, 1, 4, 1, std::string("F0") + Zeros(2)},
        {"length claims 6, 2 written: the rest is the 0xFF fill", NO_ERROR, {0x01, 0x02}, 6, 13, 1,
         std::string("0102FFFFFFFF") + Zeros(1)},
        {"length claims 20: only the 8-byte buffer is read", NO_ERROR,
         {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}, 20, 40, 1, "1122334455667788" + Zeros(24)},
        {"ARP error 50 (not supported)", ERROR_NOT_SUPPORTED, kMac, 6, 20, 0, Zeros(20)},
        {"ARP error 31 (no answer)", ERROR_GEN_FAILURE, kMac, 6, 13, 0, Zeros(13)},
        {"ARP error with length 0", ERROR_BAD_NET_NAME, {}, 0, 5, 0, Zeros(5)},
        {"any other non-zero answer", 0x10000, kMac, 6, 13, 0, Zeros(13)},
        {"no error but length 0", NO_ERROR, kMac, 0, 20, 0, Zeros(20)},
        {"ARP error, negative size: nothing written", ERROR_GEN_FAILURE, kMac, 6, -7, 0, ""},
    };
    SaveAddress("192.168.7.9");
    for (const MacCase& c : cases) {
        SCOPED_TRACE(c.name);
        Script.error = c.error;
        Script.write = c.write;
        Script.length = c.length;
        int result = -1;
        const std::string buffer = Lookup(c.size, &result);
        EXPECT_EQ(result, c.result);
        std::string expected = c.written;
        expected.resize(kBufferBytes, '\xCC');
        EXPECT_EQ(buffer, expected);
    }
}

TEST_F(ServerMacTest, AsksArpForTheSavedAddressWithA6ByteRequest) {
    SaveAddress("192.168.7.9");
    Script.write = kMac;
    int result = 0;
    Lookup(13, &result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Script.calls, 1);
    EXPECT_EQ(Script.destination, kServer);
    EXPECT_EQ(Script.source, 0u);
    EXPECT_EQ(Script.lengthIn, 6u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(Script.bufferIn), 8), std::string(8, '\xFF'));

    // No cache: every call asks again.
    Lookup(13, &result);
    EXPECT_EQ(Script.calls, 2);
}

TEST_F(ServerMacTest, ReadsAnAddressThatFillsItsFieldWithinTheField) {
    // 64 characters, no terminator: "192.168.7." and an octal 07 padded with zeros.
    // Read past the field, the user name's "9" would make the last part invalid octal.
    const std::string address = "192.168.7." + std::string(53, '0') + "7";
    ASSERT_EQ(address.size(), sizeof SavedLogin.address);
    SaveAddress(address.c_str());
    CopyPadded(SavedLogin.user, sizeof SavedLogin.user, "99");
    Script.write = kMac;
    int result = 0;
    const std::string buffer = Lookup(13, &result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Script.destination, 0x0707A8C0u);
    EXPECT_EQ(buffer.substr(0, 13), std::string("001A2B3C4D5E") + Zeros(1));
}

TEST_F(ServerMacTest, FailsWithoutAskingWhenNoHostAddressIsSaved) {
    const char* const addresses[] = {
        nullptr,  // before any open: SavedLogin as the constructor left it
        "", "videoserver", "videoserver.local", "192.168.7.300", "1.2.3.4.5", "192.168.7.9x", "0.0.0.0",
        "255.255.255.255",
    };
    Script.write = kMac;  // a lookup that did ask would succeed
    for (const char* address : addresses) {
        SCOPED_TRACE(address ? address : "(never opened)");
        if (address != nullptr) SaveAddress(address);
        Script.calls = 0;
        int result = -1;
        const std::string buffer = Lookup(20, &result);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(Script.calls, 0);
        EXPECT_EQ(buffer.substr(0, 21), Zeros(20) + '\xCC');
    }
}

TEST_F(ServerMacTest, NullBufferWithARoomIsRefusedWithoutARequest) {
    SaveAddress("192.168.7.9");
    Script.write = kMac;
    // A size promises room that a null buffer cannot have: refused, nothing sent.
    EXPECT_EQ(client->GetServerMac(nullptr, 13), 0);
    EXPECT_EQ(Script.calls, 0);
    // With size 0 nothing is to be written, so a null buffer is as good as any.
    EXPECT_EQ(client->GetServerMac(nullptr, 0), 1);
}

}  // namespace
}  // namespace nubix
