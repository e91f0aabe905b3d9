// The empty dbusmenu of the StatusNotifierItem; see tray_sni_menu.h.
#include "platform/bus/tray_sni_menu.h"

#include <cstdint>
#include <cstring>

namespace bus {

namespace {

constexpr const char* kInterface = "com.canonical.dbusmenu";
constexpr std::uint32_t kVersion = 3;
constexpr int kRoot = 0;  // the only item; it has no children
constexpr const char* kUnknownItem = "org.freedesktop.DBus.Error.InvalidArgs";

// The root's properties: a menu that opens as a submenu of the icon.
int appendRootProperties(sd_bus_message* m) {
    int r = sd_bus_message_open_container(m, 'a', "{sv}");
    if (r < 0) return r;
    if ((r = sd_bus_message_append(m, "{sv}", "children-display", "s", "submenu")) < 0) return r;
    return sd_bus_message_close_container(m);
}

// A host asks about the items it was shown, a handful; a longer list is
// refused before it costs the UI thread anything.
constexpr int kMostIds = 256;

int unknownItem(sd_bus_error* error, int id) { return sd_bus_error_setf(error, kUnknownItem, "No menu item %d", id); }

int tooMany(sd_bus_error* error) {
    return sd_bus_error_setf(error, SD_BUS_ERROR_LIMITS_EXCEEDED, "More than %d menu items asked for", kMostIds);
}

// Reads an `ai` argument and appends to `reply` (an open `ai`) every id that
// is not an item of this menu.
int appendUnknownIds(sd_bus_message* call, sd_bus_message* reply, sd_bus_error* error) {
    int r = sd_bus_message_enter_container(call, 'a', "i");
    if (r < 0) return r;
    int id = 0;
    for (int count = 0; (r = sd_bus_message_read(call, "i", &id)) > 0; ++count) {
        if (count == kMostIds) return tooMany(error);
        if (id != kRoot && (r = sd_bus_message_append(reply, "i", id)) < 0) return r;
    }
    if (r < 0) return r;
    return sd_bus_message_exit_container(call);
}

}  // namespace

struct SniMenuVtable {
    // GetLayout(parent, depth, names) -> (revision, (id, properties, children))
    static int getLayout(sd_bus_message* call, void*, sd_bus_error* error) {
        int parent = 0, depth = 0;
        int r = sd_bus_message_read(call, "ii", &parent, &depth);
        if (r < 0) return r;
        if (parent != kRoot) return unknownItem(error, parent);
        sd_bus_message* reply = nullptr;
        if ((r = sd_bus_message_new_method_return(call, &reply)) < 0) return r;
        if ((r = sd_bus_message_append(reply, "u", 1u)) >= 0 &&
            (r = sd_bus_message_open_container(reply, 'r', "ia{sv}av")) >= 0 &&
            (r = sd_bus_message_append(reply, "i", kRoot)) >= 0 && (r = appendRootProperties(reply)) >= 0 &&
            (r = sd_bus_message_append(reply, "av", 0)) >= 0 && (r = sd_bus_message_close_container(reply)) >= 0)
            r = sd_bus_send(nullptr, reply, nullptr);
        sd_bus_message_unref(reply);
        return r;
    }

    // GetGroupProperties(ids, names) -> [(id, properties)] for the ids that exist.
    static int getGroupProperties(sd_bus_message* call, void*, sd_bus_error* error) {
        int r = sd_bus_message_enter_container(call, 'a', "i");
        if (r < 0) return r;
        bool root = false;
        int id = 0;
        for (int count = 0; (r = sd_bus_message_read(call, "i", &id)) > 0; ++count) {
            if (count == kMostIds) return tooMany(error);
            root = root || id == kRoot;
        }
        if (r < 0 || (r = sd_bus_message_exit_container(call)) < 0) return r;
        sd_bus_message* reply = nullptr;
        if ((r = sd_bus_message_new_method_return(call, &reply)) < 0) return r;
        r = sd_bus_message_open_container(reply, 'a', "(ia{sv})");
        if (r >= 0 && root && (r = sd_bus_message_open_container(reply, 'r', "ia{sv}")) >= 0 &&
            (r = sd_bus_message_append(reply, "i", kRoot)) >= 0 && (r = appendRootProperties(reply)) >= 0)
            r = sd_bus_message_close_container(reply);
        if (r >= 0 && (r = sd_bus_message_close_container(reply)) >= 0) r = sd_bus_send(nullptr, reply, nullptr);
        sd_bus_message_unref(reply);
        return r;
    }

