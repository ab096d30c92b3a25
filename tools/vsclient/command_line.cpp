#include "command_line.h"

#include <cerrno>
#include <cstdlib>

namespace vsclient {

const char kUsage[] =
    "Usage: vsclient --server ADDR --user NAME --password PW [--timeout SECONDS] [--json] ACTION...\n"
    "       vsclient --help\n"
    "\n"
    "Opens the video server ADDR through NubixVSClient.dll, runs the actions in the order\n"
    "given, prints each callback on one line as it arrives, waits until every request has\n"
    "its outcome or its time-out passes, then closes the server, releases the client and\n"
    "exits. A session thread of its own (nubix::Session) opens the server, runs the message\n"
    "loop, receives every callback and closes the server. Quil.exe and\n"
    "ocx\\brindle\\VANTO.ocx must be installed beside this program, as in the SDK's tools\n"
    "directory.\n"
    "\n"
    "Actions (each gets a tag: its position, from 1):\n"
    "  capture CHANNEL PATH   take a picture of CHANNEL into PATH; a change of channel\n"
    "                         costs one second before the request is sent\n"
    "  record CHANNEL PATH    fetch a record file of CHANNEL into PATH\n"
    "  mac                    print the server's hardware address (an ARP request: ADDR\n"
    "                         must be a dotted IPv4 address; under Wine it always fails,\n"
    "                         as Wine does not support SendARP)\n"
    "  params CHANNEL HEX24   post 12 recording-parameter bytes (24 hex digits) for CHANNEL\n"
    "                         (0 to 254); the library reports no outcome for it\n"
    "  restart                post a server restart and wait for its status; the library\n"
    "                         restarts nothing, so the status is always a failure\n"
    "\n"
    "Options:\n"
    "  --server ADDR          server address\n"
    "  --user NAME            user name\n"
    "  --password PW          password\n"
    "  --timeout SECONDS      how long each request may take to its outcome, counted from\n"
    "                         when it is made, 1 to 86400 (default 30)\n"
    "  --json                 one JSON object per line instead of readable lines\n"
    "  --help                 this text\n"
    "\n"
    "Lines, readable or JSON (every JSON line has \"event\"):\n"
    "  open     the server is open                   {\"event\":\"open\",\"tag\":0,\"detail\":ADDR}\n"
    "  status   a request's outcome                  {\"event\":\"status\",\"channel\":N,\"tag\":N,\n"
    "                                                 \"operation\":\"picture|record|restart\",\n"
    "                                                 \"outcome\":0 or -1}\n"
    "  picture  the picture's path                   {\"event\":\"picture\",\"channel\":N,\"tag\":N,\"path\":P}\n"
    "  record   the record file's path               {\"event\":\"record\",\"channel\":N,\"tag\":N,\"path\":P}\n"
    "  mac      the address, or not found            {\"event\":\"mac\",\"found\":B,\"address\":HEX}\n"
    "  params   the parameters were posted           {\"event\":\"params\",\"tag\":N,\"detail\":T}\n"
    "  refused  the request was not taken            {\"event\":\"refused\",\"tag\":N,\"detail\":T}\n"
    "  timeout  no outcome in time                   {\"event\":\"timeout\",\"tag\":N,\"detail\":T}\n"
    "  closed   the server is closed                 {\"event\":\"closed\",\"tag\":0,\"detail\":T}\n"
    "A callback of any other kind prints a \"callback\" line with its channel, kind, tag\n"
    "and length.\n"
    "\n"
    "Exit status: 0 every request succeeded; 1 a request failed, was not taken or had\n"
    "no outcome in time; 2 usage error, or the server could not be opened (the reason\n"
    "is in c:\\nv.log and c:\\vs.log).\n";

namespace {

bool ParseInt(const std::string& text, long low, long high, int& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high) return false;
    value = static_cast<int>(v);
    return true;
}

bool ParseHex24(const std::string& text, std::vector<std::uint8_t>& bytes) {
    if (text.size() != 24) return false;
    bytes.clear();
    for (std::size_t i = 0; i < 24; i += 2) {
        auto digit = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            return -1;
        };
        int hi = digit(text[i]), lo = digit(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return true;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error) {
    out = CommandLine();
    std::size_t i = 0;
    auto value = [&](const std::string& option, std::string& into) {
        if (i + 1 >= args.size()) {
            error = option + " needs a value";
            return false;
        }
        into = args[++i];
        return true;
    };
    bool haveServer = false, haveUser = false, havePassword = false;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h" || a == "/?") {
            out.help = true;
            return true;
        } else if (a == "--server") {
            if (!value(a, out.server)) return false;
            haveServer = true;
        } else if (a == "--user") {
            if (!value(a, out.user)) return false;
            haveUser = true;
        } else if (a == "--password") {
            if (!value(a, out.password)) return false;
            havePassword = true;
        } else if (a == "--timeout") {
            std::string t;
            if (!value(a, t)) return false;
            if (!ParseInt(t, 1, 86400, out.timeoutSeconds)) {
                error = "--timeout takes whole seconds from 1 to 86400";
                return false;
            }
        } else if (a == "--json") {
            out.json = true;
        } else if (a.rfind("--", 0) == 0) {
            error = "unknown option " + a;
            return false;
        } else {
            break;
        }
    }
    if (!haveServer || !haveUser || !havePassword) {
        error = "--server, --user and --password are required";
        return false;
    }
    for (; i < args.size(); ++i) {
        const std::string& word = args[i];
        Action action;
        if (word == "capture" || word == "record") {
            action.kind = word == "capture" ? ActionKind::Capture : ActionKind::Record;
            if (i + 2 >= args.size() || !ParseInt(args[i + 1], -2147483647L - 1, 2147483647L, action.channel)) {
                error = word + " needs CHANNEL PATH";
                return false;
            }
            action.path = args[i + 2];
            if (action.path.empty()) {
                error = word + ": the path is empty";
                return false;
            }
            i += 2;
        } else if (word == "mac") {
            action.kind = ActionKind::Mac;
        } else if (word == "restart") {
            action.kind = ActionKind::Restart;
        } else if (word == "params") {
            action.kind = ActionKind::Params;
            if (i + 2 >= args.size() || !ParseInt(args[i + 1], 0, 254, action.channel) ||
                !ParseHex24(args[i + 2], action.params)) {
                error = "params needs CHANNEL (0 to 254) and 24 hex digits";
                return false;
            }
            i += 2;
        } else {
            error = "unknown action " + word;
            return false;
        }
        out.actions.push_back(action);
    }
    if (out.actions.empty()) {
        error = "no action given";
        return false;
    }
    return true;
}

}  // namespace vsclient
