#!/usr/bin/python3
"""Drives the real editor on an X server through the keyboard: open a PNG through the file
dialog, invert it from the menu, save; open the grayscale dialog from the menu, move its slider
with the arrow keys, press OK, save again, exit. After each save it checks what the file holds.
Then it opens a picture wider than the screen from the command line, fits it to the window, drags
a rectangle over it with the mouse, inverts that and saves: the inverted pixels must be the
rectangle the drag covered, scaled by the fitted zoom.

Usage: keyboard_session.py PATH_TO_QUORVEL

Uses $DISPLAY when set, otherwise starts its own Xvfb. No window manager is needed: a modal
window takes the X input focus when it is mapped, but when one closes the focus falls back to
the root window, so the session puts the focus on the main window itself (xdotool windowfocus)
before every key sequence meant for it.
"""

import os
import select
import struct
import subprocess
import sys
import tempfile
import time
import zlib

TIMEOUT = 60.0
POLL = 0.05
# How long one exit command may take before it is given again.
EXIT_WAIT = 10
WIDTH, HEIGHT = 40, 30
GRAY_LEVEL = 5  # presses of the right arrow on the grayscale dialog's slider


class Failure(Exception):
    pass


# --- PNG, just enough: write 8-bit RGB, read the 8-bit colour types Qt writes ---------------

def write_png(path, width, height, pixels):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            raw.extend(pixels[y * width + x])
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(bytes(raw))))
        f.write(chunk(b"IEND", b""))


def read_png(path):
    """Returns (width, height, [(r, g, b), ...]) for a non-interlaced 8-bit PNG."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise Failure(f"{path} is not a PNG file")
    pos, idat, palette, header = 8, bytearray(), None, None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"PLTE":
            palette = [tuple(body[i:i + 3]) for i in range(0, len(body), 3)]
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    width, height, depth, colour, _, _, interlace = header
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}.get(colour)
    if depth != 8 or channels is None or interlace != 0:
        raise Failure(f"{path}: unsupported PNG layout (depth {depth}, colour type {colour}, "
                      f"interlace {interlace})")
    raw = zlib.decompress(bytes(idat))
    stride = width * channels
    previous = bytearray(stride)
    pixels = []
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = previous[i]
            c = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + b) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                predictor = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + predictor) & 0xFF
        previous = line
        for x in range(width):
            px = line[x * channels:(x + 1) * channels]
            if colour in (0, 4):
                pixels.append((px[0], px[0], px[0]))
            elif colour == 3:
                pixels.append(palette[px[0]])
            else:
                pixels.append(tuple(px[:3]))
    return width, height, pixels


# --- BMP, for the large picture: Python reads it fast ------------------------------------------

LARGE_WIDTH, LARGE_HEIGHT = 2400, 1000  # wider than the 1280-pixel screen: fitting shrinks it
INVERT = bytes(255 - b for b in range(256))


def large_rows():
    """Rows of blue, green, red bytes, as BMP stores them."""
    return [bytes(v for x in range(LARGE_WIDTH) for v in (x & 255, y & 255, (x + y) & 255))
            for y in range(LARGE_HEIGHT)]


def write_bmp(path, rows):
    width, height = len(rows[0]) // 3, len(rows)
    pad = (4 - width * 3 % 4) % 4
    size = 54 + (width * 3 + pad) * height
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", size, 0, 0, 54))
        f.write(struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, size - 54, 2835, 2835, 0, 0))
        for row in reversed(rows):
            f.write(row + b"\0" * pad)


def read_bmp(path):
    """Rows of blue, green, red bytes of an uncompressed 24- or 32-bit BMP."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM":
        raise Failure(f"{path} is not a BMP file")
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if bits not in (24, 32) or compression not in (0, 3):
        raise Failure(f"{path}: unsupported BMP layout ({bits} bits, compression {compression})")
    step = bits // 8
    stride = (width * step + 3) // 4 * 4
    rows = []
    for y in range(abs(height)):
        start = offset + y * stride
        line = data[start:start + width * step]
        rows.append(line if step == 3 else bytes(b for i, b in enumerate(line) if i % 4 != 3))
    return rows if height < 0 else rows[::-1]


