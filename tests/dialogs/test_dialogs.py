"""Server selection, login and the server folder dialog as a user meets them:
Quarrow (and, for the folder dialog, a small test program) under Wine in a
private test network, simulated servers answering discovery in namespace hosts,
the stand-in web server in the nas namespace. Each step checks the screen and
what reached the servers.

With QUARROW_SHOTS=DIR set, the dialogs are also saved there as PNG pictures."""
import os
import sys
import time
import unittest

from tests.support import BUILD, NAS_ADDR, QUARROW, SETTINGS, windows_path
from tests.support.desktop import NetworkCase
from tests.support.ids import APP
from tests.support.mgmt import start_server
from tests.support.standinlog import auth_of, records
from tests.support.wait import until, wait_exit

DRIVER = os.path.join(BUILD, "tests", "dialogs_driver.exe")
SERVER_LIST, TREE, FOLDER = APP.IDC_SERVER_LIST, APP.IDC_PATH_TREE, APP.IDC_PATH_FOLDER
USER, PASSWORD, REMEMBER_LOGIN = APP.IDC_LOGIN_USER, APP.IDC_LOGIN_PASSWORD, APP.IDC_LOGIN_REMEMBER

PORT_BUSY = ("Cannot search for servers: another program is using UDP port 13365. "
             "Close that program, then press Rescan.")

WEB = ("NAS-One", NAS_ADDR)
# Fills all 32 name bytes, with one outside ASCII: shown whole, byte for byte.
ODD = ("B\xfcro-ABCDEFGHIJKLMNOPQRSTUVWXYZ0", "10.77.0.3")


def entry(server):
    return f"{server[0]} ({server[1]})"


