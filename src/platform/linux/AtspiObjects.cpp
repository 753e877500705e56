#include "platform/linux/AtspiObjects.h"

#include "platform/Utf.h"

#include <algorithm>

namespace platform::atspi {

using Properties = std::map<std::string, sdbus::Variant>;

namespace {

constexpr const char* kNodePathPrefix = "/org/a11y/atspi/accessible/";
constexpr const char* kCachePath = "/org/a11y/atspi/cache";
constexpr const char* kAccessible = "org.a11y.atspi.Accessible";
constexpr const char* kApplication = "org.a11y.atspi.Application";
constexpr const char* kComponent = "org.a11y.atspi.Component";
constexpr const char* kAction = "org.a11y.atspi.Action";
constexpr const char* kValue = "org.a11y.atspi.Value";
constexpr const char* kText = "org.a11y.atspi.Text";
constexpr const char* kEventFocus = "org.a11y.atspi.Event.Focus";

// Offsets of AT-SPI's Text interface count characters (code points), not UTF-16 units.
std::u32string CodePoints(const std::u16string& text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        out.push_back(c);
    }
    return out;
}

std::string Utf8(const std::u32string& text) {
    std::u16string units;
    for (char32_t c : text) {
        if (c >= 0x10000) {
            units.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(c));
        }
    }
    return Utf16ToUtf8(units);
}

} // namespace

std::string NodePath(std::uint32_t id) {
    return id == 0 ? std::string(kRootPath) : kNodePathPrefix + std::to_string(id);
}

void State::Emit(std::uint32_t id, const char* interface, const char* member, const std::string& kind,
                 std::int32_t detail1, std::int32_t detail2, const sdbus::Variant& data) {
    sdbus::IObject* object = id == 0 ? root.get() : nullptr;
    if (id != 0)
        if (const auto found = objects.find(id); found != objects.end())
            object = found->second.get();
    if (!object)
        return;
    object->emitSignal(member).onInterface(interface).withArguments(kind, detail1, detail2, data,
                                                                    Properties{});
}

void State::RegisterAccessible(sdbus::IObject& o, std::uint32_t id) {
    const bool application = id == 0;
    o.registerProperty("Name").onInterface(kAccessible).withGetter([this, id] {
        return Utf16ToUtf8(id == 0 ? snapshot.tree().applicationName : Node(id).name);
    });
    o.registerProperty("Description").onInterface(kAccessible).withGetter([this, id] {
        return id == 0 ? std::string() : Utf16ToUtf8(Node(id).description);
    });
    o.registerProperty("Parent").onInterface(kAccessible).withGetter([this, id] {
        if (id == 0)
            return desktop;
        const AccessibleNode* parent = snapshot.Parent(Node(id));
        return Ref(parent ? parent->id : 0);
    });
    o.registerProperty("ChildCount").onInterface(kAccessible).withGetter([this, id] {
        return static_cast<std::int32_t>(snapshot.Children(id).size());
    });
    o.registerProperty("Locale").onInterface(kAccessible).withGetter([] { return std::string("en_US"); });
    o.registerProperty("AccessibleId").onInterface(kAccessible).withGetter([id] {
        return id == 0 ? std::string("vantri") : std::to_string(id);
    });
    o.registerProperty("HelpText").onInterface(kAccessible).withGetter([] { return std::string(); });
    o.registerMethod("GetChildAtIndex")
        .onInterface(kAccessible)
        .implementedAs([this, id](std::int32_t index) {
            const std::vector<std::uint32_t>& children = snapshot.Children(id);
            if (index < 0 || static_cast<std::size_t>(index) >= children.size())
                return NullRef();
            return Ref(children[static_cast<std::size_t>(index)]);
        });
    o.registerMethod("GetChildren").onInterface(kAccessible).implementedAs([this, id] {
        std::vector<Reference> refs;
        for (std::uint32_t child : snapshot.Children(id))
            refs.push_back(Ref(child));
        return refs;
    });
    o.registerMethod("GetIndexInParent").onInterface(kAccessible).implementedAs([this, id] {
        return id == 0 ? std::int32_t{-1} : snapshot.IndexInParent(Node(id));
    });
    o.registerMethod("GetRelationSet").onInterface(kAccessible).implementedAs([] {
        return std::vector<sdbus::Struct<std::uint32_t, std::vector<Reference>>>{};
    });
    o.registerMethod("GetRole").onInterface(kAccessible).implementedAs([this, id] {
        return id == 0 ? std::uint32_t{75} : RoleNumber(Node(id).role);
    });
    o.registerMethod("GetRoleName").onInterface(kAccessible).implementedAs([this, id] {
        return std::string(id == 0 ? "application" : RoleName(Node(id).role));
    });
    o.registerMethod("GetLocalizedRoleName").onInterface(kAccessible).implementedAs([this, id] {
        return std::string(id == 0 ? "application" : RoleName(Node(id).role));
    });
    o.registerMethod("GetState").onInterface(kAccessible).implementedAs([this, id] {
        if (id == 0)
            return std::vector<std::uint32_t>{0, 0};
        const auto words = StateWords(Node(id));
        return std::vector<std::uint32_t>(words.begin(), words.end());
    });
    o.registerMethod("GetAttributes").onInterface(kAccessible).implementedAs([application] {
        std::map<std::string, std::string> attributes;
        if (application)
            attributes["toolkit"] = "Vantri";
        return attributes;
    });
    o.registerMethod("GetApplication").onInterface(kAccessible).implementedAs([this] { return Ref(0); });
    o.registerMethod("GetInterfaces").onInterface(kAccessible).implementedAs([this, id] {
        std::vector<std::string> names{kAccessible};
        if (id == 0) {
            names.push_back(kApplication);
            return names;
        }
        const AccessibleNode& node = Node(id);
        names.push_back(kComponent);
        if (node.clickable)
            names.push_back(kAction);
        if (node.role == AccessibleRole::Slider)
            names.push_back(kValue);
        if (node.role == AccessibleRole::Entry)
            names.push_back(kText);
        return names;
    });
}

