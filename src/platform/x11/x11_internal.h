// The X11 backend's shared state, split over one file per concern:
// x11_backend.cpp (the connection, making, showing and destroying windows),
// atoms.cpp (the atom table), dispatch.cpp (the event loop and event
// dispatch), wm_hints.cpp (window-manager hints, states and activation),
// compositor.cpp (opacity and blur behind), present.cpp (pixels and the
// colour-key shape), box.cpp (the X window over what shows, and its place),
// pieces.cpp (what shows beyond the box), xdnd.cpp (drops), move.cpp (the
// system move), popup.cpp (pop-up menu windows), iconify.cpp (iconifying),
// message_box.cpp (the modal dialog), scale_watch.cpp (the desktop's scale);
// a window manager's quirks behind wm_quirks.h (sway's in sway_quirks.cpp,
// picked in pick_quirks.cpp).
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/internal/backend.h"
#include "platform/win32/internal/events.h"
#include "platform/x11/display_scale.h"
#include "platform/x11/shape_mask.h"
#include "platform/x11/tray.h"

namespace x11 {

class WmQuirks;  // wm_quirks.h

struct Atoms {
    Atom wmProtocols, wmDeleteWindow, wmTransientFor, utf8String;
    Atom netWmName, netWmPid, netWmState, netWmStateAbove, netWmStateSkipTaskbar, netWmStateSkipPager, netWmStateModal,
        netWmStateSticky, netWmDesktop;
    Atom netWmWindowType, netWmWindowTypeUtility, netWmWindowTypePopupMenu, netWmWindowTypeDialog;
    Atom netSupported, netSupportingWmCheck, netWmMoveresize, netMoveresizeWindow, netActiveWindow, netWmIcon,
        netWmWindowOpacity;
    Atom motifWmHints, kdeBlurBehindRegion, netWmCmS;
    Atom xdndAware, xdndEnter, xdndPosition, xdndStatus, xdndLeave, xdndDrop, xdndFinished, xdndSelection, xdndTypeList,
        xdndActionCopy, uriList, dropProperty, incr;
    Atom xsettingsSelection, xsettingsSettings, manager;
};

// Fills `atoms` for `screen` with one request.
void internAtoms(Display* display, int screen, Atoms* atoms);

// Copies `count` pixels over `to` where they differ and returns the span
// [first, end) that did; {0, 0} when none did.
std::pair<int, int> copyChanged(const std::uint32_t* from, std::uint32_t* to, int count);

// A piece of what a keyed window shows beyond its box, in an X window of
// its own (see shown_pieces.h): override-redirect, so no window manager
// places, frames or focuses it; it follows the managed X window.
struct PieceWindow {
    ::Window xid = 0;
    RECT box{};  // client coordinates
    bool mapped = false;
};

struct WindowState {
    ::Window xid = 0;
    win32::NativeWindowDesc desc;
    // The last pixels presented, kept so an Expose can be answered without
    // asking the core, and so the shape can be computed from them.
    std::vector<std::uint32_t> pixels;
    int width = 0;
    int height = 0;
    // On the 32-bit visual: `pixels` hold the colour key as alpha (see
    // keyToAlpha), which a compositor honours where it ignores the shape.
    bool argb = false;
    bool presented = false;  // `pixels` hold something presented, not only the clear start
    bool colorKey = false;
    COLORREF key = 0;
    bool shapeApplied = false;
    ShapeMask shape;  // in client coordinates, the whole window
    // The part of the client area the X window covers: all of it, or for a
    // keyed window the bounding box of what shows, so that compositors that
    // pick a window by its rectangle and ignore its input shape (mutter,
    // KWin, wlroots under Xwayland) pass clicks beside it to what lies
    // below. Client coordinates, positions and sizes stay the core's.
    RECT box{};
    // The request that last placed the X window (moved it, or changed the
    // box): where the window was before the window manager carried it out
    // is no news, and read with a new box's offset it would be wrong.
    unsigned long placeSerial = 0;
    // The X window's size as the server last reported it. Xwayland (22.1)
    // keeps reusing the buffers it committed before a resize, so a window
    // drawn at the old size may show at that size for as long as it keeps
    // repainting: after asking for a new size nothing is drawn until the
    // window manager has given one (or `resizeUntil` has passed).
    int xWidth = 0;
    int xHeight = 0;
    bool resizing = false;
    std::chrono::steady_clock::time_point resizeUntil;
    // What shows outside `box`, each piece in an X window of its own.
    std::vector<PieceWindow> pieces;
    // The managed X window is mapped, as the server last said: the pieces
    // show with it (hidden, iconified, faded out, or withdrawn).
    bool onScreen = false;
    // _NET_WM_WINDOW_OPACITY as last set, for the pieces too.
    bool opacitySet = false;
    unsigned long opacity = 0;
    // Set while the colour key leaves nothing to show: nothing to draw.
    bool showsNothing = false;
    // The blur-behind region in client coordinates, sent relative to the box.
    bool blurSet = false;
    std::vector<RECT> blur;
    bool originKnown = false;
    POINT origin{};  // of the client area
    // The window manager's frame around the X window, watched: a window
    // manager that takes the window over (after a restart) reparents it into
    // a frame it places only afterwards, telling the client nothing when
    // the place is the one the window already had.
    ::Window frame = 0;
    // Iconified by us (see iconify.cpp), until shown or restored.
    bool iconic = false;
    // Mapped by setVisible, and the request that mapped it: focus changes
    // the server made before it belong to an earlier showing.
    bool mapped = false;
    unsigned long mapSerial = 0;
    // Set while a window manager's quirks have more to tell it of the window
    // just mapped (see WmQuirks::windowEvent), at most until `afterMapUntil`:
    // what the hints could not, such as the place the window was hidden at
    // (when `placeAfterMap`) or every workspace.
    bool afterMapPending = false;
    bool placeAfterMap = false;
    std::chrono::steady_clock::time_point afterMapUntil;
};

// Kept above all others, and so wanted on every workspace.
inline bool onEveryWorkspace(const WindowState& window) { return window.desc.topmost && !window.desc.popup; }

// One drag at a time can be over us; XDND serialises them per source.
struct DragState {
    ::Window source = 0;
    ::Window target = 0;
    int version = 0;
    bool offersUriList = false;
    bool accepted = false;
    POINT root{};
    bool awaitingData = false;
    bool incr = false;
    std::string data;
};

// The pointer-grab move used when no window manager can do it.
struct MoveState {
    ::Window window = 0;
    POINT startPointer{};
    POINT startOrigin{};
};

class X11Backend : public win32::Backend {
public:
    explicit X11Backend(Display* display);
    ~X11Backend() override;

