#!/usr/bin/env python3
"""Checks that the source folders include one way: each folder may include only the
folders of the layers below it, so no folder includes from one that includes it back.
Prints each include that breaks the order and exits 1; exits 0 when all are in order."""
import os
import re
import sys

# Each folder with the folders it may include (besides itself).
ALLOWED = {
    "platform": set(),
    "comms": {"platform"},
    "records": {"platform"},
    "document": {"platform", "comms", "records"},
    "acquisition": {"platform", "comms", "records", "document"},
    "display/graph": {"platform", "comms", "records", "document"},
    "display/view": {"platform", "comms", "records", "document", "acquisition", "display/graph"},
    "settings": {"platform", "comms", "records", "document", "acquisition", "display/graph",
                 "display/view"},
    "app": {"platform", "comms", "records", "document", "acquisition", "display/graph",
            "display/view", "settings", "tools"},
    # MQTT, HTTP and JSON: above the core, fed through the acquisition's live-feed seam.
    "outlets": {"platform", "comms", "records", "document", "acquisition"},
    # The programs and their libraries may use any layer.
    "tools": {"platform", "comms", "records", "document", "acquisition", "display/graph",
              "display/view", "settings", "outlets"},
}


def folder_of(path):
    for name in sorted(ALLOWED, key=len, reverse=True):
        if path.startswith(name + "/"):
            return name
    return None


def main(root):
    broken = []
    for name, allowed in ALLOWED.items():
        for base, _, files in os.walk(os.path.join(root, name)):
            for file in files:
                if not file.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(base, file)
                with open(path, encoding="utf-8") as source:
                    for number, line in enumerate(source, 1):
                        match = re.match(r'\s*#include "([^"]+)"', line)
                        if not match:
                            continue
                        target = folder_of(match.group(1))
                        if target and target != name and target not in allowed:
                            broken.append(f"{os.path.relpath(path, root)}:{number}: "
                                          f"{name} includes {match.group(1)}")
    for line in broken:
        print(line)
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
