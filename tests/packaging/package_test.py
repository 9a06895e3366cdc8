#!/usr/bin/python3
"""The Debian package as a user meets it. Unpacks the package into a scratch
root, checks what it holds (layout, desktop entry, metainfo, icons, man page,
documents, dependencies) with the validators a distribution uses, runs its
maintainer scripts against that root, and starts the unpacked program from
its desktop entry's command with a scratch home: the first start makes the
user's Settings.ini from the delivered one and logs nothing, a scan and a
build work, a saved template lands in the user's folder, and nothing is
written inside the unpacked package. Then removal and purge leave nothing
of the registration behind, and the user's files stay.

Runs inside an X server and a D-Bus session (see run_package_test.sh). Exits
0 when every check holds, 1 with a message naming the first one that did not.
"""

import argparse
import gzip
import hashlib
import os
import pathlib
import re
import shlex
import shutil
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "e2e"))
from tovrane_e2e import (App, Poll, check, crlf_file, expected_script, find, press, program_env,  # noqa: E402
                         read_log_records, run_checks, running, start_accessibility_bus, states, wait_end, walk)

import pyatspi  # noqa: E402

APP_ID = "example.kestrelle.tovrane"
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def log(text):
    print(f"package: {text}", flush=True)


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


def snapshot(folder):
    """Every entry below `folder`: its kind, mode and content."""
    found = {}
    for path in sorted(folder.rglob("*")):
        info = path.lstat()
        if path.is_symlink():
            what = "link " + os.readlink(path)
        elif path.is_dir():
            what = "dir"
        else:
            what = hashlib.sha256(path.read_bytes()).hexdigest()
        found[str(path.relative_to(folder))] = (oct(info.st_mode), what)
    return found


def png_size(path):
    data = path.read_bytes()
    check(data[:8] == b"\x89PNG\r\n\x1a\n" and data[12:16] == b"IHDR", f"a PNG image: {path}")
    return struct.unpack(">II", data[16:24])


def desktop_entry(path):
    return dict(line.split("=", 1) for line in path.read_text().splitlines() if "=" in line)


# ----------------------------------------------------------- the package


def check_contents(package, root, control, source):
    version = run(["dpkg-deb", "-f", str(package), "Version"]).stdout.strip()
    arch = run(["dpkg-deb", "-f", str(package), "Architecture"]).stdout.strip()
    check(package.name == f"tovrane_{version}_{arch}.deb", f"named tovrane_<version>_<arch>.deb: {package.name}")

    program = root / "usr/lib/tovrane"
    for name in ("tovrane", "regsvr"):
        check(os.access(program / name, os.X_OK), f"an executable {program / name}")
    check((program / "libverlook.so").is_file(), "libverlook.so beside the program")
    # The layout that makes the program keep the user's files in their home.
    check(sorted(p.name for p in program.iterdir()) == ["libverlook.so", "regsvr", "tovrane"],
          f"nothing but the program and its tools in {program}: {sorted(p.name for p in program.iterdir())}")
    command = root / "usr/bin/tovrane"
    check(command.is_symlink() and command.resolve() == (program / "tovrane").resolve(),
          "/usr/bin/tovrane leads to the program")
    for name in ("Settings.ini", "Filters.txt", "Templates/Default.avs"):
        check((root / "usr/share/tovrane" / name).read_bytes() == (source / "data" / name).read_bytes(),
              f"/usr/share/tovrane/{name} as delivered")

    depends = run(["dpkg-deb", "-f", str(package), "Depends"]).stdout
    for library in ("libqt6core6", "libqt6widgets6", "libqt6network6", "libc6"):
        check(re.search(rf"\b{library} \(>= [^)]+\)", depends), f"Depends names {library} with a version: {depends}")

    desktop = root / f"usr/share/applications/{APP_ID}.desktop"
    check(desktop.is_file(), f"the desktop entry {desktop.name}")
    result = run(["desktop-file-validate", str(desktop)])
    check(result.returncode == 0 and not result.stdout.strip(),
          f"desktop-file-validate is silent: {result.stdout}{result.stderr}")
    entry = desktop_entry(desktop)
    check(entry.get("Icon") == "tovrane", f"the entry's icon is tovrane: {entry.get('Icon')}")
    check(entry.get("StartupWMClass") == "Tovrane", "the entry names the windows' class")

    metainfo = root / f"usr/share/metainfo/{APP_ID}.metainfo.xml"
    result = run(["appstreamcli", "validate", "--no-net", str(metainfo)])
    check(result.returncode == 0 and not re.search(r"^[EW]:", result.stdout, re.M),
          f"appstreamcli validate finds no error or warning: {result.stdout}{result.stderr}")
    component = ET.parse(metainfo).getroot()
    check(component.findtext("id") == APP_ID, "the metainfo's id is the application's")
    check(component.findtext("launchable") == f"{APP_ID}.desktop", "the metainfo launches the desktop entry")
    check(component.find("description/p") is not None, "the metainfo has a description")
    check(component.findtext("screenshots/screenshot/image"), "the metainfo refers to a screenshot")
    release = component.find("releases/release")
    check(release is not None and release.get("version") == version and release.find("description") is not None,
          f"the metainfo's first release is {version}, with notes")

    svg = root / "usr/share/icons/hicolor/scalable/apps/tovrane.svg"
    check(svg.read_bytes() == (source / "packaging/tovrane.svg").read_bytes(), "the scalable icon")
    for size in ICON_SIZES:
        png = root / f"usr/share/icons/hicolor/{size}x{size}/apps/tovrane.png"
        check(png.is_file() and png_size(png) == (size, size), f"a {size} px icon: {png}")

    man = gzip.decompress((root / "usr/share/man/man1/tovrane.1.gz").read_bytes()).decode()
    check(man.startswith(".TH TOVRANE 1") and f"Tovrane {version}" in man, "the man page tovrane.1")
    doc = root / "usr/share/doc/tovrane"
    check((doc / "copyright").read_text().startswith("Format: "), "a machine-readable copyright file")
    changelog = gzip.decompress((doc / "changelog.gz").read_bytes()).decode()
    check(changelog.startswith(f"tovrane ({version}) "), f"the changelog's newest entry is {version}")

    for script in ("postinst", "prerm", "postrm"):
        check(os.access(control / script, os.X_OK), f"an executable maintainer script {script}")
    log(f"{package.name}: layout, entry, metainfo, {len(ICON_SIZES)} icons, man page, documents and "
        f"dependencies checked")
    return entry


