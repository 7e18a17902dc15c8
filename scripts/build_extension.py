#!/usr/bin/env python3
"""Builds the browser extension from extension/ into OUT (default build/extension):

  OUT/chromium/  and  OUT/quarrow-chromium.zip   Chrome and Edge (load the folder unpacked)
  OUT/firefox/   and  OUT/quarrow-firefox.zip    Firefox

Both share every file; Firefox's manifest is extension/manifest.json with the keys of
extension/manifest.firefox.json put over it (a null there removes the key). The version is
the programs' own, from app/version.h."""
import json
import os
import re
import shutil
import sys
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SOURCE = os.path.join(ROOT, "extension")
OVERLAYS = {"chromium": None, "firefox": "manifest.firefox.json"}


def version():
    with open(os.path.join(ROOT, "app", "version.h")) as f:
        return re.search(r'#define QUARROW_VERSION_TEXT "([0-9.]+)"', f.read()).group(1)


def shipped_files():
    """Paths relative to SOURCE of everything but the manifests."""
    for folder, _, names in os.walk(SOURCE):
        for name in sorted(names):
            rel = os.path.relpath(os.path.join(folder, name), SOURCE)
            if not rel.startswith("manifest"):
                yield rel


def manifest(overlay):
    with open(os.path.join(SOURCE, "manifest.json")) as f:
        data = json.load(f)
    if overlay:
        with open(os.path.join(SOURCE, overlay)) as f:
            for key, value in json.load(f).items():
                if value is None:
                    data.pop(key, None)
                else:
                    data[key] = value
    data["version"] = version()
    return json.dumps(data, indent=2) + "\n"


def build(out):
    os.makedirs(out, exist_ok=True)
    files = sorted(shipped_files())
    for browser, overlay in OVERLAYS.items():
        folder = os.path.join(out, browser)
        shutil.rmtree(folder, ignore_errors=True)
        text = manifest(overlay)
        archive = os.path.join(out, f"quarrow-{browser}.zip")
        with zipfile.ZipFile(archive + ".tmp", "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr("manifest.json", text)
            for rel in files:
                z.write(os.path.join(SOURCE, rel), rel.replace(os.sep, "/"))
        os.replace(archive + ".tmp", archive)
        os.makedirs(folder)
        with open(os.path.join(folder, "manifest.json"), "w") as f:
            f.write(text)
        for rel in files:
            os.makedirs(os.path.dirname(os.path.join(folder, rel)), exist_ok=True)
            shutil.copy2(os.path.join(SOURCE, rel), os.path.join(folder, rel))


if __name__ == "__main__":
    build(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "extension"))
