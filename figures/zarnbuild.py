"""What the size and stack figures read from an IA32 build directory: the linker maps of the images,
the objects and the source file each was compiled from, the symbols of link-time-optimised objects."""

import json
import os
import re
import subprocess
from dataclasses import dataclass

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
IMAGES = ("Dramatlas", "Quilkeep")

# The output sections an image consists of. .data holds the one writable datum the image check allows
# (it stays in flash); .bss must be empty.
CODE, RODATA, DATA = ".text", ".rodata", ".data"
OUTPUTS = (CODE, RODATA, DATA, ".bss")

# Suffixes GCC gives to specialised copies of a function; the copy belongs to the original's source.
CLONE_SUFFIX = re.compile(r"(\.(constprop|isra|part|cold|lto_priv|localalias)(\.\d+)?)+$")
STRING_SUFFIX = re.compile(r"\.(str\d+\.\d+|cst\d+)$")
SECTION_PREFIX = re.compile(r"^\.(text|rodata|data|bss)\.")
LTRANS = re.compile(r"ltrans\d*(\.ltrans)?\.o$")

PADDING = "(alignment padding)"
UNATTRIBUTED = "(not attributable after LTO)"
LIBGCC = "libgcc (64-bit division helpers)"


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def base_symbol(name):
    """The symbol an input section or a clone symbol belongs to: .text._Z3Foov.constprop.0 -> _Z3Foov."""
    name = SECTION_PREFIX.sub("", name)
    name = STRING_SUFFIX.sub("", name)
    return CLONE_SUFFIX.sub("", name)


@dataclass
class InputSection:
    output: str   # output section: .text, .rodata, .data or .bss
    name: str     # input section name; "*fill*" for alignment padding
    address: int
    size: int
    origin: str   # the object as the map names it: a path, archive(member) or an LTO partition


