#!/usr/bin/env python3
"""Worst-case stack depth of each IA32 image's entry point, constructors and module entry.

    figures/stack.py [--all-paths] BUILD_DIR [BUILD_DIR ...]

Frame sizes come from the compiler (-fcallgraph-info=su: the .ci file of each object, or of each
link-time partition with LTO); every frame includes the return address and the arguments the function
pushes for its calls. The call graph comes from the linked image itself (objdump -d): direct calls,
tail jumps, and the indirect calls, which are taken as follows:
  - RunConstructor (the image definition's constructor list) calls, through a pointer, each function
    whose address the image's code loads as an immediate operand: the constructors;
  - every other indirect call leaves the image (a service of the PEI foundation through the services
    table, or a PPI of another module). Its own stack is not in the figure; the report lists each such
    call with the depth at which the image makes it, so the foundation's figure can be added.
Recursion: FormatEngine may appear twice on a path (the one level of %g, %t and %r through
FormatWithMode, or an assertion report raised inside the engine); every other function at most once
(an assertion report is not raised again while one is being written: its format and arguments
satisfy every check on its path). A cycle the rules cut is listed.
"""

import argparse
import os
import re
import sys

import zarnbuild as zb

GOAL = 2 * 1024
# How often a function may be on one path, and why.
RECURSION_LIMIT = {
    "FormatEngine": 2,            # %g, %t, %r format through FormatWithMode once; their formats have none
    "ZarnKovGetBiosDirEntry": 2,  # finds the level-2 directory with its own type, which does not recurse
}
# Calls not followed while a function is on the path, and why: the assertion report's format
# "ASSERT [%a] %a(%d): %a\n" has no %g, %t or %r, so the engine does not recurse under it.
EXCLUDED_UNDER = {"DebugLibAssert": {"FormatWithMode"}}
IN_IMAGE_INDIRECT = {"RunConstructor": "the constructor list"}
ROOTS = ("PeimEntryPoint", "SerialInitialize", "AcpiTimerLibConstructor", "ZarnKovQuilLibConstructor",
         "DramatlasEntry", "QuilkeepDriverEntry")
ACCESSOR_SUFFIX = "Trov"


class Function:
    def __init__(self, address, name):
        self.address = address
        self.name = name          # mangled, as in the image
        self.short = name         # unqualified name without clone suffix, filled in later
        self.pretty = name
        self.calls = set()        # addresses of direct callees
        self.tails = set()        # addresses of tail-jump targets
        self.indirect = 0         # number of indirect calls
        self.indirect_tail = 0
        self.immediates = set()   # immediate operands (for address-taken functions)
        self.frame = None
        self.frame_note = ""
        self.origin = None
        self.sites = []           # source locations of indirect calls, from the .ci file


def parse_ci(path):
    """{mangled: (bytes, qualifier)} and {mangled: [indirect call locations]} of one .ci file."""
    frames, sites = {}, {}
    with open(path) as f:
        for line in f:
            m = re.match(r'^node: \{ title: "([^"]+)" label: "((?:[^"\\]|\\.)*)"', line)
            if m:
                name = m.group(1).rsplit(":", 1)[-1]
                b = re.search(r"\\n(\d+) bytes \(([^)]*)\)", m.group(2))
                if b:
                    frames[name] = (int(b.group(1)), b.group(2))
                continue
            m = re.match(r'^edge: \{ sourcename: "([^"]+)" targetname: "__indirect_call" label: "([^"]+)"', line)
            if m:
                sites.setdefault(m.group(1).rsplit(":", 1)[-1], []).append(m.group(2))
    return frames, sites