    win32::NativeWindow createWindow(const win32::NativeWindowDesc& desc) override;
    void destroyWindow(win32::NativeWindow window) override;
    void setVisible(win32::NativeWindow window, bool visible) override;
    void present(win32::NativeWindow window, const win32::PixelView& surface, const RECT& area) override;

    int eventFd() override;
    void processEvents() override;
    void flush() override;

    void setColorKey(win32::NativeWindow window, bool enabled, COLORREF key) override;
    void setIcon(win32::NativeWindow window, int width, int height, const std::vector<std::uint32_t>& argb) override;
    void startSystemMove(win32::NativeWindow window, POINT screen) override;
    void setForeground(win32::NativeWindow window) override;
    void setPosition(win32::NativeWindow window, POINT screen, bool raise) override;
    void setSize(win32::NativeWindow window, int width, int height) override;
    void setOpacity(win32::NativeWindow window, double opacity) override;
    bool compositionEnabled() override;
    void setBlurRegion(win32::NativeWindow window, const std::vector<RECT>& rects) override;
    bool cursorPosition(POINT* screen) override;
    void messageBox(win32::NativeWindow owner, const std::string& caption, const std::string& text) override;
    bool iconify(win32::NativeWindow window) override;
    bool addTrayIcon(unsigned id, const win32::TrayIconDesc& desc) override;
    void removeTrayIcon(unsigned id) override;
    bool trayIconShown(unsigned id) override;
    double scale() override { return m_scale; }

    // How often scale() has changed since the backend was made.
    int scaleChanges() const { return m_scaleChanges; }
    // How often the settings or resources have been read after a change,
    // and whether a read is waiting for its time.
    int settingsReads() const { return m_settingsReads; }
    bool settingsReadPending() const { return m_resourcesChanged || m_xsettingsChanged || m_xsettingsOwnerChanged; }

private:
    WindowState* find(::Window xid);

