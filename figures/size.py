#!/usr/bin/env python3
"""Flash size of the IA32 images, by firmware folder, and the print engine next to stb_sprintf.

    figures/size.py [--top N] [--files] BUILD_DIR [BUILD_DIR ...]

Each BUILD_DIR is a built IA32 build (cmake --preset ia32, or one configured with ZARN_IA32_LTO).
The sizes come from the linker's map of each image: every input section placed in .text, .rodata or
.data is counted for the source file it was compiled from. After link-time optimisation the sections
of one partition are traced back to their source through the symbol each is named after; code of one
library inlined into another is then counted where it ended up.

The print engine comparison links, from the first build without LTO, the engine alone (an entry that
calls AsciiVFormat, the firmware archive, the compiler's memory routines and libgcc) and stb_sprintf
alone (an entry that calls stbsp_vsnprintf), both with the image's compiler flags, --gc-sections and
libgcc, and counts the code and read-only data of each.
"""

import argparse
import json
import os
import re
import shlex
import subprocess
import sys

import zarnbuild as zb

GOALS = {"Dramatlas": 6 * 1024, "Quilkeep": 10 * 1024}
HERE = os.path.dirname(os.path.abspath(__file__))
HARNESS = "(entry of the standalone link)"


def tally(build, sections, mapfile, key):
    """{row: {output: bytes}} over the sections, row chosen by key(source)."""
    rows = {}
    for s in sections:
        row = key(build.source_of_section(s, mapfile))
        rows.setdefault(row, {}).setdefault(s.output, 0)
        rows[row][s.output] += s.size
    return rows


def print_table(rows, title):
    print("  %-58s %7s %7s %7s" % (title, "code", "rodata", "total"))
    order = sorted(rows, key=lambda r: (-(rows[r].get(zb.CODE, 0) + rows[r].get(zb.RODATA, 0)), r))
    for row in order:
        code, rodata = rows[row].get(zb.CODE, 0), rows[row].get(zb.RODATA, 0)
        if code + rodata:
            print("  %-58s %7d %7d %7d" % (row, code, rodata, code + rodata))


def image_report(build, name, by_file, top):
    mapfile = build.image(name, ".map")
    sections = zb.parse_map(mapfile)
    totals = {}
    for s in sections:
        totals[s.output] = totals.get(s.output, 0) + s.size
    code, rodata, data = totals.get(zb.CODE, 0), totals.get(zb.RODATA, 0), totals.get(zb.DATA, 0)
    check_against_elf(build, name, totals)
    goal = GOALS.get(name)
    verdict = ""
    if goal:
        verdict = "goal %d (%d KiB): %s" % (goal, goal // 1024,
                                            "met" if code + rodata <= goal else "NOT met, %d over" % (
                                                code + rodata - goal))
    print("%s: code %d + read-only data %d = %d bytes; %s" % (name, code, rodata, code + rodata, verdict))
    if data:
        print("  (plus %d bytes of writable data, kept in flash)" % data)
    key = (lambda src: src) if by_file else zb.folder_of
    print_table(tally(build, sections, mapfile, key), "source file" if by_file else "folder")
    if top:
        print("  largest input sections:")
        named = [s for s in sections if s.name != "*fill*" and s.output in (zb.CODE, zb.RODATA)]
        named.sort(key=lambda s: -s.size)
        names = zb.demangle(zb.base_symbol(s.name) for s in named[:top])
        for s in named[:top]:
            sym = zb.base_symbol(s.name)
            print("  %7d  %-7s %s  [%s]" % (s.size, s.output, names.get(sym, sym),
                                           zb.folder_of(build.source_of_section(s, mapfile))))
    print()
    return code + rodata


def check_against_elf(build, name, totals):
    """The map's sums must equal the section sizes of the linked image."""
    out = zb.run("size", "-A", build.image(name, ".elf"))
    for line in out.splitlines():
        m = re.match(r"^(\.\S+)\s+(\d+)\s+\d+", line)
        if m and m.group(1) in zb.OUTPUTS and int(m.group(2)) != totals.get(m.group(1), 0):
            sys.exit("%s: map sums %s to %d bytes, the image has %s bytes" % (
                name, m.group(1), totals.get(m.group(1), 0), m.group(2)))


def compile_flags(build, language):
    cache = build.cache
    flags = cache.get("CMAKE_%s_FLAGS" % language, "") + " " + cache.get(
        "CMAKE_%s_FLAGS_%s" % (language, cache.get("CMAKE_BUILD_TYPE", "").upper()), "")
    return shlex.split(flags)


def firmware_compile_command(build, source):
    """The exact compile command of one firmware source, as a list, without -o/-c and the source."""
    with open(os.path.join(build.dir, "compile_commands.json")) as f:
        for entry in json.load(f):
            if os.path.relpath(entry["file"], zb.REPO) == source:
                args = shlex.split(entry["command"])
                out, skip = [], False
                for a in args:
                    if skip:
                        skip = False
                        continue
                    if a in ("-o", "-MF", "-MT"):
                        skip = True
                        continue
                    if a in ("-c", entry["file"]) or a.startswith("-DZARN_SOURCE_PATH=") or a in ("-MD",):
                        continue
                    out.append(a)
                return out
    sys.exit("no compile command for %s in %s" % (source, build.dir))


