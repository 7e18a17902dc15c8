// What reaches the server, byte for byte, and how its replies are judged.
#include <atomic>

#include "NetFixture.h"

using namespace nettest;

namespace {

size_t CountRequests() { return Requests().size(); }

}  // namespace

TEST_F(NetTest, ConnectProbesTheStatusPageWithAPlainGet) {
    size_t before = CountRequests();
    auto c = Connected();
    auto all = Requests();
    ASSERT_EQ(before + 1, all.size());
    const std::string& probe = all.back();
    EXPECT_EQ(0u, probe.find("GET /Quarrow.asp HTTP/1.0\r\n")) << probe;
    EXPECT_NE(std::string::npos, probe.find("\r\nUser-Agent: Quarrow\r\n"));
    EXPECT_EQ(std::string::npos, probe.find("Content-Type"));
    EXPECT_EQ(std::string::npos, probe.find("Cookie"));
    EXPECT_EQ(std::string::npos, probe.find("Referer"));
    EXPECT_EQ("", Body(probe));
}

TEST_F(NetTest, FormTextIsSentWithItsZeroByteAndNoContentType) {
    auto c = Connected();
    ASSERT_EQ(0, c->Run(client::OperationKind::SetWebFtpEnable, client::SwitchArg{1}));
    std::string request = Requests().back();
    EXPECT_EQ(0u, request.find("POST /goform/formDownFlashState HTTP/1.0\r\n")) << request;
    EXPECT_NE(std::string::npos, Head(request).find("Content-Length: 13\r\n"));
    EXPECT_EQ(std::string::npos, Head(request).find("Content-Type"));
    EXPECT_EQ(std::string("downSwitch=1\0", 13), Body(request));

    ASSERT_EQ(0, c->Run(client::OperationKind::SetBtEnable, client::SwitchArg{0}));
    EXPECT_EQ(std::string("setBtState=0\0", 13), Body(Requests().back()));
    ASSERT_EQ(0, c->Run(client::OperationKind::SetBtEnable, client::SwitchArg{1}));
}

TEST_F(NetTest, MultipartBodyWithFixedBoundaryAndZeroByte) {
    auto c = Connected();
    // No such job: the server answers with its own code, which is what counts here.
    int result = c->Run(client::OperationKind::PauseWebFtpItem, client::ItemKeyArg{"[USB5]/movies/a%2520b%2525.avi"});
    EXPECT_EQ(5022, result);  // ERR_NULL_ITEM
    std::string request = Requests().back();
    EXPECT_EQ(0u, request.find("POST /goform/formNasDownloadTable HTTP/1.0\r\n")) << request;
    const std::string text =
        "--/////////////////\r\nContent-Disposition: form-data; name=\"selectItem\"\r\n\r\n"
        "[USB5]/movies/a%2520b%2525.avi\r\n"
        "--/////////////////\r\nContent-Disposition: form-data; name=\"Pause\"\r\n\r\nPause\r\n"
        "--/////////////////--";
    EXPECT_EQ(text + std::string(1, '\0'), Body(request));
    EXPECT_NE(std::string::npos,
              Head(request).find("Content-Type: multipart/form-data; boundary=/////////////////\r\n"));
    EXPECT_NE(std::string::npos, Head(request).find("Content-Length: " + std::to_string(text.size() + 1) + "\r\n"));
    // The header travels once.
    EXPECT_EQ(Head(request).find("Content-Type"), Head(request).rfind("Content-Type"));
}

TEST_F(NetTest, BtControlBodies) {
    auto c = Connected();
    c->Run(client::OperationKind::PauseBtItem, client::ItemKeyArg{"77"});
    EXPECT_EQ(std::string("selectItem=77&Pause=Pause\0", 26), Body(Requests().back()));
    c->Run(client::OperationKind::ResumeBtItem, client::ItemKeyArg{"77"});
    EXPECT_EQ(std::string("selectItem=77&Resume=Resume\0", 28), Body(Requests().back()));
    c->Run(client::OperationKind::RemoveBtItem, client::ItemKeyArg{"77"});
    EXPECT_EQ(std::string("selectItem=77&RemoveSel=Remove+Selected\0", 40), Body(Requests().back()));
    c->Run(client::OperationKind::SetBtPriority, client::PriorityArg{"77", -1});
    EXPECT_EQ(std::string("selectOrder=-1&number=77\0", 25), Body(Requests().back()));
    EXPECT_EQ(0u, Requests().back().find("POST /goform/formBtListTable HTTP/1.0\r\n"));
}