    // dispatch.cpp
    void dispatch(XEvent& event);
    void handleClientMessage(WindowState& window, const XClientMessageEvent& event);

    // wm_hints.cpp
    bool wmRunning();
    bool wmSupports(Atom feature);
    void setWmState(WindowState& window);
    void setTitle(::Window xid, const std::string& title);
    void setWindowType(::Window xid, Atom type);
    void setMotifBorderless(::Window xid);
    // A window the user cannot resize, for the window manager; `withClass`
    // adds WM_CLASS.
    void setFixedSizeHints(::Window xid, int x, int y, int width, int height, long positionFlags, bool withClass);
    void sendClientMessage(::Window destination, long mask, ::Window about, Atom type, long l0, long l1, long l2,
                           long l3, long l4);
    void sendToRoot(::Window about, Atom type, long l0, long l1, long l2, long l3, long l4);
    void activatePending();  // what setForeground left for the loop

    // present.cpp
    void putArea(WindowState& window, int x, int y, int width, int height);
    // Puts what of the area lies in `box` into `xid`, which covers it.
    void putAreaInto(WindowState& window, ::Window xid, const RECT& box, int x, int y, int width, int height);
    // Sends the colour-key shape if rows [top, bottom) changed it.
    void updateShape(WindowState& window, int top, int bottom);
    // Shows all of the X window again.
    void clearShape(WindowState& window);
    // Stores painted rows [top, bottom), columns [left, right), in the form
    // the window's visual takes.
    // Returns the part of the area whose stored pixels changed (empty: none).
    RECT storeArea(WindowState& window, const win32::PixelView& surface, int left, int top, int right, int bottom);

    // box.cpp
    // Covers `box` (client coordinates) with the X window, the client area
    // staying where it is.
    void setBox(WindowState& window, const RECT& box);
    // A ConfigureNotify's size: what a resize waited for.
    void sizeReported(WindowState& window, int width, int height);
    // The box that shows what the window's shape leaves.
    void fitBoxToShape(WindowState& window);
    // Whether the X window follows its box to where it is asked to go.
    bool boxesMove();
    // Puts the X window at (x, y) on the root, `width` x `height`.
    void placeXWindow(WindowState& window, int x, int y, int width, int height);
    // Pointer input over the X window in client coordinates.
    static win32::PointerEvent inClient(const WindowState& window, win32::PointerEvent pointer);
    // `serial` is the event's that prompted it.
    void reportOrigin(WindowState& window, unsigned long serial);
    // Follows the frame a reparenting window manager put the window in.
    void watchFrame(WindowState& window, ::Window parent);
    WindowState* findByFrame(::Window frame);
    // Where the client area of one of our windows (or the top-left of any
    // other) lies on the root.
    bool rootOrigin(::Window xid, POINT* origin);

    // compositor.cpp
    void sendBlurRegion(const WindowState& window);
    void sendOpacity(const WindowState& window, ::Window xid);
    // The blur region's rectangles inside `box`, relative to it, on `xid`.
    void sendBlurRegion(const WindowState& window, ::Window xid, const RECT& box);

    // pieces.cpp
    // Covers `boxes` (client coordinates) with piece windows, reusing those
    // there are; before the box changes (the X window's place still holds
    // the old one).
    void setPieces(WindowState& window, const std::vector<RECT>& boxes);
    // Puts the pieces where the client area now is.
    void placePieces(WindowState& window);
    // Maps those not mapped, or unmaps all.
    void showPieces(WindowState& window, bool shown);
    void destroyPieces(WindowState& window);
    // The window a piece window belongs to, and the piece.
    WindowState* findPieceOwner(::Window xid, PieceWindow** piece);
    // Expose and pointer input over a piece window.
    bool handlePieceEvent(const XEvent& event);
    // Whether the pointer at root (x, y) is over another of the window's X
    // windows than `leaving`: no leave of the window.
    bool overOtherPiece(const WindowState& window, ::Window leaving, int x, int y);

