"""What 32-bit and 64-bit programs can use on 64-bit Windows, as /check reads
it from both registry views, and the one program that fails, read from its
headers. Stand-ins of both machines are registered in chosen views; the test
runs the shipped program of either bitness in a 64-bit prefix, in English (the
texts it compares come from the string table that both languages share)."""

import os
import shutil
import subprocess

import pe_files
import wizard_e2e as e2e

SYS64, SYS32 = r"c:\windows\system32", r"c:\windows\syswow64"
COMMON64, COMMON32 = r"c:\program files\common files", r"c:\program files (x86)\common files"
PROVIDER = "{5AE1C0DE-0000-4000-8000-0000000001A1}"
WRONG = "{5AE1C0DE-0000-4000-8000-0000000001A2}"
ACE12 = "{5AE1C0DE-0000-4000-8000-0000000001A3}"
ACE16 = "{5AE1C0DE-0000-4000-8000-0000000001A4}"
CLASSES64, CLASSES32 = r"HKEY_LOCAL_MACHINE\Software\Classes", r"HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node"
SOFTWARE64, SOFTWARE32 = r"HKEY_LOCAL_MACHINE\Software", r"HKEY_LOCAL_MACHINE\Software\Wow6432Node"
USER_ODBC = r"HKEY_CURRENT_USER\Software\ODBC\ODBC.INI"


def expand_sz(text):
    data = (text + "\0").encode("utf-16-le")
    return "hex(2):" + ",".join("%02x" % byte for byte in data)


def quoted(text):
    return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')


def provider_keys(classes, clsid, prog_id, server, expand=False):
    keys = {
        classes + "\\CLSID\\" + clsid: {"@": quoted(prog_id)},
        classes + "\\CLSID\\" + clsid + "\\InprocServer32": {"@": expand_sz(server) if expand else quoted(server)},
        classes + "\\CLSID\\" + clsid + "\\ProgID": {"@": quoted(prog_id)},
    }
    return keys


def registry_file(keys):
    lines = ["Windows Registry Editor Version 5.00", ""]
    for key, values in keys.items():
        lines.append("[%s]" % key)
        for name, data in values.items():
            lines.append("%s=%s" % ("@" if name == "@" else quoted(name), data))
        lines.append("")
    return "\r\n".join(lines)