def inverted_box(original, saved):
    """The bounding box (left, top, right, bottom; exclusive) of the pixels that changed, after
    checking that every pixel inside it is inverted and none outside changed."""
    changed = [y for y in range(len(original)) if original[y] != saved[y]]
    if not changed:
        raise Failure("no pixel of the large picture changed")
    top, bottom = changed[0], changed[-1] + 1
    row = [i // 3 for i in range(len(original[top])) if original[top][i] != saved[top][i]]
    left, right = row[0], row[-1] + 1
    for y in range(len(original)):
        inside = original[y][left * 3:right * 3].translate(INVERT)
        expected = original[y] if not top <= y < bottom else (
            original[y][:left * 3] + inside + original[y][right * 3:])
        if saved[y] != expected:
            raise Failure(f"row {y} of the large picture is not inverted exactly over the "
                          f"columns {left}..{right - 1} of rows {top}..{bottom - 1}")
    return left, top, right, bottom


def test_picture():
    # Every channel differs from the others and the extremes 0 and 255 occur, so a swapped
    # channel or an untouched pixel shows.
    return [((x * 255) // (WIDTH - 1), (y * 255) // (HEIGHT - 1), (x * 7 + y * 13) % 256)
            for y in range(HEIGHT) for x in range(WIDTH)]


# --- the session ------------------------------------------------------------------------

class Session:
    def __init__(self, binary, workdir):
        self.binary = binary
        self.workdir = workdir
        self.deadline = time.monotonic() + TIMEOUT
        self.xvfb = None
        self.app = None
        self.display = os.environ.get("DISPLAY")
        self.log_path = os.path.join(workdir, "quorvel.log")

    def remaining(self):
        return max(0.1, self.deadline - time.monotonic())

    def wait_for(self, what, probe):
        """Polls probe() until it returns something true; fails naming what it waited for."""
        print(f"waiting for {what}", flush=True)
        while True:
            value = probe()
            if value:
                return value
            if self.app is not None and self.app.poll() is not None:
                raise Failure(f"quorvel exited with code {self.app.returncode} "
                              f"while waiting for {what}")
            if time.monotonic() > self.deadline:
                raise Failure(f"timed out after {TIMEOUT:.0f} s waiting for {what}")
            time.sleep(POLL)

    def xdotool(self, *args, check=True):
        env = dict(os.environ, DISPLAY=self.display)
        result = subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True,
                                timeout=self.remaining())
        if check and result.returncode != 0:
            raise Failure(f"xdotool {' '.join(args)} failed: {result.stderr.strip()}")
        return result.stdout.strip()

    def start_x(self):
        if self.display:
            print(f"using DISPLAY={self.display}", flush=True)
            return
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        # Xvfb writes its display number once it accepts connections.
        with os.fdopen(read_end, "rb") as pipe:
            ready, _, _ = select.select([pipe], [], [], min(10.0, self.remaining()))
            number = pipe.readline().strip() if ready else b""
        if not number:
            raise Failure("Xvfb did not start (no display number on -displayfd)")
        self.display = ":" + number.decode()
        print(f"started Xvfb on {self.display}", flush=True)

    def start_app(self, *arguments):
        runtime = os.path.join(self.workdir, "runtime")
        os.mkdir(runtime, 0o700)
        # In a sanitizer build, LeakSanitizer reports what libdbus keeps after failing to reach a
        # session bus; that is not ours, so only it is suppressed.
        suppressions = os.path.join(self.workdir, "lsan-suppressions")
        with open(suppressions, "w") as f:
            f.write("leak:libdbus-1.so\n")
        lsan = os.environ.get("LSAN_OPTIONS", "")
        env = dict(os.environ, DISPLAY=self.display, QT_QPA_PLATFORM="xcb",
                   LSAN_OPTIONS=(lsan + ":" if lsan else "") + f"suppressions={suppressions}",
                   # Qt's own file dialog whatever desktop the machine runs.
                   QT_QPA_PLATFORMTHEME="generic",
                   XDG_RUNTIME_DIR=runtime,
                   XDG_CONFIG_HOME=os.path.join(self.workdir, "config"),
                   XDG_CACHE_HOME=os.path.join(self.workdir, "cache"),
                   XDG_DATA_HOME=os.path.join(self.workdir, "data"))
        self.log = open(self.log_path, "wb")
        self.app = subprocess.Popen([self.binary, *arguments], cwd=self.workdir, env=env,
                                    stdout=self.log, stderr=subprocess.STDOUT)

    def windows(self):
        """Visible top-level windows of the editor, as {id: (name, width, height)}."""
        ids = self.xdotool("search", "--onlyvisible", "--pid", str(self.app.pid), check=False)
        found = {}
        for wid in ids.split():
            name = self.xdotool("getwindowname", wid, check=False)
            shape = self.xdotool("getwindowgeometry", "--shell", wid, check=False)
            values = dict(line.split("=", 1) for line in shape.splitlines() if "=" in line)
            if "WIDTH" in values:
                found[wid] = (name, int(values["WIDTH"]), int(values["HEIGHT"]))
        return found

    def focus(self, wid):
        if self.xdotool("getwindowfocus", check=False) != wid:
            self.xdotool("windowfocus", "--sync", wid)

    def keys(self, wid, *keys):
        self.focus(wid)
        self.xdotool("key", "--clearmodifiers", *keys)

    def focused_dialog(self, main):
        """The editor window other than the main one that holds the focus: a modal dialog takes
        the focus when it is mapped, the notification popup never does."""
        focused = self.xdotool("getwindowfocus", check=False)
        return focused if focused != main and focused in self.windows() else None

    def save_and_wait(self, main, path, before):
        self.keys(main, "ctrl+s")
        self.wait_for("the saved file to change on disk", lambda: open(path, "rb").read() != before)

    def run(self, input_path, picture):
        original = open(input_path, "rb").read()
        self.start_x()
        self.start_app()

        splash = self.wait_for("the splash window", lambda: next(iter(self.windows()), None))
        self.keys(splash, "Escape")
        self.wait_for("the splash to close after Esc", lambda: splash not in self.windows())

        # The main window is the tallest one left (the notification popup is a thin strip).
        def main_window():
            shown = self.windows()
            titled = [w for w, (name, _, _) in shown.items() if name.startswith("Quorvel")]
            return max(titled, key=lambda w: shown[w][2], default=None)
        main = self.wait_for('the main window titled "Quorvel"', main_window)

        self.keys(main, "ctrl+o")
        # Only once the dialog holds the focus do typed keys reach it rather than the blocked
        # main window.
        dialog = self.wait_for("the file open dialog to appear with the focus after Ctrl+O",
                               lambda: self.focused_dialog(main))
        self.xdotool("type", "--delay", "5", input_path)
        self.xdotool("key", "Return")
        self.wait_for("the file dialog to close", lambda: dialog not in self.windows())
        self.wait_for("the main window's caption to show the opened path",
                      lambda: input_path in self.xdotool("getwindowname", main, check=False))

        # Alt+D opens the effects menu with its first item current; the second is invert.
        self.keys(main, "alt+d")
        self.xdotool("key", "Down", "Return")
        self.save_and_wait(main, input_path, original)
        inverted = [tuple(255 - c for c in px) for px in picture]
        check_saved(input_path, inverted, "inverted")
        saved = open(input_path, "rb").read()

        # The grayscale dialog is the effects menu's first item. Its field has the focus; Tab
        # moves it to the slider, where Enter must do nothing; a second Tab reaches OK.
        self.keys(main, "alt+d")
        self.xdotool("key", "Return")
        gray = self.wait_for("the grayscale dialog to appear with the focus",
                             lambda: self.focused_dialog(main))
        self.xdotool("key", "Tab", "Return", *["Right"] * GRAY_LEVEL, "Tab", "Return")
        self.wait_for("the grayscale dialog to close after OK", lambda: gray not in self.windows())
        self.save_and_wait(main, input_path, saved)
        check_saved(input_path, [gray_pixel(px, GRAY_LEVEL) for px in inverted],
                    f"grayed at level {GRAY_LEVEL}")

        self.exit(main)

    def run_named(self, input_path):
        """Starts the editor as a file manager's "Open with" does: the picture opens after the
        splash, without a dialog."""
        main = self.open_named(input_path)
        self.exit(main)

    def open_named(self, input_path):
        """Starts the editor with a picture's name and returns its main window once it shows it."""
        self.start_x()
        self.start_app(input_path)
        splash = self.wait_for("the splash window", lambda: next(iter(self.windows()), None))
        self.keys(splash, "Escape")
        return self.wait_for("the main window titled with the path given on the command line",
                             lambda: next((w for w, (name, _, h) in self.windows().items()
                                           if name == input_path and h > 100), None))

    def exit(self, main):
        # Keys that arrive while the editor still finishes the step before (a large picture just
        # saved is read back) can be lost, so the command is given again until the editor ends;
        # four times, as a lost x after its menu opened makes the next alt+f close the menu.
        print("waiting for quorvel to exit after the exit command", flush=True)
        for _ in range(4):
            try:
                self.keys(main, "alt+f")
                self.xdotool("key", "x")
            except Failure:
                pass  # the window went while the keys were sent: the editor is ending
            settle = min(time.monotonic() + EXIT_WAIT, self.deadline)
            while self.app.poll() is None and time.monotonic() < settle:
                time.sleep(POLL)
            if self.app.poll() is not None:
                break
        if self.app.poll() is None:
            raise Failure("quorvel did not exit after the exit command, given four times")
        if self.app.returncode != 0:
            raise Failure(f"quorvel exited with code {self.app.returncode}")

    def run_large(self, input_path):
        """Opens a picture wider than the screen, fits it to the window, drags a rectangle with
        the mouse, inverts it and saves; returns the drag's size on the screen and the width of
        the window's client area."""
        original = open(input_path, "rb").read()
        main = self.open_named(input_path)
        _, width, height = self.windows()[main]
        self.keys(main, "ctrl+9")
        self.keys(main, "ctrl+r")
        # Well inside the canvas, whatever the heights of the menu and the tool bar.
        start, end = (width // 5, height // 2), (width // 5 + width // 2, height // 2 + height // 5)
        self.xdotool("mousemove", "--window", main, str(start[0]), str(start[1]))
        self.xdotool("mousedown", "1")
        for i in range(1, 11):
            self.xdotool("mousemove", "--window", main, str(start[0] + (end[0] - start[0]) * i // 10),
                         str(start[1] + (end[1] - start[1]) * i // 10))
        self.xdotool("mouseup", "1")
        self.keys(main, "alt+d")
        self.xdotool("key", "Down", "Return")
        self.save_and_wait(main, input_path, original)
        self.exit(main)
        return (end[0] - start[0], end[1] - start[1]), width

    def describe(self):
        if self.app is not None and self.app.poll() is None:
            try:
                print(f"editor windows: {self.windows()}", file=sys.stderr)
                print(f"focus: {self.xdotool('getwindowfocus', check=False)}", file=sys.stderr)
            except Exception as error:  # the report must not hide the first failure
                print(f"(could not list windows: {error})", file=sys.stderr)

    def stop(self):
        if self.app is not None:
            if self.app.poll() is None:
                self.app.kill()
                self.app.wait()
            self.log.close()
            self.app = None
        if self.xvfb is not None:
            self.xvfb.terminate()
            self.xvfb.wait()
            self.xvfb = None


def gray_pixel(px, level):
    """The grayscale rule: the gray value in double precision, blue product first, truncated;
    then the level added and clamped."""
    r, g, b = px
    value = max(0, min(255, int(0.11 * b + 0.59 * g + 0.30 * r) + level))
    return (value, value, value)


def check_saved(path, expected, what):
    width, height, saved = read_png(path)
    if (width, height) != (WIDTH, HEIGHT):
        raise Failure(f"saved picture is {width}x{height}, expected {WIDTH}x{HEIGHT}")
    wrong = [i for i in range(len(saved)) if saved[i] != expected[i]]
    if wrong:
        i = wrong[0]
        raise Failure(f"{len(wrong)} pixels are not {what}; first at "
                      f"({i % WIDTH}, {i // WIDTH}): {saved[i]}, expected {expected[i]}")


def check_fitted_selection(original, saved, drag, window_width):
    """The inverted rectangle is the dragged one at the fitted zoom: the picture's width over the
    canvas's, which is the window's less a few pixels of frame."""
    if len(saved) != LARGE_HEIGHT or len(saved[0]) != LARGE_WIDTH * 3:
        raise Failure(f"saved large picture is {len(saved[0]) // 3}x{len(saved)}")
    left, top, right, bottom = inverted_box(original, saved)
    for canvas_width in range(window_width - 8, window_width + 1):
        scale = LARGE_WIDTH / canvas_width
        if abs((right - left) - drag[0] * scale) <= scale + 1 and \
                abs((bottom - top) - drag[1] * scale) <= scale + 1:
            print(f"the fitted drag of {drag[0]}x{drag[1]} screen pixels inverted "
                  f"{right - left}x{bottom - top} picture pixels", flush=True)
            return
    raise Failure(f"the drag of {drag[0]}x{drag[1]} screen pixels over a window {window_width} "
                  f"wide inverted {right - left}x{bottom - top} pixels of the fitted "
                  f"{LARGE_WIDTH}x{LARGE_HEIGHT} picture")


def main():
    if len(sys.argv) != 2:
        print(next(l for l in __doc__.splitlines() if l.startswith("Usage")), file=sys.stderr)
        return 2
    binary = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory(prefix="quorvel-session-") as workdir:
        input_path = os.path.join(workdir, "picture.png")
        picture = test_picture()
        write_png(input_path, WIDTH, HEIGHT, picture)
        try:
            session = Session(binary, workdir)
            session.run(input_path, picture)
            session.stop()
            os.mkdir(os.path.join(workdir, "named"))
            session = Session(binary, os.path.join(workdir, "named"))
            session.run_named(input_path)
            session.stop()
            os.mkdir(os.path.join(workdir, "large"))
            large_path = os.path.join(workdir, "large", "large.bmp")
            rows = large_rows()
            write_bmp(large_path, rows)
            session = Session(binary, os.path.join(workdir, "large"))
            drag, window_width = session.run_large(large_path)
            check_fitted_selection(rows, read_bmp(large_path), drag, window_width)
        except (Failure, subprocess.TimeoutExpired) as error:
            print(f"FAILED: {error}", file=sys.stderr)
            session.describe()
            session.stop()
            if os.path.exists(session.log_path):
                with open(session.log_path, "rb") as log:
                    text = log.read().decode(errors="replace").strip()
                if text:
                    print("--- quorvel output ---\n" + text, file=sys.stderr)
            return 1
        finally:
            session.stop()
    print("the saved files held the inverted, then the grayed picture; the picture named on the "
          "command line opened; a rectangle dragged over a fitted large picture inverted its pixels")
    return 0


if __name__ == "__main__":
    sys.exit(main())
