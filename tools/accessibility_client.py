#!/usr/bin/python3
"""Reads the running player's window as a screen reader does, over AT-SPI (pyatspi), and checks it.

Started by tools/accessibility_check.sh inside a private session with the accessibility bus, while the
player plays the show it made (ten minutes, two tracks, a chat line every second). Prints one line per
check and exits 1 when one fails.
"""

import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

DEADLINE = 15  # seconds any one condition may take
failed = False


def check(name, ok, detail=""):
    global failed
    print(("ok   " if ok else "FAIL ") + name + (f" ({detail})" if detail else ""), flush=True)
    if not ok:
        failed = True


def wait_for(condition, seconds=DEADLINE):
    """Polls `condition` until it answers something true or the deadline passes; answers its last answer."""
    end = time.monotonic() + seconds
    while True:
        try:
            answer = condition()
        except Exception:  # a node that went away while being read: read again
            answer = None
        if answer or time.monotonic() > end:
            return answer
        time.sleep(0.1)


def children(node):
    return [node.getChildAtIndex(i) for i in range(node.childCount)]


def find(node, role, name=None):
    """The first node under `node` (depth first) with `role` and, when given, `name`."""
    for child in children(node):
        if child is None:
            continue
        if child.getRole() == role and (name is None or child.name == name):
            return child
        found = find(child, role, name)
        if found is not None:
            return found
    return None


def states(node):
    return set(node.getState().getStates())


def click(node):
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    return "click" in names and action.doAction(names.index("click"))


def player_status():
    return subprocess.run(["playerctl", "--player=vantri", "status"], capture_output=True,
                          text=True).stdout.strip()


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in children(desktop):
        if app is not None and app.name == "Vantri":
            return app
    return None


def events(kinds, until, seconds=DEADLINE):
    """Listens for AT-SPI events of `kinds` until `until(event)` answers true or the deadline passes; answers
    the events seen."""
    seen = []
    loop = GLib.MainLoop()

    def on_event(event):
        seen.append(event)
        if until(event):
            loop.quit()

    pyatspi.Registry.registerEventListener(on_event, *kinds)
    GLib.timeout_add(int(seconds * 1000), loop.quit)
    loop.run()
    pyatspi.Registry.deregisterEventListener(on_event, *kinds)
    return seen


app = wait_for(application)
check("the application is found by its name", app is not None)
if app is None:
    sys.exit(1)
frame = wait_for(lambda: find(app, pyatspi.ROLE_FRAME))
check("its window is a frame named by the window's title", frame is not None and "Test FM" in frame.name,
      frame.name if frame else "")

# The play buttons, in the order they stand.
for name in ["Previous", "Pause", "Play", "Next"]:
    button = wait_for(lambda: find(frame, pyatspi.ROLE_PUSH_BUTTON, name))
    ok = button is not None and {pyatspi.STATE_ENABLED, pyatspi.STATE_SENSITIVE, pyatspi.STATE_SHOWING,
                                 pyatspi.STATE_VISIBLE, pyatspi.STATE_FOCUSABLE} <= states(button)
    check(f"push button {name!r} is enabled, showing and focusable", ok)
    if button is not None:
        extents = button.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
        check(f"push button {name!r} has its size on screen", (extents.width, extents.height) in [(36, 32), (35, 32)],
              f"{extents.width}x{extents.height}")

check("the player is playing the show it was started with", wait_for(lambda: player_status() == "Playing"),
      player_status())
pause = find(frame, pyatspi.ROLE_PUSH_BUTTON, "Pause")
check("the Pause button's click action runs", click(pause))
check("the click on Pause paused playback", wait_for(lambda: player_status() == "Paused"), player_status())
play = find(frame, pyatspi.ROLE_PUSH_BUTTON, "Play")
check("the Play button's click action runs", click(play))
check("the click on Play started playback again", wait_for(lambda: player_status() == "Playing"),
      player_status())

mute = find(frame, pyatspi.ROLE_TOGGLE_BUTTON, "Mute")
check("the mute button is a checkable toggle button, not checked",
      mute is not None and pyatspi.STATE_CHECKABLE in states(mute) and pyatspi.STATE_CHECKED not in states(mute))
click(mute)
check("a click on mute checks it", wait_for(lambda: pyatspi.STATE_CHECKED in states(mute)))
click(mute)
check("a second click unchecks it", wait_for(lambda: pyatspi.STATE_CHECKED not in states(mute)))