    static int getProperty(sd_bus_message* call, void*, sd_bus_error* error) {
        int id = 0;
        const char* name = nullptr;
        int r = sd_bus_message_read(call, "is", &id, &name);
        if (r < 0) return r;
        if (id != kRoot) return unknownItem(error, id);
        if (std::strcmp(name, "children-display") != 0)
            return sd_bus_error_setf(error, kUnknownItem, "No property %s", name);
        return sd_bus_reply_method_return(call, "v", "s", "submenu");
    }

    // Events ("opened", "closed", "clicked") need no answer from an empty menu.
    static int event(sd_bus_message* call, void*, sd_bus_error* error) {
        int id = 0;
        int r = sd_bus_message_read(call, "i", &id);
        if (r < 0) return r;
        if (id != kRoot) return unknownItem(error, id);
        return sd_bus_reply_method_return(call, "");
    }

    // EventGroup(events) -> the ids that are no item.
    static int eventGroup(sd_bus_message* call, void*, sd_bus_error* error) {
        int r = sd_bus_message_enter_container(call, 'a', "(isvu)");
        if (r < 0) return r;
        sd_bus_message* reply = nullptr;
        if ((r = sd_bus_message_new_method_return(call, &reply)) < 0) return r;
        r = sd_bus_message_open_container(reply, 'a', "i");
        int id = 0;
        for (int count = 0; r >= 0 && (r = sd_bus_message_enter_container(call, 'r', "isvu")) > 0; ++count) {
            if (count == kMostIds) {
                r = tooMany(error);
                break;
            }
            if ((r = sd_bus_message_read(call, "i", &id)) < 0) break;
            if (id != kRoot && (r = sd_bus_message_append(reply, "i", id)) < 0) break;
            if ((r = sd_bus_message_skip(call, "svu")) < 0 || (r = sd_bus_message_exit_container(call)) < 0) break;
        }
        if (r >= 0 && (r = sd_bus_message_close_container(reply)) >= 0) r = sd_bus_send(nullptr, reply, nullptr);
        sd_bus_message_unref(reply);
        return r;
    }

    // AboutToShow(id) -> false: the layout never changes.
    static int aboutToShow(sd_bus_message* call, void*, sd_bus_error* error) {
        int id = 0;
        int r = sd_bus_message_read(call, "i", &id);
        if (r < 0) return r;
        if (id != kRoot) return unknownItem(error, id);
        return sd_bus_reply_method_return(call, "b", 0);
    }

    // AboutToShowGroup(ids) -> (no updates needed, the ids that are no item).
    static int aboutToShowGroup(sd_bus_message* call, void*, sd_bus_error* error) {
        sd_bus_message* reply = nullptr;
        int r = sd_bus_message_new_method_return(call, &reply);
        if (r < 0) return r;
        if ((r = sd_bus_message_append(reply, "ai", 0)) >= 0 &&
            (r = sd_bus_message_open_container(reply, 'a', "i")) >= 0 &&
            (r = appendUnknownIds(call, reply, error)) >= 0 && (r = sd_bus_message_close_container(reply)) >= 0)
            r = sd_bus_send(nullptr, reply, nullptr);
        sd_bus_message_unref(reply);
        return r;
    }

    static int getVersion(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
        return sd_bus_message_append(reply, "u", kVersion);
    }
    static int getTextDirection(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                                sd_bus_error*) {
        return sd_bus_message_append(reply, "s", "ltr");
    }
    static int getStatus(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
        return sd_bus_message_append(reply, "s", "normal");
    }
    static int getIconThemePath(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                                sd_bus_error*) {
        return sd_bus_message_append(reply, "as", 0);
    }

    static const sd_bus_vtable table[];
};

const sd_bus_vtable SniMenuVtable::table[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Version", "u", getVersion, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("TextDirection", "s", getTextDirection, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Status", "s", getStatus, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconThemePath", "as", getIconThemePath, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_METHOD("GetLayout", "iias", "u(ia{sv}av)", getLayout, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("GetGroupProperties", "aias", "a(ia{sv})", getGroupProperties, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("GetProperty", "is", "v", getProperty, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Event", "isvu", "", event, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("EventGroup", "a(isvu)", "ai", eventGroup, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("AboutToShow", "i", "b", aboutToShow, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("AboutToShowGroup", "ai", "aiai", aboutToShowGroup, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("ItemsPropertiesUpdated", "a(ia{sv})a(ias)", 0),
    SD_BUS_SIGNAL("LayoutUpdated", "ui", 0),
    SD_BUS_SIGNAL("ItemActivationRequested", "iu", 0),
    SD_BUS_VTABLE_END,
};

SniMenu::SniMenu(sd_bus* bus) {
    if (sd_bus_add_object_vtable(bus, &m_slot, kPath, kInterface, SniMenuVtable::table, nullptr) < 0) m_slot = nullptr;
}

SniMenu::~SniMenu() { sd_bus_slot_unref(m_slot); }

}  // namespace bus
