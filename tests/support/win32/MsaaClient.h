#pragma once
// Reading a window as an MSAA client does (a screen reader): the client object from the window, names,
// roles, states, values and places of its objects, finding one by name, and the WinEvents the process
// raises, seen through an out-of-context hook. Windows test programs only.

#include <windows.h>

#include <oleacc.h>
#include <wrl/client.h>

#include <functional>
#include <string>
#include <vector>

namespace msaatest {

using Microsoft::WRL::ComPtr;

// Whether the program runs under Wine, whose oleacc leaves some of the system's own objects unfinished.
inline bool UnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

inline VARIANT Self() {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = CHILDID_SELF;
    return v;
}

inline VARIANT Child(long id) {
    VARIANT v = Self();
    v.lVal = id;
    return v;
}

// Takes a BSTR answered by the object; empty for none.
inline std::u16string Take(BSTR text) {
    std::u16string result;
    if (text) {
        result.assign(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
        SysFreeString(text);
    }
    return result;
}

inline ComPtr<IAccessible> ClientObject(HWND hwnd) {
    ComPtr<IAccessible> object;
    if (FAILED(AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                          reinterpret_cast<void**>(object.GetAddressOf()))))
        return nullptr;
    return object;
}

inline std::u16string Name(IAccessible* object, VARIANT child = Self()) {
    BSTR name = nullptr;
    return SUCCEEDED(object->get_accName(child, &name)) ? Take(name) : u"<failed>";
}

inline std::u16string Value(IAccessible* object) {
    BSTR value = nullptr;
    return SUCCEEDED(object->get_accValue(Self(), &value)) ? Take(value) : u"<failed>";
}

inline std::u16string DefaultAction(IAccessible* object) {
    BSTR action = nullptr;
    return SUCCEEDED(object->get_accDefaultAction(Self(), &action)) ? Take(action) : u"<failed>";
}

inline long Role(IAccessible* object, VARIANT child = Self()) {
    VARIANT role;
    VariantInit(&role);
    if (FAILED(object->get_accRole(child, &role)) || role.vt != VT_I4)
        return -1;
    return role.lVal;
}

inline long State(IAccessible* object, VARIANT child = Self()) {
    VARIANT state;
    VariantInit(&state);
    if (FAILED(object->get_accState(child, &state)) || state.vt != VT_I4)
        return -1;
    return state.lVal;
}

inline RECT Location(IAccessible* object) {
    long left = 0, top = 0, width = 0, height = 0;
    if (FAILED(object->accLocation(&left, &top, &width, &height, Self())))
        return RECT{0, 0, 0, 0};
    return RECT{left, top, left + width, top + height};
}

// An object an answer holds (VT_DISPATCH), or null.
inline ComPtr<IAccessible> ObjectOf(VARIANT& answer) {
    ComPtr<IAccessible> object;
    if (answer.vt == VT_DISPATCH && answer.pdispVal)
        answer.pdispVal->QueryInterface(__uuidof(IAccessible),
                                        reinterpret_cast<void**>(object.GetAddressOf()));
    VariantClear(&answer);
    return object;
}

// The children of `object`, in order, as objects.
inline std::vector<ComPtr<IAccessible>> Children(IAccessible* object) {
    std::vector<ComPtr<IAccessible>> children;
    long count = 0;
    if (FAILED(object->get_accChildCount(&count)))
        return children;
    for (long i = 1; i <= count; ++i) {
        ComPtr<IDispatch> dispatch;
        ComPtr<IAccessible> child;
        if (object->get_accChild(Child(i), dispatch.GetAddressOf()) == S_OK && dispatch &&
            SUCCEEDED(dispatch.As(&child)))
            children.push_back(child);
    }
    return children;
}

// The first object under `object` (depth first, itself excluded) named `name`, or null.
inline ComPtr<IAccessible> Find(IAccessible* object, const std::u16string& name) {
    for (const ComPtr<IAccessible>& child : Children(object)) {
        if (Name(child.Get()) == name)
            return child;
        if (ComPtr<IAccessible> found = Find(child.Get(), name))
            return found;
    }
    return nullptr;
}

// The WinEvents of this process while it lives, as the hook hears them through the thread's message
// loop; `read` runs for each one as it comes (the event's object, found as a reader finds it).
class EventRecorder {
public:
    struct Heard {
        DWORD event = 0;
        std::u16string name; // the object's name, read when the event came
    };

    EventRecorder(DWORD first, DWORD last) {
        current() = this;
        hook_ =
            SetWinEventHook(first, last, nullptr, &Callback, GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    }
    ~EventRecorder() {
        if (hook_)
            UnhookWinEvent(hook_);
        current() = nullptr;
    }
    bool hooked() const { return hook_ != nullptr; }
    bool HeardNamed(DWORD event, const std::u16string& name) const {
        for (const Heard& h : heard)
            if (h.event == event && h.name == name)
                return true;
        return false;
    }

    std::vector<Heard> heard;

private:
    static EventRecorder*& current() {
        static EventRecorder* recorder = nullptr;
        return recorder;
    }
    static void CALLBACK Callback(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG idObject, LONG idChild, DWORD,
                                  DWORD) {
        EventRecorder* self = current();
        if (!self || idObject != OBJID_CLIENT)
            return;
        Heard h{event, u"<no object>"};
        ComPtr<IAccessible> object;
        VARIANT child;
        VariantInit(&child);
        if (SUCCEEDED(AccessibleObjectFromEvent(hwnd, idObject, idChild, object.GetAddressOf(), &child)) &&
            object)
            h.name = Name(object.Get(), child);
        VariantClear(&child);
        self->heard.push_back(h);
    }

    HWINEVENTHOOK hook_ = nullptr;
};

} // namespace msaatest
