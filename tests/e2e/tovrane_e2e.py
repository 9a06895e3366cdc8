#!/usr/bin/python3
"""Installs Tovrane into a temporary prefix and drives the installed program
as a person would, through its accessibility interface: scan, select, build,
answer "All done!", try the shared access keys, exit. Then checks what the
program left on disk: the scripts, Settings.ini and the error log.

Runs inside an X server and a D-Bus session (see run_e2e.sh). Exits 0 when
every check holds, 1 with a message naming the first one that did not.
"""

import argparse
import contextlib
import os
import pathlib
import re
import shutil
import subprocess
import sys
import time

import pyatspi

CRLF = b"\r\n"
# The title shows the version of the project built.
TITLE = "Tovrane v" + os.environ["TOVRANE_PROJECT_VERSION"]

# Keycodes of the X server's default (evdev) keymap, as Xvfb loads it.
KEY_ALT_L = 64
KEY_R = 27
KEY_S = 39


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


def log(text):
    print(f"e2e: {text}", flush=True)


class Poll:
    """Everything the program does in answer to an accessibility request
    happens later, in its own event loop: wait for the effect."""

    timeout = 20.0

    @classmethod
    def until(cls, probe, what, timeout=None):
        deadline = time.monotonic() + (timeout or cls.timeout)
        while True:
            try:
                value = probe()
            except Failure:
                raise
            except Exception:  # an object that went away between two calls
                value = None
            if value:
                return value
            if time.monotonic() > deadline:
                raise Failure(f"timed out waiting for {what}")
            time.sleep(0.1)


# ---------------------------------------------------------------- installing


def install(cmake, build_dir, prefix):
    subprocess.run([cmake, "--install", str(build_dir), "--prefix", str(prefix)],
                   check=True, stdout=subprocess.DEVNULL)


def program_dir_of(prefix):
    found = sorted(prefix.glob("lib*/tovrane"))
    check(len(found) == 1, f"one program folder under {prefix}/lib*/, found {found}")
    return found[0]


def check_install(cmake, build_dir, source, prefix):
    program_dir = program_dir_of(prefix)
    for name in ("tovrane", "regsvr"):
        path = program_dir / name
        check(path.is_file() and os.access(path, os.X_OK), f"installed and executable: {path}")
    check((program_dir / "libverlook.so").is_file(), f"installed: {program_dir / 'libverlook.so'}")
    for name in ("Settings.ini", "Filters.txt", "Templates/Default.avs"):
        check((program_dir / name).read_bytes() == (source / "data" / name).read_bytes(),
              f"installed as delivered: {program_dir / name}")

    launcher = prefix / "bin" / "tovrane"
    check(launcher.is_file() and os.access(launcher, os.X_OK), f"installed and executable: {launcher}")

    icon = prefix / "share/icons/hicolor/scalable/apps/tovrane.svg"
    check(icon.is_file() and b"<svg" in icon.read_bytes(), f"an SVG icon at {icon}")

    desktop = prefix / "share/applications/tovrane.desktop"
    check(desktop.is_file(), f"installed: {desktop}")
    entry = dict(line.split("=", 1) for line in desktop.read_text().splitlines() if "=" in line)
    # The prefix holds a blank, so the command line quotes the path.
    check(entry.get("Exec") == f'"{launcher}"', f"desktop entry Exec is \"{launcher}\", not {entry.get('Exec')}")
    check(entry.get("TryExec") == str(launcher), f"desktop entry TryExec is {launcher}, not {entry.get('TryExec')}")
    check(entry.get("Icon") == "tovrane", "desktop entry names the icon tovrane")
    validate = shutil.which("desktop-file-validate")
    if validate:
        result = subprocess.run([validate, str(desktop)], capture_output=True, text=True)
        check(result.returncode == 0 and not result.stdout.strip(),
              f"desktop-file-validate is silent on {desktop}: {result.stdout}{result.stderr}")
    else:
        log("desktop-file-validate not found; desktop entry checked by hand only")

    # A reinstall brings the delivered files back but keeps the user's settings.
    settings = program_dir / "Settings.ini"
    mine = b"[Settings]\r\nMode=0\r\n"
    settings.write_bytes(mine)
    (program_dir / "Filters.txt").write_bytes(b"changed\r\n")
    install(cmake, build_dir, prefix)
    check(settings.read_bytes() == mine, "a reinstall keeps the existing Settings.ini")
    check((program_dir / "Filters.txt").read_bytes() != b"changed\r\n", "a reinstall restores Filters.txt")
    return program_dir, launcher


