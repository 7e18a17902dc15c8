"""What the tests of whole programs share: the private test networks
(nsrun), the Windows desktop a test drives through the UI driver (desktop),
the stand-in's request log (standinlog), waiting (wait), displays and
screenshots (screen), the management protocol's simulated servers (mgmt),
browsers (browsers), Brevlet's registration (brevlet) and the programs'
resource IDs (ids).

Test modules import from here and never from one another. They import it
as tests.support, with the checkout's root on the module path (as CTest runs
them; the stand-in's package comes from there too), so a test also runs on
its own from the checkout:
    PYTHONPATH=. python3 tests/app/test_commands.py
"""
import os

from .nsrun import NAS_ADDR, ROOT, WINE32, WINE_RUN, TestNetwork, unittest_main, windows_path  # noqa: F401

BUILD = os.path.abspath(os.environ.get("QUARROW_BUILD_DIR") or os.path.join(ROOT, "build", "x86_64"))
# Private Wine prefixes are made beside the build's own.
os.environ.setdefault("QUARROW_BUILD_DIR", BUILD)

QUARROW = os.path.join(BUILD, "app", "Quarrow.exe")
# Quarrow with its test seams (refresh period, balloon report), beside the real one.
SEAMS = os.path.join(BUILD, "app", "QuarrowSeams.exe")
CTL = os.path.join(BUILD, "tools", "quarrowctl.exe")
UIDRIVER = os.path.join(BUILD, "tests", "uidriver.exe")
WINE64 = "/usr/lib/wine/wine64"
SETTINGS = r"HKCU\SOFTWARE\Storage Server\Quarrow"