volume = find(frame, pyatspi.ROLE_SLIDER, "Volume")
value = volume.queryValue() if volume else None
check("the volume slider goes from 0 to 100 %",
      value is not None and (value.minimumValue, value.maximumValue) == (0, 100) and 0 <= value.currentValue <= 100,
      f"{value.currentValue} in {value.minimumValue}..{value.maximumValue}" if value else "")
position = find(frame, pyatspi.ROLE_SLIDER, "Position")
value = position.queryValue() if position else None
# The station measures the recording (ten minutes and the encoder's few frames).
check("the position slider counts seconds up to the show's length",
      value is not None and 600 <= value.maximumValue <= 610 and 0 <= value.currentValue <= value.maximumValue,
      f"{value.currentValue} of {value.maximumValue}" if value else "")

# Focus: a reader moves it, and hears where it went.
def on_focus(event):
    return event.type == "object:state-changed:focused" and event.detail1 == 1 and event.source.name == "Volume"


GLib.idle_add(lambda: volume.queryComponent().grabFocus() and False)
seen = events(["object:state-changed:focused"], on_focus)
check("focusing the volume slider raises a focus event from it", any(on_focus(e) for e in seen))
check("the volume slider then holds the focus", pyatspi.STATE_FOCUSED in states(volume))

# The chat: its lines are list items, and new ones are told while it has the focus.
chat = find(frame, pyatspi.ROLE_LIST, "Chat")
check("the chat is a list", chat is not None)
lines = wait_for(lambda: [item.name for item in children(chat) if item.getRole() == pyatspi.ROLE_LIST_ITEM])
check("the chat's lines are list items named by their text",
      bool(lines) and all(line.startswith("[0:") for line in lines), lines[-1] if lines else "")


def on_chat(event):
    return event.type.startswith("object:announcement") and "line" in str(event.any_data)


GLib.idle_add(lambda: chat.queryComponent().grabFocus() and False)
seen = events(["object:announcement", "object:children-changed"], on_chat)
announced = [str(e.any_data) for e in seen if e.type.startswith("object:announcement")]
check("a new chat line is announced while the chat has the focus", bool(announced),
      announced[0] if announced else f"{len(seen)} other events")
check("the chat list tells of the rows it shows as they change",
      any(e.type.startswith("object:children-changed") for e in seen))

# The track list, shown by a click on the status text.
status = wait_for(lambda: next((c for c in children(frame) if c.getRole() == pyatspi.ROLE_LABEL and
                                "Artist" in c.name), None))
check("the status text is a label naming the track", status is not None, status.name if status else "")
if status is not None:
    click(status)
tracks = wait_for(lambda: find(frame, pyatspi.ROLE_LIST, "Tracks"))
names = wait_for(lambda: [item.name for item in children(tracks)]) if tracks else []
check("the track list's rows are named \"artist - title\"", names == ["Artist - Title", "Artist 2 - Title 2"],
      str(names))
# Enter on a row seeks to that track; so does its click action.
if names:
    click(children(tracks)[1])
    check("a click on the second track moves the position there",
          wait_for(lambda: position.queryValue().currentValue >= 300), str(position.queryValue().currentValue))

# The settings page and its check boxes.
settings = find(frame, pyatspi.ROLE_PAGE_TAB, "Settings")
check("the Settings tab is a page tab", settings is not None)
click(settings)


def check_boxes(node):
    found = []
    for child in children(node):
        if child.getRole() == pyatspi.ROLE_CHECK_BOX:
            found.append(child)
        found += check_boxes(child)
    return found


boxes = wait_for(lambda: check_boxes(frame)) or []
check("the settings page shows eight check boxes with their labels",
      len(boxes) == 8 and all(box.name for box in boxes), str([box.name for box in boxes]))
if boxes:
    first = boxes[0]
    before = pyatspi.STATE_CHECKED in states(first)
    click(first)
    check("a click on a check box flips its checked state",
          wait_for(lambda: (pyatspi.STATE_CHECKED in states(first)) != before))
    click(first)

# The station chooser lists the station by name.
click(find(frame, pyatspi.ROLE_PAGE_TAB, "Stations"))
stations = wait_for(lambda: find(frame, pyatspi.ROLE_LIST, "Stations"))
names = wait_for(lambda: [item.name for item in children(stations)]) if stations else []
check("the station list's rows are named by the station", "Test FM" in names, str(names))

sys.exit(1 if failed else 0)