def maintainer_script(control, root, *args):
    """Runs a maintainer script against the scratch root, as dpkg does for a
    root of its own."""
    env = dict(os.environ, DPKG_ROOT=str(root))
    result = run([str(control / args[0]), *args[1:]], env=env)
    check(result.returncode == 0, f"{' '.join(args)} succeeds: {result.stdout}{result.stderr}")


# ------------------------------------------------------------ the runs


def user_env(root, home):
    """A user with nothing but a home: the XDG folders are its defaults; the
    scratch root's /etc/xdg holds the machine-wide registration, its /usr/bin
    is on the PATH."""
    env = program_env(HOME=str(home), XDG_CONFIG_DIRS=str(root / "etc/xdg"),
                      PATH=f"{root / 'usr/bin'}:{os.environ['PATH']}")
    for name in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"):
        env.pop(name, None)
    return env


def start_from_entry(entry, env, cwd):
    command = shlex.split(entry["Exec"])
    check(shutil.which(command[0], path=env["PATH"]), f"the entry's command {command[0]} is on the PATH")
    return subprocess.Popen(command, env=env, cwd=str(cwd))


def first_start(args, root, home, entry, env):
    settings = home / ".config/tovrane/Settings.ini"
    delivered = (root / "usr/share/tovrane/Settings.ini").read_bytes()
    with running(start_from_entry(entry, env, args.work)) as process:
        app = App(process)
        check(settings.is_file() and settings.read_bytes() == delivered,
              f"the first start made {settings} as delivered")
        app.press_button("Exit")
        check(wait_end(process, Poll.timeout) == 0, "the program ends with code 0 after Exit")
    logs = home / ".local/state/tovrane"
    check(logs.is_dir() and read_log_records(logs) == [],
          f"the first start logged nothing: {read_log_records(logs) if logs.is_dir() else 'no log folder'}")
    log(f"first start: {settings} made from the delivered one, nothing logged, the update check found")


def type_into_editor(app):
    editor = next((n for n in walk(app.frame) if n.getRoleName() == "text"
                   and states(n).contains(pyatspi.STATE_MULTI_LINE)), None)
    check(editor is not None, "the template editor")
    text = editor.queryEditableText()
    text.insertText(0, "# mine\n", len("# mine\n"))
    Poll.until(lambda: states(app.button("Save ")).contains(pyatspi.STATE_ENABLED),
               "the edit to enable Save")


def save_template(app, name):
    app.press_button("Save ")

    def dialog():
        for window in app.open_windows():
            if window.getRoleName() == "dialog" and window.name == "Save Template":
                return window
        return None

    window = Poll.until(dialog, 'the dialog "Save Template"')
    fields = [n for n in walk(window) if n.getRoleName() == "text" and states(n).contains(pyatspi.STATE_EDITABLE)]
    field = next((n for n in fields if "File name" in (n.name or "")), fields[0] if fields else None)
    check(field is not None, "the dialog's file name field")
    field.queryEditableText().setTextContents(name)
    button = find(window, "push button", "Save")
    check(button is not None, 'the dialog\'s "Save" button')
    Poll.until(lambda: states(button).contains(pyatspi.STATE_ENABLED), '"Save" enabled')
    press(button)
    Poll.until(lambda: dialog() is None, 'the dialog "Save Template" to close')


