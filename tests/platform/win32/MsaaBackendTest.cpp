// The MSAA backend on a real window: a client reads the published tree through the window's client
// object (names, roles, states, values, places, navigation, hit testing), its actions come back to the
// window as posted messages, each new tree raises the WinEvents of what changed, announcements are read
// from the live label, and nothing is answered once the backend is gone.
#include "platform/Accessibility.h"
#include "platform/Window.h"
#include "support/DesktopSupport.h"

// The system's headers after the platform layer's, whose names they would take over as macros.
#include "platform/win32/Win32NativeWindow.h"
#include "support/win32/MsaaClient.h"

#include <gtest/gtest.h>

// The platform layer's names, not the system's macros.
#undef DefWindowProc
#undef PeekMessage
#undef DispatchMessage

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

using namespace platform;
using namespace msaatest;

namespace {

constexpr std::uint32_t kAction = WM_USER + 4;
constexpr DWORD kLiveRegionChanged = 0x8019;

struct Recording : WindowProcedure {
    std::intptr_t WindowProc(Window& window, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) override {
        if (message == kAction)
            actions.emplace_back(static_cast<std::uint32_t>(wParam), static_cast<AccessibleAction>(lParam));
        return window.DefWindowProc(message, wParam, lParam);
    }
    std::vector<std::pair<std::uint32_t, AccessibleAction>> actions;
};

constexpr std::uint32_t kShown = kAccessibleEnabled | kAccessibleShowing | kAccessibleVisible;

AccessibleNode Node(std::uint32_t id, std::int32_t parent, AccessibleRole role, std::u16string name,
                    std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                    std::uint32_t states = kShown) {
    AccessibleNode node;
    node.id = id;
    node.parent = parent;
    node.role = role;
    node.name = std::move(name);
    node.states = states;
    node.left = left;
    node.top = top;
    node.width = width;
    node.height = height;
    return node;
}

// What a recorder heard, for a failure's message.
std::string Heard(const EventRecorder& events) {
    std::string text;
    for (const EventRecorder::Heard& h : events.heard)
        text += std::to_string(h.event) + " " + std::string(h.name.begin(), h.name.end()) + "; ";
    return text;
}

class MsaaBackend : public ::testing::Test {
protected:
    void SetUp() override {
        system = desktoptest::OpenDisplay();
        ASSERT_TRUE(system) << "no display";
        if (!system->IsClassRegistered(u"MsaaOwner")) {
            ASSERT_TRUE(system->RegisterWindowClass(u"MsaaOwner", nullptr));
        }
        window = system->CreateNativeWindow(
            WindowParams{u"MsaaOwner", u"Msaa owner", nullptr, 100, 100, 320, 240});
        ASSERT_TRUE(window);
        window->SetProcedure(&procedure);
        hwnd = NativeWindowOf(window.get());
        ASSERT_NE(hwnd, nullptr);
        backend = CreateAccessibility(window.get(), kAction);
        ASSERT_TRUE(backend->available());
        backend->Publish(Tree());
    }
    void TearDown() override {
        backend.reset();
        if (window)
            window->SetProcedure(nullptr);
        window.reset();
    }

    // The window; under it a button, a toggle, a slider, a list of two rows, a disabled button and an entry.
    AccessibleTree Tree() const {
        AccessibleTree tree;
        const Rect r = window->WindowRect();
        tree.applicationName = u"Vantri";
        tree.clientLeft = r.left;
        tree.clientTop = r.top;
        tree.nodes.push_back(Node(10, -1, AccessibleRole::Frame, u"Player", 0, 0, 320, 240));
        AccessibleNode pause =
            Node(11, 0, AccessibleRole::PushButton, u"Pause", 10, 10, 40, 30, kShown | kAccessibleFocusable);
        pause.clickable = true;
        tree.nodes.push_back(pause);
        AccessibleNode mute =
            Node(12, 0, AccessibleRole::ToggleButton, u"Mute", 60, 10, 40, 30, kShown | kAccessibleCheckable);
        mute.clickable = true;
        tree.nodes.push_back(mute);
        AccessibleNode volume =
            Node(13, 0, AccessibleRole::Slider, u"Volume", 110, 10, 100, 20, kShown | kAccessibleFocusable);
        volume.hasValue = true;
        volume.value = 45;
        volume.maximum = 100;
        volume.valueText = u"45 %";
        tree.nodes.push_back(volume);
        tree.nodes.push_back(Node(14, 0, AccessibleRole::List, u"Lines", 10, 50, 300, 150));
        tree.nodes.push_back(Node(15, 4, AccessibleRole::ListItem, u"row 0", 10, 50, 300, 20,
                                  kShown | kAccessibleSelectable | kAccessibleSelected));
        tree.nodes.push_back(
            Node(16, 4, AccessibleRole::ListItem, u"row 1", 10, 70, 300, 20, kShown | kAccessibleSelectable));
        tree.nodes.push_back(Node(17, 0, AccessibleRole::PushButton, u"Next", 220, 10, 40, 30,
                                  kAccessibleShowing | kAccessibleVisible));
        AccessibleNode search = Node(18, 0, AccessibleRole::Entry, u"Search", 10, 205, 300, 20,
                                     kShown | kAccessibleFocusable | kAccessibleEditable);
        search.text = u"abc";
        tree.nodes.push_back(search);
        return tree;
    }