def scenario_keys():
    keys = {}
    # An OLE DB provider in both views, its file through each view's common
    # files folder, its version-independent name pointing nowhere.
    for classes, name in ((CLASSES64, "prov64.dll"), (CLASSES32, "prov32.dll")):
        keys.update(provider_keys(classes, PROVIDER, "Test.Provider.1",
                                  "%CommonProgramFiles%\\Inventory\\" + name, expand=True))
        keys[classes + "\\CLSID\\" + PROVIDER + "\\OLE DB Provider"] = {"@": quoted("Inventory test provider")}
        keys[classes + "\\CLSID\\" + PROVIDER + "\\VersionIndependentProgID"] = {"@": quoted("Test.Provider")}
    keys[CLASSES64 + "\\Test.Provider\\CurVer"] = {"@": quoted("Test.Provider.2")}
    # A 32-bit file registered in the 64-bit view.
    keys.update(provider_keys(CLASSES64, WRONG, "Test.Wrong.1", SYS32 + "\\inv32.dll"))
    keys[CLASSES64 + "\\CLSID\\" + WRONG + "\\OLE DB Provider"] = {"@": quoted("Wrong bitness")}
    # The Access engine for 32-bit programs only, under "system32"; its newer
    # version for 64-bit programs, with its file gone.
    keys.update(provider_keys(CLASSES32, ACE12, "Microsoft.ACE.OLEDB.12.0", r"C:\windows\system32\inv32.dll"))
    keys[CLASSES64 + "\\Microsoft.ACE.OLEDB.12.0\\CLSID"] = {"@": quoted(ACE12)}
    keys.update(provider_keys(CLASSES64, ACE16, "Microsoft.ACE.OLEDB.16.0",
                              r"C:\Program Files\Common Files\Inventory\gone.dll"))
    keys[CLASSES64 + "\\Microsoft.ACE.OLEDB.16.0\\CLSID"] = {"@": quoted(ACE16)}
    # ODBC drivers: one in both views (a bare name, "system32"), one of the
    # wrong bitness, one for 32-bit programs only, and the Access driver.
    drivers = {
        SOFTWARE64: {"Inventory Test Driver": "inv64.dll", "Odd Bits Driver": SYS32 + "\\inv32.dll"},
        SOFTWARE32: {"Inventory Test Driver": r"%SystemRoot%\system32\inv32.dll", "Only32 Driver": "inv32.dll",
                     "Microsoft Access Driver (*.mdb)": "inv32.dll"},
    }
    for software, listed in drivers.items():
        inst = software + "\\ODBC\\ODBCINST.INI"
        keys[inst + "\\ODBC Drivers"] = {name: quoted("Installed") for name in listed}
        for name, driver in listed.items():
            keys[inst + "\\" + name] = {"Driver": expand_sz(driver) if "%" in driver else quoted(driver),
                                        "Setup": quoted(driver)}
    # Data sources: the user's, whose driver only the 32-bit view has; a
    # 64-bit system one whose driver no view has; a 32-bit Access one whose
    # database is gone.
    keys[USER_ODBC + "\\ODBC Data Sources"] = {"UserDsn32Only": quoted("Only32 Driver")}
    keys[USER_ODBC + "\\UserDsn32Only"] = {"Driver": quoted("inv32.dll")}
    keys[SOFTWARE64 + "\\ODBC\\ODBC.INI\\ODBC Data Sources"] = {"OrphanDsn": quoted("No Such Driver")}
    keys[SOFTWARE32 + "\\ODBC\\ODBC.INI\\ODBC Data Sources"] = {"AccessDsn": quoted("Microsoft Access Driver (*.mdb)")}
    keys[SOFTWARE32 + "\\ODBC\\ODBC.INI\\AccessDsn"] = {"DBQ": quoted(r"C:\data\gone.mdb")}
    # Jet's installable ISAMs: one there, one gone, a format without engine.
    jet = SOFTWARE32 + "\\Microsoft\\Jet\\4.0"
    keys[jet + "\\Engines\\Excel"] = {"win32": quoted(r"C:\windows\system32\inv32.dll")}
    keys[jet + "\\Engines\\Text"] = {"win32": quoted(r"C:\windows\system32\mstext40.dll")}
    keys[jet + "\\ISAM Formats\\dBase 5.0"] = {"Engine": quoted("Xbase")}
    # Access databases open with a 32-bit program.
    keys[CLASSES64 + "\\.accdb"] = {"@": quoted("Inventory.AccessDatabase")}
    keys[CLASSES64 + "\\Inventory.AccessDatabase\\shell\\open\\command"] = {
        "@": quoted(r'"C:\apps\plain32.exe" "%1"')}
    return keys


# (kind, view, name) -> (file, state); file None: not compared.
def expected_items(own):
    ace12 = "ready" if own == "32" else "registered"
    return {
        ("provider", "32", "Test.Provider.1"): (COMMON32 + r"\inventory\prov32.dll", "registered"),
        ("provider", "64", "Test.Provider.1"): (COMMON64 + r"\inventory\prov64.dll", "registered"),
        ("provider", "32", "Test.Provider"): (COMMON32 + r"\inventory\prov32.dll", "not-registered"),
        ("provider", "64", "Test.Provider"): (COMMON64 + r"\inventory\prov64.dll", "not-registered"),
        ("provider", "64", "Test.Wrong.1"): (SYS32 + r"\inv32.dll", "wrong-bitness"),
        ("provider", "32", "Microsoft.ACE.OLEDB.12.0"): (None, ace12),
        ("provider", "64", "Microsoft.ACE.OLEDB.12.0"): ("", "not-registered"),
        ("provider", "32", "Microsoft.ACE.OLEDB.16.0"): ("", "not-registered"),
        ("provider", "64", "Microsoft.ACE.OLEDB.16.0"): (COMMON64 + r"\inventory\gone.dll", "file-missing"),
        ("odbc-driver", "64", "Inventory Test Driver"): (SYS64 + r"\inv64.dll", "present"),
        ("odbc-driver", "32", "Inventory Test Driver"): (SYS32 + r"\inv32.dll", "present"),
        ("odbc-driver", "64", "Odd Bits Driver"): (SYS32 + r"\inv32.dll", "wrong-bitness"),
        ("odbc-driver", "32", "Only32 Driver"): (SYS32 + r"\inv32.dll", "present"),
        ("odbc-driver", "32", "Microsoft Access Driver (*.mdb)"): (SYS32 + r"\inv32.dll", "present"),
        ("dsn", "32", "UserDsn32Only"): (SYS32 + r"\inv32.dll", "usable"),
        ("dsn", "64", "UserDsn32Only"): ("", "driver-missing"),
        ("dsn", "64", "OrphanDsn"): ("", "driver-missing"),
        ("dsn", "32", "AccessDsn"): (SYS32 + r"\inv32.dll", "database-missing"),
        ("isam", "32", "Excel"): (SYS32 + r"\inv32.dll", "present"),
        ("isam", "32", "Text"): (SYS32 + r"\mstext40.dll", "file-missing"),
        ("isam", "32", "dBase 5.0"): ("", "no-engine"),
    }


