"""Every folder of the program includes only its own headers and those of the
layers its library links, directly or through the layers they link.

Reads the layers as CMake built them (build/layers.txt: "folder=target links...")
and every #include "folder/..." in the sources; prints each include that
reaches a layer the folder does not link and fails."""
import pathlib
import re
import sys

source_root = pathlib.Path(sys.argv[1])
layers_file = pathlib.Path(sys.argv[2])

folder_of = {}
links_of = {}
for line in layers_file.read_text().splitlines():
    entry, *links = line.split()
    folder, target = entry.split("=")
    if folder == "tests":
        continue
    folder_of[target] = folder
    links_of.setdefault(folder, set()).update(links)


def reachable(folder, seen=None):
    seen = set() if seen is None else seen
    for link in links_of.get(folder, ()):
        below = folder_of.get(link)
        if below and below not in seen:
            seen.add(below)
            reachable(below, seen)
    return seen


include = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]+"', re.M)
program_folders = set(links_of) | {"tests"}
faults = []
for folder in sorted(links_of):
    allowed = reachable(folder) | {folder}
    for path in sorted((source_root / folder).rglob("*")):
        if path.suffix not in (".h", ".cpp", ".inc"):
            continue
        for match in include.finditer(path.read_text()):
            target = match.group(1)
            if target in program_folders and target not in allowed:
                line = path.read_text().count("\n", 0, match.start()) + 1
                below = ", ".join(f"{b}/" for b in sorted(allowed - {folder}))
                faults.append(f"{path.relative_to(source_root)}:{line}: includes {match.group(0).split()[-1]}, but "
                              + (f"{folder}/ links only {below}" if below else f"{folder}/ links no other layer"))

print("\n".join(faults) if faults else f"{len(links_of)} layers, every include within the layers linked")
sys.exit(1 if faults else 0)
