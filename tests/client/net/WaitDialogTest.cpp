// The wait dialog in front of real operations: what it shows, how it ends.
#include <atomic>
#include <set>
#include <thread>

#include "NetFixture.h"
#include "app/WaitDlg.h"
#include "resources/resource.h"

using namespace nettest;

namespace {

std::atomic<HWND> g_dialog{nullptr};
void Observe(HWND dialog) { g_dialog = dialog; }

std::string ItemText(HWND dialog, int id) {
    char text[256] = {};
    ::GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

class WaitDialogTest : public NetTest {
protected:
    void SetUp() override {
        NetTest::SetUp();
        g_dialog = nullptr;
        app::CWaitDlg::SetObserverForTesting(&Observe);
    }
    void TearDown() override {
        app::CWaitDlg::SetObserverForTesting(nullptr);
        app::CWaitDlg::SetTimeoutForTesting(0);
        NetTest::TearDown();
    }
    std::unique_ptr<client::CDeviceClient> DialogClient() {
        return std::make_unique<client::CDeviceClient>(std::make_shared<app::WaitDialogHost>());
    }
};

}  // namespace

TEST_F(WaitDialogTest, ShowsStatusAndMovingDotsThenClosesWithoutTimers) {
    auto c = DialogClient();
    ASSERT_EQ(0, c->Run(client::OperationKind::Connect, client::ConnectArg{"", Server()}));
    g_dialog = nullptr;
    SetFaults(R"({"delay": 2})");

    std::set<std::string> waitTexts;
    std::string status;
    std::atomic<bool> done{false};
    // Watches the dialog from another thread while the window thread runs it.
    std::thread watcher([&] {
        while (!done) {
            HWND dialog = g_dialog;
            // While the dialog is torn down its controls read as empty.
            if (dialog && ::IsWindow(dialog)) {
                std::string line = ItemText(dialog, IDC_WAIT_STATUS), wait = ItemText(dialog, IDC_WAIT_TEXT);
                if (!line.empty()) status = line;
                if (!wait.empty()) waitTexts.insert(wait);
            }
            ::Sleep(50);
        }
    });
    int result = c->Run(client::OperationKind::PauseBtItem, client::ItemKeyArg{"1"});
    done = true;
    watcher.join();

    EXPECT_EQ(5022, result);  // the server's own answer, after the delay
    EXPECT_EQ("Pausing BT item...", status);
    EXPECT_TRUE(waitTexts.count("Please wait "));
    EXPECT_TRUE(waitTexts.count("Please wait ."));
    EXPECT_TRUE(waitTexts.count("Please wait ....."));
    for (const std::string& text : waitTexts) {
        ASSERT_EQ(0u, text.find("Please wait ")) << text;
        EXPECT_LE(text.size(), std::string("Please wait .........").size()) << text;
    }
    HWND dialog = g_dialog;
    ASSERT_NE(nullptr, dialog);
    EXPECT_FALSE(::IsWindow(dialog));
    EXPECT_FALSE(::KillTimer(dialog, app::CWaitDlg::kAnimationTimer));
    EXPECT_FALSE(::KillTimer(dialog, app::CWaitDlg::kTimeoutTimer));
}

TEST_F(WaitDialogTest, QuickOperationsLeaveNoTimer) {
    auto c = DialogClient();
    ASSERT_EQ(0, c->Run(client::OperationKind::Connect, client::ConnectArg{"", Server()}));
    // Over at once: no dialog at all. Over soon after the dialog came: it is gone.
    for (const char* delay : {"0", "0.3"}) {
        SCOPED_TRACE(delay);
        SetFaults(std::string(R"({"delay": )") + delay + "}");
        g_dialog = nullptr;
        EXPECT_EQ(0, c->Run(client::OperationKind::SetBtEnable, client::SwitchArg{1}));
        HWND dialog = g_dialog;
        EXPECT_EQ(std::string(delay) != "0", dialog != nullptr);
        EXPECT_FALSE(dialog && ::IsWindow(dialog));
        // A timer left on the thread would fire into the next message loop.
        MSG msg;
        ::Sleep(400);
        EXPECT_FALSE(::PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    }
}

TEST_F(WaitDialogTest, EnterAndEscapeDoNotCloseIt) {
    auto c = DialogClient();
    ASSERT_EQ(0, c->Run(client::OperationKind::Connect, client::ConnectArg{"", Server()}));
    g_dialog = nullptr;
    SetFaults(R"({"delay": 1.5})");
    std::atomic<bool> stillOpen{false};
    std::thread presser([&] {
        while (!g_dialog) ::Sleep(10);
        HWND dialog = g_dialog;
        ::Sleep(200);
        ::PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
        ::PostMessageA(dialog, WM_KEYDOWN, VK_RETURN, 0);
        ::PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        ::PostMessageA(dialog, WM_CLOSE, 0, 0);  // not from the worker: ignored too
        ::Sleep(500);
        stillOpen = ::IsWindow(dialog) != FALSE;
    });
    DWORD start = ::GetTickCount();
    EXPECT_EQ(0, c->Run(client::OperationKind::SetBtEnable, client::SwitchArg{1}));
    presser.join();
    EXPECT_TRUE(stillOpen);
    EXPECT_GE(::GetTickCount() - start, 1400u);
}

TEST_F(WaitDialogTest, TimeOutGivesUpAndTheNextOperationWorks) {
    auto c = DialogClient();
    ASSERT_EQ(0, c->Run(client::OperationKind::Connect, client::ConnectArg{"", Server()}));
    g_dialog = nullptr;
    app::CWaitDlg::SetTimeoutForTesting(1000);
    SetFaults(R"({"delay": 3, "times": 1, "id": "dialog-timeout"})");
    DWORD start = ::GetTickCount();
    EXPECT_EQ(5516, c->Run(client::OperationKind::SetWebFtpEnable, client::SwitchArg{1}));
    EXPECT_LT(::GetTickCount() - start, 2500u);
    EXPECT_FALSE(::IsWindow(g_dialog.load()));
    // The server's late answer changes nothing; the client is free again.
    EXPECT_EQ(0, c->Run(client::OperationKind::SetWebFtpEnable, client::SwitchArg{1}));
    ::Sleep(2500);
    EXPECT_EQ(0, c->Run(client::OperationKind::SetWebFtpEnable, client::SwitchArg{0}));
}

namespace {

client::CDeviceClient* g_client = nullptr;
int g_nestedResult = -1;
void NestOperation(HWND) {
    g_nestedResult = g_client->Run(client::OperationKind::SetWebFtpEnable, client::SwitchArg{0});
}
void PostQuit(HWND) { ::PostQuitMessage(7); }

}  // namespace

// What may happen on the window thread while the dialog's loop runs: a second
// operation is refused without a byte sent, and a WM_QUIT from elsewhere ends
// the operation at once and is passed on to the outer loop.
TEST_F(WaitDialogTest, NestedOperationIsRefusedAndQuitGivesUpAtOnce) {
    auto c = DialogClient();
    ASSERT_EQ(0, c->Run(client::OperationKind::Connect, client::ConnectArg{"", Server()}));
    g_client = c.get();
    app::CWaitDlg::SetObserverForTesting(&NestOperation);
    SetFaults(R"({"delay": 0.5})");
    size_t before = Requests().size();
    EXPECT_EQ(5022, c->Run(client::OperationKind::PauseBtItem, client::ItemKeyArg{"1"}));
    EXPECT_EQ(5004, g_nestedResult);  // "System is busy now, Please test later."
    auto all = Requests();
    ASSERT_EQ(before + 1, all.size());
    EXPECT_EQ(0u, all.back().find("POST /goform/formBtListTable ")) << all.back();

    app::CWaitDlg::SetObserverForTesting(&PostQuit);
    SetFaults(R"({"delay": 2})");
    DWORD start = ::GetTickCount();
    EXPECT_EQ(5516, c->Run(client::OperationKind::PauseBtItem, client::ItemKeyArg{"1"}));
    EXPECT_LT(::GetTickCount() - start, 1500u);
    MSG msg;
    ASSERT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(7u, msg.wParam);
    app::CWaitDlg::SetObserverForTesting(&Observe);
    SetFaults("");
    EXPECT_EQ(0, c->Run(client::OperationKind::SetBtEnable, client::SwitchArg{1}));  // the client is free again
}
