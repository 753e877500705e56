#include "program/win32/MsaaReader.h"

#include "platform/win32/Win32NativeWindow.h"
#include "support/win32/MsaaClient.h"

namespace msaareader {

static_assert(kRoleClient == ROLE_SYSTEM_CLIENT && kRolePushButton == ROLE_SYSTEM_PUSHBUTTON &&
              kRoleCheckButton == ROLE_SYSTEM_CHECKBUTTON && kRoleSlider == ROLE_SYSTEM_SLIDER);
static_assert(kStateFocused == STATE_SYSTEM_FOCUSED && kStateChecked == STATE_SYSTEM_CHECKED &&
              kStateFocusable == STATE_SYSTEM_FOCUSABLE);

using namespace msaatest;

struct Reader::State {
    HWND hwnd = nullptr;
    ComPtr<IAccessible> client;
    std::unique_ptr<EventRecorder> events;
    std::vector<std::u16string> focusNames;
};

namespace {

Object Read(IAccessible* object) {
    Object o;
    if (!object)
        return o;
    o.found = true;
    o.name = Name(object);
    BSTR value = nullptr;
    if (object->get_accValue(Self(), &value) == S_OK)
        o.value = Take(value);
    BSTR action = nullptr;
    if (object->get_accDefaultAction(Self(), &action) == S_OK)
        o.defaultAction = Take(action);
    o.role = Role(object);
    o.state = State(object);
    const RECT at = Location(object);
    o.left = at.left;
    o.top = at.top;
    o.right = at.right;
    o.bottom = at.bottom;
    return o;
}

} // namespace

Reader::Reader(platform::PostTarget* window) : state_(std::make_unique<State>()) {
    state_->hwnd = platform::NativeWindowOf(window);
    if (state_->hwnd)
        state_->client = ClientObject(state_->hwnd);
}

Reader::~Reader() = default;

bool Reader::connected() const {
    return state_->client != nullptr;
}

std::u16string Reader::WindowTitle() const {
    wchar_t title[256] = {};
    GetWindowTextW(state_->hwnd, title, 256);
    return std::u16string(reinterpret_cast<const char16_t*>(title));
}

Object Reader::ClientArea() const {
    RECT area{};
    GetClientRect(state_->hwnd, &area);
    MapWindowPoints(state_->hwnd, nullptr, reinterpret_cast<POINT*>(&area), 2);
    Object o;
    o.found = true;
    o.left = area.left;
    o.top = area.top;
    o.right = area.right;
    o.bottom = area.bottom;
    return o;
}

Object Reader::Client() const {
    return Read(state_->client.Get());
}

long Reader::ChildCount() const {
    long count = -1;
    if (!state_->client || FAILED(state_->client->get_accChildCount(&count)))
        return -1;
    return count;
}

Object Reader::Find(const std::u16string& name) const {
    return state_->client ? Read(msaatest::Find(state_->client.Get(), name).Get()) : Object{};
}

std::u16string Reader::NameAt(std::int32_t x, std::int32_t y) const {
    VARIANT hit;
    VariantInit(&hit);
    if (!state_->client || state_->client->accHitTest(x, y, &hit) != S_OK)
        return u"<nothing>";
    if (hit.vt == VT_I4)
        return Name(state_->client.Get(), hit);
    return Name(ObjectOf(hit).Get());
}

std::u16string Reader::Focused() const {
    VARIANT focus;
    VariantInit(&focus);
    if (!state_->client || state_->client->get_accFocus(&focus) != S_OK)
        return {};
    if (focus.vt == VT_I4)
        return Name(state_->client.Get(), focus);
    return Name(ObjectOf(focus).Get());
}

long Reader::DoDefaultAction(const std::u16string& name) const {
    ComPtr<IAccessible> object = state_->client ? msaatest::Find(state_->client.Get(), name) : nullptr;
    return object ? object->accDoDefaultAction(Self()) : E_INVALIDARG;
}

long Reader::TakeFocus(const std::u16string& name) const {
    ComPtr<IAccessible> object = state_->client ? msaatest::Find(state_->client.Get(), name) : nullptr;
    return object ? object->accSelect(SELFLAG_TAKEFOCUS, Self()) : E_INVALIDARG;
}

void Reader::PressKey(int virtualKey) const {
    PostMessageW(state_->hwnd, WM_KEYDOWN, static_cast<WPARAM>(virtualKey), 1);
    PostMessageW(state_->hwnd, WM_KEYUP, static_cast<WPARAM>(virtualKey), 1 | (1u << 30) | (1u << 31));
}

bool Reader::ListenForFocus() {
    state_->events = std::make_unique<EventRecorder>(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS);
    return state_->events->hooked();
}

const std::vector<std::u16string>& Reader::focusEvents() const {
    state_->focusNames.clear();
    if (state_->events)
        for (const EventRecorder::Heard& heard : state_->events->heard)
            state_->focusNames.push_back(heard.name);
    return state_->focusNames;
}

void Reader::ClearFocusEvents() {
    if (state_->events)
        state_->events->heard.clear();
}

} // namespace msaareader