class DialogTests(NetworkCase):
    def setUp(self):
        super().setUp()
        self.mgmt_log = os.path.join(self.net.dir, "mgmt.jsonl")

    def simulate(self, ns, server, **scenario):
        start_server(self.net, ns, self.mgmt_log, "02:00:00:00:00:%02X" % int(server[1].split(".")[3]),
                     server[0], server[1], **scenario)

    def probes(self, name):
        return sum(r["server"] == name for r in records(self.mgmt_log, "probe"))

    def rows(self, dialog):
        """The server list: (selected row, rows)."""
        code, out = self.desk.ui("list", dialog, SERVER_LIST)
        lines = out.splitlines()
        return (int(lines[0].split()[1]), lines[1:]) if code == 0 and lines else (None, [])

    def main_state(self, text, timeout=30):
        main = self.desk.find("Refresh")
        self.assertIsNotNone(main, "no main window")
        return until(lambda: any(t.startswith(text) for t in self.desk.texts(main)), timeout)

    def restart(self, proc):
        proc.kill()
        proc.wait(10)
        return self.desk.start(QUARROW)

    def test_server_selection_cancel_ok_remember_and_rescan(self):
        self.net.start_standin()
        self.simulate(self.net.nas, WEB)
        self.simulate(self.net.add_host(ODD[1]), ODD, discovery={"repeat": 2},
                      discovery_extra=[{"byte68": 6, "name": "NOT-A-SERVER", "address": "10.77.0.9"}])

        # Nothing remembered, and another program holds the discovery port: said so, not an empty
        # list that looks like no server at all.
        holder = self.net.start_program(self.net.pc, [sys.executable, "-c", "import socket, time\n"
                                        "s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)\n"
                                        "s.bind(('', 13365)); print('listening', flush=True); time.sleep(120)"])
        proc = self.desk.start(QUARROW)
        self.assertIsNotNone(self.desk.answer(PORT_BUSY), "no word of the port held by another program")
        dialog = self.desk.find("Rescan")
        self.assertIsNotNone(dialog, "no server selection")
        self.assertTrue(self.main_state("Disconnected"))
        self.assertTrue(until(lambda: self.probes(WEB[0]) == 3))
        time.sleep(0.5)
        self.assertEqual([], self.rows(dialog)[1])
        # Rescan while it is still held says so again; once it is free, Rescan finds the servers.
        self.desk.click(dialog, "Rescan")
        self.assertIsNotNone(self.desk.answer(PORT_BUSY), "Rescan did not say the port is still held")
        holder.kill()
        holder.wait(5)
        self.assertTrue(self.desk.click(dialog, "Rescan"))
        self.assertTrue(until(lambda: len(self.rows(dialog)[1]) == 2))
        self.assertIsNone(self.desk.find(PORT_BUSY, 500))
        # Cancel ends the program without a request.
        self.assertTrue(self.desk.click(dialog, "Cancel"))
        self.assertEqual(0, wait_exit(proc, 20))
        self.assertEqual([], self.log.requests())
        # Three on opening, three at each Rescan, three more to end the receive thread.
        self.assertEqual(12, self.probes(WEB[0]))

        proc = self.desk.start(QUARROW)
        dialog = self.desk.find("Rescan")
        # Every server answers each of the three probes, ODD twice over: one entry each.
        self.assertTrue(until(lambda: len(self.rows(dialog)[1]) == 2 and self.probes(WEB[0]) == 15))
        time.sleep(0.5)
        selection, rows = self.rows(dialog)
        self.assertEqual(0, selection)
        self.assertEqual(sorted([entry(WEB), entry(ODD)]), sorted(rows))
        self.assertEqual(15, self.probes(ODD[0]))
        self.desk.shot(dialog, "select-server")

        # Rescan empties the list and fills it again from three new probes.
        self.assertTrue(self.desk.click(dialog, "Rescan"))
        self.assertTrue(until(lambda: self.probes(WEB[0]) == 18 and len(self.rows(dialog)[1]) == 2))

        # OK with "Keep connecting..." remembers the server and connects to it.
        self.assertEqual(0, self.desk.ui("list-select", dialog, SERVER_LIST, self.rows(dialog)[1].index(entry(WEB)))[0])
        self.assertTrue(self.desk.click(dialog, "Keep connecting to this server and do not ask me."))
        self.assertTrue(self.desk.click(dialog, "OK"))
        self.assertTrue(self.main_state("Ready"))
        settings = self.desk.settings()
        self.assertIn(f"DefaultServer    REG_SZ    {WEB[1]}", settings)
        self.assertIn(f"DefaultServerDisplayName    REG_SZ    {entry(WEB)}", settings)
        self.assertEqual("GET /Quarrow.asp HTTP/1.0", self.log.requests()[0]["request_line"])

        # The next start asks nothing and sends no probe.
        probes = self.probes(WEB[0])
        proc = self.restart(proc)
        self.assertTrue(self.main_state("Ready"))
        self.assertIsNone(self.desk.find("Rescan", 1000))
        self.assertEqual(probes, self.probes(WEB[0]))

    def test_closing_while_replies_pour_in(self):
        # Each probe brings a flood of made-up servers, so the receive thread is
        # busy handing entries to the window when the dialog closes.
        self.simulate(self.net.nas, WEB, flood=1500)
        proc = self.desk.start(QUARROW)
        dialog = self.desk.find("Rescan")
        self.assertTrue(until(lambda: len(self.rows(dialog)[1]) > 50))
        self.desk.click(dialog, "Cancel")
        self.assertEqual(0, wait_exit(proc, 60), "the program did not end after Cancel")

    def test_login_prompts_retries_remembers_and_cancels(self):
        self.net.start_standin("--user", "admin", "--password", "secret")
        self.desk.reg_add(SETTINGS, "DefaultServer", WEB[1])
        self.desk.reg_add(SETTINGS, "DefaultServerDisplayName", entry(WEB))
        subkey = SETTINGS + "\\" + WEB[1]

        proc = self.desk.start(QUARROW)
        login = self.desk.find("Remember my password")
        self.assertIsNotNone(login, "no login prompt")
        self.assertEqual(f"Log in {entry(WEB)}", self.desk.get(login, 0))
        self.assertIsNotNone(self.desk.find("Connecting server...", 2000), "the wait dialog went away")
        self.assertEqual(["", "", "0"], [self.desk.get(login, USER), self.desk.get(login, PASSWORD),
                                         self.desk.out("checked", login, REMEMBER_LOGIN)])
        for control, text in ((USER, "admin"), (PASSWORD, "nope")):
            self.desk.set(login, control, text)
        self.desk.shot(login, "login")
        self.desk.click(login, "Remember my password")
        self.desk.click(login, "OK")

        # Refused again: the same input comes back; what was confirmed is already stored.
        self.assertTrue(until(lambda: self.desk.find("Remember my password", 1000) and
                              self.desk.get(self.desk.find("Remember my password", 1000), USER) == "admin"))
        login = self.desk.find("Remember my password")
        self.assertEqual(["admin", "nope", "1"], [self.desk.get(login, USER), self.desk.get(login, PASSWORD),
                                                  self.desk.out("checked", login, REMEMBER_LOGIN)])
        self.assertIn("Password    REG_SZ    nope", self.desk.settings())
        self.desk.set(login, PASSWORD, "secret")
        self.desk.click(login, "OK")
        self.assertTrue(self.main_state("Ready"))
        probes = [r for r in self.log.requests() if r["path"] == "Quarrow.asp" or r["path"] == "/Quarrow.asp"]
        auths = [auth_of(r) for r in probes if auth_of(r)]
        self.assertEqual(["admin:nope", "admin:secret"], [a for i, a in enumerate(auths) if i == 0 or auths[i - 1] != a])
        self.assertEqual(["Password    REG_SZ    secret", "User    REG_SZ    admin"],
                         sorted(line for line in self.desk.reg_query(subkey) if "REG_SZ" in line))

        # Remembered: the next start logs in without a prompt.
        proc = self.restart(proc)
        self.assertTrue(self.main_state("Ready"))
        self.assertIsNone(self.desk.find("Remember my password", 1000))

        # A stale password prompts (empty fields); confirming with the box clear forgets the server.
        self.desk.reg_add(subkey, "Password", "stale")
        proc = self.restart(proc)
        login = self.desk.find("Remember my password")
        for control, text in ((USER, "admin"), (PASSWORD, "secret")):
            self.desk.set(login, control, text)
        self.desk.click(login, "OK")
        self.assertTrue(self.main_state("Ready"))
        self.assertEqual([], self.desk.reg_query(subkey))

        # Nothing remembered now: Cancel is "Not connected to the server.", then the server selection.
        proc = self.restart(proc)
        login = self.desk.find("Remember my password")
        sent = len(self.log.requests())
        self.desk.click(login, "Cancel")
        self.assertIsNotNone(self.desk.answer("Not connected to the server."))
        selection = self.desk.find("Rescan")
        self.assertIsNotNone(selection, "no server selection after the failed login")
        self.assertTrue(self.main_state("Disconnected"))
        self.desk.click(selection, "Cancel")
        self.assertEqual(0, wait_exit(proc, 20))
        self.assertEqual(sent, len(self.log.requests()))

    def test_a_login_prompt_closes_when_the_operation_times_out(self):
        self.net.start_standin("--user", "admin", "--password", "secret")
        out = os.path.join(self.net.dir, "driver.txt")
        proc = self.desk.start(DRIVER, WEB[1], windows_path(out), "3000")
        self.assertIsNotNone(self.desk.find("Remember my password"), "no login prompt")
        self.assertEqual(0, wait_exit(proc, 30))
        with open(out) as f:
            self.assertEqual(["connect 5516", "login-open 0"], f.read().splitlines())

    def test_folder_dialog_loads_each_level_once_and_returns_the_path(self):
        self.net.start_standin()
        out = os.path.join(self.net.dir, "driver.txt")
        proc = self.desk.start(DRIVER, WEB[1], windows_path(out))
        dialog = self.desk.find("Folder:")
        self.assertIsNotNone(dialog, "no folder dialog")

        def folder_requests():
            return self.log.posts("goform/formNasOpenSubCatalog")

        def prepaths():
            return [b.split(b'name="prePath"\r\n\r\n')[1].split(b"\r\n")[0].decode() for b in folder_requests()]

        self.assertEqual(["[HDD1]|1", "[HDD2]|1"], self.desk.tree(dialog, TREE))
        self.assertEqual(1, sum(r["path"].endswith("nasopenroot.asp") for r in self.log.requests()))

        # A disk is no folder: OK asks for one.
        self.desk.ui("tree-select", dialog, TREE, "[HDD2]")
        self.assertEqual("", self.desk.get(dialog, FOLDER))
        self.desk.click(dialog, "OK")
        self.assertIsNotNone(self.desk.answer("Please select a folder!"))

        steps = [  # (action, path, tree lines expected afterwards, prePaths sent so far)
            ("tree-expand", "[HDD1]", "  Movies|1", ["[HDD1]"]),
            ("tree-expand", "[HDD1]/Movies", "    Classics|1", ["[HDD1]", "[HDD1]Movies\\"]),
            ("tree-expand", "[HDD1]/Movies/New", "    New|0", ["[HDD1]", "[HDD1]Movies\\", "[HDD1]Movies\\New\\"]),
            ("tree-collapse", "[HDD1]", None, None),
            ("tree-expand", "[HDD1]", "  Movies|1", ["[HDD1]", "[HDD1]Movies\\", "[HDD1]Movies\\New\\"]),
        ]
        for action, path, line, sent in steps:
            self.assertEqual(0, self.desk.ui(action, dialog, TREE, path)[0], path)
            if line:
                self.assertTrue(until(lambda: line in self.desk.tree(dialog, TREE) and len(prepaths()) == len(sent)),
                                (action, path, self.desk.tree(dialog, TREE)))
                time.sleep(0.3)
                self.assertEqual(sent, prepaths())
            else:
                time.sleep(0.5)
        self.assertEqual([b'fileType"\r\n\r\nfolder\r\n' in b for b in folder_requests()], [True] * 3)
        self.desk.shot(dialog, "select-path")

        self.desk.ui("tree-select", dialog, TREE, "[HDD1]/Movies/New")
        self.assertTrue(until(lambda: self.desk.get(dialog, FOLDER) == "[HDD1]Movies\\New\\"))
        self.desk.click(dialog, "OK")
        self.assertEqual(0, wait_exit(proc, 20))
        with open(out) as f:
            self.assertEqual(["connect 0", "result 1", "path [HDD1]Movies\\New\\"], f.read().splitlines())


if __name__ == "__main__":
    unittest.main()