    template <typename Done> bool PumpUntil(Done done) { return desktoptest::PumpUntil(*system, done, 10); }

    std::unique_ptr<WindowSystem> system;
    std::unique_ptr<Window> window;
    Recording procedure;
    HWND hwnd = nullptr;
    std::unique_ptr<Accessibility> backend;
};

TEST_F(MsaaBackend, AClientReadsTheTreeWithMsaaRolesStatesValuesAndPlaces) {
    ComPtr<IAccessible> client = ClientObject(hwnd);
    ASSERT_TRUE(client) << "the window answered no client object";
    EXPECT_EQ(Role(client.Get()), ROLE_SYSTEM_CLIENT);
    EXPECT_EQ(Name(client.Get()), u"Player");
    std::vector<std::u16string> names;
    for (const ComPtr<IAccessible>& child : Children(client.Get()))
        names.push_back(Name(child.Get()));
    EXPECT_EQ(names,
              (std::vector<std::u16string>{u"Pause", u"Mute", u"Volume", u"Lines", u"Next", u"Search"}));

    ComPtr<IAccessible> pause = Find(client.Get(), u"Pause");
    ComPtr<IAccessible> mute = Find(client.Get(), u"Mute");
    ComPtr<IAccessible> volume = Find(client.Get(), u"Volume");
    ComPtr<IAccessible> lines = Find(client.Get(), u"Lines");
    ComPtr<IAccessible> row0 = Find(client.Get(), u"row 0");
    ComPtr<IAccessible> row1 = Find(client.Get(), u"row 1");
    ComPtr<IAccessible> next = Find(client.Get(), u"Next");
    ComPtr<IAccessible> search = Find(client.Get(), u"Search");
    ASSERT_TRUE(pause && mute && volume && lines && row0 && row1 && next && search);

    EXPECT_EQ(Role(pause.Get()), ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_EQ(Role(mute.Get()), ROLE_SYSTEM_CHECKBUTTON);
    EXPECT_EQ(Role(volume.Get()), ROLE_SYSTEM_SLIDER);
    EXPECT_EQ(Role(lines.Get()), ROLE_SYSTEM_LIST);
    EXPECT_EQ(Role(row0.Get()), ROLE_SYSTEM_LISTITEM);
    EXPECT_EQ(Role(search.Get()), ROLE_SYSTEM_TEXT);

    EXPECT_EQ(State(pause.Get()), STATE_SYSTEM_FOCUSABLE);
    EXPECT_EQ(State(mute.Get()) & STATE_SYSTEM_CHECKED, 0);
    EXPECT_EQ(State(next.Get()), STATE_SYSTEM_UNAVAILABLE);
    EXPECT_EQ(State(row0.Get()), STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_SELECTED);
    EXPECT_EQ(State(row1.Get()), STATE_SYSTEM_SELECTABLE);

    EXPECT_EQ(Value(volume.Get()), u"45 %");
    EXPECT_EQ(Value(search.Get()), u"abc");
    EXPECT_EQ(DefaultAction(pause.Get()), u"Press");
    EXPECT_EQ(DefaultAction(mute.Get()), u"Check");
    BSTR none = nullptr;
    EXPECT_EQ(volume->get_accDefaultAction(Self(), &none), S_FALSE) << "a slider is not pressed";

    // Screen pixels: the client area's corner plus the node's place in it.
    const Rect r = window->WindowRect();
    const RECT at = Location(pause.Get());
    EXPECT_EQ(at.left, r.left + 10);
    EXPECT_EQ(at.top, r.top + 10);
    EXPECT_EQ(at.right - at.left, 40);
    EXPECT_EQ(at.bottom - at.top, 30);

    // Child ids: an index under the object, or a node anywhere as the events name it.
    EXPECT_EQ(Name(client.Get(), Child(2)), u"Mute");
    EXPECT_EQ(Name(client.Get(), Child(-16)), u"row 1");
    BSTR name = nullptr;
    EXPECT_EQ(client->get_accName(Child(7), &name), E_INVALIDARG);
    EXPECT_EQ(client->get_accName(Child(-99), &name), E_INVALIDARG);
}

TEST_F(MsaaBackend, NavigationHitTestingFocusAndSelectionFollowTheTree) {
    ComPtr<IAccessible> client = ClientObject(hwnd);
    ASSERT_TRUE(client);
    VARIANT end;
    VariantInit(&end);
    ASSERT_EQ(client->accNavigate(NAVDIR_FIRSTCHILD, Self(), &end), S_OK);
    ComPtr<IAccessible> first = ObjectOf(end);
    ASSERT_TRUE(first);
    EXPECT_EQ(Name(first.Get()), u"Pause");
    ASSERT_EQ(first->accNavigate(NAVDIR_NEXT, Self(), &end), S_OK);
    EXPECT_EQ(Name(ObjectOf(end).Get()), u"Mute");
    EXPECT_EQ(first->accNavigate(NAVDIR_PREVIOUS, Self(), &end), S_FALSE) << "the first child";
    ComPtr<IAccessible> lines = Find(client.Get(), u"Lines");
    ASSERT_TRUE(lines);
    ASSERT_EQ(lines->accNavigate(NAVDIR_LASTCHILD, Self(), &end), S_OK);
    EXPECT_EQ(Name(ObjectOf(end).Get()), u"row 1");

    ComPtr<IDispatch> parent;
    ASSERT_EQ(first->get_accParent(parent.GetAddressOf()), S_OK);
    ComPtr<IAccessible> parentObject;
    ASSERT_TRUE(SUCCEEDED(parent.As(&parentObject)));
    EXPECT_EQ(Name(parentObject.Get()), u"Player");
    const Rect r = window->WindowRect();
    VARIANT hit;
    VariantInit(&hit);
    ASSERT_EQ(client->accHitTest(r.left + 100, r.top + 75, &hit), S_OK);
    EXPECT_EQ(Name(ObjectOf(hit).Get()), u"row 1") << "the deepest node under the point";
    ASSERT_EQ(client->accHitTest(r.left + 300, r.top + 30, &hit), S_OK);
    EXPECT_EQ(hit.vt, VT_I4) << "no child there: the window itself";
    EXPECT_EQ(hit.lVal, CHILDID_SELF);
    EXPECT_EQ(client->accHitTest(r.left - 5, r.top + 30, &hit), S_FALSE) << "outside the window";

    VARIANT focus;
    VariantInit(&focus);
    EXPECT_EQ(client->get_accFocus(&focus), S_FALSE) << "nothing has the focus";
    AccessibleTree tree = Tree();
    tree.nodes[3].states |= kAccessibleFocused;
    backend->Publish(std::move(tree));
    ASSERT_EQ(client->get_accFocus(&focus), S_OK);
    EXPECT_EQ(Name(ObjectOf(focus).Get()), u"Volume");

    VARIANT selection;
    VariantInit(&selection);
    ASSERT_EQ(lines->get_accSelection(&selection), S_OK);
    EXPECT_EQ(Name(ObjectOf(selection).Get()), u"row 0");
}

TEST_F(MsaaBackend, TheWindowNodesParentIsTheSystemsObjectForTheWindow) {
    ComPtr<IAccessible> client = ClientObject(hwnd);
    ASSERT_TRUE(client);
    ComPtr<IDispatch> frame;
    ASSERT_EQ(client->get_accParent(frame.GetAddressOf()), S_OK);
    ComPtr<IAccessible> frameObject;
    ASSERT_TRUE(frame && SUCCEEDED(frame.As(&frameObject)));
    VARIANT role;
    VariantInit(&role);
    const HRESULT answered = frameObject->get_accRole(Self(), &role);
    if (answered == E_NOTIMPL && UnderWine())
        GTEST_SKIP() << "Wine's standard window object (CreateStdAccessibleObject, OBJID_WINDOW) has no role";
    ASSERT_EQ(answered, S_OK);
    EXPECT_EQ(role.vt, VT_I4);
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_WINDOW);
}

TEST_F(MsaaBackend, ActionsArePostedToTheWindowAndPerformedByItsLoop) {
    ComPtr<IAccessible> client = ClientObject(hwnd);
    ASSERT_TRUE(client);
    ComPtr<IAccessible> pause = Find(client.Get(), u"Pause");
    ComPtr<IAccessible> volume = Find(client.Get(), u"Volume");
    ASSERT_TRUE(pause && volume);
    ASSERT_EQ(pause->accDoDefaultAction(Self()), S_OK);
    EXPECT_TRUE(procedure.actions.empty()) << "performed by the window's loop, not inside the call";
    ASSERT_EQ(volume->accSelect(SELFLAG_TAKEFOCUS, Self()), S_OK);
    EXPECT_EQ(volume->accDoDefaultAction(Self()), DISP_E_MEMBERNOTFOUND) << "a slider has no action";
    ASSERT_TRUE(PumpUntil([&] { return procedure.actions.size() >= 2; }));
    EXPECT_EQ(procedure.actions, (std::vector<std::pair<std::uint32_t, AccessibleAction>>{
                                     {11, AccessibleAction::Click}, {13, AccessibleAction::Focus}}));
}

TEST_F(MsaaBackend, EachChangeRaisesItsWinEventAndAnnouncementsComeFromTheLiveLabel) {
    EventRecorder events(EVENT_OBJECT_CREATE, kLiveRegionChanged);
    ASSERT_TRUE(events.hooked());
    AccessibleTree tree = Tree();
    tree.nodes[1].name = u"Play";
    tree.nodes[2].states |= kAccessibleChecked;
    tree.nodes[3].states |= kAccessibleFocused;
    tree.nodes[3].value = 50;
    tree.nodes[3].valueText = u"50 %";
    tree.nodes.erase(tree.nodes.begin() + 6); // row 1
    for (AccessibleNode& node : tree.nodes)
        if (node.parent > 6)
            --node.parent;
    backend->Publish(std::move(tree));
    ASSERT_TRUE(PumpUntil([&] {
        return events.HeardNamed(EVENT_OBJECT_NAMECHANGE, u"Play") &&
               events.HeardNamed(EVENT_OBJECT_STATECHANGE, u"Mute") &&
               events.HeardNamed(EVENT_OBJECT_FOCUS, u"Volume") &&
               events.HeardNamed(EVENT_OBJECT_VALUECHANGE, u"Volume") &&
               events.HeardNamed(EVENT_OBJECT_REORDER, u"Lines");
    })) << Heard(events);
    EXPECT_FALSE(events.HeardNamed(EVENT_OBJECT_NAMECHANGE, u"Mute")) << "only what changed";

    ComPtr<IAccessible> client = ClientObject(hwnd);
    ASSERT_TRUE(client);
    ComPtr<IAccessible> mute = Find(client.Get(), u"Mute");
    ASSERT_TRUE(mute);
    EXPECT_NE(State(mute.Get()) & STATE_SYSTEM_CHECKED, 0);
    EXPECT_EQ(DefaultAction(mute.Get()), u"Uncheck");

    backend->Announce(14, u"anna: hello");
    ASSERT_TRUE(PumpUntil([&] { return events.HeardNamed(kLiveRegionChanged, u"anna: hello"); }));
    EXPECT_TRUE(events.HeardNamed(EVENT_OBJECT_NAMECHANGE, u"anna: hello"));
    const std::vector<ComPtr<IAccessible>> children = Children(client.Get());
    ASSERT_EQ(children.size(), 7u) << "the live label follows the controls";
    EXPECT_EQ(Role(children.back().Get()), ROLE_SYSTEM_STATICTEXT);
    EXPECT_EQ(Name(children.back().Get()), u"anna: hello");
    EXPECT_EQ(Location(children.back().Get()).top, window->WindowRect().top + 50)
        << "over the list it came from";
    backend->Publish(Tree());
    EXPECT_EQ(Name(children.back().Get()), u"anna: hello") << "kept in the next tree";
}

// The reader's side of the test below, run by it in a process of its own: reads the window named in the
// environment, presses "Pause" and ends with 0 when all went as expected, 3 when the window answered no
// client object.
TEST(MsaaOtherProcess, DISABLED_ReadsAndPressesTheWindowNamedInTheEnvironment) {
    const char* named = std::getenv("VANTRI_MSAA_WINDOW");
    ASSERT_NE(named, nullptr);
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
        ComPtr<IAccessible> client = ClientObject(
            reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(named, nullptr, 10))));
        if (!client)
            std::exit(3);
        EXPECT_EQ(Name(client.Get()), u"Player");
        ComPtr<IAccessible> pause = Find(client.Get(), u"Pause");
        ASSERT_TRUE(pause);
        EXPECT_EQ(Role(pause.Get()), ROLE_SYSTEM_PUSHBUTTON);
        EXPECT_EQ(Value(Find(client.Get(), u"Volume").Get()), u"45 %");
        EXPECT_EQ(pause->accDoDefaultAction(Self()), S_OK);
    }
    CoUninitialize();
}