TEST_F(NetTest, ReplyMarkerVariants) {
    auto c = Connected();
    SetFaults(R"({"reply_code": "Success"})");
    EXPECT_EQ(0, c->Run(client::OperationKind::SetBtEnable, client::SwitchArg{1}));
    SetFaults(R"({"marker_cr": true, "reply_code": "Success"})");
    EXPECT_EQ(5504, c->Run(client::OperationKind::SetBtEnable, client::SwitchArg{1}));
    SetFaults(R"({"marker_at_end": true, "reply_code": "Success"})");
    EXPECT_EQ(5503, c->Run(client::OperationKind::SetBtEnable, client::SwitchArg{1}));
    SetFaults(R"({"no_marker": true})");
    EXPECT_EQ(5503, c->Run(client::OperationKind::SetBtEnable, client::SwitchArg{1}));
    SetFaults(R"({"reply_code": "ERR_SOMETHING_NEW"})");
    EXPECT_EQ(5504, c->Run(client::OperationKind::SetBtEnable, client::SwitchArg{1}));
    SetFaults(R"({"reply_code": "ERR_PAUSED_BEFORE"})");
    EXPECT_EQ(5011, c->Run(client::OperationKind::PauseBtItem, client::ItemKeyArg{"1"}));
    SetFaults(R"({"split_marker_at": 1000, "reply_code": "ERR_BT_DISABLED"})");
    EXPECT_EQ(5023, c->Run(client::OperationKind::SetBtEnable, client::SwitchArg{1}));
    SetFaults(R"({"truncate": 10})");
    EXPECT_EQ(5503, c->Run(client::OperationKind::SetBtEnable, client::SwitchArg{1}));
}

TEST_F(NetTest, AMegabyteAfterTheMarkerIsNotAwaited) {
    auto c = Connected();
    // The server sends the marker line first and then a megabyte slowly; reading
    // stops at the marker, so the operation ends long before the body would.
    SetFaults(R"({"big_body": 1048576, "reply_code": "Success"})");
    DWORD start = ::GetTickCount();
    EXPECT_EQ(0, c->Run(client::OperationKind::SetBtEnable, client::SwitchArg{1}));
    EXPECT_LT(::GetTickCount() - start, 5000u);
}

TEST_F(NetTest, TransportFailuresGiveConnectError) {
    auto c = Connected();
    SetFaults(R"({"reset": true})");
    EXPECT_EQ(5502, c->Run(client::OperationKind::SetBtEnable, client::SwitchArg{1}));
    SetFaults("");
    EXPECT_EQ(0, c->Run(client::OperationKind::SetBtEnable, client::SwitchArg{1}));  // the connection is kept

    // Nobody listens on port 80 of the PC's own address.
    auto refused = MakeClient();
    EXPECT_EQ(5502, refused->Run(client::OperationKind::Connect, client::ConnectArg{"", "10.77.0.10"}));
    EXPECT_FALSE(refused->IsConnected());
    EXPECT_EQ(5501, refused->Run(client::OperationKind::SetBtEnable, client::SwitchArg{1}));
}

TEST_F(NetTest, ConnectOutcomesFollowTheProbeStatus) {
    SetFaults(R"({"status": 404})");
    auto c = MakeClient();
    EXPECT_EQ(5502, c->Run(client::OperationKind::Connect, client::ConnectArg{"", Server()}));
    EXPECT_FALSE(c->IsConnected());
    SetFaults(R"({"status": 401})");
    EXPECT_EQ(5501, c->Run(client::OperationKind::Connect, client::ConnectArg{"", Server()}));
    EXPECT_FALSE(c->IsConnected());
    // Any other status counts as success; the body is not judged.
    SetFaults(R"({"no_marker": true})");
    EXPECT_EQ(0, c->Run(client::OperationKind::Connect, client::ConnectArg{"", Server()}));
    EXPECT_TRUE(c->IsConnected());
}