    // xdnd.cpp
    void xdndEnter(WindowState& window, const XClientMessageEvent& event);
    void xdndPosition(WindowState& window, const XClientMessageEvent& event);
    void xdndDrop(WindowState& window, const XClientMessageEvent& event);
    void xdndLeave(const XClientMessageEvent& event);
    void xdndSelectionNotify(WindowState& window, const XSelectionEvent& event);
    void xdndPropertyNotify(WindowState& window, const XPropertyEvent& event);
    void xdndDeliver(WindowState& window, const std::string& list);
    void xdndFinish(bool success);
    // The wait for a drop's data: armed by the drop, and a drop still
    // waiting when it runs out fails.
    void xdndArmDataTimer(bool arm);
    void xdndDataTimer();
    // Reads and deletes the drop property; false when it cannot be read.
    bool takeDropProperty(::Window window, Atom* type, std::string* bytes);
    void xdndSend(::Window to, Atom type, long l0, long l1, long l2, long l3, long l4);

    // scale_watch.cpp
    // Reads the desktop's scale and starts following where it is published.
    void watchScale();
    // Looks at every event for news of the scale; takes none away from
    // the others (the tray may be watching the same windows).
    void scaleEvent(const XEvent& event);
    // The current owner of the settings manager selection, watched.
    void findXSettingsOwner();
    // Chooses the scale again; the core hears of a new one.
    void rescale();
    // Another client rewrote the settings list or the resources: read now,
    // or when kSettingsReadGap has passed since the last read.
    void settingsChanged();
    // Reads what changed since the last read, and chooses the scale again.
    void readChangedSettings();
    // The wait armed by settingsChanged, run from processEvents.
    void settingsTimer();

    // move.cpp
    bool handleMoveEvent(const XEvent& event);

    // popup.cpp
    void popupShown(WindowState& window);
    void popupHidden(WindowState& window);
    bool handlePopupEvent(const XEvent& event);
    // A LeaveNotify of one of our windows, for the core.
    void pointerLeft(WindowState& window, const XCrossingEvent& crossing);
    // Follows a pointer that left a pop-up for a see-through pixel (see
    // popup.cpp); run from processEvents.
    void followLeftPointer();
    void stopFollowing();

    // iconify.cpp
    // Asks the window manager to add or remove the off-taskbar states of a
    // managed window.
    void changeSkipStates(WindowState& window, bool skip);
    // Before a map: the initial state the window manager gives the window.
    void setInitialState(WindowState& window, int state);
    void iconicPropertyNotify(WindowState& window, const XPropertyEvent& event);
    long readWmState(::Window xid);
    bool waitForIconic(const WindowState& window);

    Display* m_display;
    // What the core polls: the X socket, and m_pending for events that an
    // Xlib call read off the socket into its queue after processEvents.
    int m_epoll = -1;
    int m_pending = -1;
    int m_dropTimer = -1;  // in m_epoll; see xdndArmDataTimer
    int m_screen;
    ::Window m_root;
    Visual* m_visual = nullptr;
    int m_depth = 0;
    Colormap m_colormap = 0;
    GC m_gc = nullptr;
    // The 32-bit visual for layered windows, when the screen has one.
    Visual* m_argbVisual = nullptr;
    Colormap m_argbColormap = 0;
    GC m_argbGc = nullptr;
    bool m_hasShape = false;
    Atoms m_atoms{};
    std::string m_hostname;
    Time m_lastTime = CurrentTime;
    ::Window m_foregroundPending = 0;  // see setForeground
    std::map<::Window, std::unique_ptr<WindowState>> m_windows;
    DragState m_drag;
    std::unique_ptr<MoveState> m_move;
    // The pop-up holding the pointer grab that stands in for a window
    // manager's focus handling (see popup.cpp).
    ::Window m_popupGrab = 0;
    // The pop-up whose pointer is being followed, where it was last seen
    // (root coordinates), and the timer in m_epoll that looks again.
    ::Window m_following = 0;
    POINT m_followedTo{};
    int m_followTimer = -1;
    Atom m_wmState = 0;
    std::unique_ptr<TrayHost> m_tray;    // made with the first tray icon
    std::unique_ptr<WmQuirks> m_quirks;  // never null
    ScaleSources m_scaleSources;
    double m_scale = 1.0;
    int m_scaleChanges = 0;
    ::Window m_xsettingsOwner = 0;
    // Changes seen and not yet read (see settingsChanged), and the timer in
    // m_epoll that reads them.
    bool m_resourcesChanged = false;
    bool m_xsettingsChanged = false;
    bool m_xsettingsOwnerChanged = false;
    std::chrono::steady_clock::time_point m_settingsReadAt{};
    int m_settingsTimer = -1;
    int m_settingsReads = 0;
};

}  // namespace x11
