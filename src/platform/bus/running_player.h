// One player per session: a start that finds the media-controls name of a
// running player on the session bus hands over to it instead of showing a
// second player. UI thread only, before anything is shown.
#pragma once

namespace bus {

// When org.mpris.MediaPlayer2.<name> is owned by another process, asks that
// process to Raise and returns true once it has answered: the caller then
// ends. False with no session bus, no owner, or an owner that did not answer
// the Raise in time (then this start goes on as the player).
bool raiseRunningPlayer(const char* name);

}  // namespace bus
