#!/usr/bin/env python3
"""The fault run of bench/fault_run.sh: random operations with faults on a library of real photos,
every photo's tags, albums and day compared with a model kept here.

The files themselves say where a photo is: each carries its number in a JPEG comment segment, and
a scan of the library after every operation finds every complete copy of every photo (a killed
move may leave two, or a partial one, which counts as debris). The model keeps what the catalog
must say of each photo: its tags (flat tags and nested ones, the albums) and its day. A killed
plb tag may have been saved or not; the catalog is asked which, and a command that was saved only
in part counts as a fault of its own.
"""
import argparse
import hashlib
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ID_PATTERN = re.compile(rb"PLBFAULTID:(\d{6})")
TEMPORARY_PATTERN = re.compile(r"/\.[^/]*\.tmp-\d+-")
FLAT_TAGS = ["red", "green", "blue", "keep", "print"]
ALBUMS = ["trips\\2024\\spring", "trips\\2024\\summer", "trips\\2025", "family\\kids", "family\\parents"]
PHOTOS_PER_FOLDER = 50
# All copies share one day for their file times: a photo without a shooting date in its EXIF
# data goes under the day of its file time, which must not change with the copy's number.
BASE_FILE_TIME = 1592222400  # 2020-06-15 12:00 UTC
COMMAND_TIMEOUT_S = 900


def log(text):
    print(text, flush=True)


# ---------------------------------------------------------------- the photos


def with_number(data, number):
    """The JPEG with a comment segment carrying number, placed after the APPn segments that follow
    SOI, so that EXIF stays where readers expect it and the number lies in the first 64 KiB."""
    at = 2
    while at + 4 <= len(data) and data[at] == 0xFF and 0xE0 <= data[at + 1] <= 0xEF:
        at += 2 + int.from_bytes(data[at + 2:at + 4], "big")
    text = b"PLBFAULTID:%06d" % number
    segment = b"\xff\xfe" + (len(text) + 2).to_bytes(2, "big") + text
    return data[:at] + segment + data[at:]


def source_photos(testdata):
    """The test photos fit for the library: ordinary JPEGs, none of the damaged or hostile ones."""
    found = []
    for folder, dirs, files in os.walk(os.path.join(testdata, "exif-samples", "jpg")):
        dirs[:] = [d for d in dirs if d not in ("invalid", "tests")]
        for name in files:
            if not name.lower().endswith((".jpg", ".jpeg")) or name == "corrupted.jpg":
                continue
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                data = f.read()
            if data[:2] == b"\xff\xd8" and len(data) <= (1 << 20) and not ID_PATTERN.search(data):
                found.append(data)
    if not found:
        sys.exit("fault run: no test photos under " + testdata)
    return found


