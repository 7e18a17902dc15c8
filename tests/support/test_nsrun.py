"""The private test networks on any file-system layout: a temporary folder on
another file system than the build (a tmpfs /tmp), and file systems that
refuse hard links."""
import errno
import os
import subprocess
import tempfile
import unittest
from unittest import mock

from tests.support import BUILD, WINE64, nsrun


class PrivateWine(unittest.TestCase):
    def test_prefix_works_when_the_test_folder_is_on_another_file_system(self):
        mount = tempfile.mkdtemp(prefix="quarrow-tmpfs-")
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64m", "tmpfs", mount], check=True)
        saved = tempfile.tempdir
        try:
            tempfile.tempdir = mount
            with nsrun.TestNetwork() as net:
                self.assertNotEqual(os.stat(net.dir).st_dev, os.stat(BUILD).st_dev)
                net.private_wine()
                r = net.run_pc([WINE64, "cmd", "/c", "echo", "inside"], capture_output=True, text=True,
                               timeout=120)
                self.assertEqual(0, r.returncode, r.stderr)
                self.assertIn("inside", r.stdout)
                prefix = net.wine_prefix
            self.assertFalse(os.path.exists(prefix), "the private prefix was left behind")
        finally:
            tempfile.tempdir = saved
            subprocess.run(["umount", mount], check=False)
            os.rmdir(mount)

    def test_clone_links_where_it_can_and_copies_where_it_cannot(self):
        with tempfile.TemporaryDirectory(dir=BUILD) as work:
            source = os.path.join(work, "source")
            os.makedirs(os.path.join(source, "drive_c", "windows"))
            os.makedirs(os.path.join(source, "dosdevices"))
            for name, text in (("system.reg", "registry"), ("drive_c/windows/a.dll", "code")):
                with open(os.path.join(source, name), "w") as f:
                    f.write(text)
            os.symlink("/", os.path.join(source, "dosdevices", "z:"))

            def refuse(src, dst):
                raise OSError(errno.EXDEV, "Invalid cross-device link")

            for what, patch, linked in (("links", None, True), ("no links", refuse, False)):
                prefix = os.path.join(work, what)
                with mock.patch("os.link", patch or os.link):
                    nsrun.clone_prefix(source, prefix)
                dll = os.path.join(prefix, "drive_c", "windows", "a.dll")
                self.assertEqual(linked, os.path.samefile(dll, os.path.join(source, "drive_c/windows/a.dll")), what)
                with open(dll) as f:
                    self.assertEqual("code", f.read(), what)
                reg = os.path.join(prefix, "system.reg")
                self.assertFalse(os.path.samefile(reg, os.path.join(source, "system.reg")), what)
                self.assertEqual("/", os.readlink(os.path.join(prefix, "dosdevices", "z:")), what)


if __name__ == "__main__":
    unittest.main()
