#!/usr/bin/python3
"""The whole console on the simulated tracker under a real X server.

Starts its own Xvfb on a free display and openbox, runs korvantix-control
--simulate=<scenario> with real mouse and keys through xdotool (XTest), and
watches what happened through the program's action trace
(KTX_DEBUG_ACTIONS), its widget geometry (KTX_DEBUG_GEOMETRY), its settings
file and screenshots (xwd, saved as PNG). Usage: x11_suite.py PROGRAM [SCREENSHOT_DIR] [CHECK...]
"""
import json
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_SCENARIO = os.path.join(HERE, "..", "..", "sim", "scenarios", "default.json")
SETTINGS = "Korvantix_control.ini"
TRACE = "actions.txt"
GEOMETRY = "geometry.txt"
# Tab indexes of the window.
TAB_INPUTS, TAB_GSM, TAB_GNSS, TAB_ONEWIRE, TAB_RS485, TAB_CAN, TAB_TELIT = 0, 1, 2, 3, 4, 5, 7


def wait_for(condition, timeout, step=0.05):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(step)
    return condition()


class XServer:
    """Xvfb on the first free display (-displayfd) with openbox."""

    def __enter__(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
            pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            number = numbers.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number
        self.env = dict(os.environ, DISPLAY=self.display)
        self.env.pop("QT_QPA_PLATFORM", None)
        self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not wait_for(lambda: b"_NET_SUPPORTING_WM_CHECK(WINDOW)" in subprocess.run(
                ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env, capture_output=True).stdout, 10):
            raise RuntimeError("the window manager did not start")
        return self

    def __exit__(self, *exc):
        for process in (self.wm, self.xvfb):
            process.terminate()
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()

    def xdotool(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True)

    def screenshot(self, png_path):
        """The whole screen as a PNG file; returns its pixels."""
        dump = subprocess.run(["xwd", "-root", "-silent"], env=self.env, check=True, capture_output=True).stdout
        width, height, pixels = xwd_rgb(dump)
        write_png(png_path, width, height, pixels)
        return pixels


    def window_named(self, title):
        """Whether a mapped window has this title."""
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % title], env=self.env,
                               capture_output=True)
        return found.returncode == 0 and found.stdout.strip() != b""

    def repaints(self, shots, name, seconds=1.0, frames=6):
        """Whether the screen changes within the time: several frames, since the
        blinking indicators may be back in the same phase a second later."""
        first = self.screenshot(os.path.join(shots, "%s-1.png" % name))
        for frame in range(2, frames + 1):
            time.sleep(seconds / (frames - 1))
            if self.screenshot(os.path.join(shots, "%s-%d.png" % (name, frame))) != first:
                return True
        return False


def crop(pixels, screen_width, rect):
    """The RGB bytes of rect (x, y, width, height) out of a whole-screen shot."""
    x, y, w, h = rect
    return b"".join(pixels[3 * ((y + row) * screen_width + x):3 * ((y + row) * screen_width + x + w)] for row in range(h))


def window_frame(x, window_id):
    """The frame of a top-level window as the window manager drew it: (left, top, right, bottom)."""
    info = subprocess.run(["xwininfo", "-id", str(window_id)], env=x.env, check=True, capture_output=True,
                          text=True).stdout
    fields = dict(line.strip().split(":", 1) for line in info.splitlines() if ":" in line)
    left, top = int(fields["Absolute upper-left X"]), int(fields["Absolute upper-left Y"])
    width, height = int(fields["Width"]), int(fields["Height"])
    extents = subprocess.run(["xprop", "-id", str(window_id), "_NET_FRAME_EXTENTS"], env=x.env,
                             capture_output=True, text=True).stdout
    l, r, t, b = (list(map(int, extents.split("=")[1].split(","))) if "=" in extents else [0, 0, 0, 0])
    return left - l, top - t, left + width + r, top + height + b


def window_title(x, window_id):
    return subprocess.run(["xdotool", "getwindowname", str(window_id)], env=x.env, capture_output=True,
                          text=True).stdout.strip()


