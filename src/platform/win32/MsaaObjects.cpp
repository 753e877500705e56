#include "platform/win32/MsaaObjects.h"

#include <atomic>
#include <climits>

namespace platform::msaa {

namespace {

HRESULT Text(const std::u16string& text, BSTR* out) {
    *out = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

class NodeObject final : public IAccessible {
public:
    NodeObject(std::shared_ptr<Shared> shared, std::uint32_t id) : shared_(std::move(shared)), id_(id) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            IsEqualIID(iid, __uuidof(IAccessible))) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    // IDispatch: clients of IAccessible call its methods directly; no type information is offered.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!parent)
            return E_POINTER;
        *parent = nullptr;
        HWND hwnd = nullptr;
        {
            std::lock_guard guard(shared_->lock);
            const AccessibleNode* self = Self();
            if (!self)
                return RPC_E_DISCONNECTED;
            if (const AccessibleNode* above = shared_->tree.Parent(*self)) {
                *parent = NewNodeObject(shared_, above->id);
                return S_OK;
            }
            hwnd = shared_->hwnd;
        }
        // The window node's parent is the system's object for the window (its frame), made without the
        // lock: it may talk to the window.
        return CreateStdAccessibleObject(hwnd, OBJID_WINDOW, IID_IDispatch, reinterpret_cast<void**>(parent));
    }

    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        if (!count)
            return E_POINTER;
        *count = 0;
        std::lock_guard guard(shared_->lock);
        if (!Self())
            return RPC_E_DISCONNECTED;
        *count = static_cast<long>(shared_->tree.Children(Id()).size());
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        return WithNode(child, [&](const AccessibleNode& node) -> HRESULT {
            // The object itself is no object of its own: a caller reads it with CHILDID_SELF (which is
            // what AccessibleObjectFromEvent does with an event raised on the window node).
            if (node.id == Id())
                return S_FALSE;
            *object = NewNodeObject(shared_, node.id);
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (!name)
            return E_POINTER;
        *name = nullptr;
        return WithNode(child, [&](const AccessibleNode& node) {
            return node.name.empty() ? S_FALSE : Text(node.name, name);
        });
    }

    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        if (!value)
            return E_POINTER;
        *value = nullptr;
        return WithNode(child, [&](const AccessibleNode& node) {
            std::u16string text;
            return ValueOf(node, text) ? Text(text, value) : DISP_E_MEMBERNOTFOUND;
        });
    }

    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        if (!description)
            return E_POINTER;
        *description = nullptr;
        return WithNode(child, [&](const AccessibleNode& node) {
            return node.description.empty() ? S_FALSE : Text(node.description, description);
        });
    }

    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!role)
            return E_POINTER;
        VariantInit(role);
        return WithNode(child, [&](const AccessibleNode& node) {
            role->vt = VT_I4;
            role->lVal = RoleOf(node);
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        if (!state)
            return E_POINTER;
        VariantInit(state);
        return WithNode(child, [&](const AccessibleNode& node) {
            state->vt = VT_I4;
            state->lVal = StateOf(node);
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* help) override {
        if (help)
            *help = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
        if (file)
            *file = nullptr;
        if (topic)
            *topic = -1;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* shortcut) override {
        if (shortcut)
            *shortcut = nullptr;
        return S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        if (!focus)
            return E_POINTER;
        VariantInit(focus);
        std::lock_guard guard(shared_->lock);
        if (!Self())
            return RPC_E_DISCONNECTED;
        const std::uint32_t focused = shared_->tree.Focused();
        if (focused == 0 || !shared_->tree.Within(focused, Id()))
            return S_FALSE;
        Answer(focused, *focus);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        if (!selection)
            return E_POINTER;
        VariantInit(selection);
        std::lock_guard guard(shared_->lock);
        if (!Self())
            return RPC_E_DISCONNECTED;
        // The lists here hold one selected row at most.
        for (std::uint32_t child : shared_->tree.Children(Id()))
            if (const AccessibleNode* node = shared_->tree.Find(child);
                node && (node->states & kAccessibleSelected)) {
                Answer(child, *selection);
                return S_OK;
            }
        return S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        if (!action)
            return E_POINTER;
        *action = nullptr;
        return WithNode(child, [&](const AccessibleNode& node) {
            const std::u16string text = DefaultActionOf(node);
            return text.empty() ? S_FALSE : Text(text, action);
        });
    }

    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        return WithNode(child, [&](const AccessibleNode& node) -> HRESULT {
            // Rows are chosen by acting on them; only the focus can be given.
            if (!(flags & SELFLAG_TAKEFOCUS))
                return DISP_E_MEMBERNOTFOUND;
            if (!(node.states & kAccessibleFocusable))
                return S_FALSE;
            shared_->Post(node.id, AccessibleAction::Focus);
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override {
        if (!left || !top || !width || !height)
            return E_POINTER;
        *left = *top = *width = *height = 0;
        return WithNode(child, [&](const AccessibleNode& node) {
            shared_->tree.ScreenBox(node, *left, *top, *width, *height);
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        if (!end)
            return E_POINTER;
        VariantInit(end);
        return WithNode(start, [&](const AccessibleNode& node) -> HRESULT {
            const Tree& tree = shared_->tree;
            std::uint32_t found = 0;
            switch (direction) {
            case NAVDIR_FIRSTCHILD:
            case NAVDIR_LASTCHILD: {
                const std::vector<std::uint32_t>& children = tree.Children(node.id);
                if (!children.empty())
                    found = direction == NAVDIR_FIRSTCHILD ? children.front() : children.back();
                break;
            }
            case NAVDIR_NEXT:
            case NAVDIR_PREVIOUS: {
                const AccessibleNode* parent = tree.Parent(node);
                if (!parent)
                    break;
                const std::vector<std::uint32_t>& siblings = tree.Children(parent->id);
                for (std::size_t i = 0; i < siblings.size(); ++i) {
                    if (siblings[i] != node.id)
                        continue;
                    if (direction == NAVDIR_NEXT && i + 1 < siblings.size())
                        found = siblings[i + 1];
                    else if (direction == NAVDIR_PREVIOUS && i > 0)
                        found = siblings[i - 1];
                    break;
                }
                break;
            }
            default:
                // No spatial navigation (up, down, left, right).
                return DISP_E_MEMBERNOTFOUND;
            }
            if (found == 0)
                return S_FALSE;
            end->vt = VT_DISPATCH;
            end->pdispVal = NewNodeObject(shared_, found);
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
        if (!child)
            return E_POINTER;
        VariantInit(child);
        std::lock_guard guard(shared_->lock);
        const AccessibleNode* self = Self();
        if (!self)
            return RPC_E_DISCONNECTED;
        long left = 0, top = 0, width = 0, height = 0;
        shared_->tree.ScreenBox(*self, left, top, width, height);
        if (x < left || y < top || x >= left + width || y >= top + height)
            return S_FALSE;
        Answer(shared_->tree.ChildAtPoint(Id(), x, y), *child);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        return WithNode(child, [&](const AccessibleNode& node) -> HRESULT {
            if (!node.clickable)
                return DISP_E_MEMBERNOTFOUND;
            // Performed on the window's thread, as a key press would be.
            shared_->Post(node.id, AccessibleAction::Click);
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    ~NodeObject() = default;

    // This object's node id, with the lock held: 0 stands for the window node, whichever id it has.
    std::uint32_t Id() const {
        if (id_ != 0)
            return id_;
        const AccessibleNode* root = shared_->tree.Root();
        return root ? root->id : 0;
    }
    // This object's node, with the lock held; null once the backend or the node is gone.
    const AccessibleNode* Self() const { return shared_->connected ? shared_->tree.Find(Id()) : nullptr; }

    // The node a child id names, with the lock held; null for none.
    const AccessibleNode* Resolve(const VARIANT& child) const {
        if (child.vt == VT_EMPTY)
            return Self();
        if (child.vt != VT_I4)
            return nullptr;
        const long value = child.lVal;
        if (value == CHILDID_SELF)
            return Self();
        if (value > 0) {
            const std::vector<std::uint32_t>& children = shared_->tree.Children(Id());
            return static_cast<std::size_t>(value) <= children.size()
                       ? shared_->tree.Find(children[static_cast<std::size_t>(value) - 1])
                       : nullptr;
        }
        if (value == LONG_MIN)
            return nullptr;
        return shared_->tree.Find(static_cast<std::uint32_t>(-value));
    }

    // Runs `answer` for the node `child` names, under the lock.
    template <typename Answer> HRESULT WithNode(const VARIANT& child, Answer answer) {
        std::lock_guard guard(shared_->lock);
        if (!Self())
            return RPC_E_DISCONNECTED;
        const AccessibleNode* node = Resolve(child);
        if (!node)
            return E_INVALIDARG;
        return answer(*node);
    }

    // `id` as an answer from this object: itself as CHILDID_SELF, another node as its object.
    void Answer(std::uint32_t id, VARIANT& out) {
        if (id == 0 || id == Id()) {
            out.vt = VT_I4;
            out.lVal = CHILDID_SELF;
        } else {
            out.vt = VT_DISPATCH;
            out.pdispVal = NewNodeObject(shared_, id);
        }
    }

    std::shared_ptr<Shared> shared_;
    const std::uint32_t id_;
    std::atomic<ULONG> references_{1};
};

} // namespace

IAccessible* NewNodeObject(std::shared_ptr<Shared> shared, std::uint32_t id) {
    return new NodeObject(std::move(shared), id);
}

} // namespace platform::msaa
