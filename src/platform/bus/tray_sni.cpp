// The StatusNotifierItem side of tray icons; see tray_sni.h.
#include "platform/bus/tray_sni.h"

#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "platform/bus/icon_sizes.h"
#include "platform/bus/session_bus.h"
#include "platform/bus/tray_sni_menu.h"
#include "platform/win32/internal/events.h"

namespace bus {

namespace {

constexpr const char* kWatcherName = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* kShellName = "org.gnome.Shell";
// A watcher may own its name a moment before it serves it.
constexpr int kRetries = 25;
constexpr std::uint64_t kRetryMs = 200;
// A watcher that does not answer for this long is taken not to show the
// item, so that another tray may.
constexpr std::uint64_t kCallTimeoutUs = 5'000'000;

std::uint64_t monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

// An icon the way IconPixmap sends it.
struct Pixmap {
    int width = 0, height = 0;
    std::vector<std::uint8_t> bytes;  // A, R, G, B bytes, row by row
};

}  // namespace

struct SniTray::Item {
    unsigned id = 0;
    std::string name;  // the bus name the item is known by
    std::string tip;
    std::vector<Pixmap> pixmaps;  // the icon at each size, made once when it is set
    sd_bus_slot* object = nullptr;
    std::unique_ptr<SniMenu> menu;
    bool nameOwned = false;
    bool registered = false;  // the watcher accepted the registration
};

bool sniItemListed(const std::vector<std::string>& listed, const std::string& wellKnown, const std::string& unique) {
    auto names = [&](const std::string& entry, const std::string& name) {
        if (name.empty() || entry.compare(0, name.size(), name) != 0) return false;
        const std::string rest = entry.substr(name.size());
        return rest.empty() || rest == kItemPath || rest == std::string("@") + kItemPath;
    };
    for (const std::string& entry : listed)
        if (names(entry, wellKnown) || names(entry, unique)) return true;
    return false;
}

namespace {

Pixmap pixmapOf(const ArgbImage& image) {
    Pixmap pixmap{image.width, image.height, {}};
    pixmap.bytes.reserve(image.argb.size() * 4);
    for (std::uint32_t p : image.argb) {
        pixmap.bytes.push_back(static_cast<std::uint8_t>(p >> 24));
        pixmap.bytes.push_back(static_cast<std::uint8_t>(p >> 16));
        pixmap.bytes.push_back(static_cast<std::uint8_t>(p >> 8));
        pixmap.bytes.push_back(static_cast<std::uint8_t>(p));
    }
    return pixmap;
}

int appendPixmaps(sd_bus_message* reply, const std::vector<Pixmap>& pixmaps) {
    int r = sd_bus_message_open_container(reply, 'a', "(iiay)");
    if (r < 0) return r;
    for (const Pixmap& pixmap : pixmaps) {
        if ((r = sd_bus_message_open_container(reply, 'r', "iiay")) < 0) return r;
        if ((r = sd_bus_message_append(reply, "ii", pixmap.width, pixmap.height)) < 0) return r;
        if ((r = sd_bus_message_append_array(reply, 'y', pixmap.bytes.data(), pixmap.bytes.size())) < 0) return r;
        if ((r = sd_bus_message_close_container(reply)) < 0) return r;
    }
    return sd_bus_message_close_container(reply);
}

}  // namespace

// Property getters and methods of the exported item.
struct SniVtable {
    static SniTray::Item& item(void* data) { return *static_cast<SniTray::Item*>(data); }

    static int text(sd_bus_message* reply, const char* value) { return sd_bus_message_append(reply, "s", value); }