# ----------------------------------------------------------------- the state


def crlf_file(path, lines):
    path.write_bytes(b"".join(line.encode() + CRLF for line in lines))


def prepare(program_dir, clips):
    """A clip tree with clips at three depths, one clip whose script is
    already there, files the scan must not list, and a folder that holds only
    a subfolder (which ends the descent on that branch)."""
    files = {
        "root.avi": b"",
        "notes.txt": b"",
        "Holiday/beach.MPG": b"",
        "Holiday/sunset.avi": b"",
        "Holiday/sunset.avs": b"old script\r\n",
        "Holiday/Deeper/Caf\u00e9.mkv": b"",
        "OnlyFolders/Hidden/lost.avi": b"",
    }
    for name, data in files.items():
        path = clips / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)

    crlf_file(program_dir / "Settings.ini", [
        "[Settings]",
        f"MainFolder={clips}",
        "AvsFolder=",
        "Extenions=AVI|MPG|MKV",
        "ScriptExtensions=avs|avsi",
        "Overwrite=0",
        "BuildScriptsIn=0",
        "Splash=1",
        "Mode=1",
        "Show=0",
    ])
    # The clips as the scan must list them: (file, location, script mark).
    return [
        ("root.avi", str(clips), "-"),
        ("beach.MPG", str(clips / "Holiday"), "-"),
        ("sunset.avi", str(clips / "Holiday"), "Y"),
        ("Caf\u00e9.mkv", str(clips / "Holiday/Deeper"), "-"),
    ]


def expected_script(template, file_name, location):
    clip, ext = file_name.rsplit(".", 1)
    return template.replace("%CLIP%", clip).replace("%EXT%", ext).replace("%PATH%", location)


def read_log_records(program_dir):
    """Every record of every daily log (a run may cross midnight)."""
    records = []
    for path in sorted(program_dir.glob("tovrane_*.log")):
        check(re.fullmatch(r"tovrane_\d{8}\.log", path.name), f"log named by date: {path.name}")
        text = path.read_bytes().decode()
        check(text.endswith("----------------\r\n"), f"{path.name} ends with a complete record")
        for chunk in text.split("----------------\r\n")[:-1]:
            fields = {}
            for line in chunk.split("\r\n"):
                if "\t: " in line:
                    label, value = line.split("\t: ", 1)
                    fields[label.strip()] = value
            records.append(fields)
    return records


# ------------------------------------------------------------- accessibility


def start_accessibility_bus():
    # The program joins the accessibility bus at start only if it is there.
    subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                    "/org/a11y/bus", "org.a11y.Bus.GetAddress"], check=True, stdout=subprocess.DEVNULL)


def walk(node):
    """The node and everything below it, except the items of plain lists:
    the hidden completion list holds hundreds of filter names, each a bus
    round trip, and nothing here looks into it."""
    yield node
    if node.getRoleName() == "list":
        return
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


def states(node):
    return node.getState()


def showing(node):
    return states(node).contains(pyatspi.STATE_SHOWING)


def find(root, role, name=None):
    for node in walk(root):
        if node.getRoleName() == role and (name is None or node.name == name):
            return node
    return None


def find_all(root, role):
    return [node for node in walk(root) if node.getRoleName() == role]


def press(node):
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    for wanted in ("Press", "ShowMenu"):
        if wanted in names:
            action.doAction(names.index(wanted))
            return
    raise Failure(f"no press action on {node.getRoleName()} {node.name!r}: {names}")