def disassemble(elf):
    functions = {}
    current = None
    out = zb.run("objdump", "-d", "--no-show-raw-insn", "-M", "att", elf)
    for line in out.splitlines():
        m = re.match(r"^([0-9a-f]+) <(.+)>:$", line)
        if m:
            current = Function(int(m.group(1), 16), m.group(2))
            current.instructions = []
            functions[current.address] = current
            continue
        m = re.match(r"^\s*([0-9a-f]+):\s+(\S+)\s*(.*)$", line)
        if not m or current is None:
            continue
        op, operands = m.group(2), m.group(3)
        current.instructions.append((op, operands))
        for imm in re.findall(r"\$0x([0-9a-f]+)", operands):
            current.immediates.add(int(imm, 16))
        target = re.match(r"^([0-9a-f]+) <", operands)
        if op.startswith("call"):
            if operands.startswith("*"):
                current.indirect += 1
            elif target:
                current.calls.add(int(target.group(1), 16))
        elif op.startswith("jmp"):
            if operands.startswith("*"):
                # A jump through a table indexed by a register stays inside the function.
                if not re.match(r"^\*-?0x[0-9a-f]+\(,%e[a-z]+,4\)$", operands):
                    current.indirect_tail += 1
            elif target:
                current.tails.add(int(target.group(1), 16))
    for f in functions.values():
        f.tails = {t for t in f.tails if t in functions and t != f.address}
    return functions


def frame_from_code(f):
    """Frame of a function the compiler gave no figure for (libgcc, assembly): the deepest point of its
    stack pointer over its instructions in order, plus the return address. Such a function is a leaf,
    or calls only after moving the stack pointer to another stack."""
    depth = deepest = 0
    for op, operands in f.instructions:
        if op.startswith("mov") and operands.endswith(",%esp") and not operands.startswith("%ebp,"):
            break
        if op.startswith("push"):
            depth += 4
        elif op.startswith("pop"):
            depth -= 4
        elif op.startswith("sub") and operands.endswith(",%esp"):
            m = re.match(r"^\$0x([0-9a-f]+),%esp$", operands)
            depth += int(m.group(1), 16) if m else 0
        elif op.startswith("add") and operands.endswith(",%esp"):
            m = re.match(r"^\$0x([0-9a-f]+),%esp$", operands)
            depth -= int(m.group(1), 16) if m else 0
        deepest = max(deepest, depth)
        if op.startswith("call"):
            return None  # calls on its own stack: no figure without the compiler's
    return deepest + 4


def short_name(pretty):
    """Name without scope, arguments, return type or clone suffix: FormatEngine(char*, ...) [clone
    .constprop.0] -> FormatEngine; a lambda keeps its enclosing function: FormatEngine::{lambda#2}."""
    name = re.sub(r"\s*\[clone [^\]]*\]", "", pretty).replace("(anonymous namespace)", "{anon}")

    def outer(text):
        depth = 0
        for i, c in enumerate(text):
            if c == "<":
                depth += 1
            elif c == ">":
                depth -= 1
            elif c == "(" and depth == 0:
                text = text[:i]
                break
        depth, start = 0, 0
        for i, c in enumerate(text):
            if c == "<":
                depth += 1
            elif c == ">":
                depth -= 1
            elif c == " " and depth == 0:
                start = i + 1
        text = text[start:]
        text = re.sub(r"<.*>$", "", text)
        return text.split("::")[-1]

    m = re.search(r"::\{lambda\(.*?\)#(\d+)\}", name)
    if m:
        return "%s::{lambda#%s}" % (outer(name[:m.start()]), m.group(1))
    return outer(name)