def make_library(roots, count, sources, rng):
    """count photos in folders of PHOTOS_PER_FOLDER, the folders spread over the roots. Returns
    number -> (size, sha1) of each photo's bytes."""
    photos = {}
    folders = (count + PHOTOS_PER_FOLDER - 1) // PHOTOS_PER_FOLDER
    for f in range(folders):
        root = roots[f * len(roots) // folders]
        folder = os.path.join(root, "d%03d" % f)
        os.makedirs(folder, exist_ok=True)
        for number in range(f * PHOTOS_PER_FOLDER, min(count, (f + 1) * PHOTOS_PER_FOLDER)):
            data = with_number(rng.choice(sources), number)
            path = os.path.join(folder, "p%06d.jpg" % number)
            with open(path, "wb") as out:
                out.write(data)
            os.utime(path, (BASE_FILE_TIME + number, BASE_FILE_TIME + number))
            photos[number] = (len(data), hashlib.sha1(data).hexdigest())
    return photos


class Library:
    """What is on disk: the complete copies of every photo, the debris, the folders."""

    def __init__(self, roots, photos):
        self.roots = roots
        self.photos = photos
        self.cache = {}  # (dev, ino, size, mtime_ns) -> (number or None, complete)
        self.copies = {}
        self.debris = []
        self.folders = []
        self.scan()

    def identify(self, path, st):
        key = (st.st_dev, st.st_ino, st.st_size, st.st_mtime_ns)
        if key not in self.cache:
            with open(path, "rb") as f:
                data = f.read()
            match = ID_PATTERN.search(data)
            number = int(match.group(1)) if match else None
            complete = number in self.photos and self.photos[number] == (len(data), hashlib.sha1(data).hexdigest())
            self.cache[key] = (number, complete)
        return self.cache[key]

    def scan(self):
        self.copies, self.debris, self.folders = {}, [], []
        for root in self.roots:
            for folder, dirs, files in os.walk(root):
                dirs.sort()
                # What a killed copy left under a temporary name is no place to put photos in:
                # plb refuses it, and the next scan removes it.
                if not TEMPORARY_PATTERN.search(folder):
                    self.folders.append(folder)
                for name in sorted(files):
                    path = os.path.join(folder, name)
                    st = os.lstat(path)
                    number, complete = self.identify(path, st)
                    if complete:
                        self.copies.setdefault(number, []).append(path)
                    else:
                        self.debris.append(path)

    def path_of(self, number):
        paths = self.copies.get(number)
        return sorted(paths)[0] if paths else None

    def root_of(self, path):
        return next(r for r in self.roots if path == r or path.startswith(r + "/"))


# ---------------------------------------------------------------- plb


class Plb:
    def __init__(self, program, env):
        self.program = program
        self.env = env
        self.failures = {}  # what -> count of non-zero exits
        self.examples = []

    def start(self, args):
        return subprocess.Popen([self.program] + args, env=self.env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)

    def finish(self, process, args, killed=False):
        try:
            out, err = process.communicate(timeout=COMMAND_TIMEOUT_S)
        except subprocess.TimeoutExpired:
            process.kill()
            out, err = process.communicate()
            err += b"\n(hung: killed after %d s)" % COMMAND_TIMEOUT_S
        out, err = out.decode("utf-8", "replace"), err.decode("utf-8", "replace")
        if process.returncode != 0 and not (killed and process.returncode == -signal.SIGKILL):
            what = args[0] + (" (after a kill)" if killed else "")
            self.failures[what] = self.failures.get(what, 0) + 1
            if len(self.examples) < 12:
                self.examples.append("plb %s -> %d: %s" % (" ".join(args)[:200], process.returncode, err.strip()[:400]))
        return process.returncode, out, err

    def run(self, args):
        return self.finish(self.start(args), args)

    def json_lines(self, args):
        status, out, err = self.run(args)
        if status != 0:
            return None
        return [json.loads(line) for line in out.splitlines() if line.strip()]


# ---------------------------------------------------------------- the run


class FaultRun:
    def __init__(self, options, plb, library, rng):
        self.options = options
        self.plb = plb
        self.library = library
        self.rng = rng
        self.tags = {number: set() for number in library.photos}  # what the catalog must say
        self.day = {}
        self.unsynced = set()  # moved by the shell: unknown to the catalog until the next update
        self.durations = {}
        self.counts = {}
        self.kills = 0
        self.kills_too_late = 0
        self.partial_saves = 0
        self.load_failures = 0
        self.vanished = set()
        self.last_operation = ""

    # -- choosing

    def synced_photos(self, count):
        candidates = [n for n in self.library.copies if n not in self.unsynced]
        return self.rng.sample(candidates, min(count, len(candidates)))

    def movable_folders(self):
        return [f for f in self.library.folders if f not in self.library.roots]

    def pick_move(self, across):
        """(sources, destination folder) of a move of a few files or one folder; None when none fits."""
        library = self.library
        for _ in range(20):
            if self.rng.random() < 0.3 and self.movable_folders():
                sources = [self.rng.choice(self.movable_folders())]
            else:
                numbers = self.rng.sample(sorted(library.copies), min(self.rng.randint(1, 4), len(library.copies)))
                sources = sorted({library.path_of(n) for n in numbers})
            root = library.root_of(sources[0])
            if any(library.root_of(s) != root for s in sources):
                continue
            targets = [f for f in library.folders if (library.root_of(f) != root) == across]
            targets = [t for t in targets
                       if all(t != s and not t.startswith(s + "/") and os.path.dirname(s) != t for s in sources)
                       and not any(os.path.exists(os.path.join(t, os.path.basename(s))) for s in sources)]
            if targets:
                return sources, self.rng.choice(targets)
        return None

    def pick_rename(self):
        if self.rng.random() < 0.3 and self.movable_folders():
            path = self.rng.choice(self.movable_folders())
            return path, "f%04d" % self.rng.randrange(10000)
        number = self.rng.choice(sorted(self.library.copies))
        return self.library.path_of(number), "r%04d-p%06d.jpg" % (self.rng.randrange(10000), number)

    def numbers_below(self, paths):
        found = set()
        for number, copies in self.library.copies.items():
            if any(c == p or c.startswith(p + "/") for c in copies for p in paths):
                found.add(number)
        return found

    # -- operations: each returns (plb arguments, what to do after it ran, the photos it moves)

    def tag_args(self):
        numbers = self.synced_photos(self.rng.randint(1, 8))
        if self.rng.random() < 0.2:
            tagged = [n for n in self.library.copies if self.tags[n] and n not in self.unsynced]
            if tagged:
                number = self.rng.choice(tagged)
                tag = self.rng.choice(sorted(self.tags[number]))
                return ["untag", tag, self.library.path_of(number)], ("untag", tag, [number])
        tag = self.rng.choice(FLAT_TAGS + ALBUMS)
        return ["tag", tag] + [self.library.path_of(n) for n in numbers], ("tag", tag, numbers)

    def apply_tag(self, effect, status, err, killed):
        kind, tag, numbers = effect
        if killed:
            self.resolve_killed_tag(kind, tag, numbers)
            return
        for number in numbers:
            # A file the command could not take is named in its message.
            if status != 0 and self.library.path_of(number) in err:
                continue
            if kind == "tag":
                self.tags[number].add(tag)
            else:
                self.tags[number].discard(tag)

    def resolve_killed_tag(self, kind, tag, numbers):
        """A killed plb tag may have been saved or not; the catalog says which. Saved for some
        photos and not for others is a fault: one command is one save."""
        rows = self.plb.json_lines(["tags", "--json"])
        if rows is None:
            self.load_failures += 1
            return
        under = set()
        for row in rows:
            if row["tag"] == tag:
                under = set(row["items"])
        done = [self.library.path_of(n) in under for n in numbers]
        if kind == "untag":
            done = [not d for d in done]
        if any(done) and not all(done):
            self.partial_saves += 1
        for number, saved in zip(numbers, done):
            if saved and kind == "tag":
                self.tags[number].add(tag)
            if saved and kind == "untag":
                self.tags[number].discard(tag)

    def next_operation(self):
        """(name, plb arguments or None for the shell's mv, effect, photos moved). The effect of a
        tag command is (kind, tag, photos); that of the shell's mv (sources, target folder)."""
        name = self.rng.choices(["tag", "mv", "mv across", "rename", "shell mv", "update"],
                                weights=[25, 12, 10, 10, 15, 8])[0]
        if name == "tag":
            args, effect = self.tag_args()
            return args[0], args, effect, set()
        if name in ("mv", "mv across"):
            move = self.pick_move(name == "mv across")
            if move:
                sources, target = move
                return name, ["mv"] + sources + [target], None, self.numbers_below(sources)
        if name == "rename":
            path, new_name = self.pick_rename()
            return name, ["rename", path, new_name], None, self.numbers_below([path])
        if name == "shell mv":
            across = self.rng.random() < 0.5
            move = self.pick_move(across)
            if move:
                sources, target = move
                return name + (" across" if across else ""), None, move, self.numbers_below(sources)
        return "update", ["update"], None, set()

    def shell_mv(self, sources, target):
        status = subprocess.run(["mv", "--"] + sources + [target + "/"], stderr=subprocess.PIPE).returncode
        if status != 0:
            self.plb.failures["shell mv"] = self.plb.failures.get("shell mv", 0) + 1

    def step(self):
        on_disk = set(self.library.copies)
        self.run_operation()
        # A photo whose every complete copy is gone has been destroyed by the operation that just
        # ran, whatever the catalog says: name it at once, with the operation.
        vanished = on_disk - set(self.library.copies)
        if vanished:
            self.vanished |= vanished
            log("  photos gone from the disk after %s: %s" % (
                self.last_operation, ", ".join("p%06d" % n for n in sorted(vanished))))

    def run_operation(self):
        name, args, effect, moved = self.next_operation()
        self.last_operation = "%s %s" % (name, " ".join(args) if args else "mv %s -> %s" % effect)
        if self.options.trace:
            log("op %s: %s" % (name, " ".join(args) if args else "mv %s -> %s" % effect))
        if args is None:
            self.count(name)
            self.shell_mv(*effect)
            self.unsynced |= moved
            self.library.scan()
            return
        kill = self.rng.random() < 0.18
        self.count(name + (" killed" if kill else ""))
        started = time.monotonic()
        process = self.plb.start(args)
        killed = False
        if kill:
            time.sleep(self.rng.uniform(0, 1.2 * self.durations.get(name, 0.5)))
            if process.poll() is None:
                process.send_signal(signal.SIGKILL)
                killed = True
                self.kills += 1
            else:
                self.kills_too_late += 1
        status, out, err = self.plb.finish(process, args, killed)
        if not killed:
            took = time.monotonic() - started
            self.durations[name] = 0.7 * self.durations.get(name, took) + 0.3 * took
        self.library.scan()
        if args[0] == "update" and not killed:
            self.unsynced.clear()
        if killed:
            self.unsynced |= moved
        if effect:
            self.apply_tag(effect, status, err, killed)

    def count(self, name):
        self.counts[name] = self.counts.get(name, 0) + 1

    # -- the comparison

    def catalog(self):
        """path -> tags and path -> day as the catalog says after an update; None when it cannot be read."""
        self.plb.run(["update"])
        self.unsynced.clear()
        tag_rows = self.plb.json_lines(["tags", "--json"])
        day_rows = self.plb.json_lines(["calendar", "--json", "--paths"])
        if tag_rows is None or day_rows is None:
            self.load_failures += 1
            return None
        tags, days = {}, {}
        for row in tag_rows:
            for path in row["items"]:
                tags.setdefault(path, set()).add(row["tag"])
        for row in day_rows:
            for path in row["paths"]:
                days[path] = row["day"]
        return tags, days

    def learn_days(self):
        found = self.catalog()
        if found is None:
            sys.exit("fault run: the new catalog cannot be read")
        _, days = found
        missing = [n for n, paths in self.library.copies.items() if paths[0] not in days]
        if missing:
            sys.exit("fault run: %d photos did not reach the calendar at the start" % len(missing))
        self.day = {n: days[paths[0]] for n, paths in self.library.copies.items()}

    def compare(self, label):
        found = self.catalog()
        if found is None:
            log("%s: the catalog cannot be read" % label)
            return None
        tags, days = found
        lost, misplaced, examples = set(), set(), []
        known = set()
        for number in self.library.photos:
            paths = self.library.copies.get(number, [])
            known.update(paths)
            listed = [p for p in paths if p in days]
            held = set().union(*[tags.get(p, set()) for p in paths])
            missing_tags = self.tags[number] - held
            stray_tags = held - self.tags[number]
            wrong_days = sorted({days[p] for p in listed} - {self.day[number]})
            if not paths or not listed or missing_tags:
                lost.add(number)
                examples.append("lost p%06d at %s: %s" % (
                    number, paths or "no file", "not in the calendar" if not listed else
                    "tags gone " + ", ".join(sorted(missing_tags))))
            if stray_tags or wrong_days:
                misplaced.add(number)
                examples.append("misplaced p%06d: %s" % (number, "; ".join(
                    (["tags of another photo " + ", ".join(sorted(stray_tags))] if stray_tags else []) +
                    (["day %s instead of %s" % (wrong_days[0], self.day[number])] if wrong_days else []))))
        foreign = sorted(p for p in tags if p not in known)
        for path in foreign[:3]:
            examples.append("tags on %s, which is no whole photo: %s" % (path, ", ".join(sorted(tags[path]))))
        log("%s: %d photos on disk (%d debris files), lost %d, misplaced %d, tags on other files %d" % (
            label, len(self.library.copies), len(self.library.debris), len(lost), len(misplaced), len(foreign)))
        for line in examples[:8]:
            log("  " + line)
        return len(lost), len(misplaced) + len(foreign)


def private_environment(work):
    env = dict(os.environ)
    for name, sub in (("HOME", "home"), ("XDG_CONFIG_HOME", "config"), ("XDG_DATA_HOME", "data"),
                      ("XDG_CACHE_HOME", "cache"), ("XDG_STATE_HOME", "state"), ("XDG_RUNTIME_DIR", "runtime"),
                      ("XDG_CONFIG_DIRS", "etc"), ("TMPDIR", "tmp")):
        os.makedirs(os.path.join(work, sub), mode=0o700, exist_ok=True)
        env[name] = os.path.join(work, sub)
    env["PLB_MACHINE_REGISTRY"] = os.path.join(work, "etc", "registry.json")
    return env


def tmpfs_folder():
    """A fresh folder on a writable tmpfs, or None."""
    try:
        with open("/proc/self/mounts") as mounts:
            points = [line.split()[1] for line in mounts if line.split()[2] == "tmpfs"]
    except OSError:
        return None
    for point in ("/dev/shm", "/run/user/%d" % os.getuid(), "/tmp"):
        if point in points and os.access(point, os.W_OK):
            return tempfile.mkdtemp(prefix="plb-fault-", dir=point)
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--plb", required=True)
    parser.add_argument("--photos-from", required=True, help="the test data folder")
    parser.add_argument("--ops", type=int, default=200)
    parser.add_argument("--photos", type=int, default=2000)
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--checkpoint", type=int, default=50, help="compare every N operations")
    parser.add_argument("--work", default=None, help="the folder for the run (default: a new one in /tmp)")
    parser.add_argument("--keep", action="store_true", help="keep the run's folders")
    parser.add_argument("--trace", action="store_true", help="print every operation as it runs")
    options = parser.parse_args()

    seed = options.seed if options.seed is not None else random.randrange(1 << 30)
    rng = random.Random(seed)
    work = os.path.realpath(options.work or tempfile.mkdtemp(prefix="plb-fault-run-"))
    os.makedirs(work, exist_ok=True)
    second = tmpfs_folder()
    roots = [os.path.join(work, "library")]
    roots.append(os.path.join(os.path.realpath(second), "library") if second else os.path.join(work, "library-2"))
    log("fault run: seed %d, %d photos, %d operations; libraries %s (disk) and %s (%s)" % (
        seed, options.photos, options.ops, roots[0], roots[1], "tmpfs" if second else "same volume"))
    try:
        photos = make_library(roots, options.photos, source_photos(options.photos_from), rng)
        plb = Plb(os.path.realpath(options.plb), private_environment(work))
        library = Library(roots, photos)
        status, _, err = plb.run(["add"] + roots)
        if status != 0:
            sys.exit("fault run: plb add failed: " + err)
        run = FaultRun(options, plb, library, rng)
        run.learn_days()
        result = (0, 0)
        for i in range(1, options.ops + 1):
            run.step()
            if i % options.checkpoint == 0 or i == options.ops:
                result = run.compare("after %d operations" % i) or (len(photos), 0)
        log("operations: " + ", ".join("%s %d" % item for item in sorted(run.counts.items())))
        log("kills: %d during a command, %d came after it had ended" % (run.kills, run.kills_too_late))
        if plb.failures:
            log("commands that failed: " + ", ".join("%s %d" % item for item in sorted(plb.failures.items())))
            for line in plb.examples:
                log("  " + line)
        if run.partial_saves or run.load_failures:
            log("killed tag commands saved in part: %d; catalog unreadable: %d times" % (
                run.partial_saves, run.load_failures))
        lost, misplaced = result
        if run.vanished:
            log("photos destroyed on the disk: %d" % len(run.vanished))
        log("fault run result: %d lost, %d misplaced (seed %d)" % (lost, misplaced, seed))
        return 0 if lost == 0 and misplaced == 0 and not run.vanished and not run.partial_saves and not run.load_failures else 1
    finally:
        if options.keep:
            log("kept: " + work + (" and " + second if second else ""))
        else:
            shutil.rmtree(work, ignore_errors=True)
            if second:
                shutil.rmtree(second, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