def key_with_alt(keycode):
    reg = pyatspi.Registry
    reg.generateKeyboardEvent(KEY_ALT_L, None, pyatspi.KEY_PRESS)
    reg.generateKeyboardEvent(keycode, None, pyatspi.KEY_PRESSRELEASE)
    reg.generateKeyboardEvent(KEY_ALT_L, None, pyatspi.KEY_RELEASE)


class App:
    """The running program as the accessibility bus shows it."""

    def __init__(self, process):
        self.process = process
        self.node = Poll.until(self._find_app, f"process {process.pid} on the accessibility bus")
        self.frame = Poll.until(lambda: self._frame(TITLE), f'the window "{TITLE}"')

    def _find_app(self):
        if self.process.poll() is not None:
            raise Failure(f"the program ended early with code {self.process.returncode}")
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.get_process_id() == self.process.pid:
                return app
        return None

    def _frame(self, title):
        for i in range(self.node.childCount):
            child = self.node.getChildAtIndex(i)
            if child is not None and child.getRoleName() == "frame" and child.name == title and showing(child):
                return child
        return None

    def button(self, caption):
        node = find(self.frame, "push button", caption)
        check(node is not None, f'a button "{caption}" in the main window')
        return node

    def press_button(self, caption):
        node = self.button(caption)
        Poll.until(lambda: states(node).contains(pyatspi.STATE_ENABLED), f'"{caption}" enabled')
        press(node)

    def label_text(self, pattern):
        for node in find_all(self.frame, "label"):
            if re.fullmatch(pattern, node.name or ""):
                return node.name
        return None

    def open_windows(self):
        """What is on screen besides the main window: message boxes and
        dialogs (children of the application), and open menus (popups below
        the menu bar)."""
        found = []
        for i in range(self.node.childCount):
            child = self.node.getChildAtIndex(i)
            if child is None or child == self.frame:
                continue
            if showing(child):
                found.append(child)
        for menu in find_all(self.frame, "popup menu"):
            if showing(menu):
                found.append(menu)
        return found

    def open_menu(self):
        """The title of the menu that is open, or None."""
        menus = [m for m in self.open_windows() if m.getRoleName() == "popup menu"]
        return menus[0].parent.name if menus else None

    def activate(self):
        """Click the window once, as a person does before typing: without a
        window manager nothing else makes it the active window, and only the
        active window receives keys. The click lands on the status bar's
        first panel, which does nothing with it."""
        bar = find(self.frame, "status bar")
        check(bar is not None, "a status bar")
        box = bar.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        pyatspi.Registry.generateMouseEvent(box.x + 3, box.y + box.height // 2, "b1c")
        Poll.until(lambda: states(self.frame).contains(pyatspi.STATE_ACTIVE), "the main window to become active")

    def answer_message(self, text, button="OK"):
        """Wait for the message box that says `text`, check that it carries
        the program's title and only the expected button, and press it."""
        def box():
            for window in self.open_windows():
                if window.getRoleName() in ("alert", "dialog") and any(
                        (n.name or "") == text for n in walk(window)):
                    return window
            return None

        window = Poll.until(box, f'the message "{text}"')
        check(window.name == "Tovrane", f'the message "{text}" has the title Tovrane, not {window.name!r}')
        buttons = [n.name for n in find_all(window, "push button")]
        check(buttons == [button], f'the message "{text}" offers {button} alone: {buttons}')
        press(find(window, "push button", button))
        Poll.until(lambda: not showing(window) or box() is None, f'the message "{text}" to close')

    def clip_list(self):
        for kind in ("tree table", "table", "tree"):
            for node in find_all(self.frame, kind):
                try:
                    node.queryTable()
                    return node
                except NotImplementedError:
                    continue
        raise Failure("the clip list as a table")

    def rows(self):
        """(file, location, mark, checked) for every row, in list order."""
        table = self.clip_list().queryTable()
        result = []
        for r in range(table.nRows):
            cells = [table.getAccessibleAt(r, c) for c in range(table.nColumns)]
            result.append((cells[0].name, cells[1].name, cells[2].name,
                           states(cells[0]).contains(pyatspi.STATE_CHECKED)))
        return result

    def column_titles(self):
        # The header's cells are children of the list; asking the table for
        # a column's header needs a row to ask through.
        return [n.name for n in walk(self.clip_list()) if n.getRoleName() == "table column header"]

    def focused(self, *captions):
        for caption in captions:
            if states(self.button(caption)).contains(pyatspi.STATE_FOCUSED):
                return caption
        return None


def program_env(**settings):
    """This environment without proxies, for the program on the X server
    with its accessibility interface on, and `settings`."""
    env = dict(os.environ)
    for name in ("QT_QPA_PLATFORM", "http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy",
                 "ALL_PROXY"):
        env.pop(name, None)
    env.update({
        "QT_QPA_PLATFORM": "xcb",
        "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
        "QT_ACCESSIBILITY": "1",
        "LC_ALL": "C.UTF-8",
    })
    env.update(settings)
    return env


@contextlib.contextmanager
def running(process):
    """The started program, killed on the way out should it still run."""
    try:
        yield process
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()


def start(program, env, cwd):
    return subprocess.Popen([str(program)], env=env, cwd=str(cwd))


def wait_end(process, timeout):
    try:
        return process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        raise Failure("the program did not end after Exit")


# ----------------------------------------------------------------- the runs


def access_keys(app, rows_now):
    """The access keys that two controls share. Qt, like Windows, presses
    neither control of an ambiguous key: each press moves the focus to the
    next control that has the key, in the order in which they took it, and
    wraps around.

    A menu-bar title takes part in that cycle, but on its turn it opens its
    menu (first entry highlighted, nothing run), as its key always does.
    While a menu is open the keys go to the menu: Alt+R there is its own
    title's key and closes it, and the focus returns to where it was. So
    Alt+R goes: focus on "Remove scripts" (which took R before the menu bar
    did), Run menu open, menu closed with the focus back on the button."""

    def settled(what):
        # Nothing was pressed: no dialog opened (the settings window, the
        # removal question), and the list is as it was (a scan would have
        # rebuilt it with the scripted clips unchecked, a removal set the
        # marks back to "-").
        check(not [w for w in app.open_windows() if w.getRoleName() != "popup menu"],
              f"{what} opened no window")
        check(app.rows() == rows_now, f"{what} left the clip list as it was")

    app.activate()

    # S: "&Scan" and "&Settings".
    for expected in ("Scan", "Settings", "Scan"):
        key_with_alt(KEY_S)
        Poll.until(lambda: app.focused("Scan", "Settings") == expected,
                   f"Alt+S to move the focus to {expected}")
        settled(f"Alt+S (focus on {expected})")
    log("Alt+S moved the focus Scan -> Settings -> Scan, pressing neither")

    # R: "&Remove scripts" and the menu title "&Run".
    key_with_alt(KEY_R)
    Poll.until(lambda: app.focused("Remove scripts") and app.open_menu() is None,
               "Alt+R to move the focus to Remove scripts")
    settled("Alt+R (focus on Remove scripts)")

    key_with_alt(KEY_R)
    Poll.until(lambda: app.open_menu() == "Run", "the second Alt+R to open the Run menu")
    menu = next(m for m in app.open_windows() if m.getRoleName() == "popup menu")
    entries = [n.name for n in walk(menu) if n.getRoleName() == "menu item"]
    check(entries == ["Scan folders", "Build scripts"], f"the Run menu holds its two entries: {entries}")
    settled("Alt+R (Run menu open)")

    key_with_alt(KEY_R)
    Poll.until(lambda: app.open_menu() is None and app.focused("Remove scripts"),
               "the third Alt+R to close the Run menu and leave the focus on Remove scripts")
    settled("Alt+R (Run menu closed)")
    log("Alt+R went Remove scripts -> Run menu open -> menu closed, focus on Remove scripts; nothing ran")


def main_run(args, program_dir, clips, expected_rows, env, shots):
    """The first start: the program started directly, its update check not
    registered, which it logs once and carries on."""
    settings_before = (program_dir / "Settings.ini").read_bytes()
    template = (program_dir / "Templates/Default.avs").read_bytes().decode()
    old_sunset = (clips / "Holiday/sunset.avs").read_bytes()

    with running(start(program_dir / "tovrane", env, args.work)) as process:
        app = App(process)
        log(f'found the window "{TITLE}" of process {process.pid}')

        check(app.column_titles() == ["File", "Location", "AVS"], f"clip list columns: {app.column_titles()}")
        check(app.rows() == [], "the clip list is empty at start")
        check(not states(app.button("Build scripts")).contains(pyatspi.STATE_ENABLED),
              "Build scripts is disabled before a scan")
        mode = find(app.frame, "radio button", "One for All (Default)")
        check(mode is not None and states(mode).contains(pyatspi.STATE_CHECKED), "Mode=1 selects One for All")
        # Group boxes inside group boxes are announced by their own titles.
        for group, member in (("Mode", ("radio button", "All for one")), ("Template", ("push button", "Load"))):
            box = next((node for node in walk(app.frame)
                        if node.name == group and node.getRoleName() in ("panel", "grouping")), None)
            check(box is not None and find(box, *member) is not None,
                  f'a group "{group}" holding {member[1]!r}')
        check(app.label_text("0 files found"), "the status bar shows 0 files found")

        app.press_button("Scan")
        Poll.until(lambda: app.label_text("4 files found"), "the status bar to show 4 files found")
        scanned = app.rows()
        check(scanned[0] == ("root.avi", str(clips), "-", True),
              f"the root folder's clip comes first, checked: {scanned[:1]}")
        check(sorted(scanned) == sorted((name, folder, mark, mark == "-") for name, folder, mark in expected_rows),
              f"scanned rows {scanned}")

        app.press_button("Select All")
        Poll.until(lambda: all(row[3] for row in app.rows()), "Select All to check every row")

        app.press_button("Build scripts")
        app.answer_message("All done!")
        Poll.until(lambda: all(row[2] == "Y" and row[3] for row in app.rows()), "every row marked Y")
        built_rows = app.rows()
        check([row[:2] for row in built_rows] == [row[:2] for row in scanned], "the build keeps the row order")

        shots.mkdir(parents=True, exist_ok=True)
        shot = shots / "filled.png"
        box = app.frame.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        subprocess.run(["import", "-window", "root", "-crop", f"{box.width}x{box.height}+{box.x}+{box.y}",
                        "+repage", str(shot)], check=True)
        log(f"screenshot of the filled window: {shot}")

        access_keys(app, built_rows)

        app.press_button("Exit")
        code = wait_end(process, Poll.timeout)
        check(code == 0, f"the program ends with code 0 after Exit, not {code}")

    # One script per clip, beside the clip, named after it with the first
    # script extension; the script that was there before is replaced.
    for file_name, location, _ in expected_rows:
        script = pathlib.Path(location) / (file_name.rsplit(".", 1)[0] + ".avs")
        check(script.is_file(), f"a script was written: {script}")
        want = expected_script(template, file_name, location).encode()
        check(script.read_bytes() == want, f"{script} holds the expanded template:\n"
                                           f"{script.read_bytes()!r}\n!=\n{want!r}")
    check((clips / "Holiday/sunset.avs").read_bytes() != old_sunset, "the old script was overwritten")
    scripts = sorted(p.relative_to(clips) for p in clips.rglob("*.avs"))
    check(len(scripts) == len(expected_rows), f"no other scripts were written: {scripts}")
    check(not (clips / "OnlyFolders/Hidden/lost.avs").exists(), "no script for a clip the scan cannot reach")

    check((program_dir / "Settings.ini").read_bytes() == settings_before,
          "Settings.ini is unchanged: nothing the run did is a stored setting")

    records = read_log_records(program_dir)
    # Nothing failed but the update check, whose class is not registered:
    # the component layer's result code (REGDB_E_CLASSNOTREG), as a signed number.
    check(len(records) == 1, f"exactly one log record, for the unregistered update check: {records}")
    record = records[0]
    check(record.get("Source module") == "frmTovrane" and record.get("Source procedure") == "Form_Load"
          and record.get("Err. Number") == "-2147221164"
          and record.get("Err. Description", "").startswith("Class not registered"),
          f"the record is Form_Load's 'Class not registered': {record}")
    check(re.fullmatch(r"\d\d:\d\d:\d\d", record.get("Time", "")), f"the record's time: {record}")
    log("first start: 4 clips listed, 4 scripts written, Settings.ini unchanged, "
        "one log record (update check not registered)")
    return records


def launcher_run(args, program_dir, launcher, env, records_before):
    """The second start, through the installed start script, as the desktop
    entry starts it: it registers the update check first, so this start logs
    nothing; the program comes up with the stored settings."""
    registry = pathlib.Path(env["XDG_CONFIG_HOME"]) / "Kestrelle/components.ini"
    check(not registry.exists(), "nothing is registered before the start script runs")

    with running(start(launcher, env, args.work)) as process:
        app = App(process)
        check(registry.is_file() and str(program_dir / "libverlook.so") in registry.read_text(),
              f"the start script registered {program_dir / 'libverlook.so'} in {registry}")
        mode = find(app.frame, "radio button", "One for All (Default)")
        check(mode is not None and states(mode).contains(pyatspi.STATE_CHECKED), "the stored mode came back")
        check(app.rows() == [], "the clip list is empty at start")

        # File / Exit this time: it closes the program the same way.
        menu_bar = find(app.frame, "menu bar")
        file_menu = menu_bar and find(menu_bar, "menu item", "File")
        check(file_menu is not None, "a File menu in the menu bar")
        press(file_menu)
        Poll.until(lambda: app.open_menu() == "File", "the File menu to open")
        exit_item = next((n for n in walk(file_menu) if n.getRoleName() == "menu item" and n.name == "Exit"), None)
        check(exit_item is not None, "File / Exit")
        press(exit_item)
        code = wait_end(process, Poll.timeout)
        check(code == 0, f"the program ends with code 0 after File / Exit, not {code}")

    records = read_log_records(program_dir)
    check(records == records_before,
          f"the start through the start script logged nothing: {records[len(records_before):]}")
    log("second start through the start script: update check registered, nothing logged")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cmake", required=True)
    parser.add_argument("--build", required=True, type=pathlib.Path)
    parser.add_argument("--source", required=True, type=pathlib.Path)
    parser.add_argument("--work", required=True, type=pathlib.Path)
    parser.add_argument("--shots", required=True, type=pathlib.Path)
    parser.add_argument("--timeout", type=float, default=20.0)
    args = parser.parse_args()
    Poll.timeout = args.timeout

    # A blank in the path, as in many home folders, for the start script,
    # the desktop entry and the program's own paths.
    prefix = args.work / "install root"
    install(args.cmake, args.build, prefix)
    program_dir, launcher = check_install(args.cmake, args.build, args.source, prefix)
    log(f"installed into {prefix}")

    clips = args.work / "clips"
    expected_rows = prepare(program_dir, clips)

    env = program_env(XDG_CONFIG_HOME=str(args.work / "config"))
    start_accessibility_bus()

    records = main_run(args, program_dir, clips, expected_rows, env, args.shots)
    launcher_run(args, program_dir, launcher, env, records)
    print("e2e: all checks passed")


def run_checks(main, name):
    """Runs main; a check that did not hold ends the process with 1."""
    try:
        main()
    except Failure as failure:
        print(f"{name}: FAILED: {failure}", file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    run_checks(main, "e2e")