TEST_F(NetTest, WithoutAConnectionNothingIsSent) {
    size_t before = CountRequests();
    auto c = MakeClient();
    client::PathArg path;
    client::FolderListArg list;
    client::ServerStatus status;
    EXPECT_EQ(5501, c->Run(client::OperationKind::SetBtEnable, client::SwitchArg{1}));
    EXPECT_EQ(5501, c->Run(client::OperationKind::SetBtPriority, client::PriorityArg{"1", 1}));
    EXPECT_EQ(5501, c->Run(client::OperationKind::PauseBtItem, client::ItemKeyArg{"1"}));
    EXPECT_EQ(5501, c->Run(client::OperationKind::ResumeBtItem, client::ItemKeyArg{"1"}));
    EXPECT_EQ(5501, c->Run(client::OperationKind::RemoveBtItem, client::ItemKeyArg{"1"}));
    EXPECT_EQ(5501, c->Run(client::OperationKind::SetWebFtpEnable, client::SwitchArg{0}));
    EXPECT_EQ(5501, c->Run(client::OperationKind::PauseWebFtpItem, client::ItemKeyArg{"k"}));
    EXPECT_EQ(5501, c->Run(client::OperationKind::ResumeWebFtpItem, client::ItemKeyArg{"k"}));
    EXPECT_EQ(5501, c->Run(client::OperationKind::RemoveWebFtpItem, client::ItemKeyArg{"k"}));
    EXPECT_EQ(5501, c->Run(client::OperationKind::AddWebFtpItem,
                           client::AddWebFtpArg{"http://a/b", "http://a/b", "[HDD1]", "", ""}));
    EXPECT_EQ(5501, c->Run(client::OperationKind::AddBtItemFromFile,
                           client::AddBtFileArg{"C:\\x.torrent", nullptr, "[HDD1]", 0}));
    EXPECT_EQ(5501, c->Run(client::OperationKind::AddBtItemFromUrl,
                           client::AddBtUrlArg{"http://a/b.torrent", "http://a/b.torrent", "[HDD1]", 0}));
    EXPECT_EQ(5501, c->Run(client::OperationKind::RefreshStatus, status));
    EXPECT_EQ(5501, c->Run(client::OperationKind::SetDefaultPath, client::PathArg{"[HDD1]"}));
    EXPECT_EQ(5501, c->Run(client::OperationKind::GetDefaultPath, path));
    EXPECT_EQ(5501, c->Run(client::OperationKind::OpenRoot, list));
    EXPECT_EQ(5501, c->Run(client::OperationKind::OpenSubCatalog, client::FolderListArg{"[HDD1]", {}}));
    EXPECT_EQ(before, CountRequests());
}

TEST_F(NetTest, GivenUpOperationLeavesTheClientUsable) {
    auto c = MakeClient(1500);
    ASSERT_EQ(0, c->Run(client::OperationKind::Connect, client::ConnectArg{"", Server()}));
    SetFaults(R"({"delay": 4, "times": 1, "id": "slow-once"})");
    DWORD start = ::GetTickCount();
    EXPECT_EQ(5516, c->Run(client::OperationKind::SetBtEnable, client::SwitchArg{1}));
    DWORD took = ::GetTickCount() - start;
    EXPECT_GE(took, 1400u);
    EXPECT_LT(took, 3500u);
    EXPECT_EQ(0, c->Run(client::OperationKind::SetBtEnable, client::SwitchArg{1}));
}

// Run by a second test entry whose stand-in requires a password.
namespace {

// A prompt that answers from a script and a store that records what it is told.
struct ScriptedLogin {
    struct Answer {
        std::string user, password;
        bool remember;
    };
    std::vector<Answer> answers;
    int prompts = 0, promptObjects = 0;
    std::vector<std::string> storeCalls;
    std::string rememberedUser, rememberedPassword;

    client::LoginHooks Hooks() {
        struct Store : client::ILoginStore {
            ScriptedLogin& s;
            explicit Store(ScriptedLogin& s) : s(s) {}
            void Read(const std::string&, std::string& u, std::string& p) override {
                u = s.rememberedUser;
                p = s.rememberedPassword;
            }
            void Remember(const std::string& a, const std::string& u, const std::string& p) override {
                s.storeCalls.push_back("remember " + a + " " + u + ":" + p);
            }
            void Forget(const std::string& a) override { s.storeCalls.push_back("forget " + a); }
        };
        struct Prompt : client::ILoginPrompt {
            ScriptedLogin& s;
            explicit Prompt(ScriptedLogin& s) : s(s) {}
            bool Ask(std::string& u, std::string& p, bool& remember) override {
                if (++s.prompts > static_cast<int>(s.answers.size())) return false;  // cancel
                const Answer& a = s.answers[static_cast<size_t>(s.prompts - 1)];
                u = a.user;
                p = a.password;
                remember = a.remember;
                return true;
            }
        };
        return {std::make_shared<Store>(*this), [this](const std::string& display, std::function<bool()> givenUp) {
                    EXPECT_FALSE(givenUp());
                    EXPECT_EQ("NAS (10.77.0.2)", display);
                    ++promptObjects;
                    return std::make_unique<Prompt>(*this);
                }};
    }
};

}  // namespace

