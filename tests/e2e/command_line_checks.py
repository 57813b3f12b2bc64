"""The check and the repair without a window, started as a deployment tool
starts them: the shipped program with arguments, read by its exit code, its
log and its output, with every visible window on the display watched while it
runs. Mixed into the walks of each language, so that the reason texts are
checked in both."""

import collections
import json
import os
import re
import shutil
import subprocess
import tempfile
import time

import wizard_e2e as e2e
from inventory_checks import registry_file

# A line of Wine's own debug channels.
WINE_CHANNEL = re.compile(r"^[0-9a-f]{4}:(fixme|err|warn|trace):")

LISTED = [path for path, _, listed in e2e.CATALOGUE if listed]

# The data-access classes in the order of the log, each with the catalogue
# file that provides it, and the class id the stand-in registers for it.
CLASSES = [
    ("ADODB.Connection", r"%common%\System\ado\MSADO15.DLL"),
    ("ADODB.Recordset", r"%common%\System\ado\MSADO15.DLL"),
    ("ADODB.Command", r"%common%\System\ado\MSADO15.DLL"),
    ("ADODB.Stream", r"%common%\System\ado\MSADO15.DLL"),
    ("ADOX.Catalog", r"%common%\System\ado\MSADOX.DLL"),
    ("JRO.JetEngine", r"%common%\System\ado\MSJRO.DLL"),
    ("Microsoft.Jet.OLEDB.4.0", r"%system%\msjetoledb40.dll"),
    ("MSDASQL", r"%common%\System\Ole DB\MSDASQL.DLL"),
    ("MSDataShape", r"%common%\System\MSADC\MSADDS.DLL"),
    ("MSDAOSP", r"%common%\System\Ole DB\MSDAOSP.DLL"),
    ("DataLinks", r"%common%\System\Ole DB\OLEDB32.DLL"),
    ("MSDASC.MSDAINITIALIZE", r"%common%\System\Ole DB\OLEDB32.DLL"),
]


# What 32-bit and 64-bit programs can use: the inventory's test reads these.
INVENTORY = ("provider", "odbc-driver", "dsn", "isam")
USER_SOURCES = r"HKEY_CURRENT_USER\Software\ODBC\ODBC.INI"


def result_lines(text):
    """The lines of an output or log, split into fields, without the inventory's."""
    lines = [line.split("\t") for line in text.split("\r\n")]
    return [line for line in lines[:-1] if line[0] not in INVENTORY] if text.endswith("\r\n") else lines


def stand_in_class_id(prog_id):
    index = [name for name, _ in CLASSES].index(prog_id) + 1
    return "{5AE1C0DE-0000-4000-8000-0000000000%02X}" % index