void State::RegisterRoot() {
    root = sdbus::createObject(bus->connection(), kRootPath);
    auto& o = *root;
    RegisterAccessible(o, 0);
    o.registerProperty("ToolkitName").onInterface(kApplication).withGetter([] {
        return std::string("Vantri");
    });
    o.registerProperty("Version").onInterface(kApplication).withGetter([] { return std::string("1"); });
    o.registerProperty("AtspiVersion").onInterface(kApplication).withGetter([] {
        return std::string("2.1");
    });
    // The registry numbers the application.
    o.registerProperty("Id")
        .onInterface(kApplication)
        .withGetter([this] { return applicationId; })
        .withSetter([this](const std::int32_t& value) { applicationId = value; });
    o.registerMethod("GetLocale").onInterface(kApplication).implementedAs([](std::uint32_t) {
        return std::string("en_US");
    });
    o.registerMethod("GetApplicationBusAddress").onInterface(kApplication).implementedAs([] {
        return std::string();
    });
    o.finishRegistration();

    // Readers that ask for the whole tree at once are told to walk it instead.
    cache = sdbus::createObject(bus->connection(), kCachePath);
    using CacheItem =
        sdbus::Struct<Reference, Reference, Reference, std::int32_t, std::int32_t, std::vector<std::string>,
                      std::string, std::uint32_t, std::string, std::vector<std::uint32_t>>;
    cache->registerMethod("GetItems").onInterface("org.a11y.atspi.Cache").implementedAs([] {
        return std::vector<CacheItem>{};
    });
    cache->finishRegistration();
}

