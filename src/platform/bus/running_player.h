// One player per session: a start takes the player's media-controls name on
// the session bus before anything else, and a start that finds the name
// taken hands over to its owner instead of showing a second player. Taking
// the name is the check, so starts at the same moment cannot all pass it.
// UI thread only, before anything is shown.
#pragma once

namespace bus {

// Takes org.mpris.MediaPlayer2.<name> for this process. When another
// process holds it, asks that process to Raise and returns true once it has
// answered: the caller then ends. False when this process holds the name,
// with no session bus, or when the owner did not answer in time (then this
// start goes on as a player of its own).
bool raiseRunningPlayer(const char* name);

}  // namespace bus