class CommandLineChecks:
    """Needs the walks' prefix(), catalogue_path(), msg(), check_registrations()
    and cli_scenario, the scenario of "missing"."""

    def cli_prefix(self):
        """The "missing" scenario in a prefix of its own, which these tests change."""
        return self.prefix("missing", copy="cli")

    def run_with_component(self, prefix, path, built, *arguments):
        """Runs the program with the built file named by the variable `built`
        in place of the catalogue's component at `path`, put back afterwards."""
        component = prefix.existing(self.catalogue_path(path))
        saved = component + ".saved"
        shutil.copy(component, saved)
        shutil.copy(e2e.built(built), component)
        try:
            return self.run_program(prefix, *arguments)
        finally:
            shutil.move(saved, component)

    def run_program(self, prefix, *arguments, close_box=False):
        """Runs the program to its end: its exit code, seconds, output and the
        windows that showed while it ran; self.errors: its error output.
        close_box: presses Enter on the message box until it closes."""
        inspector = prefix.start_inspector()
        registrations = prefix.drive_c("registrations.txt")
        if os.path.exists(registrations):
            os.remove(registrations)
        env = dict(prefix.env, WIZARD_REGISTRATION_LOG="C:\\registrations.txt")
        started = time.monotonic()
        # Into files: a pipe nobody reads while the program runs could fill and stop it.
        out_file = tempfile.TemporaryFile(dir=prefix.path)
        err_file = tempfile.TemporaryFile(dir=prefix.path)
        process = subprocess.Popen([prefix.wine_command, e2e.built("WIZARD_PROGRAM")] + list(arguments), env=env,
                                   stdout=out_file, stderr=err_file)
        windows = []
        pressed = None
        try:
            while process.poll() is None:
                if time.monotonic() - started > 60:
                    self.fail("%s did not end within a minute; windows seen: %r" % (" ".join(arguments), windows))
                state = e2e.State(inspector.ask("windows"))
                for window in state.popups:
                    if window not in windows:
                        windows.append(window)
                # Again after a second: a box seen as it opens may not have
                # the keyboard yet, above all under the 32-bit emulation.
                if close_box and state.popups and (pressed is None or time.monotonic() - pressed > 1):
                    left, top, right, bottom = e2e._rect(state.popups[0]["rect"])
                    self.display.move((left + right) // 2, (top + bottom) // 2)
                    self.display.key("Return")
                    pressed = time.monotonic()
                time.sleep(0.05)
            seconds = time.monotonic() - started
        finally:
            if process.poll() is None:
                process.kill()
            process.wait()
        out_file.seek(0)
        err_file.seek(0)
        output = out_file.read().decode("utf-8")
        # Wine's own complaints are no part of what the program says.
        self.errors = "".join(line for line in err_file.read().decode("utf-8").splitlines(True)
                              if not WINE_CHANNEL.match(line))
        out_file.close()
        err_file.close()
        return process.returncode, seconds, output, windows

    def missing_code(self, prefix, path):
        """A file that is there without version information (Wine brings its
        own builds of a few), or one that is not there at all."""
        return "0x00000715" if prefix.existing(self.catalogue_path(path)) else "0x00000002"

    def log_lines(self, prefix, name):
        with open(prefix.drive_c(name), "rb") as log:
            text = log.read().decode("utf-8")
        self.assertTrue(text.endswith("\r\n"), "lines end in CR LF")
        return result_lines(text)

    def assertHeader(self, line, mode):
        self.assertEqual(line[:2], ["#MdacRepair", mode])
        self.assertRegex(line[2], r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$")

    def assertFileLine(self, line, path, version, keyword, code=""):
        """name, version, path, keyword, code, reason"""
        self.assertEqual(len(line), 6, line)
        self.assertEqual(line[0], e2e.file_name(path))
        self.assertEqual(line[1], version or "N/A")
        self.assertEqual(line[2].lower(), self.catalogue_path(path).lower())
        self.assertEqual(line[3:5], [keyword, code], line)
        self.assertEqual(line[5] != "", code != "", "a reason goes with each code: %r" % line)

    def assertClassLines(self, lines, keyword, scenario, broken=None):
        """keyword, ProgID, path, state, code, reason. Every class whose file
        the scenario installed is ready, served by that file (the stand-in
        registered it); the others are not registered. broken: ProgID ->
        (state, path, code) for those a test broke."""
        broken = broken or {}
        self.assertEqual([line[:2] for line in lines], [[keyword, name] for name, _ in CLASSES])
        for line, (name, path) in zip(lines, CLASSES):
            self.assertEqual(len(line), 6, line)
            if name in broken:
                state, found, code = broken[name]
                self.assertEqual([line[2].lower(), line[3], line[4]], [found.lower(), state, code], line)
                self.assertNotEqual(line[5], "", line)
            elif scenario.file_version(path) is not None:
                self.assertEqual([line[2].lower(), line[3:]], [self.catalogue_path(path).lower(), ["ready", "", ""]])
            else:
                self.assertEqual(line[2:5], ["", "not-registered", "0x800401F3"], line)

    # ---- the tests ----------------------------------------------------------------------

    def test_check_reports_the_versions_and_files_and_whether_an_update_is_due(self):
        prefix = self.cli_prefix()
        scenario = self.cli_scenario
        code, _, output, windows = self.run_program(prefix, "/check", "/log:C:\\check.log")
        self.assertEqual((code, output, windows), (0, "", []))
        lines = self.log_lines(prefix, "check.log")
        self.assertHeader(lines[0], "check")
        self.assertEqual(lines[1:3], [["MDAC", "2.81.1117.0", "latest"], ["Jet", "4.0.8618", "latest"]])
        self.assertEqual(len(lines), 3 + len(LISTED) + len(CLASSES))
        self.assertClassLines(lines[3 + len(LISTED):], "class", scenario)
        for line, path in zip(lines[3:], LISTED):
            version = scenario.file_version(path)
            if version is None:
                self.assertFileLine(line, path, None, "missing", self.missing_code(prefix, path))
            else:
                self.assertFileLine(line, path, version, "matches" if version.startswith("2.81") else "differs")

        # Options in any case, with "-"; without /log the lines go to the output it was given.
        prefix.fixture("sz", r"HKLM\Software\Microsoft\DataAccess", "FullInstallVer", "2.80.1022.0")
        code, _, output, windows = self.run_program(prefix, "-CHECK")
        prefix.fixture("sz", r"HKLM\Software\Microsoft\DataAccess", "FullInstallVer", "2.81.1117.0")
        self.assertEqual((code, windows), (1, []))
        lines = result_lines(output)
        self.assertHeader(lines[0], "check")
        self.assertEqual(lines[1], ["MDAC", "2.80.1022.0", "update"])
        self.assertEqual(lines[3][3], "differs", "MSADO15 2.81 is not MDAC 2.80's")

    def test_repair_registers_what_the_wizard_registers_and_reports_every_entry(self):
        prefix = self.cli_prefix()
        scenario = self.cli_scenario
        code, _, output, windows = self.run_program(prefix, "/Repair", "-Log:C:\\repair.log")
        self.assertEqual((code, output, windows), (0, "", []))
        # The same files in the same order as the window's run (the walks check it against the same list).
        self.check_registrations(prefix, scenario)
        lines = self.log_lines(prefix, "repair.log")
        self.assertHeader(lines[0], "repair")
        self.assertEqual(len(lines), 1 + len(CLASSES) + len(e2e.CATALOGUE) + len(CLASSES))
        self.assertClassLines(lines[1:1 + len(CLASSES)], "class-before", scenario)
        self.assertClassLines(lines[-len(CLASSES):], "class-after", scenario)
        for line, (path, registered, _) in zip(lines[1 + len(CLASSES):], e2e.CATALOGUE):
            version = scenario.file_version(path)
            if not registered:
                self.assertFileLine(line, path, version, "not-registered")
            elif version is None:
                self.assertFileLine(line, path, None, "missing", self.missing_code(prefix, path))
            else:
                self.assertFileLine(line, path, version, "registered")
        # That it makes no pauses is shown in-process; its time is the benchmark's.

        # One component that refuses: reported with its HRESULT, the others registered still.
        code, _, _, windows = self.run_with_component(prefix, r"%common%\System\ado\MSJRO.DLL",
                                                      "WIZARD_STAND_IN_FAILING", "/repair", "/log:C:\\repair.log")
        self.assertEqual((code, windows), (1, []))
        lines = self.log_lines(prefix, "repair.log")
        failed = [line for line in lines[1:] if line[3] == "failed"]
        # Its class stays registered as before: the stand-in that failed wrote nothing.
        jro = lines[-len(CLASSES) + 5]
        self.assertEqual([jro[0], jro[1], jro[2].lower(), jro[3]],
                         ["class-after", "JRO.JetEngine",
                          self.catalogue_path(r"%common%\System\ado\MSJRO.DLL").lower(), "ready"])
        self.assertEqual([line[0] for line in failed], ["MSJRO.DLL"])
        self.assertEqual(failed[0][4], "0x80004005")
        self.assertNotEqual(failed[0][5], "")
        self.check_registrations(prefix, scenario)

    def test_broken_classes_are_found_by_check_and_mended_by_repair(self):
        prefix = self.cli_prefix()
        scenario = self.cli_scenario
        jro, osp = stand_in_class_id("JRO.JetEngine"), stand_in_class_id("MSDAOSP")
        nowhere = "C:\\nowhere\\MSDAOSP.DLL"
        prefix.fixture("delete", "HKCR\\CLSID\\" + jro, "sz", "HKCR\\CLSID\\%s\\InprocServer32" % osp, "", nowhere)
        broken = {"JRO.JetEngine": ("not-registered", "", "0x80040154"),
                  "MSDAOSP": ("file-missing", nowhere, "0x00000003")}
        code, _, output, windows = self.run_program(prefix, "/check")
        self.assertEqual((code, windows), (1, []), "broken classes of present files")
        lines = result_lines(output)
        self.assertClassLines(lines[-len(CLASSES):], "class", scenario, broken)

        code, _, _, windows = self.run_program(prefix, "/repair", "/log:C:\\repair.log")
        self.assertEqual((code, windows), (0, []))
        lines = self.log_lines(prefix, "repair.log")
        self.assertClassLines(lines[1:1 + len(CLASSES)], "class-before", scenario, broken)
        self.assertClassLines(lines[-len(CLASSES):], "class-after", scenario)

        # A registration that reports success and writes nothing, as under
        # the compatibility shim: the class stays broken, the run fails.
        prefix.fixture("delete", "HKCR\\CLSID\\" + osp)
        try:
            code, _, _, windows = self.run_with_component(prefix, r"%common%\System\Ole DB\MSDAOSP.DLL",
                                                          "WIZARD_STAND_IN_WRITES_NOTHING", "/repair",
                                                          "/log:C:\\repair.log")
        finally:
            prefix.fixture("register", r"%common%\System\Ole DB\MSDAOSP.DLL")
        self.assertEqual((code, windows), (1, []))
        lines = self.log_lines(prefix, "repair.log")
        self.assertEqual([line[3] for line in lines[1 + len(CLASSES):-len(CLASSES)] if line[0] == "MSDAOSP.DLL"],
                         ["registered"], "its DllRegisterServer said S_OK")
        self.assertClassLines(lines[-len(CLASSES):], "class-after", scenario,
                              {"MSDAOSP": ("not-registered", "", "0x80040154")})

    def test_a_command_line_that_is_not_understood_changes_nothing(self):
        prefix = self.cli_prefix()
        # With /repair: no window, nothing registered, the reason in the log.
        code, _, output, windows = self.run_program(prefix, "/repair", "/bogus", "/log:C:\\bad.log")
        self.assertEqual((code, output, windows), (87, "", []))
        self.assertFalse(os.path.exists(prefix.drive_c("registrations.txt")))
        lines = self.log_lines(prefix, "bad.log")
        self.assertHeader(lines[0], "repair")
        self.assertEqual(lines[1:], [["error", self.msg(171).replace("[*]", "/bogus")]])
        code, _, output, windows = self.run_program(prefix, "/check", "/repair")
        self.assertEqual((code, windows), (87, []))
        self.assertEqual(output.split("\r\n")[1], "error\t" + self.msg(172))

        # A log that cannot be written: exit code 2 and nothing else.
        code, _, output, windows = self.run_program(prefix, "/repair", "/log:C:\\no such folder\\repair.log")
        self.assertEqual((code, output, windows), (2, "", []))
        self.assertFalse(os.path.exists(prefix.drive_c("registrations.txt")))

        # Without /check or /repair: the usage, with the reason first.
        code, _, _, windows = self.run_program(prefix, "/bogus", close_box=True)
        self.assertEqual(code, 87)
        # A message box; its title is read only up to the first blank.
        self.assertEqual([window["class"] for window in windows], ["#32770"])
        self.assertEqual(windows[0]["title"], self.msg(100).split()[0])
        self.assertIn(self.msg(171).replace("[*]", "/bogus") + "\n\n" + self.msg(170), windows[0]["texts"])
        code, _, _, windows = self.run_program(prefix, "/?", close_box=True)
        self.assertEqual(code, 0)
        self.assertEqual([window["class"] for window in windows], ["#32770"])
        self.assertIn(self.msg(170), windows[0]["texts"])

    # ---- JSON Lines for deployment engines ----------------------------------------------

    def json_lines(self, text):
        """Every line an object, the text ASCII whatever the language."""
        self.assertTrue(all(byte < 0x80 for byte in text.encode("utf-8")), "ASCII only")
        self.assertTrue(text.endswith("\r\n"))
        return [json.loads(line) for line in text.split("\r\n")[:-1]]

    def assertSummary(self, line, mode, exit_code, meaning, objects=()):
        """The summary's own facts, and its counts against the lines before it."""
        self.assertLessEqual(len(line), 2048)
        summary = json.loads(line)
        self.assertEqual([summary["kind"], summary["mode"], summary["exit"], summary["meaning"]],
                         ["summary", mode, exit_code, meaning])
        self.assertEqual(list(summary)[:6], ["kind", "version", "mode", "exit", "meaning", "computer"])
        self.assertRegex(summary["version"], r"^\d+\.\d+\.\d+\.\d+$")
        self.assertRegex(summary["utc"], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$")
        self.assertIsInstance(summary["seconds"], float)
        self.assertEqual(summary["programBits"], 64 if e2e.ARCH == "x64" else 32)
        self.assertEqual(summary["windows"]["bits"], 32 if e2e.ARCH == "x86" and self.kind != "wow64" else 64)
        self.assertNotEqual(summary["account"], "")
        if objects:
            def tally(kind, key):
                return dict(collections.Counter(o[key] for o in objects if o["kind"] == kind))
            counts = summary["counts"]
            self.assertEqual(counts["files"], tally("file", "result"))
            self.assertEqual(counts["classes"], tally("class" if mode == "check" else "class-after", "result"))
            inventory = collections.defaultdict(collections.Counter)
            for o in objects:
                if o["kind"] in INVENTORY:
                    inventory[str(o["view"])][o["state"]] += 1
            self.assertEqual(counts["inventory"], {view: dict(states) for view, states in inventory.items()})
        return summary

    def test_json_lines_end_in_one_summary_that_deployment_engines_read(self):
        # Its own copy: the data sources it adds would give the others' checks exit code 4.
        prefix = self.prefix("missing", copy="json")
        jro, osp = stand_in_class_id("JRO.JetEngine"), stand_in_class_id("MSDAOSP")
        prefix.fixture("delete", "HKCR\\CLSID\\" + jro, "sz", "HKCR\\CLSID\\%s\\InprocServer32" % osp, "",
                       "C:\\nowhere\\MSDAOSP.DLL")
        # The same facts as the tab-separated lines, in their order, under names.
        code, _, tabbed, windows = self.run_program(prefix, "/check")
        self.assertEqual((code, windows, self.errors), (1, [], ""))
        code, _, output, windows = self.run_program(prefix, "/check", "/json")
        self.assertEqual((code, windows, self.errors), (1, [], ""), "nothing on the error output of a run that ran")
        objects = self.json_lines(output)
        rows = [line.split("\t") for line in tabbed.split("\r\n")[:-1]]
        self.assertEqual(len(objects), len(rows) + 1)
        self.assertEqual(objects[0]["kind"], "header")
        self.assertEqual([objects[0]["mode"], objects[0]["computer"]], rows[0][1:2] + rows[0][3:])
        for o, row in zip(objects[1:], rows[1:]):
            values = [str(value) for value in list(o.values())[1:]]
            self.assertEqual(values, row if o["kind"] in ("file", "version") else row[1:], o)
            self.assertEqual(o["kind"], {"MDAC": "version", "Jet": "version"}.get(row[0], o["kind"]))
        kinds = {o["kind"] for o in objects[1:-1]}
        self.assertTrue({"version", "file", "class", "provider"} <= kinds <= {"version", "file", "class"} | set(INVENTORY),
                        kinds)
        self.assertEqual(objects[1], {"kind": "version", "item": "MDAC", "version": "2.81.1117.0", "verdict": "latest"})
        summary = self.assertSummary(output.split("\r\n")[-2], "check", 1, "repair-recommended", objects[1:-1])
        self.assertEqual(summary["mdac"], {"version": "2.81.1117.0", "verdict": "latest"})
        self.assertEqual([summary["repairable"], summary["faults"][:2], summary["faultsLeftOut"]],
                         [2, ["class JRO.JetEngine: not-registered", "class MSDAOSP: file-missing"], 0])
        self.assertGreater(summary["counts"]["files"]["missing"], 0, "the scenario's missing files")

        # With a log: the output is exactly the summary, the log's last line.
        code, _, output, windows = self.run_program(prefix, "/repair", "/json", "/log:C:\\repair.json")
        self.assertEqual((code, windows, self.errors), (0, [], ""))
        with open(prefix.drive_c("repair.json"), "rb") as log:
            logged = log.read().decode("ascii")
        objects = self.json_lines(logged)
        self.assertEqual(output, logged.split("\r\n")[-2] + "\r\n")
        self.assertEqual(objects[0]["mode"], "repair")
        summary = self.assertSummary(output.strip(), "repair", 0, "repaired", objects[1:-1])
        self.assertEqual([summary["repairable"], summary["counts"]["classesBefore"].get("file-missing")], [0, 1])
        self.assertFalse([fault for fault in summary["faults"] if fault.startswith("class ")])

        # Hundreds of faults for a person: the line keeps its limit and says how many it left out.
        names = ["Bestellungen M\u00fcller %03d \u20ac" % number for number in range(300)]
        keys = {USER_SOURCES + "\\ODBC Data Sources": {name: '"No Such Driver"' for name in names}}
        reg = os.path.join(prefix.path, "many.reg")
        with open(reg, "w", encoding="utf-16") as file:
            file.write(registry_file(keys))
        prefix.wine("regedit", "/S", e2e.windows_path(reg))
        code, _, output, windows = self.run_program(prefix, "/check", "/json", "/log:C:\\many.json")
        self.assertEqual((code, windows, self.errors), (4, [], ""))
        self.assertEqual(output.count("\r\n"), 1)
        with open(prefix.drive_c("many.json"), "rb") as log:
            objects = self.json_lines(log.read().decode("ascii"))
        summary = self.assertSummary(output.strip(), "check", 4, "needs-person", objects[1:-1])
        faulty = [o for o in objects if o["kind"] == "dsn" and o["name"] in names]
        self.assertEqual({o["name"] for o in faulty}, set(names), "names escaped and read back")
        self.assertGreater(summary["faultsLeftOut"], 0)
        self.assertGreaterEqual(len(summary["faults"]) + summary["faultsLeftOut"], len(faulty))
        self.assertIn("dsn/%s %s: driver-missing" % (faulty[0]["view"], names[0]), summary["faults"])
        self.assertEqual(faulty[0]["account"], summary["account"], "a user data source names its account")

        # A log that cannot be written: 2 as ever, the summary on the output, why on the error output.
        path = "C:\\no such folder\\check.json"
        code, _, output, windows = self.run_program(prefix, "/check", "/json", "/log:" + path)
        self.assertEqual((code, windows), (2, []))
        self.assertSummary(output.strip(), "check", 2, "log-not-writable")
        self.assertEqual(self.errors, self.msg(238).replace("[*]", path) + "\r\n")