def xwd_rgb(dump):
    """Width, height and RGB bytes of a 24- or 32-bit xwd dump with 8-bit channels (what Xvfb gives)."""
    fields = struct.unpack(">25I", dump[:100])
    header_size, width, height, byte_order = fields[0], fields[4], fields[5], fields[7]
    bits_per_pixel, bytes_per_line, colours = fields[11], fields[12], fields[19]
    if bits_per_pixel not in (24, 32) or fields[14:17] != (0xFF0000, 0xFF00, 0xFF):
        raise RuntimeError("unexpected screen format: %s" % (fields,))
    step = bits_per_pixel // 8
    start = header_size + 12 * colours
    rows = b"".join(dump[start + y * bytes_per_line:start + (y * bytes_per_line) + step * width] for y in range(height))
    red, green, blue = (2, 1, 0) if byte_order == 0 else (step - 3, step - 2, step - 1)
    rgb = bytearray(3 * width * height)
    rgb[0::3], rgb[1::3], rgb[2::3] = rows[red::step], rows[green::step], rows[blue::step]
    return width, height, bytes(rgb)


def write_png(path, width, height, rgb):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\0" + rgb[y * 3 * width:(y + 1) * 3 * width] for y in range(height))
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                  + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


class Console:
    """One run of the program in a working directory of its own."""

    def __init__(self, x, program, scenario_changes=None, settings="", locale="ru_RU.UTF-8"):
        self.x = x
        self.dir = tempfile.mkdtemp(prefix="ktx-x11-")
        with open(DEFAULT_SCENARIO) as source:
            scenario = json.load(source)
        for section, values in (scenario_changes or {}).items():
            if isinstance(values, dict):
                scenario[section].update(values)
            else:
                scenario[section] = values
        with open(self.path("scenario.json"), "w") as out:
            json.dump(scenario, out)
        # Identification only searches and asks the version.
        with open(self.path(SETTINGS), "w", newline="") as out:
            out.write("[CONFIG]\r\nAutoStart=0\r\n[GSM]\r\nReadGSMAuto=0\r\n" + settings)
        env = dict(x.env, KTX_DEBUG_ACTIONS=TRACE, KTX_DEBUG_GEOMETRY=GEOMETRY, LC_ALL=locale)
        self.process = subprocess.Popen([program, "--simulate=scenario.json"], cwd=self.dir, env=env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        if not wait_for(lambda: self.ended("DeviceChange") >= 1 and os.path.exists(self.path(GEOMETRY)), 20):
            raise RuntimeError("the console did not show and identify the tracker")
        time.sleep(0.5)  # the window manager has placed the window

    def path(self, name):
        return os.path.join(self.dir, name)

    def start_update(self, records=40):
        """Starts a modem update from the TELIT tab with a firmware file of its own."""
        firmware_file(self.path("firmware.bin"), records=records)
        self.tab(TAB_TELIT)
        self.type_into("FirmwarePath", self.path("firmware.bin"))
        self.click("TelitInit")
        assert wait_for(lambda: self.steps("start", "TelitInit"), 3), "the update did not start"

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        shutil.rmtree(self.dir, ignore_errors=True)

    def trace(self):
        """(ms, step, name) for every step of every keyed action so far."""
        try:
            with open(self.path(TRACE)) as lines:
                return [(int(ms), step, name) for ms, step, name in (line.split() for line in lines if line.count(" ") == 2)]
        except FileNotFoundError:
            return []

    def steps(self, step, name):
        return [ms for ms, s, n in self.trace() if s == step and n == name]

    def ended(self, name):
        return len(self.steps("end", name))

    def tab_count(self):
        """How many tabs the geometry file lists."""
        with open(self.path(GEOMETRY)) as lines:
            return sum(1 for line in lines if re.fullmatch(r"tab\d+", line.split()[0]))

    def rect(self, name):
        """(x, y, width, height) of a named widget on the screen."""
        with open(self.path(GEOMETRY)) as lines:
            for line in lines:
                parts = line.split()
                if parts[0] == name:
                    return tuple(map(int, parts[1:]))
        raise KeyError(name)

    def centre(self, name):
        x, y, w, h = self.rect(name)
        return x + w // 2, y + h // 2

    def queued_since(self, ms, ignore=("DeviceChange", "PlugPollTimer")):
        """Names of the actions queued after ms, but the background ones."""
        return sorted({n for t, s, n in self.trace() if s == "queued" and t > ms and n not in ignore})

    def last_ms(self):
        return max([t for t, _, _ in self.trace()], default=0)

    def click(self, name, repeat=1):
        x, y = self.centre(name)
        # No --sync: it waits for a motion that never comes when the pointer
        # is there already.
        self.x.xdotool("mousemove", x, y)
        time.sleep(0.05)
        if repeat > 1:
            self.x.xdotool("click", "--repeat", repeat, "--delay", 60, 1)
        else:
            self.x.xdotool("click", 1)

    def tab(self, index):
        self.click("tab%d" % index)
        time.sleep(0.2)

    def type_into(self, name, text):
        self.click(name)
        self.x.xdotool("key", "ctrl+a")
        self.x.xdotool("type", "--delay", 20, text)


def firmware_file(path, records=40, record_size=1000):
    """A firmware file: the 66-byte header and records of cycling bytes."""
    data = bytearray((66).to_bytes(2, "little"))
    for name in (b"LE910C1 25.30.226", b"LE910C1-EU"):
        data += name.ljust(32, b"\0")
    for n in range(records):
        payload = bytes((n + i * 7) & 0xFF for i in range(record_size))
        data += (len(payload) - 1).to_bytes(2, "little") + payload
    with open(path, "wb") as out:
        out.write(data)


# --- the checks; each raises AssertionError with what went wrong ---

def check_click_during_long_action(x, program, shots):
    """A click made during a 10 s action is handled within 300 ms of its end, with no further input."""
    console = Console(x, program)
    try:
        console.tab(TAB_GSM)
        console.type_into("ATCommand", "AT")
        console.type_into("ATTimeOut", "10000")
        console.click("ATButton")
        assert wait_for(lambda: console.steps("start", "ATButton"), 3), "the AT command did not start"
        time.sleep(2)
        console.tab(TAB_GNSS)
        console.click("GETTIMER")
        # No more input from here on.
        assert wait_for(lambda: console.ended("GETTIMER"), 15), "the clock read never ran"
        action_end = console.steps("end", "ATButton")[0]
        clock_start = console.steps("start", "GETTIMER")[0]
        late = clock_start - action_end
        assert 0 <= late <= 300, "the click was handled %d ms after the action ended" % late
        return "handled %d ms after the 10 s action ended" % late
    finally:
        console.close()


def check_no_double_runs(x, program, shots):
    """A double click on "Включение GSM" runs it once; a click on "Перепрошивка TELIT" during an update starts no second."""
    console = Console(x, program, {"telit": {"enterDelayMs": 3000}})
    try:
        console.tab(TAB_GSM)
        console.click("Button1", repeat=2)
        time.sleep(1.5)
        power_ons = len(console.steps("queued", "Button1"))
        assert power_ons == 1, "the double click queued %d power-ons" % power_ons
        console.process.kill()
    finally:
        console.close()

    console = Console(x, program, {"telit": {"enterDelayMs": 3000}})
    try:
        console.start_update()
        time.sleep(1.5)
        clicked_at = time.monotonic()
        console.click("TelitInit")
        assert time.monotonic() - clicked_at < 1, "the second click took too long to give"
        assert not console.ended("TelitInit"), "the update ended before the second click"
        assert wait_for(lambda: console.ended("TelitInit"), 60), "the update did not end"
        time.sleep(1.5)
        updates = [(ms, step) for ms, step, name in console.trace() if name == "TelitInit"]
        assert len(console.steps("start", "TelitInit")) == 1, "more than one update: %s" % updates
        return "one power-on, one update"
    finally:
        console.close()


POLLS = {  # trace name: (tab, button that starts and stops it, ticks a second)
    "Timer1": (TAB_INPUTS, "Program", 5),
    "Timer2": (TAB_RS485, "Button14", 8),
    "Timer5": (TAB_RS485, "Button23", 1),
    "Timer4": (TAB_ONEWIRE, "Button17", 1),
    "Timer3": (TAB_CAN, "Button15", 4),
}


def rates(console, names, seconds):
    before = {name: console.ended(name) for name in names}
    time.sleep(seconds)
    return {name: (console.ended(name) - before[name]) / seconds for name in names}


def toggle(console, name):
    tab, button, _ = POLLS[name]
    console.tab(tab)
    console.click(button)


def check_fair_polls(x, program, shots):
    """Five polls together for 20 s: none below a third of its own rate alone; the window repaints meanwhile."""
    console = Console(x, program, settings="")
    try:
        console.tab(TAB_ONEWIRE)
        console.type_into("temper1id", "a2b3c4d5e6f7")
        solo = {}
        for name in POLLS:
            toggle(console, name)
            time.sleep(0.5)
            solo[name] = rates(console, [name], 3)[name]
            toggle(console, name)
            time.sleep(0.5)
            own_rate = POLLS[name][2]
            assert solo[name] >= 0.8 * own_rate, "%s alone: %.1f/s of %d/s" % (name, solo[name], own_rate)
        for name in POLLS:
            toggle(console, name)
        console.tab(TAB_RS485)
        time.sleep(0.5)
        assert x.repaints(shots, "x11-polls"), "the window did not repaint in a second of polling"
        together = rates(console, list(POLLS), 20)
        starved = [n for n in POLLS if together[n] < solo[n] / 3]
        summary = ", ".join("%s %.1f/s alone, %.1f/s together" % (n, solo[n], together[n]) for n in POLLS)
        assert not starved, "starved: %s (%s)" % (starved, summary)
        return summary
    finally:
        console.close()


def check_close_during_update(x, program, shots):
    """A close during an update exits after it, settings written; the console and progress go on painting."""
    console = Console(x, program, {"telit": {"enterDelayMs": 3000}})
    try:
        # About seven seconds of records after some eight of modem start.
        firmware_file(console.path("firmware.bin"), records=100)
        console.tab(TAB_GSM)
        console.type_into("sms", "STATUS")
        console.tab(TAB_TELIT)
        console.type_into("FirmwarePath", console.path("firmware.bin"))
        console.click("TelitInit")
        assert wait_for(lambda: console.steps("start", "TelitInit"), 3), "the update did not start"
        time.sleep(9)
        assert not console.ended("TelitInit"), "the update ended before the close"
        x.xdotool("key", "alt+F4")
        painting = x.repaints(shots, "x11-closing")
        assert console.process.poll() is None, "the program ended during the update"
        assert not console.ended("TelitInit"), "the update ended too soon to show anything"
        assert painting, "the window did not repaint in a second of the update"
        assert console.process.wait(60) == 0, "the program did not exit 0"
        assert console.ended("TelitInit") == 1, "the update was cut short"
        with open(console.path(SETTINGS), encoding="cp1251") as settings:
            assert "sms=STATUS" in settings.read(), "the settings were not written"
        said = console.process.stderr.read().decode("utf-8", "replace")
        assert "Перепрошивка модема завершена" in said, "the update's result was not said: %r" % said
        return "exited 0 after the update, its result said, settings written, the window painting meanwhile"
    finally:
        console.close()


SCREEN_WIDTH = 1280


def check_tab_titles_fit(x, program, shots):
    """Every tab title whole, nothing scrolled, at the window's one size, in Russian and in C: the nine
    designed tabs at the designed 785x449, more tabs in a wider window of the same height."""
    said = []
    for locale, tag in (("ru_RU.UTF-8", "ru_RU"), ("C", "C")):
        console = Console(x, program, locale=locale)
        try:
            window = console.rect("window")
            tabs = console.tab_count()
            assert tabs >= 9, "only %d tabs" % tabs
            if tabs == 9:
                assert window[2:] == (785, 449), "the window is %dx%d" % window[2:]
            else:
                assert window[2] >= 785 and window[3] == 449, "the window is %dx%d" % window[2:]
            bar = console.rect("tabbar")
            pixels = x.screenshot(os.path.join(shots, "x11-screen-%s.png" % tag))
            write_png(os.path.join(shots, "x11-tabs-%s.png" % tag), window[2], window[3],
                      crop(pixels, SCREEN_WIDTH, window))
            cut = []
            for index in range(tabs):
                tx, ty, tw, th = console.rect("tab%d" % index)
                needs = console.rect("tabtext%d" % index)[2]
                if tx < bar[0] or tx + tw > bar[0] + bar[2] or tw < needs:
                    cut.append("tab%d at %d..%d (needs %d) in a bar %d..%d" % (
                        index, tx, tx + tw, needs, bar[0], bar[0] + bar[2]))
            assert not cut, "%s: cut or scrolled: %s" % (tag, "; ".join(cut))
            tabs_end = max(console.rect("tab%d" % i)[0] + console.rect("tab%d" % i)[2] for i in range(tabs))
            for name, title in (("ProtocolButton", "Протокол"), ("HistoryButton", "История")):
                try:
                    bx, by, bw, bh = console.rect(name)
                except KeyError:
                    raise AssertionError("no \"%s\" button" % title)
                assert window[0] <= bx and bx + bw <= window[0] + window[2], "%s outside the window" % name
                assert by >= bar[1] + bar[3] or bx >= tabs_end, "%s lies over the tabs" % name
            said.append("%s: tabs end at %d of %d" % (tag, tabs_end - window[0], window[2]))
        finally:
            console.close()
    return "; ".join(said)


def check_greyed_button_keeps_focus(x, program, shots):
    """Space pressed again on a button greyed by its own action starts nothing else, and works on it once it is back."""
    console = Console(x, program, {"telit": {"enterDelayMs": 3000}})
    try:
        console.tab(TAB_GSM)
        console.click("Button1")  # "Включение GSM": the click gives it the focus
        assert wait_for(lambda: console.steps("start", "Button1"), 3), "the power-on did not start"
        clicked = console.steps("queued", "Button1")[0]
        time.sleep(0.3)
        x.xdotool("key", "--delay", 150, "space", "space")
        time.sleep(1)
        others = [n for n in console.queued_since(clicked) if n != "Button1"]
        assert not others, "Space on the greyed \"Включение GSM\" started %s" % others
        assert wait_for(lambda: console.ended("Button1"), 60), "the power-on did not end"
        time.sleep(0.5)
        x.xdotool("key", "space")
        assert wait_for(lambda: len(console.steps("queued", "Button1")) == 2, 3), \
            "the focus did not come back to \"Включение GSM\": Space did not run it again"
        console.process.kill()
    finally:
        console.close()

    console = Console(x, program, {"telit": {"enterDelayMs": 3000}})
    try:
        console.start_update()
        clicked = console.steps("queued", "TelitInit")[0]
        time.sleep(0.3)
        x.xdotool("key", "--delay", 150, "space", "space")
        time.sleep(1)
        others = [n for n in console.queued_since(clicked) if n != "TelitInit"]
        assert not others, "Space on the greyed \"Перепрошивка TELIT\" queued %s" % others
        return "nothing else queued on either; the focus came back to \"Включение GSM\""
    finally:
        console.close()


def timer1_runs(console, since, seconds=1.0):
    time.sleep(seconds)
    return bool([t for t in console.steps("start", "Timer1") if t > since])


def check_window_keys(x, program, shots):
    """Esc toggles the status poll from the window itself only, not from an edit and not on the GSM tab;
    Z and F11 switch output 1 only while no control has the focus."""
    console = Console(x, program)
    try:
        mark = console.last_ms()
        x.xdotool("key", "Escape")
        assert timer1_runs(console, mark), "Esc with the window focused did not start the status poll"
        x.xdotool("key", "Escape")
        time.sleep(0.5)
        console.click("Edit1")
        mark = console.last_ms()
        x.xdotool("key", "Escape")
        assert not timer1_runs(console, mark), "Esc in an edit started the status poll"
        console.process.kill()
    finally:
        console.close()

    console = Console(x, program)
    try:
        console.tab(TAB_GSM)
        mark = console.last_ms()
        x.xdotool("key", "Escape")
        assert not timer1_runs(console, mark), "Esc on the GSM tab started the status poll"
        console.process.kill()
    finally:
        console.close()

    console = Console(x, program)
    try:
        box = console.rect("OutBox")

        def box_pixels():
            time.sleep(0.3)
            return crop(x.screenshot(os.path.join(shots, "x11-outbox.png")), SCREEN_WIDTH, box)
        before = box_pixels()
        x.xdotool("key", "F11")
        assert box_pixels() != before, "F11 with the window focused did not switch output 1"
        console.click("OutBox")  # switches it back and takes the focus
        for key in ("z", "F11"):
            before = box_pixels()
            x.xdotool("key", key)
            assert box_pixels() == before, "%s on the focused check box switched output 1" % key
        return "Esc from the window only; Z and F11 left alone by a focused check box"
    finally:
        console.close()


def check_plot_restored_beside(x, program, shots):
    """A plot kept shown opens at start beside the window, on the screen, with the program's name in its title."""
    console = Console(x, program, settings="[PLOTS]\r\nInputs=1\r\n")
    try:
        found = wait_for(lambda: subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Напряжения"],
                                                env=x.env, capture_output=True, text=True).stdout.split(), 5)
        assert found, "the plot did not open"
        plot = found[0]
        main = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Корвантикс контроль"], env=x.env,
                              capture_output=True, text=True).stdout.split()[0]
        time.sleep(0.5)
        plot_frame, main_frame = window_frame(x, plot), window_frame(x, main)
        x.screenshot(os.path.join(shots, "x11-plot-restored.png"))
        assert plot_frame[2] <= SCREEN_WIDTH and plot_frame[0] >= 0, "the plot %s is off the screen" % (plot_frame,)
        assert plot_frame[1] == main_frame[1], "the plot's top %d, the window's %d" % (plot_frame[1], main_frame[1])
        title = window_title(x, plot)
        assert "Корвантикс контроль" in title, "the plot is titled %r" % title
        return "plot frame %s beside the window's %s, titled %r" % (plot_frame, main_frame, title)
    finally:
        console.close()