class Image:
    def __init__(self, build, name):
        self.build, self.name = build, name
        self.elf = build.image(name, ".elf")
        self.mapfile = build.image(name, ".map")
        self.functions = disassemble(self.elf)
        pretty = zb.demangle(f.name for f in self.functions.values())
        for f in self.functions.values():
            f.pretty = pretty.get(f.name, f.name)
            f.short = short_name(f.pretty)
        self.sections = [s for s in zb.parse_map(self.mapfile) if s.output == zb.CODE]
        self.attach_frames()
        taken = set()
        for f in self.functions.values():
            taken |= {a for a in f.immediates if a in self.functions}
        self.address_taken = taken

    def origin_of(self, address):
        for s in self.sections:
            if s.address <= address < s.address + s.size:
                return s.origin
        return None

    def ci_file(self, origin):
        if "libgcc.a(" in origin:
            return None
        m = re.search(r"ltrans(\d+)\.ltrans\.o$", origin)
        if m:
            return self.build.image(self.name, ".elf.ltrans%s.ltrans.ci" % m.group(1))
        obj = self.build.object_of(origin)
        if obj is None:
            return None
        return os.path.join(self.build.dir, re.sub(r"\.o(bj)?$", "", obj) + ".ci")

    def attach_frames(self):
        cache = {}
        for f in self.functions.values():
            f.origin = self.origin_of(f.address)
            path = self.ci_file(f.origin) if f.origin else None
            source = self.build.source_of_origin(f.origin) if f.origin else None
            if source and not re.search(r"\.(c|cc|cpp)$", source):
                path = None  # assembly: no compiler figure
            if path:
                if path not in cache:
                    if not os.path.exists(path):
                        sys.exit("%s is missing: the build predates -fcallgraph-info in cmake/Ia32Toolchain.cmake; "
                                 "configure it afresh (cmake --fresh)" % path)
                    cache[path] = parse_ci(path)
                frames, sites = cache[path]
                if f.name in frames:
                    size, qualifier = frames[f.name]
                    if qualifier == "dynamic":
                        sys.exit("%s: unbounded dynamic stack in %s" % (self.name, f.pretty))
                    f.frame, f.frame_note = size, ""
                    f.sites = sites.get(f.name, [])
                    continue
            f.frame, f.frame_note = frame_from_code(f), "from its code"

    def by_short(self, short):
        return [f for f in self.functions.values() if f.short == short]


class Walker:
    """Deepest path from a root under the recursion rules."""

    def __init__(self, image, rules=True):
        self.image = image
        self.rules = rules
        self.functions = image.functions
        self.cut_cycles = set()
        self.memo = {}
        self.cyclic = self.cyclic_functions()

    def callees(self, f):
        out = [(a, "call") for a in sorted(f.calls) if a in self.functions]
        if f.indirect and f.short in IN_IMAGE_INDIRECT:
            out += [(a, "call*") for a in sorted(self.image.address_taken)]
        out += [(a, "jmp") for a in sorted(f.tails)]
        return out

    def leaves_image(self, f):
        return (f.indirect and f.short not in IN_IMAGE_INDIRECT) or f.indirect_tail

    def cyclic_functions(self):
        """Functions on some cycle (Tarjan's strongly connected components)."""
        index, low, stack, on, result = {}, {}, [], set(), set()
        counter = [0]
        sys.setrecursionlimit(10000)

        def visit(v):
            index[v] = low[v] = counter[0]
            counter[0] += 1
            stack.append(v)
            on.add(v)
            for w, _ in self.callees(self.functions[v]):
                if w not in index:
                    visit(w)
                    low[v] = min(low[v], low[w])
                elif w in on:
                    low[v] = min(low[v], index[w])
            if low[v] == index[v]:
                component = []
                while True:
                    w = stack.pop()
                    on.discard(w)
                    component.append(w)
                    if w == v:
                        break
                if len(component) > 1 or v in self.functions[v].calls:
                    result.update(component)

        for v in self.functions:
            if v not in index:
                visit(v)
        return result

    def deepest(self, address, counts):
        """(depth, path, external) for the function at address, entered with `counts` functions
        (by short name) already on the path. path: [(function, kind)]; external: (depth at the call,
        path to the caller) of the deepest call out of the image, or None."""
        f = self.functions[address]
        if f.frame is None:
            sys.exit("%s: no stack figure for %s, which is on a path" % (self.image.name, f.pretty))
        key = (address, tuple(sorted((k, v) for k, v in counts.items()
                                     if k in self.cyclic_names() or k in EXCLUDED_UNDER)))
        if key in self.memo:
            return self.memo[key]
        counts = dict(counts)
        counts[f.short] = counts.get(f.short, 0) + 1
        best_call, best_path = 0, []
        best_tail, tail_path = 0, []
        external = (f.frame, [f]) if self.leaves_image(f) else None
        for target, kind in self.callees(f):
            g = self.functions[target]
            if self.excluded(g, counts):
                continue
            if counts.get(g.short, 0) >= RECURSION_LIMIT.get(g.short, 1):
                self.cut_cycles.add((f.short, g.short))
                continue
            depth, path, ext = self.deepest(target, counts)
            path = [(g, kind)] + path[1:]
            if kind == "jmp":
                if depth > best_tail:
                    best_tail, tail_path = depth, path
                if ext and (external is None or ext[0] > external[0]):
                    external = ext
            else:
                if depth > best_call:
                    best_call, best_path = depth, path
                if ext and (external is None or f.frame + ext[0] > external[0]):
                    external = (f.frame + ext[0], [f] + ext[1])
        if f.frame + best_call >= best_tail:
            result = (f.frame + best_call, [(f, "")] + [(g, k) for g, k in best_path], external)
        else:
            result = (best_tail, [(f, "")] + tail_path, external)
        self.memo[key] = result
        return result

    def excluded(self, g, counts):
        if not self.rules:
            return False
        return any(counts.get(on_path, 0) and g.short in callees for on_path, callees in EXCLUDED_UNDER.items())

    def cyclic_names(self):
        if not hasattr(self, "_cyclic_names"):
            self._cyclic_names = {self.functions[a].short for a in self.cyclic}
        return self._cyclic_names

    def path_entries(self, address):
        """Deepest path with the call kind of each step."""
        depth, path, external = self.deepest(address, {})
        return depth, path, external

    def external_sites(self, address):
        """{function: deepest depth at which it makes a call out of the image} over every path."""
        sites = {}

        def walk(a, counts, above):
            f = self.functions[a]
            counts = dict(counts)
            counts[f.short] = counts.get(f.short, 0) + 1
            if self.leaves_image(f):
                if sites.get(a, -1) < above + f.frame:
                    sites[a] = above + f.frame
            for target, kind in self.callees(f):
                g = self.functions[target]
                if self.excluded(g, counts) or counts.get(g.short, 0) >= RECURSION_LIMIT.get(g.short, 1):
                    continue
                reach = self.deepest(target, counts)
                if reach[2] is None and not self.leaves_image(g):
                    continue
                walk(target, counts, above if kind == "jmp" else above + f.frame)

        walk(address, {}, 0)
        return sites