def parse_map(path):
    """Input sections placed in the image's output sections, from a GNU ld map file."""
    sections = []
    output = None
    pending = None
    in_layout = False
    with open(path) as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("Linker script and memory map"):
                in_layout = True
                continue
            if not in_layout:
                continue
            m = re.match(r"^(\.\S+)(\s+0x[0-9a-f]+\s+0x[0-9a-f]+)?", line)
            if m and not line.startswith(" "):
                output = m.group(1) if m.group(1) in OUTPUTS else None
                pending = None
                continue
            if output is None:
                continue
            m = re.match(r"^ \*fill\*\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)", line)
            if m:
                sections.append(InputSection(output, "*fill*", int(m.group(1), 16), int(m.group(2), 16), ""))
                continue
            m = re.match(r"^ (\.\S+|COMMON)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$", line)
            if m:
                sections.append(InputSection(output, m.group(1), int(m.group(2), 16), int(m.group(3), 16),
                                             m.group(4).strip()))
                pending = None
                continue
            m = re.match(r"^ (\.\S+|COMMON)$", line)
            if m:
                pending = m.group(1)
                continue
            m = re.match(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$", line)
            if m and pending:
                sections.append(InputSection(output, pending, int(m.group(1), 16), int(m.group(2), 16),
                                             m.group(3).strip()))
            pending = None
    return [s for s in sections if s.size > 0]


def linked_objects(path):
    """Objects the map says were linked: the LOAD lines and the archive members pulled in."""
    objects = []
    members = True
    with open(path) as f:
        for line in f:
            if line.startswith("Discarded input sections"):
                members = False
            m = re.match(r"^LOAD (\S+)$", line)
            if m:
                objects.append(m.group(1))
                continue
            m = re.match(r"^(\S+\.a\([^()]+\))", line)
            if m and members:
                objects.append(m.group(1))
    return objects


def read_cache(build_dir):
    cache = {}
    with open(os.path.join(build_dir, "CMakeCache.txt")) as f:
        for line in f:
            m = re.match(r"^([A-Za-z0-9_]+):[A-Z_]+=(.*)$", line.rstrip("\n"))
            if m:
                cache[m.group(1)] = m.group(2)
    return cache


def is_on(value):
    return str(value).upper() in ("ON", "1", "TRUE", "YES", "Y")


class Build:
    """One configured and built IA32 build directory."""

    def __init__(self, build_dir):
        self.dir = os.path.abspath(build_dir)
        self.cache = read_cache(self.dir)
        self.lto = is_on(self.cache.get("ZARN_IA32_LTO", "OFF")) or \
            is_on(self.cache.get("CMAKE_INTERPROCEDURAL_OPTIMIZATION", "OFF"))
        # object path relative to the build directory -> source path relative to the repository
        self.sources = {}
        with open(os.path.join(self.dir, "compile_commands.json")) as f:
            for entry in json.load(f):
                obj = entry.get("output")
                if obj is None:
                    obj = re.search(r"-o\s+(\S+)", entry["command"]).group(1)
                source = os.path.relpath(entry["file"], REPO)
                self.sources[os.path.normpath(obj)] = source
        self.members = {}
        for obj in self.sources:
            self.members.setdefault(os.path.basename(obj), []).append(obj)
        self._symbols = {}
        # A build of the same sources without LTO, to name the source of a symbol the LTO objects hide.
        self.fallback = None

    def label(self):
        return "%s (%s, LTO %s)" % (os.path.relpath(self.dir, REPO), self.cache.get("CMAKE_BUILD_TYPE", "?"),
                                    "on" if self.lto else "off")

    def image(self, name, suffix):
        return os.path.join(self.dir, "images", name + suffix)

    def object_of(self, origin):
        """Object path (relative to the build directory) of a map origin, or None."""
        if origin in self.sources:
            return origin
        m = re.match(r"^(.*)\(([^()]+)\)$", origin)
        if m and not m.group(1).endswith("libgcc.a"):
            candidates = self.members.get(m.group(2), [])
            archive_dir = os.path.basename(m.group(1))
            # An archive member from libzarn_fw.a was compiled under CMakeFiles/zarn_fw.dir.
            stem = re.sub(r"^lib|\.a$", "", archive_dir)
            narrowed = [c for c in candidates if ("/%s.dir/" % stem) in "/" + c] or candidates
            if len(narrowed) == 1:
                return narrowed[0]
            if len(narrowed) > 1:
                raise SystemExit("archive member %s matches several objects: %s" % (origin, narrowed))
        return None

    def source_of_origin(self, origin):
        obj = self.object_of(origin)
        return self.sources[obj] if obj else None

    def symbol_sources(self, mapfile):
        """Symbol name -> set of source paths defining it, over the objects linked into one image. For an
        object holding GCC's intermediate language (LTO), the names come from its per-symbol sections."""
        if mapfile in self._symbols:
            return self._symbols[mapfile]
        table = {}
        objects = [self.object_of(origin) for origin in linked_objects(mapfile)] if mapfile else list(self.sources)
        for obj in objects:
            if obj is None:
                continue
            source = self.sources[obj]
            path = os.path.join(self.dir, obj)
            if not os.path.exists(path):
                continue
            intermediate = False
            for line in run("readelf", "-SW", path).splitlines():
                m = re.match(r"^\s*\[\s*\d+\]\s+(\S+)", line)
                if not m:
                    continue
                name = m.group(1)
                lto = re.match(r"^\.gnu\.lto_(.+)\.\d+\.[0-9a-f]+$", name)
                if lto and not lto.group(1).startswith("."):
                    table.setdefault(lto.group(1), set()).add(source)
                elif SECTION_PREFIX.match(name):
                    table.setdefault(base_symbol(name), set()).add(source)
                intermediate = intermediate or name.startswith(".gnu.lto_")
            if intermediate:
                # Global data has no section of its own in the intermediate language; the plugin names it.
                for line in run("gcc-nm", "--defined-only", path).splitlines():
                    fields = line.split()
                    if len(fields) == 3:
                        table.setdefault(fields[2], set()).add(source)
        self._symbols[mapfile] = table
        return table

    def strings_of(self, path, unnamed_only):
        """The NUL-terminated strings of an ELF file's merged-string sections."""
        out = set()
        dump = run("readelf", "-SW", path)
        for line in dump.splitlines():
            m = re.match(r"^\s*\[\s*\d+\]\s+(\S+)\s+\S+\s+([0-9a-f]+)\s+([0-9a-f]+)\s+([0-9a-f]+)", line)
            if not m or not re.search(r"\.str\d+\.\d+$", m.group(1)):
                continue
            if unnamed_only and not re.match(r"^\.rodata\.str\d+\.\d+$", m.group(1)):
                continue
            with open(path, "rb") as f:
                f.seek(int(m.group(3), 16))
                data = f.read(int(m.group(4), 16))
            out |= {x for x in data.split(b"\0") if x}
        return out

    def source_of_strings(self, section, mapfile):
        """Source of a merged-string section that carries no name after LTO, found by its contents in
        the objects of the build without LTO."""
        if self.fallback is None:
            return None
        elf = re.sub(r"\.map$", ".elf", mapfile)
        address = offset = None
        for line in run("readelf", "-SW", elf).splitlines():
            m = re.match(r"^\s*\[\s*\d+\]\s+(\S+)\s+\S+\s+([0-9a-f]+)\s+([0-9a-f]+)", line)
            if m and m.group(1) == section.output:
                address, offset = int(m.group(2), 16), int(m.group(3), 16)
        if address is None:
            return None
        with open(elf, "rb") as f:
            f.seek(offset + section.address - address)
            strings = {x for x in f.read(section.size).split(b"\0") if x}
        votes = {}
        for obj, source in self.fallback.sources.items():
            path = os.path.join(self.fallback.dir, obj)
            if os.path.exists(path):
                votes[source] = len(strings & self.fallback.strings_of(path, True))
        best = max(votes, key=votes.get, default=None)
        return best if best and votes[best] * 2 > len(strings) else None

    def source_of_section(self, section, mapfile):
        """Source of one input section of the image, or a bracketed reason when there is none."""
        if section.name == "*fill*":
            return PADDING
        if "libgcc.a(" in section.origin:
            return LIBGCC
        source = self.source_of_origin(section.origin)
        if source:
            return source
        if LTRANS.search(section.origin):
            symbol = base_symbol(section.name)
            if re.match(r"^str\d+\.\d+$", symbol):
                return self.source_of_strings(section, mapfile) or UNATTRIBUTED
            sources = self.symbol_sources(mapfile).get(symbol)
            if not sources and self.fallback:
                sources = self.fallback.symbol_sources(None).get(symbol)
            if sources and len(sources) == 1:
                return next(iter(sources))
            if sources:
                return " | ".join(sorted(sources))
            return UNATTRIBUTED
        return section.origin


def folder_of(source):
    """The firmware folder a source belongs to; bracketed labels stay as they are."""
    if source.startswith("(") or source == LIBGCC:
        return source
    return " | ".join(sorted({os.path.dirname(s) for s in source.split(" | ")}))


def demangle(names):
    names = list(names)
    if not names:
        return {}
    out = subprocess.run(["c++filt"], input="\n".join(names), check=True, capture_output=True,
                         text=True).stdout.splitlines()
    return dict(zip(names, out))


def toolchain(build):
    """Compiler and linker versions of a build, one line."""
    compiler = build.cache.get("CMAKE_CXX_COMPILER", "g++")
    try:
        cc = run(compiler, "--version").splitlines()[0]
        ld = run("ld", "--version").splitlines()[0]
        return "%s; %s" % (cc, ld)
    except (subprocess.CalledProcessError, FileNotFoundError):
        return "unknown"


def git_state():
    try:
        head = run("git", "-C", REPO, "rev-parse", "--short", "HEAD").strip()
        dirty = run("git", "-C", REPO, "status", "--porcelain", "--untracked-files=no").strip()
        return head + (" with uncommitted changes" if dirty else "")
    except (subprocess.CalledProcessError, FileNotFoundError):
        return "unknown"