TEST_F(MsaaBackend, AReaderInAnotherProcessIsAnsweredThroughTheWindowsLoop) {
    wchar_t program[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, program, MAX_PATH), 0u);
    std::wstring command =
        L"\"" + std::wstring(program) +
        L"\" --gtest_also_run_disabled_tests "
        L"--gtest_filter=MsaaOtherProcess.DISABLED_ReadsAndPressesTheWindowNamedInTheEnvironment";
    SetEnvironmentVariableW(L"VANTRI_MSAA_WINDOW",
                            std::to_wstring(reinterpret_cast<std::uintptr_t>(hwnd)).c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                        &startup, &process) != FALSE;
    SetEnvironmentVariableW(L"VANTRI_MSAA_WINDOW", nullptr);
    ASSERT_TRUE(started);
    // Its calls arrive through this thread's messages: the loop runs until it ends.
    const bool ended = desktoptest::PumpUntil(
        *system, [&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; }, 60);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    if (!ended)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ASSERT_TRUE(ended) << "the reader did not end";
    if (code == 3 && UnderWine())
        GTEST_SKIP() << "Wine hands no object across processes from WM_GETOBJECT (LresultFromObject)";
    EXPECT_EQ(code, 0u) << "the reader's checks failed (its output is above)";
    ASSERT_TRUE(PumpUntil([&] { return !procedure.actions.empty(); }));
    EXPECT_EQ(procedure.actions.front(), std::make_pair(std::uint32_t{11}, AccessibleAction::Click));
}