def link_alone(build, work, name, compile_command, source, extra_inputs):
    obj = os.path.join(work, name + ".o")
    elf = os.path.join(work, name + ".elf")
    mapfile = os.path.join(work, name + ".map")
    zb.run(*compile_command, "-c", source, "-o", obj)
    zb.run(build.cache.get("CMAKE_C_COMPILER", "gcc"), "-m32", "-nostdlib", "-static", "-no-pie",
           "-Wl,--gc-sections", "-Wl,--build-id=none", "-Wl,-T," + os.path.join(HERE, "printsize", "Standalone.ld"),
           "-Wl,-Map," + mapfile, "-o", elf, obj, *extra_inputs, "-lgcc")
    undefined = zb.run("nm", "-u", elf).strip()
    if undefined:
        sys.exit("%s links with undefined symbols:\n%s" % (name, undefined))
    return obj, zb.parse_map(mapfile)


def print_engine_report(build):
    work = os.path.join(build.dir, "figures-print")
    os.makedirs(work, exist_ok=True)
    archive = os.path.join(build.dir, "libzarn_fw.a")
    support = [os.path.join(build.dir, o) for o, s in build.sources.items()
               if s == "Platform/Ia32/CompilerSupport.cpp"]

    cxx = firmware_compile_command(build, "MdePkg/Library/BasePrintLib/PrintLib.cpp")
    cxx.append('-DZARN_SOURCE_PATH="figures/printsize/EngineEntry"')
    ours_obj, ours = link_alone(build, work, "engine", cxx, os.path.join(HERE, "printsize", "EngineEntry.cpp"),
                                [archive] + support)
    cc = [build.cache.get("CMAKE_C_COMPILER", "gcc")] + compile_flags(build, "C")
    stb_obj, stb = link_alone(build, work, "stb_sprintf", cc, os.path.join(HERE, "printsize", "StbEntry.c"),
                              support)

    def key_for(harness_obj, own_label):
        def key(section):
            if section.name == "*fill*":
                return zb.PADDING
            if "libgcc.a(" in section.origin:
                return zb.LIBGCC
            if os.path.abspath(os.path.join(work, section.origin)) == harness_obj or section.origin == harness_obj:
                # stb_sprintf and its entry are one object; the entry (one jump) is counted with it.
                return own_label or HARNESS
            source = build.source_of_origin(section.origin)
            return source if source else section.origin
        return key

    print("Print engine linked alone next to stb_sprintf (%s; compiler flags of the images, "
          "--gc-sections, libgcc):" % build.label())
    results = {}
    for title, sections, harness_obj, own in (
            ("print engine: FigureEntry -> AsciiVFormat", ours, ours_obj, None),
            ("stb_sprintf (STB_SPRINTF_NOFLOAT): FigureEntry -> stbsp_vsnprintf", stb, stb_obj, "stb_sprintf.h")):
        rows = {}
        key = key_for(os.path.abspath(harness_obj), own)
        for s in sections:
            row = key(s)
            rows.setdefault(row, {}).setdefault(s.output, 0)
            rows[row][s.output] += s.size
        counted = {r: v for r, v in rows.items() if r != HARNESS}
        total = sum(v.get(zb.CODE, 0) + v.get(zb.RODATA, 0) for v in counted.values())
        print(" %s: %d bytes of code and read-only data" % (title, total))
        print_table(rows, "part")
        results[title] = total
    ours_total, stb_total = list(results.values())
    print(" goal (print engine no larger than stb_sprintf): %s (%d vs %d bytes, ratio %.2f)" % (
        "met" if ours_total <= stb_total else "NOT met", ours_total, stb_total, ours_total / stb_total))
    print()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("builds", nargs="+", help="IA32 build directories")
    parser.add_argument("--top", type=int, default=12, help="list the N largest input sections per image")
    parser.add_argument("--files", action="store_true", help="break down by source file instead of folder")
    args = parser.parse_args()

    builds = [zb.Build(b) for b in args.builds]
    plain = [b for b in builds if not b.lto]
    for build in builds:
        if build.lto and plain:
            build.fallback = plain[0]
    print("Sources at %s; %s\n" % (zb.git_state(), zb.toolchain(builds[0])))
    summary = []
    for build in builds:
        print("== %s" % build.label())
        for name in zb.IMAGES:
            summary.append((name, build.label(), image_report(build, name, args.files, args.top)))
    if plain:
        print_engine_report(plain[0])
    print("Summary (code + read-only data):")
    for name, label, total in summary:
        goal = GOALS[name]
        print("  %-10s %-40s %6d bytes  goal %5d: %s" % (name, label, total, goal,
                                                         "met" if total <= goal else "not met"))


if __name__ == "__main__":
    main()