void State::RegisterNode(std::uint32_t id, AccessibleRole role) {
    auto object = sdbus::createObject(bus->connection(), NodePath(id));
    auto& o = *object;
    RegisterAccessible(o, id);

    o.registerMethod("Contains")
        .onInterface(kComponent)
        .implementedAs([this, id](std::int32_t x, std::int32_t y, std::uint32_t coordType) {
            const Extents e = snapshot.ExtentsOf(Node(id), coordType);
            return x >= e.x && x < e.x + e.width && y >= e.y && y < e.y + e.height;
        });
    o.registerMethod("GetAccessibleAtPoint")
        .onInterface(kComponent)
        .implementedAs([this, id](std::int32_t x, std::int32_t y, std::uint32_t coordType) {
            const std::uint32_t found = snapshot.ChildAtPoint(id, x, y, coordType);
            return found ? Ref(found) : NullRef();
        });
    o.registerMethod("GetExtents").onInterface(kComponent).implementedAs([this, id](std::uint32_t coordType) {
        const Extents e = snapshot.ExtentsOf(Node(id), coordType);
        return sdbus::Struct<std::int32_t, std::int32_t, std::int32_t, std::int32_t>{e.x, e.y, e.width,
                                                                                     e.height};
    });
    o.registerMethod("GetPosition")
        .onInterface(kComponent)
        .implementedAs([this, id](std::uint32_t coordType) {
            const Extents e = snapshot.ExtentsOf(Node(id), coordType);
            return sdbus::Struct<std::int32_t, std::int32_t>{e.x, e.y};
        });
    o.registerMethod("GetSize").onInterface(kComponent).implementedAs([this, id] {
        const AccessibleNode& node = Node(id);
        return sdbus::Struct<std::int32_t, std::int32_t>{node.width, node.height};
    });
    // The window is a window; everything in it a widget.
    o.registerMethod("GetLayer").onInterface(kComponent).implementedAs([role] {
        return role == AccessibleRole::Frame ? std::uint32_t{7} : std::uint32_t{3};
    });
    o.registerMethod("GetMDIZOrder").onInterface(kComponent).implementedAs([] { return std::int16_t{0}; });
    o.registerMethod("GetAlpha").onInterface(kComponent).implementedAs([] { return 1.0; });
    o.registerMethod("GrabFocus").onInterface(kComponent).implementedAs([this, id] {
        if (!(Node(id).states & kAccessibleFocusable))
            return false;
        Post(id, AccessibleAction::Focus);
        return true;
    });

    o.registerProperty("NActions").onInterface(kAction).withGetter([this, id] {
        return Node(id).clickable ? std::int32_t{1} : std::int32_t{0};
    });
    auto actionText = [this, id](std::int32_t index, const char* text) {
        return index == 0 && Node(id).clickable ? std::string(text) : std::string();
    };
    o.registerMethod("GetName").onInterface(kAction).implementedAs(
        [actionText](std::int32_t index) { return actionText(index, "click"); });
    o.registerMethod("GetLocalizedName").onInterface(kAction).implementedAs([actionText](std::int32_t index) {
        return actionText(index, "click");
    });
    o.registerMethod("GetDescription").onInterface(kAction).implementedAs([actionText](std::int32_t index) {
        return actionText(index, "Presses the control");
    });
    o.registerMethod("GetKeyBinding").onInterface(kAction).implementedAs([actionText](std::int32_t index) {
        return actionText(index, "space");
    });
    o.registerMethod("GetActions").onInterface(kAction).implementedAs([this, id] {
        std::vector<sdbus::Struct<std::string, std::string, std::string>> actions;
        if (Node(id).clickable)
            actions.push_back(
                {std::string("click"), std::string("Presses the control"), std::string("space")});
        return actions;
    });
    o.registerMethod("DoAction").onInterface(kAction).implementedAs([this, id](std::int32_t index) {
        if (index != 0 || !Node(id).clickable)
            return false;
        Post(id, AccessibleAction::Click);
        return true;
    });

    if (role == AccessibleRole::Slider) {
        o.registerProperty("MinimumValue").onInterface(kValue).withGetter([this, id] {
            return Node(id).minimum;
        });
        o.registerProperty("MaximumValue").onInterface(kValue).withGetter([this, id] {
            return Node(id).maximum;
        });
        o.registerProperty("MinimumIncrement").onInterface(kValue).withGetter([this, id] {
            return Node(id).step;
        });
        o.registerProperty("CurrentValue")
            .onInterface(kValue)
            .withGetter([this, id] { return Node(id).value; })
            .withSetter([](const double&) {
                throw sdbus::Error("org.freedesktop.DBus.Error.NotSupported",
                                   "The slider moves by its keys: arrows, Home and End");
            });
        o.registerProperty("Text").onInterface(kValue).withGetter(
            [this, id] { return Utf16ToUtf8(Node(id).valueText); });
    }

    if (role == AccessibleRole::Entry) {
        o.registerProperty("CharacterCount").onInterface(kText).withGetter([this, id] {
            return static_cast<std::int32_t>(CodePoints(Node(id).text).size());
        });
        o.registerProperty("CaretOffset").onInterface(kText).withGetter([this, id] {
            return static_cast<std::int32_t>(CodePoints(Node(id).text).size());
        });
        o.registerMethod("GetText").onInterface(kText).implementedAs([this, id](std::int32_t start,
                                                                                std::int32_t end) {
            const std::u32string text = CodePoints(Node(id).text);
            const auto size = static_cast<std::int32_t>(text.size());
            if (end < 0 || end > size)
                end = size;
            start = std::clamp(start, 0, end);
            return Utf8(text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
        });
        o.registerMethod("GetCharacterAtOffset")
            .onInterface(kText)
            .implementedAs([this, id](std::int32_t offset) {
                const std::u32string text = CodePoints(Node(id).text);
                return offset >= 0 && static_cast<std::size_t>(offset) < text.size()
                           ? static_cast<std::int32_t>(text[static_cast<std::size_t>(offset)])
                           : std::int32_t{0};
            });
    }
    o.finishRegistration();
    objects[id] = std::move(object);
    objectRoles[id] = role;
}

void State::Embed() {
    registry = sdbus::createProxy(bus->connection(), kRegistryName, kRootPath);
    (void)registry->callMethodAsync("Embed")
        .onInterface("org.a11y.atspi.Socket")
        .withArguments(Ref(0))
        .uponReplyInvoke([this](const sdbus::Error* error, Reference desktopRef) {
            if (error)
                return;
            desktop = std::move(desktopRef);
            std::lock_guard guard(lock);
            registered = true;
        });
}

// Takes the tree published last and tells the reader what changed: children added and removed, the
// focus, the checked and selected states, names, and the focused slider's value.
void State::TakeTree() {
    AccessibleTree tree;
    {
        std::lock_guard guard(lock);
        if (!pending)
            return;
        pending = false;
        tree = std::move(next);
    }
    Snapshot before = std::move(snapshot);
    snapshot = Snapshot();
    snapshot.Assign(std::move(tree));
    const std::uint32_t focusBefore = before.Focused();

    for (const AccessibleNode& node : snapshot.tree().nodes) {
        const auto role = objectRoles.find(node.id);
        if (role != objectRoles.end() && role->second == node.role)
            continue;
        // A path takes one object: one whose role changed is made again.
        objects.erase(node.id);
        RegisterNode(node.id, node.role);
    }
    // Removed nodes, told to their parent while it stays.
    for (const AccessibleNode& old : before.tree().nodes) {
        if (snapshot.Find(old.id))
            continue;
        const AccessibleNode* parent = before.Parent(old);
        const std::uint32_t parentId = parent ? parent->id : 0;
        if (parentId == 0 || snapshot.Find(parentId))
            Emit(parentId, kEventObject, "ChildrenChanged", "remove", before.IndexInParent(old), 0,
                 sdbus::Variant(Ref(old.id)));
    }
    for (auto it = objects.begin(); it != objects.end();) {
        if (snapshot.Find(it->first)) {
            ++it;
        } else {
            objectRoles.erase(it->first);
            it = objects.erase(it);
        }
    }
    for (const AccessibleNode& node : snapshot.tree().nodes) {
        const AccessibleNode* old = before.Find(node.id);
        if (!old) {
            const AccessibleNode* parent = snapshot.Parent(node);
            const std::uint32_t parentId = parent ? parent->id : 0;
            // A new parent's own arrival covers its children.
            if (parentId == 0 || before.Find(parentId))
                Emit(parentId, kEventObject, "ChildrenChanged", "add", snapshot.IndexInParent(node), 0,
                     sdbus::Variant(Ref(node.id)));
            continue;
        }
        if (old->name != node.name)
            Emit(node.id, kEventObject, "PropertyChange", "accessible-name", 0, 0,
                 sdbus::Variant(Utf16ToUtf8(node.name)));
        const std::uint32_t changed = old->states ^ node.states;
        if (changed & kAccessibleChecked)
            Emit(node.id, kEventObject, "StateChanged", "checked", (node.states & kAccessibleChecked) ? 1 : 0,
                 0, sdbus::Variant(std::int32_t{0}));
        if (changed & kAccessibleSelected)
            Emit(node.id, kEventObject, "StateChanged", "selected",
                 (node.states & kAccessibleSelected) ? 1 : 0, 0, sdbus::Variant(std::int32_t{0}));
        if (changed & kAccessibleEnabled)
            Emit(node.id, kEventObject, "StateChanged", "enabled", (node.states & kAccessibleEnabled) ? 1 : 0,
                 0, sdbus::Variant(std::int32_t{0}));
        if (node.hasValue && old->value != node.value && (node.states & kAccessibleFocused))
            Emit(node.id, kEventObject, "PropertyChange", "accessible-value", 0, 0,
                 sdbus::Variant(node.value));
    }
    const std::uint32_t focusAfter = snapshot.Focused();
    if (focusAfter != focusBefore) {
        if (focusBefore && snapshot.Find(focusBefore))
            Emit(focusBefore, kEventObject, "StateChanged", "focused", 0, 0, sdbus::Variant(std::int32_t{0}));
        if (focusAfter) {
            Emit(focusAfter, kEventObject, "StateChanged", "focused", 1, 0, sdbus::Variant(std::int32_t{0}));
            Emit(focusAfter, kEventFocus, "Focus", "", 0, 0, sdbus::Variant(std::int32_t{0}));
        }
    }
}

} // namespace platform::atspi