TEST(Auth, TheLoginLoopAsksUntilTheServerAcceptsOrTheUserCancels) {
    const std::string address = Server();
    struct Case {
        const char* name;
        bool startedAhead;  // the same login after a start ahead, which never asks
        std::string rememberedUser, rememberedPassword;
        std::vector<ScriptedLogin::Answer> answers;
        int result, prompts;
        std::vector<std::string> storeCalls;
    };
    // WinINet keeps accepted credentials for the rest of the process, even
    // across sessions: the one success comes last.
    const Case cases[] = {
        {"cancel at the first prompt", false, "", "", {}, 5501, 1, {}},
        {"remembered but wrong, then wrong again, then cancel",
         false,
         "admin",
         "old",
         {{"admin", "nope", false}},
         5501,
         2,
         {"forget " + address}},
        {"started ahead with wrong ones, then cancel", true, "admin", "old", {}, 5501, 1, {}},
        // Stored when confirmed, before the server has judged them.
        {"started ahead, then wrong, then right",
         true,
         "",
         "",
         {{"admin", "nope", true}, {"admin", "secret", false}},
         0,
         2,
         {"remember " + address + " admin:nope", "forget " + address}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedLogin login;
        login.rememberedUser = c.rememberedUser;
        login.rememberedPassword = c.rememberedPassword;
        login.answers = c.answers;
        auto client = std::make_unique<client::CDeviceClient>(std::make_shared<client::BlockingOperationHost>());
        client->SetLoginHooks(login.Hooks());
        if (c.startedAhead) client->StartAhead(client::ConnectArg{"NAS (10.77.0.2)", address});
        EXPECT_EQ(c.result,
                  client->Run(client::OperationKind::Connect, client::ConnectArg{"NAS (10.77.0.2)", address}));
        EXPECT_EQ(c.result == 0, client->IsConnected());
        EXPECT_EQ(c.prompts, login.prompts);
        EXPECT_EQ(c.prompts ? 1 : 0, login.promptObjects);  // one prompt object serves every retry
        EXPECT_EQ(c.storeCalls, login.storeCalls);
        if (c.result != 0) {
            EXPECT_EQ(5501, client->Run(client::OperationKind::SetBtEnable, client::SwitchArg{1}));
            continue;
        }
        EXPECT_EQ(0, client->Run(client::OperationKind::SetBtEnable, client::SwitchArg{1}));
        // "admin:secret" in base64.
        EXPECT_NE(std::string::npos, Requests().back().find("Authorization: Basic YWRtaW46c2VjcmV0\r\n"));
    }
}

// Connecting ahead with the remembered credentials: the first Connect and
// refresh take its two exchanges over and send nothing of their own; the next
// refresh asks the server again.
TEST(Auth, ConnectionStartedAheadIsTakenOver) {
    auto c = std::make_unique<client::CDeviceClient>(std::make_shared<client::BlockingOperationHost>());
    c->SetLoginHooks({std::make_shared<client::FixedLoginStore>("admin", "secret"), nullptr});
    const size_t before = Requests().size();
    c->StartAhead(client::ConnectArg{"", Server()});
    // Its exchanges are over once the server has seen nothing new for a while.
    size_t ahead = before;
    for (DWORD start = ::GetTickCount(), quiet = start; ::GetTickCount() - start < 10000;) {
        ::Sleep(20);
        const size_t now = Requests().size();
        if (now != ahead) ahead = now, quiet = ::GetTickCount();
        if (ahead >= before + 2 && ::GetTickCount() - quiet > 500) break;
    }
    ASSERT_EQ(0, c->Run(client::OperationKind::Connect, client::ConnectArg{"", Server()}));
    for (size_t sent : {0, 1}) {
        client::ServerStatus status;
        ASSERT_EQ(0, c->Run(client::OperationKind::RefreshStatus, status));
        EXPECT_TRUE(status.btEnabled && status.webFtpEnabled);  // the page was read
        EXPECT_EQ(ahead + sent, Requests().size());
    }
}

// A host whose time-out the test changes between operations.
class ShortTimeoutHost : public client::IOperationHost {
public:
    DWORD timeoutMs = 300000;
    void Run(const std::shared_ptr<client::DeviceOperation>& job, UINT statusTextId) override {
        client::BlockingOperationHost(timeoutMs).Run(job, statusTextId);
    }
};

// A worker given up while the server is slow wakes up later, when the next
// operations are already under way. Whatever it does next with its request
// handle must reach its own request: a handle value closed under it would
// come back for the next operation's request.
std::atomic<int> g_ownRequest{0}, g_foreignRequest{0};

TEST_F(NetTest, GivenUpWorkerNeverTouchesTheNextOperations) {
    g_ownRequest = g_foreignRequest = 0;
    client::g_afterSendForTesting = [](HINTERNET request, bool givenUp) {
        if (!givenUp) return;
        ::Sleep(100);  // lingers, as on a busy machine, while the next operations run
        char url[512] = {};
        DWORD size = sizeof url;
        bool own = ::InternetQueryOptionA(request, INTERNET_OPTION_URL, url, &size) &&
                   std::string(url).find("formSetBtFlashState") != std::string::npos;
        ++(own ? g_ownRequest : g_foreignRequest);
    };
    auto host = std::make_shared<ShortTimeoutHost>();
    client::CDeviceClient c(host);
    ASSERT_EQ(0, c.Run(client::OperationKind::Connect, client::ConnectArg{"", Server()}));
    const int rounds = 10;
    for (int round = 0; round < rounds; ++round) {
        SetFaults(R"({"delay": 0.3, "times": 1, "paths": ["goform/formSetBtFlashState"], "id": )" +
                  std::to_string(round) + "}");
        host->timeoutMs = 100;
        ASSERT_EQ(5516, c.Run(client::OperationKind::SetBtEnable, client::SwitchArg{1})) << round;
        host->timeoutMs = 300000;
        DWORD start = ::GetTickCount();
        while (::GetTickCount() - start < 500) {
            client::FolderListArg disks;
            ASSERT_EQ(0, c.Run(client::OperationKind::OpenRoot, disks)) << "round " << round;
            ASSERT_FALSE(disks.names.empty());
        }
    }
    // The last given-up worker wakes up after the loop.
    for (DWORD start = ::GetTickCount(); g_ownRequest + g_foreignRequest < rounds && ::GetTickCount() - start < 10000;)
        ::Sleep(50);
    client::g_afterSendForTesting = nullptr;
    EXPECT_EQ(0, g_foreignRequest.load());
    EXPECT_GE(g_ownRequest.load(), rounds);
}

// After the login the credentials travel with the first request of every
// operation: one exchange instead of a 401 and a second try. A password that
// stops working still ends as a refused request does today.
TEST(Auth, AfterTheLoginCredentialsGoWithTheFirstRequest) {
    auto c = std::make_unique<client::CDeviceClient>(std::make_shared<client::BlockingOperationHost>());
    c->SetLoginHooks({std::make_shared<client::FixedLoginStore>("admin", "secret"), nullptr});
    ASSERT_EQ(0, c->Run(client::OperationKind::Connect, client::ConnectArg{"", Server()}));
    for (int run = 0; run < 2; ++run) {
        size_t before = Requests().size();
        ASSERT_EQ(0, c->Run(client::OperationKind::SetBtEnable, client::SwitchArg{1}));
        auto all = Requests();
        ASSERT_EQ(before + 1, all.size()) << "run " << run;
        EXPECT_NE(std::string::npos, Head(all.back()).find("\r\nAuthorization: Basic YWRtaW46c2VjcmV0\r\n"))
            << all.back();
        EXPECT_EQ(Head(all.back()).find("Authorization"), Head(all.back()).rfind("Authorization"));
    }
    // The server refuses from now on, as after a password change.
    nettest::SetFaults(R"({"status": 401, "reply_code": "ERR_SYSTEM_BUSY"})");
    size_t before = Requests().size();
    EXPECT_EQ(5004, c->Run(client::OperationKind::SetBtEnable, client::SwitchArg{1}));
    EXPECT_LE(Requests().size(), before + 2);
    nettest::SetFaults("");
}