# The emulator's foundation and platform modules (Platform/Ia32/Boot), linked as one image.
FOUNDATION_IMAGE = "ZarnBoot"
FOUNDATION_SERVICES = ("BootInstallPpi", "BootLocatePpi", "BootGetHobList", "BootCreateHob", "GetHoleMap",
                       "OutputMessage")
SERVICE_CALL = re.compile(r"->\s*(\w+)\s*\(")


def foundation_costs(build):
    """{service or PPI function name: its worst-case stack} in the emulator's foundation image, or None
    when the build has none. A call it makes on another stack does not count."""
    if not os.path.exists(build.image(FOUNDATION_IMAGE, ".elf")):
        return None
    image = Image(build, FOUNDATION_IMAGE)
    walker = Walker(image)
    costs = {}
    for f in image.functions.values():
        if f.short not in FOUNDATION_SERVICES:
            continue
        depth = walker.path_entries(f.address)[0]
        for method in (f.short, re.sub(r"^Boot", "", f.short)):
            costs[method] = max(costs.get(method, 0), depth)
    return costs


def source_line(location):
    m = re.match(r"^(.*):(\d+):\d+$", location)
    if not m:
        return location
    path, line = m.group(1), int(m.group(2))
    text = ""
    try:
        with open(path) as f:
            text = f.readlines()[line - 1].strip()
    except (OSError, IndexError):
        pass
    return "%s:%d  %s" % (os.path.relpath(path, zb.REPO), line, text)


def print_path(path):
    """One line per frame: its size, the depth at its deepest point, the function. A tail jump's
    target takes the place of the function that jumped."""
    base = running = 0
    previous_base = 0
    for i, (f, kind) in enumerate(path):
        if i == 0:
            base = 0
        elif kind == "jmp":
            base = previous_base
        else:
            base = running
        previous_base = base
        running = base + f.frame
        note = " (%s)" % f.frame_note if f.frame_note else ""
        arrow = {"jmp": "-> (tail jump) ", "call*": "-> (through a pointer) ", "call": "-> "}.get(kind, "")
        print("      %5d %5d  %s%s%s" % (f.frame, running, arrow, f.pretty, note))


