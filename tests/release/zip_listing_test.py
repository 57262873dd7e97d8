#!/usr/bin/env python3
"""Checks the release zip against the build it came from: one top folder;
the program, its user guide, README and every library and plug-in the build
left beside it, nothing else; a licence text for every third-party archive
the linker took code from (the link map) and for every third-party DLL; every
entry dated with the commit.
Usage: zip_listing_test.py ZIP BIN_DIR LINK_MAP OWN_BUILD_DIR SOURCE_DIR LANGUAGE..."""
import os, re, subprocess, sys, time, zipfile

zip_path, bin_dir, link_map, own_build, source_dir, *languages = sys.argv[1:]
failures = []

def check(condition, message):
    if not condition:
        failures.append(message)

archive = zipfile.ZipFile(zip_path)
top = os.path.basename(zip_path)[: -len(".zip")] + "/"
names = archive.namelist()
check(all(n.startswith(top) for n in names), f"entries outside {top}")
files = {n[len(top):] for n in names if not n.endswith("/")}

# Exactly what the build placed beside the program, the plug-ins, README.txt
# and the licences; no test libraries or test plug-ins.
libraries = sorted(f for f in os.listdir(bin_dir) if f.lower().endswith(".dll"))
for language in languages:
    check(f"{language}.dll" in libraries, f"the build has no {language}.dll")
plugins = sorted(f"plugins/{f}" for f in os.listdir(os.path.join(bin_dir, "plugins")))
check(plugins, "the build has no plug-ins")
expected_top = {"Quillodex.exe", "Quillodex.chm", "README.txt", *libraries}
check({f for f in files if "/" not in f} == expected_top,
      f"top-level files {sorted(f for f in files if '/' not in f)}, expected {sorted(expected_top)}")
check({f for f in files if f.startswith("plugins/")} == set(plugins), "plug-ins differ from the build's")
check(not {f for f in files if "/" in f and not f.startswith(("plugins/", "LICENSES/"))}, "files in other folders")

# Every archive the program was linked from, other than our own, is named
# in SOURCES.txt on the line of a source package whose licence is present.
licences = {f for f in files if f.startswith("LICENSES/")}
sources = archive.read(top + "LICENSES/SOURCES.txt").decode() if top + "LICENSES/SOURCES.txt" in names else ""
package_of = {}
for line in sources.splitlines():
    match = re.match(r"^(\S+) (\S+):((?: \S+\.a)+)$", line)
    if match:
        for name in match.group(3).split():
            package_of[name] = match.group(1)
own = os.path.realpath(own_build)
with open(link_map, encoding="utf-8", errors="replace") as lines:
    linked = {m.group(1) for m in map(re.compile(r"^(/[^ ()]+\.a)\(").match, lines) if m}
third_party = sorted({os.path.basename(a) for a in linked if not os.path.realpath(a).startswith(own + "/")})
check(len(third_party) >= 5, f"the link map names too few libraries: {third_party}")
for name in third_party:
    package = package_of.get(name)
    check(package is not None, f"{name} is linked but SOURCES.txt does not name it")
    if package:
        text = f"LICENSES/{package}.txt"
        check(text in licences and archive.getinfo(top + text).file_size > 500, f"no licence text {text} for {name}")
for package in ("libjpeg-turbo", "libwebp", "tiff", "libz-mingw-w64", "mingw-w64", "gcc-mingw-w64"):
    check(package in package_of.values(), f"SOURCES.txt names no {package}")
gcc = archive.read(top + "LICENSES/gcc-mingw-w64.txt").decode(errors="replace") if "LICENSES/gcc-mingw-w64.txt" in licences else ""
check("GCC RUNTIME LIBRARY EXCEPTION" in gcc.upper(), "the GCC runtime library exception is missing")
# A library shipped as a DLL of its own has its licence beside the others.
for library in libraries:
    stem = library[:-4].lower().removeprefix("lib")
    if library[:-4] in languages:
        continue
    check(any(stem in f.lower() for f in licences), f"no licence file names {library}")

# The commit's time on every entry (zip times have two-second steps).
commit = int(subprocess.run(["git", "-C", source_dir, "log", "-1", "--format=%ct"],
                            capture_output=True, text=True, check=True).stdout)
stamp = time.gmtime(commit - commit % 2)[:6]
check(all(info.date_time == stamp for info in archive.infolist()), f"entries not dated {stamp}")
check(names == sorted(names, key=lambda n: (not n.endswith("/"), n)), "entries are not in a fixed order")

for failure in failures:
    print("FAIL:", failure)
print(f"{len(names)} entries, {len(third_party)} linked libraries, {len(failures)} failures")
sys.exit(1 if failures else 0)
