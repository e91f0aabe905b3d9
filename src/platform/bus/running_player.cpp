// The hand-over to a running player; see running_player.h.
#include "platform/bus/running_player.h"

#include <systemd/sd-bus.h>
#include <time.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "platform/bus/session_bus.h"

namespace bus {

namespace {

constexpr const char* kPath = "/org/mpris/MediaPlayer2";
constexpr const char* kRootInterface = "org.mpris.MediaPlayer2";
// A player that took its name a moment ago may not serve its object yet.
constexpr std::uint64_t kAnswerWithinUs = 10'000'000;
constexpr std::uint64_t kRetryUs = 50'000;

std::uint64_t monotonicUs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
}

std::string ownerOf(sd_bus* bus, const std::string& name) {
    std::string owner;
    sd_bus_message* reply = nullptr;
    const char* unique = nullptr;
    if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetNameOwner",
                           nullptr, &reply, "s", name.c_str()) >= 0 &&
        sd_bus_message_read(reply, "s", &unique) > 0)
        owner = unique;
    sd_bus_message_unref(reply);
    return owner;
}

// Errors that mean "not ready yet" rather than "will not".
bool notServedYet(const sd_bus_error& error) {
    return sd_bus_error_has_name(&error, SD_BUS_ERROR_UNKNOWN_OBJECT) ||
           sd_bus_error_has_name(&error, SD_BUS_ERROR_UNKNOWN_INTERFACE) ||
           sd_bus_error_has_name(&error, SD_BUS_ERROR_UNKNOWN_METHOD);
}

}  // namespace

bool raiseRunningPlayer(const char* name) {
    sd_bus* bus = sessionBus();
    if (!bus) return false;
    const std::string wanted = std::string("org.mpris.MediaPlayer2.") + name;
    // A player still starting may not serve its object yet, and one that
    // ends meanwhile frees the name for this start to take.
    const std::uint64_t deadline = monotonicUs() + kAnswerWithinUs;
    for (;;) {
        const int taken = sd_bus_request_name(bus, wanted.c_str(), 0);
        if (taken >= 0 || taken == -EALREADY) return false;
        if (taken != -EEXIST) return false;
        // The owner's unique name: should that player end meanwhile, no
        // other process that takes the name over is raised instead.
        const std::string owner = ownerOf(bus, wanted);
        sd_bus_error error = SD_BUS_ERROR_NULL;
        sd_bus_message* call = nullptr;
        sd_bus_message* reply = nullptr;
        int r = owner.empty()
                    ? -ENXIO
                    : sd_bus_message_new_method_call(bus, &call, owner.c_str(), kPath, kRootInterface, "Raise");
        const std::uint64_t now = monotonicUs();
        if (r >= 0) r = sd_bus_call(bus, call, now < deadline ? deadline - now : 1, &error, &reply);
        sd_bus_message_unref(call);
        sd_bus_message_unref(reply);
        const bool gone = owner.empty() || sd_bus_error_has_name(&error, SD_BUS_ERROR_SERVICE_UNKNOWN) ||
                          sd_bus_error_has_name(&error, SD_BUS_ERROR_NAME_HAS_NO_OWNER);
        const bool retry = r < 0 && (gone || notServedYet(error));
        sd_bus_error_free(&error);
        if (r >= 0) return true;
        if (!retry || monotonicUs() + kRetryUs >= deadline) return false;
        timespec pause{0, static_cast<long>(kRetryUs * 1000)};
        nanosleep(&pause, nullptr);
    }
}

}  // namespace bus