def check_protocol_during_update(x, program, shots):
    """"Протокол" is greyed while an update runs (no empty dialog over it), and runs after it."""
    console = Console(x, program, {"telit": {"enterDelayMs": 3000}})
    try:
        console.start_update()
        time.sleep(1)
        console.click("ProtocolButton")
        time.sleep(1)
        x.screenshot(os.path.join(shots, "x11-protocol-during-update.png"))
        assert not console.steps("queued", "ProtocolButton"), "a click on Протокол during the update queued a check"
        assert not x.window_named("Протокол проверки"), "a Протокол dialog opened over the update"
        assert not console.ended("TelitInit"), "the update ended before the check could be tried"
        assert wait_for(lambda: console.ended("TelitInit"), 60), "the update did not end"
        time.sleep(0.5)
        console.click("ProtocolButton")
        assert wait_for(lambda: console.steps("start", "ProtocolButton"), 5), "Протокол did not run after the update"
        return "greyed during the update, ran after it"
    finally:
        console.close()


def check_history_click(x, program, shots):
    """After a short "Протокол", a real click on "История" reads the runs as a device action and opens its dialog; Esc closes it."""
    console = Console(x, program)
    try:
        with open(console.path("check-profile.json"), "w") as profile:
            json.dump({"name": "short", "steps": [{"type": "identification", "firmware": {"min": 57, "max": 999}}]},
                      profile)
        console.click("ProtocolButton")
        assert wait_for(lambda: console.ended("ProtocolButton"), 20), "Протокол did not run"
        assert wait_for(lambda: x.window_named("Протокол проверки"), 5), "no Протокол dialog"
        time.sleep(0.5)
        x.xdotool("key", "Escape")
        assert wait_for(lambda: not x.window_named("Протокол проверки"), 5), "Esc did not close the Протокол dialog"
        time.sleep(0.3)
        console.click("HistoryButton")
        assert wait_for(lambda: console.ended("HistoryButton"), 10), "История read nothing"
        assert wait_for(lambda: x.window_named("История проверок"), 5), "no История dialog"
        time.sleep(0.5)
        x.screenshot(os.path.join(shots, "x11-history.png"))
        x.xdotool("key", "Escape")
        assert wait_for(lambda: not x.window_named("История проверок"), 5), "Esc did not close the История dialog"
        database = console.path(os.path.join("protocols", "korvantix-results.sqlite"))
        assert os.path.exists(database), "Протокол stored no run"
        read = console.steps("start", "HistoryButton")[0], console.steps("end", "HistoryButton")[0]
        return "read in %d ms on the worker" % (read[1] - read[0])
    finally:
        console.close()


CHECKS = [check_click_during_long_action, check_no_double_runs, check_fair_polls, check_close_during_update,
          check_tab_titles_fit, check_greyed_button_keeps_focus, check_window_keys, check_plot_restored_beside,
          check_protocol_during_update, check_history_click]


def main():
    program = os.path.abspath(sys.argv[1])
    shots = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else "screenshots")
    chosen = sys.argv[3:]
    os.makedirs(shots, exist_ok=True)
    failures = 0
    with XServer() as x:
        for check in CHECKS:
            if chosen and check.__name__ not in chosen:
                continue
            started = time.monotonic()
            try:
                said = check(x, program, shots)
                print("PASS %s (%.1f s): %s" % (check.__name__, time.monotonic() - started, said), flush=True)
            except Exception as error:  # a failed check, or a program that did not run
                failures += 1
                print("FAIL %s (%.1f s): %s" % (check.__name__, time.monotonic() - started, error), flush=True)
    return 1 if failures else 0


if __name__ == "__main__":
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    sys.exit(main())