class InventoryChecks:
    """Needs the walks' prefix helpers and run_program() of CommandLineChecks."""

    def inventory_prefix(self):
        if e2e.ARCH != "x64" and self.kind != "wow64":
            self.skipTest("a 64-bit prefix: the 32-bit one has one view")
        prefix = self.prefix("missing", copy="inventory")
        own_file = e2e.built("WIZARD_STAND_IN")
        other_file = e2e.built("WIZARD_STAND_IN_OTHER_ARCH")
        file64, file32 = (own_file, other_file) if e2e.ARCH == "x64" else (other_file, own_file)
        places = {
            ("windows", "system32", "inv64.dll"): file64,
            ("windows", "syswow64", "inv32.dll"): file32,
            ("Program Files", "Common Files", "Inventory", "prov64.dll"): file64,
            ("Program Files (x86)", "Common Files", "Inventory", "prov32.dll"): file32,
        }
        for parts, source in places.items():
            os.makedirs(prefix.drive_c(*parts[:-1]), exist_ok=True)
            shutil.copy(source, prefix.drive_c(*parts))
        os.makedirs(prefix.drive_c("apps"), exist_ok=True)
        os.makedirs(prefix.drive_c("data"), exist_ok=True)
        programs = {"native64.exe": (pe_files.MACHINE_AMD64, True, None),
                    "plain32.exe": (pe_files.MACHINE_I386, False, None),
                    "anycpu.exe": (pe_files.MACHINE_I386, False, 0x1),
                    "x86only.exe": (pe_files.MACHINE_I386, False, 0x3),
                    "prefer32.exe": (pe_files.MACHINE_I386, False, 0x20003)}
        for name, (machine, plus, flags) in programs.items():
            pe_files.write(prefix.drive_c("apps", name), machine, plus, flags)
        for name in ("orders.accdb", "report.vbs", "notes.txt"):
            with open(prefix.drive_c("data", name), "wb") as file:
                file.write(b"not a program\r\n")
        reg = os.path.join(prefix.path, "inventory.reg")
        with open(reg, "w", encoding="utf-16") as file:
            file.write(registry_file(scenario_keys()))
        # The 64-bit registry editor writes both views by their real paths.
        subprocess.run(["/usr/lib/wine/wine64", "regedit", "/S", e2e.windows_path(reg)], env=prefix.env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        prefix.stop_server()
        return prefix

    def check_lines(self, prefix, *arguments):
        code, _, output, windows = self.run_program(prefix, "/check", *arguments)
        self.assertEqual(windows, [])
        return code, [line.split("\t") for line in output.split("\r\n")[:-1]]

    def test_check_reads_both_views_and_answers_for_the_program_that_fails(self):
        prefix = self.inventory_prefix()
        own = "64" if e2e.ARCH == "x64" else "32"
        code, lines = self.check_lines(prefix)
        items = {}
        for line in lines:
            if line[0] in ("provider", "odbc-driver", "dsn", "isam"):
                self.assertEqual(len(line), 8 if line[0] == "dsn" else 7, line)
                self.assertNotIn((line[0], line[1], line[2]), items, "one line per item and view")
                items[(line[0], line[1], line[2])] = line
        for key, (file, state) in expected_items(own).items():
            self.assertIn(key, items, sorted(items))
            line = items[key]
            self.assertEqual(line[4], state, line)
            if file is not None:
                self.assertEqual(line[3].lower(), file, line)
            self.assertEqual(line[5] != "" or line[6] != "", state not in ("ready", "present", "usable"), line)
        # Created in the program's own view only; every named class has a line in both.
        self.assertTrue(items[("provider", own, "ADODB.Connection")][4] in ("ready", "not-registered"))
        self.assertIn(("provider", "32" if own == "64" else "64", "ADODB.Connection"), items)
        # A user data source names whose it is, a system one nobody.
        self.assertNotEqual(items[("dsn", "32", "UserDsn32Only")][7], "")
        self.assertEqual(items[("dsn", "64", "OrphanDsn")][7], "")
        self.assertEqual(items[("dsn", "64", "UserDsn32Only")][6],
                         self.msg(181).replace("[1:*]", "Only32 Driver").replace("[2:*]", "64"))
        # Nothing for the repair, faults for a person: 4.
        self.assertEqual(code, 4, [line for line in lines if line[0] not in items])

        # A broken class of the table as well: 1. In the x64 run it is Jet's
        # stand-in, which leaves 64-bit programs without Jet, as on Windows.
        broken = 7 if own == "64" else 6
        prefix.fixture("delete", "HKCR\\CLSID\\{5AE1C0DE-0000-4000-8000-0000000000%02X}" % broken)

        # The program that fails, from its headers: PE32+, PE32, and .NET's flags.
        runs_as = {"native64.exe": "64", "plain32.exe": "32", "anycpu.exe": "64", "x86only.exe": "32",
                   "prefer32.exe": "32"}
        if e2e.ARCH == "x86":
            # The headers are read alike by both programs; emulated, one of each bitness is enough.
            runs_as = {name: bits for name, bits in runs_as.items() if name in ("native64.exe", "anycpu.exe",
                                                                                  "x86only.exe")}
        for name, bits in runs_as.items():
            path = "C:\\apps\\" + name
            code, lines = self.check_lines(prefix, "/program:" + path)
            self.assertEqual(code, 1)
            programs = [line for line in lines if line[0] == "program"]
            self.assertEqual([line[:5] for line in programs], [["program", bits, path, path, bits + "-bit"]], name)
            can = {line[2]: line for line in lines if line[0] == "program-can"}
            self.assertEqual({line[1] for line in can.values()}, {bits}, name)
            jet = can["Microsoft.Jet.OLEDB.4.0"]
            if bits == "64":
                self.assertEqual(jet[4:], ["no", jet[5], self.msg(185)], name)
                self.assertEqual(can["Microsoft.ACE.OLEDB.12.0"][4], "no")
            else:
                self.assertEqual(can["Microsoft.ACE.OLEDB.12.0"][4], "yes", name)
                self.assertEqual(can["UserDsn32Only"][4], "yes")
                self.assertEqual(can["AccessDsn"][4], "no")
        # A script answers for its host, an .accdb for the program that opens it and its engine.
        code, lines = self.check_lines(prefix, r"/program:C:\data\report.vbs")
        program = [line for line in lines if line[0] == "program"]
        self.assertEqual([line[1:5] for line in program],
                         [["64", r"C:\data\report.vbs", program[0][3], "64-bit"]])
        self.assertTrue(program[0][3].lower().endswith(r"\system32\wscript.exe"), program)
        self.assertEqual(program[0][6], self.msg(188).replace("[*]", program[0][3]))
        code, lines = self.check_lines(prefix, r"/program:C:\data\orders.accdb")
        program = [line for line in lines if line[0] == "program"]
        self.assertEqual([line[1:5] for line in program],
                         [["32", r"C:\data\orders.accdb", r"C:\apps\plain32.exe", "32-bit"]])
        self.assertIn(self.msg(187), program[0][6])
        can = [line[2] for line in lines if line[0] == "program-can"]
        self.assertNotIn("Microsoft.Jet.OLEDB.4.0", can)
        self.assertIn("Microsoft.ACE.OLEDB.12.0", can)
        # Anything else: told so, nothing checked.
        code, lines = self.check_lines(prefix, r"/program:C:\data\notes.txt")
        self.assertEqual(code, 87)
        self.assertEqual(lines[1:], [["error", self.msg(189).replace("[*]", r"C:\data\notes.txt")]])

