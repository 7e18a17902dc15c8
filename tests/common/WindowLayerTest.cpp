// The dialog and control base classes, driven through their own message
// procedures the way the system and other processes would drive them.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/Control.h"
#include "common/Dialog.h"
#include "common/Trace.h"

namespace {

constexpr UINT kTemplate = 100;
constexpr int kButton = 1001, kEdit = 1002, kScroll = 1003, kCheck = 1004;
constexpr UINT kStringText = 200;

std::vector<std::string> g_traces, g_misuses;
void KeepTrace(const char* line) { g_traces.push_back(line); }
void KeepMisuse(const char* what) { g_misuses.push_back(what); }

class TestDialog : public win::CDialog {
public:
    std::vector<std::string> log;
    int inits = 0;

    TestDialog() {
        OnClicked(kButton, [this] { log.push_back("button clicked"); });
        OnCommand(kEdit, EN_CHANGE, [this] { log.push_back("edit changed"); });
        OnCommandRange(2001, 2010, BN_CLICKED, [this](int id) { log.push_back("row " + std::to_string(id - 2001)); });
        OnTimer([this](UINT_PTR id) { log.push_back("timer " + std::to_string(id)); });
        OnSize([this](UINT type, int cx, int cy) {
            log.push_back("size " + std::to_string(type) + " " + std::to_string(cx) + "x" + std::to_string(cy));
        });
        OnNotifyAs<NMHDR>(kButton, NM_CLICK, [this](NMHDR& header) {
            log.push_back("notify from " + std::to_string(header.idFrom));
            return INT_PTR(5);
        });
        OnMessage(WM_APP, [](WPARAM, LPARAM) -> INT_PTR { throw std::runtime_error("handler failed"); });
        OnMessage(WM_APP + 1, [this](WPARAM, LPARAM) {
            PassToDefault();
            return INT_PTR(7);
        });
        OnMessage(WM_QUERYDRAGICON, [](WPARAM, LPARAM) { return INT_PTR(0x1234); });
    }
    // Exposed so that a test can try to register late.
    void LateClicked(int id) {
        OnClicked(id, [this] { log.push_back("late"); });
    }

private:
    BOOL OnInitDialog() override {
        ++inits;
        return TRUE;
    }
};

class TestScrollBar : public win::CControl {
public:
    std::vector<std::string> log;
    TestScrollBar() {
        OnReflected(WM_VSCROLL, [this](WPARAM wp, LPARAM) {
            log.push_back("vscroll " + std::to_string(LOWORD(wp)));
            return LRESULT(0);
        });
        OnMessage(WM_APP + 2, [](WPARAM wp, LPARAM) { return LRESULT(wp * 2); });
        OnMessage(WM_APP + 3, [](WPARAM, LPARAM) -> LRESULT { throw std::runtime_error("control failed"); });
        // Tells its dialog, as a control does when another program changes it.
        OnMessage(WM_APP + 5, [this](WPARAM, LPARAM) {
            NMHDR header = {Hwnd(), 1001, static_cast<UINT>(NM_CLICK)};
            return ::SendMessageA(::GetParent(Hwnd()), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
        });
    }
    void Late() {
        OnMessage(WM_APP + 4, [](WPARAM, LPARAM) { return LRESULT(0); });
    }
};

class WindowLayer : public ::testing::Test {
protected:
    void SetUp() override {
        g_traces.clear();
        g_misuses.clear();
        win::SetTraceSinkForTesting(&KeepTrace);
        win::SetMisuseHandlerForTesting(&KeepMisuse);
        ASSERT_NE(dialog.Create(::GetModuleHandleA(nullptr), kTemplate, nullptr), nullptr) << ::GetLastError();
    }
    void TearDown() override {
        win::SetTraceSinkForTesting(nullptr);
        win::SetMisuseHandlerForTesting(nullptr);
    }
    LRESULT Send(UINT message, WPARAM wp, LPARAM lp) { return ::SendMessageA(dialog.Hwnd(), message, wp, lp); }
    TestDialog dialog;
};

TEST_F(WindowLayer, CommandsAreKeyedOnControlAndNotification) {
    struct Case {
        int id;
        UINT code;
        const char* expected;  // nullptr: no handler runs
    } cases[] = {
        {kButton, BN_CLICKED, "button clicked"},
        {kButton, EN_CHANGE, nullptr},  // an edit-style code never runs the click handler
        {kEdit, EN_CHANGE, "edit changed"},
        {kEdit, BN_CLICKED, nullptr},
        {kEdit, EN_SETFOCUS, nullptr},
        {2001, BN_CLICKED, "row 0"},
        {2010, BN_CLICKED, "row 9"},
        {2011, BN_CLICKED, nullptr},
        {2005, CBN_SELCHANGE, nullptr},
    };
    for (const Case& c : cases) {
        dialog.log.clear();
        Send(WM_COMMAND, MAKEWPARAM(c.id, c.code), 0);
        if (c.expected)
            EXPECT_EQ(dialog.log, std::vector<std::string>{c.expected}) << c.id << "/" << c.code;
        else
            EXPECT_TRUE(dialog.log.empty()) << c.id << "/" << c.code;
    }
}

TEST_F(WindowLayer, TypedHandlersUnpackTheirMessages) {
    Send(WM_TIMER, 42, 0);
    Send(WM_SIZE, SIZE_RESTORED, MAKELPARAM(300, 200));
    NMHDR header = {dialog.Item(kButton), kButton, static_cast<UINT>(NM_CLICK)};
    Send(WM_NOTIFY, kButton, reinterpret_cast<LPARAM>(&header));
    EXPECT_EQ(dialog.log, (std::vector<std::string>{"timer 42", "size 0 300x200", "notify from 1001"}));
    EXPECT_EQ(::GetWindowLongPtrA(dialog.Hwnd(), DWLP_MSGRESULT), 5);
}

TEST_F(WindowLayer, UntrustedMessagesChangeNothing) {
    TestDialog other;
    EXPECT_EQ(dialog.inits, 1);
    // A second WM_INITDIALOG, with another object, with this one, or with none.
    for (LPARAM lp : {reinterpret_cast<LPARAM>(&other), reinterpret_cast<LPARAM>(&dialog), LPARAM(0)})
        Send(WM_INITDIALOG, 0, lp);
    EXPECT_EQ(dialog.inits, 1);
    EXPECT_EQ(other.inits, 0);
    EXPECT_EQ(other.Hwnd(), nullptr);
    EXPECT_EQ(::GetWindowLongPtrA(dialog.Hwnd(), DWLP_USER), reinterpret_cast<LONG_PTR>(&dialog));
    // WM_NOTIFY without a header is ignored, not dereferenced.
    EXPECT_EQ(Send(WM_NOTIFY, kButton, 0), 0);
    // The dialog still works afterwards.
    Send(WM_COMMAND, MAKEWPARAM(kButton, BN_CLICKED), 0);
    EXPECT_EQ(dialog.log, std::vector<std::string>{"button clicked"});
}

TEST_F(WindowLayer, NotificationsSentFromAnotherThreadAreNotRead) {
    // Nothing translates WM_NOTIFY's pointer between processes, and a message
    // sent from another thread looks the same to the window: a real header
    // (in the sender's memory) is left unread, and a wild pointer does no harm.
    NMHDR header = {dialog.Item(kButton), kButton, static_cast<UINT>(NM_CLICK)};
    constexpr LPARAM kSendersHeader = -1;
    auto sendFromThread = [&header](HWND to, UINT message, WPARAM wp, LPARAM lp) {
        std::atomic<bool> done{false};
        LRESULT answer = -1;
        std::thread sender([&] {
            NMHDR own = header;
            answer = ::SendMessageA(to, message, wp, lp == kSendersHeader ? reinterpret_cast<LPARAM>(&own) : lp);
            done = true;
        });
        // The sent message is delivered while this thread looks for messages.
        while (!done) {
            MSG msg;
            while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
            ::Sleep(1);
        }
        sender.join();
        return answer;
    };
    for (LPARAM lp : {kSendersHeader, LPARAM(0x10)}) EXPECT_EQ(sendFromThread(dialog.Hwnd(), WM_NOTIFY, kButton, lp), 0) << lp;
    EXPECT_TRUE(dialog.log.empty());
    // This thread's own notifications still arrive, also those of a control
    // that is handling another thread's message meanwhile.
    Send(WM_NOTIFY, kButton, reinterpret_cast<LPARAM>(&header));
    TestScrollBar bar;
    ASSERT_TRUE(bar.AttachItem(dialog.Hwnd(), kScroll));
    EXPECT_EQ(sendFromThread(dialog.Item(kScroll), WM_APP + 5, 0, 0), 5);
    EXPECT_EQ(dialog.log, (std::vector<std::string>{"notify from 1001", "notify from 1001"}));
}

TEST_F(WindowLayer, DragIconIsTheReturnValue) {
    // Like the colour messages, answered by the procedure's return value.
    EXPECT_EQ(Send(WM_QUERYDRAGICON, 0, 0), 0x1234);
}

TEST_F(WindowLayer, AnExceptionLeavesATraceAndTheDefaultAnswer) {
    EXPECT_EQ(Send(WM_APP, 0, 0), 0);
    ASSERT_EQ(g_traces.size(), 1u);
    EXPECT_NE(g_traces[0].find("0x8000"), std::string::npos) << g_traces[0];
    EXPECT_NE(g_traces[0].find("handler failed"), std::string::npos) << g_traces[0];
    // A handler that passes on runs, and the default processing answers.
    EXPECT_EQ(Send(WM_APP + 1, 0, 0), 0);
}

TEST_F(WindowLayer, RegisteringAfterTheStartIsReportedAndDropped) {
    dialog.LateClicked(3000);
    ASSERT_EQ(g_misuses.size(), 1u);
    Send(WM_COMMAND, MAKEWPARAM(3000, BN_CLICKED), 0);
    EXPECT_TRUE(dialog.log.empty());

    TestScrollBar bar;
    ASSERT_TRUE(bar.AttachItem(dialog.Hwnd(), kScroll));
    bar.Late();
    EXPECT_EQ(g_misuses.size(), 2u);
}

TEST_F(WindowLayer, SubclassedControlGetsItsMessagesAndReflections) {
    TestScrollBar bar, second;
    HWND scroll = dialog.Item(kScroll);
    ASSERT_TRUE(bar.AttachItem(dialog.Hwnd(), kScroll));
    EXPECT_FALSE(second.Attach(scroll));  // one object per window
    EXPECT_EQ(win::CControl::FromHandle(scroll), &bar);
    EXPECT_EQ(win::CControl::FromHandle(dialog.Item(kEdit)), nullptr);

    EXPECT_EQ(::SendMessageA(scroll, WM_APP + 2, 21, 0), 42);
    // Unhandled messages reach the class's own procedure.
    ::SendMessageA(scroll, SBM_SETRANGE, 0, 15);
    int low = -1, high = -1;
    ::SendMessageA(scroll, SBM_GETRANGE, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
    EXPECT_EQ(high, 15);
    // An exception in a control handler: trace, then the class's own answer.
    EXPECT_EQ(::SendMessageA(scroll, WM_APP + 3, 0, 0), 0);
    EXPECT_EQ(g_traces.size(), 1u);

    // What the parent gets about the bar goes to the bar first.
    Send(WM_VSCROLL, SB_PAGEDOWN, reinterpret_cast<LPARAM>(scroll));
    EXPECT_EQ(bar.log, std::vector<std::string>{"vscroll " + std::to_string(SB_PAGEDOWN)});
    bar.Detach();
    EXPECT_EQ(win::CControl::FromHandle(scroll), nullptr);
    Send(WM_VSCROLL, SB_PAGEDOWN, reinterpret_cast<LPARAM>(scroll));
    EXPECT_EQ(bar.log.size(), 1u);
}

TEST_F(WindowLayer, ItemHelpersReachTheItemsByTheirIds) {
    dialog.SetItemText(kEdit, kStringText);
    EXPECT_EQ(dialog.GetItemText(kEdit), "Text from the string table");
    dialog.SetItemTexts({{kButton, kStringText}, {kEdit, 9999}});  // a missing string empties the item
    EXPECT_EQ(dialog.GetItemText(kButton), "Text from the string table");
    EXPECT_EQ(dialog.GetItemText(kEdit), "");
    dialog.SetText(kStringText);
    EXPECT_EQ(dialog.GetItemText(kButton), "Text from the string table");

    auto visible = [&](int id) { return (::GetWindowLongA(dialog.Item(id), GWL_STYLE) & WS_VISIBLE) != 0; };
    ASSERT_TRUE(visible(kScroll));
    dialog.EnableItem(kEdit, false);
    dialog.ShowItem(kScroll, false);
    dialog.CheckButton(kCheck);
    EXPECT_FALSE(::IsWindowEnabled(dialog.Item(kEdit)));
    EXPECT_FALSE(visible(kScroll));
    EXPECT_TRUE(dialog.IsButtonChecked(kCheck));
    dialog.EnableItem(kEdit);
    dialog.ShowItem(kScroll);
    dialog.CheckButton(kCheck, false);
    EXPECT_TRUE(::IsWindowEnabled(dialog.Item(kEdit)));
    EXPECT_TRUE(visible(kScroll));
    EXPECT_FALSE(dialog.IsButtonChecked(kCheck));

    dialog.SendItemMessage(kEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("sent"));
    EXPECT_EQ(dialog.SendItemMessage(kEdit, WM_GETTEXTLENGTH), 4);
    // An ID that names no item does nothing and reads as nothing.
    dialog.EnableItem(4242, false);
    EXPECT_EQ(dialog.SendItemMessage(4242, WM_GETTEXTLENGTH), 0);
    EXPECT_FALSE(dialog.IsButtonChecked(4242));
}

struct SeenBox {
    std::string title, text;
};

// Reads a thread's message box, once it is up, then closes it.
BOOL CALLBACK ReadAndCloseBox(HWND box, LPARAM lp) {
    char kind[16] = {};
    ::GetClassNameA(box, kind, sizeof kind);
    if (std::string(kind) != "#32770" || !::IsWindowVisible(box) || !::GetDlgItem(box, 0xFFFF)) return TRUE;
    char title[100] = {}, text[100] = {};
    ::GetWindowTextA(box, title, sizeof title);
    ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the message's static
    *reinterpret_cast<SeenBox*>(lp) = {title, text};
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    return FALSE;
}

TEST(MessageBoxes, EveryMessageCarriesTheProgramsTitle) {
    // Until the program names itself, its file name does.
    EXPECT_EQ(win::MessageTitle(), "common_tests");
    win::SetMessageTitle("Window layer");
    // Another thread reads the box this thread shows, then closes it.
    SeenBox seen;
    const DWORD thread = ::GetCurrentThreadId();
    std::thread answer([&] {
        for (int i = 0; i < 500 && seen.title.empty(); ++i, ::Sleep(20))
            ::EnumThreadWindows(thread, ReadAndCloseBox, reinterpret_cast<LPARAM>(&seen));
    });
    EXPECT_EQ(win::ShowMessage(nullptr, kStringText), IDOK);
    answer.join();
    EXPECT_EQ(seen.title, "Window layer");
    EXPECT_EQ(seen.text, "Text from the string table");
}

class SilentModal : public win::CDialog {
    BOOL OnInitDialog() override {
        ::PostMessageA(Hwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return TRUE;
    }
};

TEST(WindowLayerModal, AModalDialogWithoutOkOrCancelHandlersEndsWithThem) {
    SilentModal modal;
    EXPECT_EQ(modal.DoModal(::GetModuleHandleA(nullptr), kTemplate, nullptr), IDCANCEL);
}

}  // namespace