    static int getCategory(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                           sd_bus_error*) {
        return text(reply, "ApplicationStatus");
    }
    static int getId(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
        return text(reply, "ostrel");
    }
    static int getTitle(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
        return text(reply, "Ostrel");
    }
    static int getStatus(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
        return text(reply, "Active");
    }
    static int getEmpty(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
        return text(reply, "");
    }
    static int getWindowId(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                           sd_bus_error*) {
        return sd_bus_message_append(reply, "i", 0);
    }
    static int getMenu(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
        return sd_bus_message_append(reply, "o", SniMenu::kPath);
    }
    static int getFalse(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
        return sd_bus_message_append(reply, "b", 0);
    }
    static int getIconPixmap(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void* data,
                             sd_bus_error*) {
        return appendPixmaps(reply, item(data).pixmaps);
    }
    static int getNoPixmap(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                           sd_bus_error*) {
        return appendPixmaps(reply, {});
    }
    static int getToolTip(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void* data,
                          sd_bus_error*) {
        const SniTray::Item& i = item(data);
        int r = sd_bus_message_open_container(reply, 'r', "sa(iiay)ss");
        if (r < 0) return r;
        if ((r = sd_bus_message_append(reply, "s", "")) < 0) return r;
        if ((r = appendPixmaps(reply, {})) < 0) return r;
        if ((r = sd_bus_message_append(reply, "ss", i.tip.c_str(), "")) < 0) return r;
        return sd_bus_message_close_container(reply);
    }

    static int activate(sd_bus_message* call, void* data, sd_bus_error*) {
        // A click in the host: a left press and its release.
        win32::PointerEvent pointer;
        pointer.action = win32::PointerAction::Press;
        pointer.button = 1;
        pointer.time = static_cast<DWORD>(monotonicMs());
        int x = 0, y = 0;
        if (sd_bus_message_read(call, "ii", &x, &y) >= 0) pointer.screen = {x, y};
        const unsigned id = item(data).id;
        win32::onTrayPointer(id, pointer);
        pointer.action = win32::PointerAction::Release;
        win32::onTrayPointer(id, pointer);
        return sd_bus_reply_method_return(call, "");
    }
    // No menu, nothing for the other button or the wheel.
    static int nothing(sd_bus_message* call, void*, sd_bus_error*) { return sd_bus_reply_method_return(call, ""); }