def working_start(args, root, home, entry, env):
    clips = args.work / "clips"
    for name in ("one.avi", "Sub/two.mkv"):
        (clips / name).parent.mkdir(parents=True, exist_ok=True)
        (clips / name).write_bytes(b"")
    settings = home / ".config/tovrane/Settings.ini"
    crlf_file(settings, ["[Settings]", f"MainFolder={clips}", "Extenions=AVI|MKV", "ScriptExtensions=avs",
                         "Overwrite=0", "BuildScriptsIn=0", "Splash=1", "Mode=1", "Show=0"])
    template = (root / "usr/share/tovrane/Templates/Default.avs").read_bytes().decode()

    with running(start_from_entry(entry, env, args.work)) as process:
        app = App(process)
        app.press_button("Scan")
        Poll.until(lambda: app.label_text("2 files found"), "the status bar to show 2 files found")
        app.press_button("Build scripts")
        app.answer_message("All done!")
        Poll.until(lambda: all(row[2] == "Y" for row in app.rows()), "every row marked Y")

        type_into_editor(app)
        # A bare name lands in the folder the dialog opened at.
        save_template(app, "mine.avt")
        app.press_button("Exit")
        check(wait_end(process, Poll.timeout) == 0, "the program ends with code 0 after Exit")

    for location, name in ((clips, "one.avi"), (clips / "Sub", "two.mkv")):
        script = location / (name.rsplit(".", 1)[0] + ".avs")
        check(script.read_bytes() == expected_script(template, name, str(location)).encode(),
              f"{script} holds the expanded template")
    saved = home / ".local/share/tovrane/Templates/mine.avt"
    check(saved.is_file() and saved.read_bytes() == b"# mine\r\n" + template.encode(),
          f"the saved template is {saved}: {saved.read_bytes() if saved.exists() else 'missing'}")
    records = read_log_records(home / ".local/state/tovrane")
    check(records == [], f"the working start logged nothing: {records}")
    log(f"second start: 2 scripts built, the template saved as {saved}")


def removal(control, root, home):
    registry = root / "etc/xdg/Kestrelle/components.ini"
    maintainer_script(control, root, "prerm", "remove")
    maintainer_script(control, root, "postrm", "remove")
    check(not (root / "etc/xdg/Kestrelle").exists(), "removal leaves nothing of the registration")

    # A purge after a removal that could not unregister takes what was left.
    maintainer_script(control, root, "postinst", "configure")
    maintainer_script(control, root, "postrm", "purge")
    check(not (root / "etc/xdg/Kestrelle").exists(), "a purge takes a registration the removal left")
    # Another component's registration stays.
    registry.parent.mkdir(parents=True)
    registry.write_text("[CLSID]\n%7B0%7D\\InprocServer32=/opt/other/libother.so\n")
    maintainer_script(control, root, "postrm", "purge")
    check(registry.is_file(), "a purge leaves another component's registration")

    for kept in (".config/tovrane/Settings.ini", ".local/share/tovrane/Templates/mine.avt"):
        check((home / kept).is_file(), f"the user's {kept} stays")
    log("removal and purge: the registration went, the user's files stayed")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--package", required=True, type=pathlib.Path)
    parser.add_argument("--source", required=True, type=pathlib.Path)
    parser.add_argument("--work", required=True, type=pathlib.Path)
    parser.add_argument("--timeout", type=float, default=20.0)
    args = parser.parse_args()
    Poll.timeout = args.timeout

    root, control, home = args.work / "root", args.work / "control", args.work / "home"
    for command in (["dpkg-deb", "-x"], ["dpkg-deb", "-e"]):
        target = root if command[1] == "-x" else control
        result = run([*command, str(args.package), str(target)])
        check(result.returncode == 0, f"{' '.join(command)} unpacks the package: {result.stderr}")
    entry = check_contents(args.package, root, control, args.source)

    (root / "etc/xdg").mkdir(parents=True)
    maintainer_script(control, root, "postinst", "configure")
    registry = root / "etc/xdg/Kestrelle/components.ini"
    check(str(root / "usr/lib/tovrane/libverlook.so") in registry.read_text(),
          f"postinst registered the update check for every user in {registry}")

    home.mkdir()
    before = snapshot(root / "usr")
    env = user_env(root, home)
    start_accessibility_bus()
    first_start(args, root, home, entry, env)
    working_start(args, root, home, entry, env)
    check(snapshot(root / "usr") == before, "the program wrote nothing inside the unpacked package")

    removal(control, root, home)
    print("package: all checks passed")


if __name__ == "__main__":
    run_checks(main, "package")