// Narrator reads the objects through UI Automation's MSAA proxy; a UI Automation client is not built here.
TEST(MsaaUiAutomation, TheProxyReadsTheSameObjects) {
    GTEST_SKIP() << "MinGW-w64's headers and import libraries in Debian carry no UI Automation client "
                    "(IUIAutomation, UiaNodeFromHandle): the objects are read through MSAA only";
}

TEST_F(MsaaBackend, NothingIsAnsweredOnceTheBackendIsGone) {
    ComPtr<IAccessible> client = ClientObject(hwnd);
    ASSERT_TRUE(client);
    IAccessible* pause = Find(client.Get(), u"Pause").Detach();
    ASSERT_TRUE(pause);
    backend.reset();
    BSTR name = nullptr;
    EXPECT_TRUE(FAILED(client->get_accName(Self(), &name)));
    EXPECT_TRUE(FAILED(pause->get_accName(Self(), &name)));
    EXPECT_TRUE(FAILED(pause->accDoDefaultAction(Self())));
    EXPECT_EQ(pause->Release(), 0u) << "the object was the client's alone";
    desktoptest::PumpUntil(
        *system, [] { return false; }, 0);
    EXPECT_TRUE(procedure.actions.empty());
    // The window is the system's again: its own client object, without the controls.
    ComPtr<IAccessible> plain = ClientObject(hwnd);
    ASSERT_TRUE(plain);
    EXPECT_NE(Name(plain.Get()), u"Player");
    EXPECT_FALSE(Find(plain.Get(), u"Pause"));
}

} // namespace