def report(build, name, all_paths):
    image = Image(build, name)
    walker = Walker(image)
    print("%s (%s)" % (name, build.label()))
    total = None
    results = []
    for root in ROOTS:
        candidates = image.by_short(root)
        if not candidates:
            if root in ("PeimEntryPoint",):
                sys.exit("%s: no %s in the image" % (name, root))
            continue
        f = candidates[0]
        depth, path, external = walker.path_entries(f.address)
        results.append((root, f, depth, path, external))
        if root == "PeimEntryPoint":
            total = depth
    accessors = [f for f in image.functions.values() if f.short.endswith(ACCESSOR_SUFFIX)]
    if accessors:
        deepest = max(accessors, key=lambda a: walker.path_entries(a.address)[0])
        depth, path, external = walker.path_entries(deepest.address)
        results.append(("accessor slots (%d, called by later modules; the deepest)" % len(accessors),
                        deepest, depth, path, external))

    for root, f, depth, path, external in results:
        print("  %-40s %5d bytes" % (root, depth))
    verdict = "met" if total <= GOAL else "NOT met"
    print("  whole module (PeimEntryPoint): %d bytes of its own stack; goal %d: %s" % (total, GOAL, verdict))
    entry = image.by_short("PeimEntryPoint")[0]
    loose = Walker(image, rules=False).path_entries(entry.address)[0]
    if loose != total:
        print("  (%d bytes if the assertion report's format could recurse through FormatWithMode)" % loose)
    for root, f, depth, path, external in results:
        if root != "PeimEntryPoint" and not all_paths:
            continue
        print("  deepest path from %s (frame, running total in bytes):" % root)
        print_path(path)
    sites = walker.external_sites(entry.address)
    if sites:
        print("  calls out of the image (foundation services, PPIs of other modules), with the image's own")
        print("  stack in use at the call; the callee's stack comes on top:")
        for a, depth in sorted(sites.items(), key=lambda kv: -kv[1]):
            f = image.functions[a]
            print("      %5d  %s" % (depth, f.pretty))
            for site in sorted({source_line(s) for s in f.sites}) or ["(no source location)"]:
                print("             %s" % site)
    services = foundation_costs(build)
    if services is not None and sites:
        bound, worst = total, None
        for a, depth in sites.items():
            f = image.functions[a]
            for site in f.sites:
                m = SERVICE_CALL.search(source_line(site))
                cost = services.get(m.group(1)) if m else None
                if cost is None:
                    print("  (no figure for the callee at %s in %s)" % (source_line(site), FOUNDATION_IMAGE))
                    continue
                if depth + cost > bound:
                    bound, worst = depth + cost, (m.group(1), depth, cost)
        how = "the image's own path" if worst is None else "%s called at %d bytes, taking %d" % worst
        print("  with the emulator's foundation and platform modules (%s.elf) under it: %d bytes (%s)" % (
            FOUNDATION_IMAGE, bound, how))
    if walker.cut_cycles:
        print("  calls back into a function already on the path, not followed (a check failing inside")
        print("  the report of another, or recursion beyond its limit):")
        callers = {}
        for caller, callee in walker.cut_cycles:
            callers.setdefault(callee, set()).add(caller)
        for callee in sorted(callers):
            print("      %s (limit %d) from %s" % (callee, RECURSION_LIMIT.get(callee, 1),
                                                   ", ".join(sorted(callers[callee]))))
    print()
    return total


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("builds", nargs="+", help="IA32 build directories")
    parser.add_argument("--all-paths", action="store_true", help="print the deepest path of every root")
    args = parser.parse_args()
    print("Sources at %s; %s\n" % (zb.git_state(), zb.toolchain(zb.Build(args.builds[0]))))
    summary = []
    for b in args.builds:
        build = zb.Build(b)
        for name in zb.IMAGES:
            summary.append((name, build.label(), report(build, name, args.all_paths)))
    print("Summary (worst case from PeimEntryPoint, the image's own stack):")
    for name, label, total in summary:
        print("  %-10s %-42s %5d bytes  goal %d: %s" % (name, label, total, GOAL,
                                                       "met" if total <= GOAL else "not met"))


if __name__ == "__main__":
    main()
