"""Quarrow's start-up as a user and the installer see it: single instance,
command-line switches and the shell registration they write."""
import os
import unittest

from tests.support import QUARROW, TestNetwork, windows_path
from tests.support.brevlet import CLSID
from tests.support.desktop import Desktop
from tests.support.wait import wait_exit

KEYS = [
    r"HKCR\.torrent",
    r"HKCR\Quarrow_Torrent",
    r"HKCR\Brevlet.QuarrowBrevlet",
    "HKCR\\CLSID\\" + CLSID,
    r"HKCU\Software\Microsoft\Internet Explorer\MenuExt\Download with Quarrow",
]


def module_dir():
    return windows_path(os.path.dirname(QUARROW)) + "\\"


class StartUp(unittest.TestCase):
    def setUp(self):
        self.net = TestNetwork().__enter__()
        self.net.private_wine()
        self.desk = Desktop(self.net)

    def tearDown(self):
        self.desk.close()
        self.net.close()

    def snapshot(self):
        return {key: self.desk.reg_query(key) for key in KEYS}

    def test_second_normal_start_is_refused_and_the_first_keeps_running(self):
        first = self.desk.start(QUARROW)
        main = self.desk.find("Refresh")
        self.assertIsNotNone(main, "main window did not appear")

        for args in ([], ["/R"]):  # an upper-case switch letter is a normal start
            second = self.desk.start(QUARROW, *args)
            box = self.desk.find("Quarrow is running!")
            self.assertIsNotNone(box, f"no refusal for {args}")
            self.assertTrue(self.desk.click(box, "OK"))
            self.assertEqual(0, wait_exit(second, 20))
            self.assertIsNone(first.poll(), "the first instance ended")
        # "/R" did not register anything.
        self.assertEqual([], self.desk.reg_query(r"HKCR\Quarrow_Torrent"))

    def test_register_twice_then_unregister(self):
        self.assertEqual(0, self.desk.run(QUARROW, "/r").returncode)
        once = self.snapshot()
        directory = module_dir()
        command = once[r"HKCR\Quarrow_Torrent"]
        self.assertIn(r"HKEY_CLASSES_ROOT\Quarrow_Torrent\shell\open\command", command)
        self.assertIn(f'(Default)    REG_SZ    "{directory}Quarrow.exe" /f "%1"', command)
        self.assertIn("(Default)    REG_SZ    Quarrow_Torrent", once[r"HKCR\.torrent"])
        self.assertIn(f"(Default)    REG_SZ    {CLSID}", once[r"HKCR\Brevlet.QuarrowBrevlet"])
        server = once["HKCR\\CLSID\\" + CLSID]
        self.assertIn(f"(Default)    REG_SZ    {directory}Brevlet.dll", server)
        self.assertIn("ThreadingModel    REG_SZ    apartment", server)
        menu = once[KEYS[-1]]
        self.assertIn(f"(Default)    REG_SZ    {directory}GetUrl.htm", menu)
        self.assertIn("Contexts    REG_DWORD    0x22", menu)
        # Nothing beyond those values: no ProgID description, no icon, no CLSID default.
        self.assertEqual(2, sum("REG_" in line for line in once[r"HKCR\Brevlet.QuarrowBrevlet"]) +
                         sum("REG_" in line for line in once[r"HKCR\.torrent"]))
        self.assertEqual(2, sum("REG_" in line for line in server))

        self.assertEqual(0, self.desk.run(QUARROW, "/r", "again").returncode)
        self.assertEqual(once, self.snapshot())

        self.assertEqual(0, self.desk.run(QUARROW, "/u").returncode)
        after = self.snapshot()
        self.assertIn("(Default)    REG_SZ    Quarrow_Torrent", after[r"HKCR\.torrent"])
        for key in KEYS[1:]:
            self.assertEqual([], after[key], key)


if __name__ == "__main__":
    unittest.main()
