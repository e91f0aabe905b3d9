// Descriptors besides the display's that the message loop serves on the UI
// thread (the desktop bus). A source is asked for its descriptor, the poll
// events and its timeout before each wait, and dispatched on every pass of
// GetMessageW and PeekMessageW, whether or not it woke the loop.
#pragma once

namespace win32 {

class PollSource {
public:
    virtual ~PollSource() = default;
    virtual int fd() = 0;                   // -1 while it has none
    virtual short events() = 0;             // poll(2) events to wait for
    virtual int timeoutMs() { return -1; }  // the longest wait it allows; -1 for any
    virtual void dispatch() = 0;            // does the work that is due, without blocking
};

// UI thread only; a source stays registered until removed.
void addPollSource(PollSource* source);
void removePollSource(PollSource* source);

}  // namespace win32