    static const sd_bus_vtable table[];
};

const sd_bus_vtable SniVtable::table[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Category", "s", getCategory, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Id", "s", getId, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Title", "s", getTitle, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Status", "s", getStatus, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("WindowId", "i", getWindowId, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconName", "s", getEmpty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconPixmap", "a(iiay)", getIconPixmap, 0, SD_BUS_VTABLE_PROPERTY_EMITS_INVALIDATION),
    SD_BUS_PROPERTY("OverlayIconName", "s", getEmpty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("OverlayIconPixmap", "a(iiay)", getNoPixmap, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("AttentionIconName", "s", getEmpty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("AttentionIconPixmap", "a(iiay)", getNoPixmap, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("AttentionMovieName", "s", getEmpty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconThemePath", "s", getEmpty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("ToolTip", "(sa(iiay)ss)", getToolTip, 0, SD_BUS_VTABLE_PROPERTY_EMITS_INVALIDATION),
    SD_BUS_PROPERTY("ItemIsMenu", "b", getFalse, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Menu", "o", getMenu, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_METHOD("Activate", "ii", "", activate, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("SecondaryActivate", "ii", "", nothing, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("ContextMenu", "ii", "", nothing, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Scroll", "is", "", nothing, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("NewTitle", "", 0),
    SD_BUS_SIGNAL("NewIcon", "", 0),
    SD_BUS_SIGNAL("NewAttentionIcon", "", 0),
    SD_BUS_SIGNAL("NewOverlayIcon", "", 0),
    SD_BUS_SIGNAL("NewToolTip", "", 0),
    SD_BUS_SIGNAL("NewStatus", "s", 0),
    SD_BUS_VTABLE_END,
};

struct SniTray::Signals {
    static int onOwnerChanged(sd_bus_message* message, void* self, sd_bus_error* error);
    static int onRegistered(sd_bus_message* reply, void* self, sd_bus_error* error);
    static int onWatcherChanged(sd_bus_message* message, void* self, sd_bus_error* error);
    static int onWatcherState(sd_bus_message* reply, void* self, sd_bus_error* error);
    static int onDisconnected(sd_bus_message* message, void* self, sd_bus_error* error);
};

std::unique_ptr<SniTray> SniTray::onSessionBus(std::function<void()> changed) {
    sd_bus* bus = sessionBus();
    return bus ? std::make_unique<SniTray>(bus, std::move(changed)) : nullptr;
}

SniTray::SniTray(sd_bus* bus, std::function<void()> changed) : m_bus(sd_bus_ref(bus)), m_changed(std::move(changed)) {
    std::string rule = std::string(
                           "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
                           "member='NameOwnerChanged',arg0='") +
                       kWatcherName + "'";
    sd_bus_add_match(m_bus, &m_watch, rule.c_str(), Signals::onOwnerChanged, this);
    // Items and hosts coming and going. sd-bus cannot check a well-known
    // sender itself, so the watcher's signals are told by path and interface.
    std::string signals = std::string("type='signal',path='") + kWatcherPath + "',interface='" + kWatcherName + "'";
    sd_bus_add_match(m_bus, &m_watcherSignals, signals.c_str(), Signals::onWatcherChanged, this);
    std::string properties = std::string("type='signal',path='") + kWatcherPath +
                             "',interface='org.freedesktop.DBus.Properties',member='PropertiesChanged'";
    sd_bus_add_match(m_bus, &m_watcherProperties, properties.c_str(), Signals::onWatcherChanged, this);
    sd_bus_match_signal(m_bus, &m_disconnect, nullptr, "/org/freedesktop/DBus/Local", "org.freedesktop.DBus.Local",
                        "Disconnected", Signals::onDisconnected, this);
    int has = 0;
    sd_bus_message* reply = nullptr;
    if (sd_bus_call_method(m_bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "NameHasOwner", nullptr, &reply, "s", kWatcherName) >= 0)
        sd_bus_message_read(reply, "b", &has);
    sd_bus_message_unref(reply);
    m_watcherPresent = has != 0;
}

SniTray::~SniTray() {
    scheduleRetry(false);
    dropItem();
    sd_bus_slot_unref(m_watch);
    sd_bus_slot_unref(m_watcherSignals);
    sd_bus_slot_unref(m_watcherProperties);
    sd_bus_slot_unref(m_disconnect);
    sd_bus_flush(m_bus);
    sd_bus_unref(m_bus);
}

bool SniTray::shown(unsigned id) const {
    return m_item && m_item->id == id && m_item->registered && m_listed && m_hostPresent;
}

bool SniTray::settling() const {
    return m_item && m_watcherPresent && (m_pendingRegistration || m_pendingState || m_retryDue);
}

void SniTray::set(unsigned id, const win32::TrayIconDesc& desc) {
    if (m_item && m_item->id != id) return;  // one item per process
    bool fresh = !m_item;
    if (fresh) {
        m_item = std::make_unique<Item>();
        m_item->id = id;
        m_item->name = "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" + std::to_string(id);
    }
    Item& item = *m_item;
    item.tip = desc.tip;
    item.pixmaps.clear();
    for (const ArgbImage& image : iconSizes(ArgbImage{desc.width, desc.height, desc.argb}))
        item.pixmaps.push_back(pixmapOf(image));
    if (fresh) {
        item.menu = std::make_unique<SniMenu>(m_bus);
        if (!item.menu->exported() ||
            sd_bus_add_object_vtable(m_bus, &item.object, kItemPath, kItemInterface, SniVtable::table, &item) < 0 ||
            sd_bus_request_name(m_bus, item.name.c_str(), 0) < 0) {
            dropItem();
            return;
        }
        item.nameOwned = true;
        m_retriesLeft = kRetries;
        registerItem();
    } else {
        sd_bus_emit_signal(m_bus, kItemPath, kItemInterface, "NewIcon", "");
        sd_bus_emit_signal(m_bus, kItemPath, kItemInterface, "NewToolTip", "");
    }
}

void SniTray::remove(unsigned id) {
    if (m_item && m_item->id == id) dropItem();
}

void SniTray::dropItem() {
    if (!m_item) return;
    scheduleRetry(false);
    m_pendingRegistration = sd_bus_slot_unref(m_pendingRegistration);
    m_pendingState = sd_bus_slot_unref(m_pendingState);
    // The watcher forgets an item whose name loses its owner.
    if (m_item->nameOwned) sd_bus_release_name(m_bus, m_item->name.c_str());
    sd_bus_slot_unref(m_item->object);
    m_item.reset();
    m_listed = false;
}

bool SniTray::watcherIsShell() {
    // GNOME's watcher lives in the shell and, in the versions that need it,
    // only shows an item registered by its object path.
    auto owner = [this](const char* name) {
        std::string unique;
        sd_bus_message* reply = nullptr;
        const char* text = nullptr;
        if (sd_bus_call_method(m_bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                               "GetNameOwner", nullptr, &reply, "s", name) >= 0 &&
            sd_bus_message_read(reply, "s", &text) > 0)
            unique = text;
        sd_bus_message_unref(reply);
        return unique;
    };
    std::string watcher = owner(kWatcherName);
    return !watcher.empty() && watcher == owner(kShellName);
}

void SniTray::registerItem() {
    if (!m_item || !m_watcherPresent) return;
    m_item->registered = false;
    m_pendingRegistration = sd_bus_slot_unref(m_pendingRegistration);
    const std::string service = watcherIsShell() ? std::string(kItemPath) : m_item->name;
    sd_bus_message* call = nullptr;
    if (sd_bus_message_new_method_call(m_bus, &call, kWatcherName, kWatcherPath, kWatcherName,
                                       "RegisterStatusNotifierItem") >= 0 &&
        sd_bus_message_append(call, "s", service.c_str()) >= 0)
        sd_bus_call_async(m_bus, &m_pendingRegistration, call, Signals::onRegistered, this, kCallTimeoutUs);
    sd_bus_message_unref(call);
}

int SniTray::Signals::onRegistered(sd_bus_message* reply, void* data, sd_bus_error*) {
    auto* self = static_cast<SniTray*>(data);
    self->m_pendingRegistration = sd_bus_slot_unref(self->m_pendingRegistration);
    if (!self->m_item) return 0;
    if (!sd_bus_message_is_method_error(reply, nullptr)) {
        self->m_retriesLeft = 0;
        self->m_item->registered = true;
        self->askWatcherState();
        return 0;
    }
    if (self->m_watcherPresent && self->m_retriesLeft > 0) {
        --self->m_retriesLeft;
        self->scheduleRetry(true);
        return 0;
    }
    self->m_changed();  // refused for good
    return 0;
}

void SniTray::askWatcherState() {
    if (!m_item || !m_watcherPresent) return;
    if (m_pendingState) {
        m_stateStale = true;  // asked again once this answer is in
        return;
    }
    m_stateStale = false;
    sd_bus_message* call = nullptr;
    if (sd_bus_message_new_method_call(m_bus, &call, kWatcherName, kWatcherPath, "org.freedesktop.DBus.Properties",
                                       "GetAll") >= 0 &&
        sd_bus_message_append(call, "s", kWatcherName) >= 0)
        sd_bus_call_async(m_bus, &m_pendingState, call, Signals::onWatcherState, this, kCallTimeoutUs);
    sd_bus_message_unref(call);
}

namespace {

// Reads the list and the host flag out of the watcher's GetAll answer.
int readWatcherState(sd_bus_message* reply, std::vector<std::string>* listed, bool* hostPresent) {
    int r = sd_bus_message_enter_container(reply, 'a', "{sv}");
    if (r < 0) return r;
    while ((r = sd_bus_message_enter_container(reply, 'e', "sv")) > 0) {
        const char* key = nullptr;
        if ((r = sd_bus_message_read(reply, "s", &key)) < 0) return r;
        if (std::string(key) == "RegisteredStatusNotifierItems") {
            if ((r = sd_bus_message_enter_container(reply, 'v', "as")) < 0) return r;
            char** items = nullptr;
            if ((r = sd_bus_message_read_strv(reply, &items)) < 0) return r;
            for (char** item = items; item && *item; ++item) {
                listed->push_back(*item);
                free(*item);
            }
            free(items);
            if ((r = sd_bus_message_exit_container(reply)) < 0) return r;
        } else if (std::string(key) == "IsStatusNotifierHostRegistered") {
            int value = 0;
            if ((r = sd_bus_message_read(reply, "v", "b", &value)) < 0) return r;
            *hostPresent = value != 0;
        } else if ((r = sd_bus_message_skip(reply, "v")) < 0) {
            return r;
        }
        if ((r = sd_bus_message_exit_container(reply)) < 0) return r;
    }
    if (r < 0) return r;
    return sd_bus_message_exit_container(reply);
}

}  // namespace

int SniTray::Signals::onWatcherState(sd_bus_message* reply, void* data, sd_bus_error*) {
    auto* self = static_cast<SniTray*>(data);
    self->m_pendingState = sd_bus_slot_unref(self->m_pendingState);
    if (!self->m_item) return 0;
    std::vector<std::string> listed;
    bool hostPresent = false;
    const char* unique = nullptr;
    sd_bus_get_unique_name(self->m_bus, &unique);
    // An error or an unreadable answer: not shown, as far as anyone can tell.
    if (!sd_bus_message_is_method_error(reply, nullptr) && readWatcherState(reply, &listed, &hostPresent) >= 0) {
        self->m_listed = sniItemListed(listed, self->m_item->name, unique ? unique : "");
        self->m_hostPresent = hostPresent;
    } else {
        self->m_listed = self->m_hostPresent = false;
    }
    if (self->m_stateStale) self->askWatcherState();
    self->m_changed();
    return 0;
}

int SniTray::Signals::onWatcherChanged(sd_bus_message*, void* data, sd_bus_error*) {
    auto* self = static_cast<SniTray*>(data);
    if (self->m_item && self->m_item->registered) self->askWatcherState();
    return 0;
}

void SniTray::scheduleRetry(bool on) {
    m_retryDue = on ? monotonicMs() + kRetryMs : 0;
    if (on && !m_polled) win32::addPollSource(this);
    if (!on && m_polled) win32::removePollSource(this);
    m_polled = on;
}

int SniTray::timeoutMs() {
    if (!m_retryDue) return -1;
    std::uint64_t now = monotonicMs();
    return m_retryDue <= now ? 0 : static_cast<int>(m_retryDue - now);
}

void SniTray::dispatch() {
    if (!m_retryDue || monotonicMs() < m_retryDue) return;
    scheduleRetry(false);
    registerItem();
}

int SniTray::Signals::onDisconnected(sd_bus_message*, void* data, sd_bus_error*) {
    // The bus itself went: no watcher can hold the item any more.
    auto* self = static_cast<SniTray*>(data);
    self->m_watcherPresent = false;
    self->scheduleRetry(false);
    self->m_pendingRegistration = sd_bus_slot_unref(self->m_pendingRegistration);
    self->m_pendingState = sd_bus_slot_unref(self->m_pendingState);
    if (self->m_item) self->m_item->registered = false;
    self->m_listed = self->m_hostPresent = false;
    self->m_changed();
    return 0;
}

int SniTray::Signals::onOwnerChanged(sd_bus_message* message, void* data, sd_bus_error*) {
    auto* self = static_cast<SniTray*>(data);
    const char *name = nullptr, *before = nullptr, *after = nullptr;
    if (sd_bus_message_read(message, "sss", &name, &before, &after) < 0) return 0;
    self->m_watcherPresent = after && *after;
    self->m_listed = self->m_hostPresent = false;
    self->m_pendingState = sd_bus_slot_unref(self->m_pendingState);
    self->scheduleRetry(false);
    self->m_retriesLeft = kRetries;
    // A new watcher (also one that restarted) knows nothing of us yet.
    if (self->m_item) self->m_item->registered = false;
    self->registerItem();
    self->m_changed();
    return 0;
}

}  // namespace bus
