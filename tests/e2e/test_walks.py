#!/usr/bin/env python3
"""End-to-end walks through the shipped wizard, operated from outside.

Each walk starts dist/<arch>/MdacRepair.exe as a process of its own under Wine,
clicks and types on the X display as a person would, reads the window through
the window inspector, and ends with the process gone. The interface language
comes from WIZARD_E2E_LANGUAGE ("en" or "de"; both when unset). Every prefix
is prepared before the program starts:
  current   MDAC 2.81 with every component and Jet 4.0.8618
  xp        Windows XP, MDAC 2.80 with its components and an old Jet
  fresh     a new prefix: no MDAC registry key, no Jet
  missing   MDAC 2.81 and Jet 4.0.8618, some components missing, one
            without version information and one of an older version
"""

import os
import shutil
import re
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pe_files  # noqa: E402
import wizard_e2e as e2e  # noqa: E402
from command_line_checks import CommandLineChecks, result_lines  # noqa: E402
from inventory_checks import InventoryChecks  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


# ---- the texts the wizard should show --------------------------------------------------

def load_messages():
    """The string table of resources/strings.rc, per language."""
    tables, current = {}, None
    with open(os.path.join(ROOT, "resources", "strings.rc"), encoding="utf-8") as rc:
        for line in rc:
            language = re.match(r"\s*LANGUAGE\s+0x(\d+)", line)
            if language:
                current = tables.setdefault({"09": "en", "07": "de"}[language.group(1)], {})
                continue
            entry = re.match(r'\s*(\d+),\s*"(.*)"\s*$', line)
            if entry and current is not None:
                text = entry.group(2).replace('""', '"')
                text = re.sub(r"\\(.)", lambda m: {"n": "\n", "t": "\t", "r": "\r"}.get(m.group(1), m.group(1)), text)
                current[int(entry.group(1))] = text
    return tables


MESSAGES = load_messages()

# A few texts spelled out, so that a wrong table cannot pass unnoticed.
LITERAL = {
    "en": {"next": "Next >", "back": "< Back", "cancel": "Cancel", "close": "Close",
           "not_available": "Not available"},
    "de": {"next": "Weiter >", "back": "< Zur\u00fcck", "cancel": "Abbrechen", "close": "Schlie\u00dfen",
           "not_available": "Nicht vorhanden"},
}

MDAC_DOWNLOAD, REPAIR_INSTRUCTIONS, XP_SERVICE_PACK = 117, 120, 122
# The roles a screen reader announces.
ROLE_LINK, ROLE_LIST, ROLE_GRAPHIC, ROLE_PROGRESS = 30, 33, 40, 48
# Pictures that say nothing, and the page panels, which only hold the others.
UNNAMED = {"imgBigPicture", "imgDownArrow", "pic1", "pic2", "pic3", "pic4", "pic5"}
URLS = {
    "en": {REPAIR_INSTRUCTIONS: "https://www.velmorant.example/en/download/repair_mdac.html",
           XP_SERVICE_PACK: "https://www.velmorant.example/en/download/mdac_xp_sp2.html",
           MDAC_DOWNLOAD: "https://www.velmorant.example/en/download/mdac.html"},
    "de": {REPAIR_INSTRUCTIONS: "https://www.velmorant.example/de/download/mdac_reparieren.html",
           XP_SERVICE_PACK: "https://www.velmorant.example/de/download/mdac_xp_sp2.html",
           MDAC_DOWNLOAD: "https://www.velmorant.example/de/download/mdac.html"},
}

COMMON_FILES = r"C:\Program Files\Common Files"
SYSTEM = r"C:\windows\system32"


def px(twips, dpi=96):
    """Twips to pixels, rounded as MulDiv rounds."""
    return (twips * dpi + 720) // 1440


# ---- the scenarios ---------------------------------------------------------------------

Scenario = e2e.Scenario


SCENARIOS = {
    "current": Scenario("current", mdac="2.81.1117.0", jet="4.0.8618.0", components="2.81.1117.0"),
    "xp": Scenario("xp", mdac="2.80.1022.0", jet="4.0.2927.0", components="2.80.1022.0", xp=True),
    "fresh": Scenario("fresh"),
    # FullInstallVer lags behind the files, which carry the Windows version.
    "win10": Scenario("win10", mdac="6.3.9600.16384", jet="4.0.9801.0", components="10.0.19041.1", windows="win10"),
    "missing": Scenario("missing", mdac="2.81.1117.0", jet="4.0.8618.0", components="2.81.1117.0",
                        missing={"MSADOX.DLL", "MSADCE.DLL", "MSDAPS.DLL", "MSDAER.DLL"},
                        unversioned={"MSDATT.DLL"}, older={"MSADOR15.DLL": "2.80.1022.0"}),
}
# The same on a screen of 200 %.
SCENARIOS["missing-hidpi"] = Scenario("missing-hidpi", mdac="2.81.1117.0", jet="4.0.8618.0", components="2.81.1117.0",
                                      missing=SCENARIOS["missing"].missing, unversioned={"MSDATT.DLL"},
                                      older={"MSADOR15.DLL": "2.80.1022.0"}, dpi=192)

# What a new Wine prefix holds of the components: Wine's own builds of four of
# them, of which only oledb32 carries a version.
FRESH_PREFIX_FILES = {"OLEDB32.DLL": ("2.81.1117", COMMON_FILES + r"\System\Ole DB\OLEDB32.DLL")}


class Walks(unittest.TestCase):
    """The walks in one interface language; subclasses name it."""

    language = None
    display = None
    base = None
    prefixes = {}
    kind = None  # the prefix's architecture: the one under test
    common_files = COMMON_FILES  # as the program under test sees it
    cli_scenario = SCENARIOS["missing"]
    file_page_scenario = "missing"  # the walk that reaches the file page

    @classmethod
    def setUpClass(cls):
        if cls.language is None:
            raise unittest.SkipTest("no language")
        cls.root = e2e.work_root("e2e-" + cls.language + ("-" + cls.kind if cls.kind else ""))
        cls.display = e2e.Display()
        cls.base = e2e.Prefix(os.path.join(cls.root, "base"), cls.language, cls.display, kind=cls.kind)
        cls.prefixes = {}

    @classmethod
    def tearDownClass(cls):
        for prefix in cls.prefixes.values():
            prefix.stop()
        if cls.base is not None:
            cls.base.stop()
        if cls.display is not None:
            cls.display.stop()

    # ---- helpers -----------------------------------------------------------------------

    def prefix(self, scenario_name, copy=None):
        """The scenario's prefix; copy: a prefix of that name with the same
        scenario, for tests that change it."""
        key = copy or scenario_name
        if key not in self.prefixes:
            prefix = e2e.Prefix(os.path.join(self.root, key), self.language, self.display,
                                base=self.base.path, kind=self.kind)
            prefix.prepare(SCENARIOS[scenario_name])
            self.prefixes[key] = prefix
        prefix = self.prefixes[key]
        prefix.clear_opened_urls()
        return prefix

    def catalogue_path(self, path):
        """A catalogue path as the program under test spells it."""
        return path.replace("%common%", self.common_files).replace("%system%", SYSTEM)

    def start(self, scenario_name):
        prefix = self.prefix(scenario_name)
        log = prefix.drive_c("registrations.txt")
        if os.path.exists(log):
            os.remove(log)
        wizard = prefix.start_wizard({"WIZARD_REGISTRATION_LOG": "C:\\registrations.txt"})
        self.addCleanup(self.assert_gone, wizard)
        return wizard

    def assert_gone(self, wizard):
        if wizard.alive():
            wizard.kill()
            self.fail("the wizard was still running at the end of the walk")

    def msg(self, number):
        return MESSAGES[self.language][number]

    def fmt(self, number, insert):
        return self.msg(number).replace("[*]", insert)

    def word(self, key):
        return LITERAL[self.language][key]

    def url(self, number):
        return URLS[self.language][number]

    def assertGone(self, wizard, timeout=10):
        self.assertTrue(wizard.wait_gone(timeout), "the wizard's process did not end")

    def assertStays(self, wizard, page, seconds=0.4):
        time.sleep(seconds)
        self.assertTrue(wizard.alive(), "the wizard ended")
        self.assertEqual(wizard.snapshot().front, page)

    def assertNoPageOpened(self, prefix):
        # A browser started before the end would have written by now.
        time.sleep(1.0)
        self.assertEqual(prefix.opened_urls(), [])

    def wait_url(self, prefix, url, timeout=15):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if url in prefix.opened_urls():
                return
            time.sleep(0.1)
        self.fail("the browser was not asked for %s (asked: %r)" % (url, prefix.opened_urls()))

    def assertButtons(self, state, back, next_, cancel, cancel_text):
        self.assertEqual(state.text("cmdZur\u00fcck"), self.word("back"))
        self.assertEqual(state.text("cmdWeiter"), self.word("next"))
        self.assertEqual(state.text("cmdAbbrechen"), cancel_text)
        self.assertEqual((state.enabled("cmdZur\u00fcck"), state.enabled("cmdWeiter"), state.enabled("cmdAbbrechen")),
                         (back, next_, cancel), "Back, Next, Cancel enabled")

    def assertOnlyFrontPageSeen(self, state):
        """What assistive technology reads of the window: the controls of the
        page in front and the button bar, nothing of the pages behind it."""
        # Pages not needed yet may not be made yet.
        made = {name: control for name, control in state.controls.items() if "missing" not in control}
        bar_and_front = {name for name, control in made.items() if control["visible"] == "1" and (
            name == state.front or control["parent"] == state.front
            or (control["parent"] == "window" and not name.startswith("pic")))}
        self.assertEqual(sorted(state.seen()), sorted(bar_and_front))
        behind = [state.text(name) for name in made if made[name]["parent"] not in
                  (state.front, "window") and state.text(name) and name in state.seen()]
        self.assertEqual(behind, [], "texts of covered pages are readable")

    def assertNamed(self, found, control, role):
        """The control's name is there, in this language and not the other."""
        facts = found[control]
        self.assertIsNotNone(facts, control)
        self.assertEqual(facts["role"], role, control)
        self.assertTrue(facts["name"].strip(), control + " has no name")
        other = "de" if self.language == "en" else "en"
        self.assertNotIn(facts["name"], MESSAGES[other].values(), control + " is named in the other language")
        return facts

    def check_screen_reader(self, wizard, state):
        """What a screen reader reads of the page in front and the bar, from
        another process: every control it reaches has a name, but for the
        pictures that say nothing; icons, links and the list say what they are."""
        found = wizard.inspector.accessible()
        for control in state.seen():
            if control in UNNAMED:
                continue
            self.assertTrue(found.get(control) and found[control]["name"].strip(), control + " has no name")
        if state.front == "pic1":
            self.assertEqual((found["imgBigPicture"]["role"], found["imgBigPicture"]["name"]), (ROLE_GRAPHIC, ""))
        if state.front == "pic2":
            icons = [name for name in ("imgMDACVerOK", "imgMDACVerProb", "imgJetVerOK", "imgJetVerProb")
                     if state.visible(name)]
            names = {name: self.assertNamed(found, name, ROLE_GRAPHIC)["name"] for name in icons}
            # A check mark and a warning never say the same; a warning for
            # what is not there says so.
            marks = {names[name] for name in icons if name.endswith("OK")}
            warnings = {names[name] for name in icons if name.endswith("Prob")}
            self.assertFalse(marks & warnings, names)
            scenario = getattr(self, "current_scenario", None)
            if scenario is not None and state.visible("imgJetVerProb"):
                self.assertEqual(names["imgJetVerProb"] == self.word("not_available"), not scenario.jet, names)
        for link in ("lblDownloadMDAC", "lblRepairUrl"):
            if link in state.seen():
                facts = self.assertNamed(found, link, ROLE_LINK)
                self.assertEqual(facts["name"], state.text(link))
                self.assertTrue(facts["action"], link + " has no default action")
        if state.front == "pic4":
            facts = self.assertNamed(found, "lvwMDACFiles", ROLE_LIST)
            rows, _ = wizard.inspector.rows()
            self.assertEqual(facts["children"], len(rows))
            # A row says in words what its icon shows.
            _, name, version, path = rows[0]
            self.assertTrue(facts["first"].startswith(", ".join([name, version, path]) + ", "), facts["first"])
        return found

    def check_welcome(self, wizard, first=True):
        # At start-up the focus goes to Next just after the window shows.
        state = wizard.wait_for(lambda s: s.focus == "cmdWeiter", 5, "the focus on Next") if first \
            else wizard.snapshot()
        self.assertEqual(state.front, "pic1")
        self.assertOnlyFrontPageSeen(state)
        self.assertEqual(state.window["title"], self.msg(100))
        self.assertEqual(state.text("lblWillkommen"), self.msg(112))
        self.assertEqual(state.text("Label10"), self.msg(108) + "\r\r\r\r" + self.msg(110))
        self.assertButtons(state, False, True, True, self.word("cancel"))
        if first:
            self.check_screen_reader(wizard, state)

    def next_to_versions(self, wizard, scenario_name):
        wizard.click("cmdWeiter")
        try:
            state = wizard.wait_page("pic2")
        except AssertionError:
            # The emulated Wine has lost a click on the welcome page once in
            # many runs; a click it only delayed would show as the page after.
            if wizard.snapshot().front != "pic1":
                raise
            wizard.click("cmdWeiter")
            state = wizard.wait_page("pic2")
        self.check_versions(state, SCENARIOS[scenario_name])
        self.check_screen_reader(wizard, state)
        return state

    def check_versions(self, state, scenario):
        prefix = (scenario.mdac or "")[:4]
        # The leading decimal number: "6.3." reads as 6.3.
        mdac_latest = bool(scenario.mdac) and float(re.match(r"\d+(\.\d+)?", prefix).group()) >= 2.81
        jet_text = ".".join(scenario.jet.split(".")[:3]) if scenario.jet else self.word("not_available")
        jet_latest = bool(scenario.jet) and int(scenario.jet.split(".")[2]) >= 8015
        mdac = self.fmt(103, prefix)
        link = None
        if mdac_latest:
            mdac += self.msg(145)
        elif scenario.xp:
            mdac += self.msg(128)
        else:
            mdac += " " + self.msg(114)
            link = self.url(MDAC_DOWNLOAD)
        jet = self.fmt(143, jet_text)
        if jet_latest:
            jet += "\r" + self.msg(153)
        else:
            jet += self.msg(144) + self.msg(147)
            link = self.url(MDAC_DOWNLOAD)
        self.assertOnlyFrontPageSeen(state)
        self.assertEqual(state.text("Label19"), self.msg(107))
        self.assertEqual(state.text("lblHeaderExplanation1"), self.msg(113))
        self.assertEqual(state.text("lblMDACVerHeader"), self.msg(151))
        self.assertEqual(state.text("lblJetVerHeader"), self.msg(152))
        self.assertEqual(state.text("lblMDACVerDescr"), mdac)
        self.assertEqual(state.text("lblJetVerDescr"), jet)
        self.assertEqual((state.visible("imgMDACVerOK"), state.visible("imgMDACVerProb")), (mdac_latest, not mdac_latest))
        self.assertEqual((state.visible("imgJetVerOK"), state.visible("imgJetVerProb")), (jet_latest, not jet_latest))
        self.assertEqual(state.visible("lblDownloadMDAC"), link is not None)
        self.assertEqual(state.visible("lblVersionsContinue"), link is None)
        page_top = state.rect("pic2")[1]
        dpi = scenario.dpi or 96
        if link is None:
            self.assertEqual(state.text("lblVersionsContinue"), self.msg(146))
            # The gap of the missing link is closed.
            self.assertEqual(state.rect("lblJetVerHeader")[1] - page_top, px(2405, dpi))
            self.assertEqual(state.rect("lblJetVerDescr")[1] - page_top, px(2735, dpi))
        else:
            self.assertEqual(state.text("lblDownloadMDAC"), link)
            expected_top = px(3860, dpi) if not jet_latest else px(2115, dpi)
            self.assertEqual(state.rect("lblDownloadMDAC")[1] - page_top, expected_top)
        self.assertButtons(state, True, True, True, self.word("close"))
        return link

    def next_to_repair(self, wizard, scenario_name, repaired=False):
        wizard.click("cmdWeiter")
        state = wizard.wait_page("pic3")
        self.assertOnlyFrontPageSeen(state)
        self.assertEqual(state.text("Label6"), self.msg(111))
        if not repaired:
            self.assertEqual(state.text("Label1"), self.fmt(142, self.msg(106)))
            self.assertTrue(state.visible("cmdRepairMDAC"))
            self.assertEqual(state.text("cmdRepairMDAC"), self.msg(106))
            self.assertButtons(state, True, False, True, self.word("close"))
            # The click that activated the window may settle the focus after the page shows.
            wizard.wait_for(lambda s: s.focus == "cmdRepairMDAC", 3, "the focus on the repair button")
        self.check_rows(wizard, SCENARIOS[scenario_name])
        return state

    def check_rows(self, wizard, scenario):
        rows, columns = wizard.inspector.rows()
        self.assertEqual(columns, [self.msg(137), self.msg(138), self.msg(139)])
        pattern = (scenario.mdac or "")[:4]
        expected = []
        for path, _, listed in e2e.CATALOGUE:
            if not listed:
                continue
            name = e2e.file_name(path)
            full = self.catalogue_path(path)
            if scenario.name == "fresh":
                version, shown_path = FRESH_PREFIX_FILES.get(name, (None, None))
            else:
                version, shown_path = scenario.file_version(path), full
            if version is None:
                version, shown_path = "N/A", self.word("not_available")
            # From Vista on a file of the running Windows' own version belongs to its MDAC.
            release = scenario.release_prefix()
            matches = version.startswith(pattern) or (release is not None and version.startswith(release))
            image = 0 if version != "N/A" and matches else 1
            expected.append((image, name, version, shown_path))
        actual = [(image, name, version, path.lower() if version != "N/A" else path)
                  for image, name, version, path in rows]
        expected = [(image, name, version, path.lower() if version != "N/A" else path)
                    for image, name, version, path in expected]
        self.assertEqual(actual, expected)

    def repair(self, wizard, scenario_name):
        wizard.click("cmdRepairMDAC")
        processing = self.msg(123).split("[*]")[0]
        # The file in progress is shown once the run has set the page up; read
        # from outside, control by control, the page may be caught half way
        # through that, the buttons before the status line: the run lasts
        # long enough to be seen with all three disabled.
        during = wizard.wait_for(lambda s: s.text("Label2").startswith(processing) and s.visible("Label2")
                                 and s.visible("ProgressBar1") and not s.enabled("cmdZur\u00fcck")
                                 and not s.enabled("cmdAbbrechen"), 10, "a file in progress")
        self.assertFalse(during.visible("cmdRepairMDAC"))
        self.assertEqual(during.focus, "ProgressBar1", "the keyboard stays on the page")
        bar = self.assertNamed(wizard.inspector.accessible("ProgressBar1"), "ProgressBar1", ROLE_PROGRESS)
        self.assertRegex(bar["value"], r"^\d{1,3}%$")
        self.assertButtons(during, False, False, False, self.word("close"))
        self.assertTrue(during.visible("ProgressBar1"))
        self.assertTrue(during.visible("imgRepairing"))
        self.assertEqual(during.text("Label1"), " " * 13 + self.msg(150))
        # The run has a floor of 31 x 200 ms; at its end the focus goes to Next, last.
        state = wizard.wait_for(lambda s: s.enabled("cmdAbbrechen") and s.focus == "cmdWeiter", 30,
                                "the end of the repair run")
        self.assertEqual(state.text("Label1"), self.msg(154))
        self.assertOnlyFrontPageSeen(state)
        for name in ("Label16", "optResolved", "optFurtherProblems"):
            self.assertTrue(state.visible(name), name)
        for name in ("Label2", "ProgressBar1", "imgRepairing", "cmdRepairMDAC"):
            self.assertFalse(state.visible(name), name)
        self.assertEqual(state.text("Label16"), self.msg(155))
        self.assertEqual(state.text("optResolved"), self.msg(156))
        self.assertEqual(state.text("optFurtherProblems"), self.msg(157))
        self.assertButtons(state, True, True, True, self.word("close"))
        self.assertEqual(state.focus, "cmdWeiter")
        self.assertEqual(wizard.inspector.checks(), {"optResolved": True, "optFurtherProblems": False})
        if scenario_name != "fresh":
            self.check_registrations(wizard.prefix, SCENARIOS[scenario_name])
        return state

    def check_registrations(self, prefix, scenario):
        with open(prefix.drive_c("registrations.txt"), encoding="latin-1") as log:
            lines = [line.strip() for line in log if line.strip()]
        names = [self.long_name(prefix, line) for line in lines]
        self.assertEqual(names, [name.upper() for name in scenario.registered()])

    @staticmethod
    def long_name(prefix, logged):
        """The file name of a logged module path: the repair loads each file by its short path."""
        name = logged.rsplit("\\", 1)[-1].upper()
        if "~" in name:
            stem = name.split("~")[0]
            for path, _, _ in e2e.CATALOGUE:
                long_name = e2e.file_name(path).upper()
                base, _, extension = long_name.partition(".")
                if (len(base) > 8 or len(extension) > 3) and long_name.startswith(stem):
                    return long_name
        return name

    def still_problems_to_file_page(self, wizard, url_number):
        wizard.click("optFurtherProblems")
        expected = {"optResolved": False, "optFurtherProblems": True}
        deadline = time.monotonic() + 5
        while wizard.inspector.checks() != expected and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertEqual(wizard.inspector.checks(), expected)
        wizard.click("cmdWeiter")
        state = wizard.wait_page("pic4")
        self.check_file_page(state, url_number)
        self.check_screen_reader(wizard, state)
        return state

    def check_file_page(self, state, url_number):
        self.assertOnlyFrontPageSeen(state)
        self.assertEqual(state.text("Label5"), self.msg(127))
        self.assertEqual(state.text("lblExplanation3"), self.msg(140))
        mdac = self.current_scenario.mdac or ""
        self.assertEqual(state.text("Label3"), self.fmt(132, mdac[:4]))
        self.assertEqual(state.text("lblRepairUrl"), self.url(url_number))
        self.assertButtons(state, True, False, True, self.word("close"))

    def check_inventory_window(self, wizard):
        """The file page's window of what programs can use: opened by keyboard
        and by click, modal, read while it answers, faults first, a program
        picked in the Open dialog and answered for, the report copied as the
        list shows it, closed by Esc and by its button; the keyboard reaches
        everything."""
        state = wizard.snapshot()
        self.assertEqual(state.text("cmdWhichPrograms"), self.msg(192))
        left_of_back = state.rect("cmdWhichPrograms")[2] < state.rect("cmdZur\u00fcck")[0]
        self.assertTrue(left_of_back, "the button clear of Back")
        # By keyboard: Tab goes from the file list to the link below it, then
        # to the button bar's first button; Enter opens.
        wizard.click("lvwMDACFiles")
        wizard.wait_for(lambda s: s.focus == "lvwMDACFiles", 3, "the focus on the file list")
        wizard.key("Tab")
        wizard.wait_for(lambda s: s.focus == "lblRepairUrl", 3, "the focus on the link")
        wizard.key("Tab")
        wizard.wait_for(lambda s: s.focus == "cmdWhichPrograms", 3, "the focus on the button")
        wizard.key("Return")
        shown = wizard.wait_inventory(lambda s: s.present and s.window.get("visible") == "1")
        self.assertEqual(shown.window["title"], self.msg(193))
        self.assertNamed(wizard.inspector.accessible("lvwInventory"), "lvwInventory", ROLE_LIST)
        self.assertEqual(wizard.snapshot().window["enabled"], "0", "the wizard waits for the window")
        if shown.text("lblInventoryStatus") == self.msg(200):
            # Caught while reading: the list answered the inspector's messages meanwhile.
            self.assertFalse(shown.enabled("cmdCheckProgram"))
            self.assertFalse(shown.enabled("cmdCopyReport"))
            self.assertEqual(shown.columns, [self.msg(n) for n in (194, 195, 196, 197)])
        read = wizard.wait_inventory(lambda s: s.enabled("cmdCopyReport"), 60, "the inventory read")
        self.assertEqual(read.focus, "lvwInventory")
        self.assertEqual(read.text("lblInventoryStatus"), "")
        self.assertEqual(read.text("lblInventoryAnswer"), self.msg(201))
        self.assertEqual(read.columns, [self.msg(n) for n in (194, 195, 196, 197)])
        self.assertLaidOut(read)
        # Faults first, with the warning sign; each state in words.
        images = [image for image, _ in read.rows]
        self.assertEqual(images, sorted(images, key=lambda image: image != 1), "faults first")
        rows = {cells[0]: cells for _, cells in read.rows}
        other = self.msg(221) if e2e.ARCH == "x64" else self.msg(223)
        self.assertEqual(read.rows[0], (1, ["Broken Test Engine", self.msg(213), other, rows["Broken Test Engine"][3]]))
        self.assertIn(r"C:\gone\broken.dll", rows["Broken Test Engine"][3])
        own = 2 if e2e.ARCH == "x64" else 1
        self.assertEqual(rows["ADODB.Connection"][own], self.msg(210))

        # A program picked as a user picks it, by keyboard: Tab from the list
        # to "Check a program...", Enter, the path typed into the Open dialog.
        wizard.key_in(read.window["rect"], "Tab")
        wizard.wait_inventory(lambda s: s.focus == "cmdCheckProgram", 3, "the focus on the button")
        wizard.key_in(read.window["rect"], "Return")
        dialog = wizard.wait_for(lambda s: any(p.get("class") == "#32770" for p in s.popups), 10,
                                 "the Open dialog").popups
        dialog = [popup for popup in dialog if popup.get("class") == "#32770"][0]
        wizard.key_in(e2e._rect(dialog["rect"]))
        wizard.display.xdotool("type", "--delay", "20", r"C:\orders.exe")
        wizard.display.key("Return")
        bits = "64" if e2e.ARCH == "x64" else "32"
        # Read from outside, the new answer may be caught before the window
        # has laid itself out for it.
        answered = wizard.wait_inventory(lambda s: s.text("lblInventoryAnswer").startswith("C:\\orders.exe")
                                         and self.layout_fault(s) is None, 10, "the program's answer")
        answer = answered.text("lblInventoryAnswer")
        self.assertTrue(answer.startswith("C:\\orders.exe: " + self.fmt(191, bits)), answer)
        jet = {cells[0]: cells for _, cells in answered.rows}["Microsoft.Jet.OLEDB.4.0"]
        can = jet[own] == self.msg(210)
        self.assertTrue(jet[3].startswith(self.msg(224 if can else 225)), jet)
        self.assertIn("Microsoft.Jet.OLEDB.4.0", answer)
        self.assertLaidOut(answered)

        # Copy, by its access key: the report as the window shows it.
        copy = self.msg(199)
        # Without a window manager the dialog may leave no window active: a
        # click on the caption activates this one, and the focus returns to
        # the button it was on.
        left, top, right, _ = answered.window["rect"]
        wizard.click_at((left + right) // 2, top + 8)
        wizard.wait_inventory(lambda s: s.focus == "cmdCheckProgram", 5, "the focus back on the button")
        wizard.key_in(answered.window["rect"], "alt+" + copy[copy.index("&") + 1].lower())
        wizard.wait_inventory(lambda s: s.text("lblInventoryStatus") == self.msg(202), 10, "the report copied")
        lines = wizard.inspector.clipboard().split("\r\n")
        captions = [self.msg(n) for n in (194, 195, 196, 197)]
        self.assertEqual(lines[:5], [self.msg(193), "", answer, "", "\t".join(captions)])
        self.assertEqual(lines[5:], ["\t".join(cells) for _, cells in answered.rows] + [""])

        # Esc closes; the wizard is usable again, the focus back on the button.
        wizard.key_in(answered.window["rect"], "Escape")
        wizard.wait_inventory(lambda s: not s.present, 10, "the window closed")
        back = wizard.wait_for(lambda s: s.focus == "cmdWhichPrograms", 5, "the focus back on the button")
        self.assertEqual(back.window["enabled"], "1")
        self.assertEqual(back.front, "pic4")

        # By click, and closed by its own button.
        wizard.click("cmdWhichPrograms")
        again = wizard.wait_inventory(lambda s: s.present and s.enabled("cmdCopyReport"), 60, "the inventory again")
        self.assertEqual(again.text("lblInventoryAnswer"), self.msg(201), "a new window asks anew")
        wizard.click_at(*again.centre("cmdCloseInventory"))
        wizard.wait_inventory(lambda s: not s.present, 10, "the window closed")
        wizard.wait_for(lambda s: s.window["enabled"] == "1", 5, "the wizard enabled")

    @staticmethod
    def layout_fault(state):
        """A control outside the window's frame or over another, or None."""
        left, top, right, bottom = state.window["rect"]
        rects = {name: control["rect"] for name, control in state.controls.items()}
        for name, (l, t, r, b) in rects.items():
            if not (left <= l < r <= right and top <= t < b <= bottom):
                return "%s %r outside %r" % (name, rects[name], state.window)
        names = sorted(rects)
        for index, first in enumerate(names):
            for second in names[index + 1:]:
                a, b = rects[first], rects[second]
                if not (a[2] <= b[0] or b[2] <= a[0] or a[3] <= b[1] or b[3] <= a[1]):
                    return "%s and %s overlap" % (first, second)
        return None

    def assertLaidOut(self, state):
        """Every control inside the window's frame, none over another."""
        fault = self.layout_fault(state)
        self.assertIsNone(fault, fault)

    def check_final(self, state):
        self.assertEqual(state.front, "pic5")
        self.assertOnlyFrontPageSeen(state)
        self.assertEqual(state.text("lblHeader4"), self.msg(129))
        self.assertEqual(state.text("Label14"), self.msg(134))
        self.assertButtons(state, False, False, True, self.word("close"))

    def walk_to_repair_page(self, scenario_name):
        self.current_scenario = SCENARIOS[scenario_name]
        wizard = self.start(scenario_name)
        self.check_welcome(wizard)
        self.next_to_versions(wizard, scenario_name)
        self.next_to_repair(wizard, scenario_name)
        return wizard

    # ---- the walks ---------------------------------------------------------------------

    def test_cancel_on_welcome_page_ends(self):
        self.current_scenario = SCENARIOS["fresh"]
        wizard = self.start("fresh")
        self.check_welcome(wizard)
        wizard.click("cmdAbbrechen")
        self.assertGone(wizard)
        self.assertNoPageOpened(wizard.prefix)

    def test_close_box_on_welcome_page_ends(self):
        wizard = self.start("fresh")
        self.check_welcome(wizard)
        wizard.click_close_box()
        self.assertGone(wizard)

    def test_alt_f4_on_version_page_ends(self):
        self.current_scenario = SCENARIOS["fresh"]
        wizard = self.start("fresh")
        self.next_to_versions(wizard, "fresh")
        wizard.key("alt+F4")
        self.assertGone(wizard)
        self.assertNoPageOpened(wizard.prefix)

    def test_back_from_version_page_returns_to_welcome(self):
        self.current_scenario = SCENARIOS["current"]
        wizard = self.start("current")
        self.next_to_versions(wizard, "current")
        wizard.click("cmdZur\u00fcck")
        # Back shows the page first, then disables itself and renames Cancel.
        wizard.wait_for(lambda s: s.front == "pic1" and s.text("cmdAbbrechen") == self.word("cancel"), 5,
                        "the welcome page with Cancel")
        self.check_welcome(wizard, first=False)
        # Next checks the versions again, with the same outcome.
        self.next_to_versions(wizard, "current")
        wizard.click("cmdAbbrechen")
        self.assertGone(wizard)

    def enter_repair_page_then(self, scenario_name, actions):
        """Walks to the version page, then clicks Next and does the xdotool
        actions (made from the window's state) in one stroke of input: they
        reach the wizard right after it has entered the repair page, however
        loaded the machine is."""
        self.current_scenario = SCENARIOS[scenario_name]
        wizard = self.start(scenario_name)
        self.check_welcome(wizard)
        state = self.next_to_versions(wizard, scenario_name)
        x, y = state.centre("cmdWeiter")
        wizard.display.xdotool("mousemove", x, y, "click", "1", *actions(state))
        wizard.wait_page("pic3")
        return wizard

    def test_cancel_right_after_entering_repair_page_waits_for_a_key(self):
        # Within 700 ms of entering the page, Cancel and Alt+F4 do nothing.
        wizard = self.enter_repair_page_then(
            "fresh", lambda state: ["mousemove", *state.centre("cmdAbbrechen"), "click", "1", "key", "alt+F4"])
        self.assertStays(wizard, "pic3")
        # A key pressed after that time ends the check; then Cancel closes.
        time.sleep(0.8)
        wizard.hold_key("shift", 0.3)
        wizard.click("cmdAbbrechen")
        self.assertGone(wizard)
        self.assertNoPageOpened(wizard.prefix)

    def test_alt_f4_on_repair_page_after_a_key_closes(self):
        wizard = self.enter_repair_page_then("fresh", lambda state: ["key", "alt+F4"])
        self.assertStays(wizard, "pic3")
        time.sleep(0.8)
        wizard.hold_key("shift", 0.3)
        wizard.key("alt+F4")
        self.assertGone(wizard)

    def test_repair_resolved_closes_without_opening_a_page(self):
        wizard = self.walk_to_repair_page("current")
        # Back from the repair page before the run, and Next again.
        wizard.click("cmdZur\u00fcck")
        wizard.wait_page("pic2")
        self.next_to_repair(wizard, "current")
        self.repair(wizard, "current")
        # Back and Next keep the finished run.
        wizard.click("cmdZur\u00fcck")
        wizard.wait_page("pic2")
        state = self.next_to_repair(wizard, "current", repaired=True)
        self.assertButtons(state, True, True, True, self.word("close"))
        self.assertTrue(state.visible("optResolved"))
        wizard.click("cmdWeiter")
        self.check_final(wizard.wait_page("pic5"))
        wizard.click("cmdAbbrechen")
        self.assertGone(wizard)
        self.assertNoPageOpened(wizard.prefix)

    def test_still_problems_opens_the_repair_instructions(self):
        scenario = self.file_page_scenario
        prefix = self.prefix(scenario)
        # An installable ISAM whose file is gone: a fault for a person.
        isam = r"HKLM\SOFTWARE\%sMicrosoft\Jet\4.0\Engines\Broken Test Engine" % (
            "Wow6432Node\\" if e2e.ARCH == "x64" else "")
        prefix.fixture("sz", isam, "win32", r"C:\gone\broken.dll")
        self.addCleanup(prefix.fixture, "delete", isam)
        pe_files.write(prefix.drive_c("orders.exe"), pe_files.MACHINE_AMD64 if e2e.ARCH == "x64" else
                       pe_files.MACHINE_I386, e2e.ARCH == "x64")
        wizard = self.walk_to_repair_page(scenario)
        self.repair(wizard, scenario)
        self.still_problems_to_file_page(wizard, REPAIR_INSTRUCTIONS)
        self.check_inventory_window(wizard)
        # Back to the repair page and forward again.
        wizard.click("cmdZur\u00fcck")
        state = wizard.wait_page("pic3")
        self.assertButtons(state, True, True, True, self.word("close"))
        wizard.click("cmdWeiter")
        state = wizard.wait_page("pic4")
        self.check_rows(wizard, SCENARIOS[scenario])
        wizard.click("lblRepairUrl")
        self.wait_url(wizard.prefix, self.url(REPAIR_INSTRUCTIONS))
        self.assertEqual(wizard.prefix.opened_urls(), [self.url(REPAIR_INSTRUCTIONS)])
        self.assertTrue(wizard.alive())
        # The close box acts as Cancel: after the repair it leads to the final page.
        wizard.click_close_box()
        self.check_final(wizard.wait_page("pic5"))
        wizard.click("cmdAbbrechen")
        self.assertGone(wizard)
        self.assertEqual(wizard.prefix.opened_urls(), [self.url(REPAIR_INSTRUCTIONS)])

    def test_dlls_planted_beside_the_program_are_never_loaded(self):
        """Started from a download folder that also holds DLLs named like the
        system DLLs it uses (Wine told to prefer such copies, as Windows does
        for DLLs it does not know), and a copy of a component's own DLL, with
        more copies in the current directory: the program loads none of them,
        still reads every version, and the component gets the DLL beside it.
        version.dll lies there too but Wine is not told to prefer it: Wine's
        own user32 imports it (Windows' does not, and is a known DLL), so any
        program here would load it; that the program itself no longer imports
        it is the import check's part."""
        if self.language != "en":
            self.skipTest("the loader does not depend on the language")
        prefix = self.prefix("current")
        component = r"%common%\System\ado\MSADOX.DLL"
        prefix.fixture("install", component, "2.81.1117.0",
                       env=dict(prefix.env, WIZARD_STAND_IN=e2e.built("WIZARD_STAND_IN_USES_HELPER")))
        own_helper = os.path.join(prefix.existing(self.common_files + r"\System\ado"), "stand_in_helper.dll")
        shutil.copy(e2e.built("WIZARD_STAND_IN_HELPER"), own_helper)
        downloads = prefix.drive_c("users", "Public", "Downloads")
        current = prefix.drive_c("work")
        for folder in (downloads, current):
            os.makedirs(folder, exist_ok=True)
            for name in ("version.dll", "shfolder.dll", "comctl32.dll"):
                shutil.copy(e2e.built("WIZARD_STAND_IN_PLANTED"), os.path.join(folder, name))
            shutil.copy(e2e.built("WIZARD_STAND_IN_HELPER"), os.path.join(folder, "stand_in_helper.dll"))
        program = os.path.join(downloads, "MdacRepair.exe")
        shutil.copy(e2e.built("WIZARD_PROGRAM"), program)
        self.addCleanup(lambda: [os.remove(os.path.join(folder, name)) for folder in (downloads, current)
                                 for name in os.listdir(folder)])
        self.addCleanup(os.remove, own_helper)
        self.addCleanup(prefix.fixture, "install", component, "2.81.1117.0")

        self.current_scenario = SCENARIOS["current"]
        log = prefix.drive_c("registrations.txt")
        if os.path.exists(log):
            os.remove(log)
        wizard = prefix.start_wizard({"WIZARD_REGISTRATION_LOG": "C:\\registrations.txt",
                                      "WINEDLLOVERRIDES": "mscoree,mshtml=;shfolder,comctl32=n,b"},
                                     program=program, cwd=current)
        self.addCleanup(self.assert_gone, wizard)
        self.check_welcome(wizard)
        self.next_to_versions(wizard, "current")  # Jet's version read through version.dll
        self.next_to_repair(wizard, "current")    # and every component's
        wizard.click("cmdRepairMDAC")
        wizard.wait_for(lambda s: s.enabled("cmdAbbrechen") and s.focus == "cmdWeiter", 30,
                        "the end of the repair run")
        with open(log, encoding="latin-1") as lines:
            logged = [line.strip() for line in lines if line.strip()]
        self.assertEqual([line for line in logged if line.endswith(" loaded")], [], "planted DLLs were loaded")
        helpers = [line[:-len(" helper")] for line in logged if line.endswith(" helper")]
        self.assertEqual(len(helpers), 1, logged)
        # The helper's folder is the component's, as the log names both.
        component_line = [line for line in logged if self.long_name(prefix, line) == "MSADOX.DLL"]
        self.assertEqual(len(component_line), 1, logged)
        self.assertEqual(helpers[0].rsplit("\\", 1)[0].lower(), component_line[0].rsplit("\\", 1)[0].lower())
        registered = [self.long_name(prefix, line) for line in logged if not line.endswith(" helper")]
        self.assertEqual(registered, [name.upper() for name in SCENARIOS["current"].registered()])
        wizard.click("cmdWeiter")
        self.check_final(wizard.wait_page("pic5"))
        wizard.click("cmdAbbrechen")
        self.assertGone(wizard)

    def test_windows_xp_offers_the_service_pack(self):
        self.current_scenario = SCENARIOS["xp"]
        wizard = self.start("xp")
        self.check_welcome(wizard)
        self.next_to_versions(wizard, "xp")
        # The old Jet brings the download link.
        wizard.click("lblDownloadMDAC")
        self.wait_url(wizard.prefix, self.url(MDAC_DOWNLOAD))
        wizard.prefix.clear_opened_urls()
        self.next_to_repair(wizard, "xp")
        self.repair(wizard, "xp")
        self.still_problems_to_file_page(wizard, XP_SERVICE_PACK)
        wizard.click("lblRepairUrl")
        self.wait_url(wizard.prefix, self.url(XP_SERVICE_PACK))
        wizard.click("cmdAbbrechen")
        self.check_final(wizard.wait_page("pic5"))
        # Alt+F4 on the final page is Close.
        wizard.key("alt+F4")
        self.assertGone(wizard)
        self.assertEqual(wizard.prefix.opened_urls(), [self.url(XP_SERVICE_PACK)])


class English(InventoryChecks, CommandLineChecks, Walks):
    language = "en"

    def test_windows_10_files_count_as_its_mdac(self):
        scenario = SCENARIOS["win10"]
        prefix = self.prefix("win10")
        code, _, output, _ = self.run_program(prefix, "/check")
        lines = result_lines(output)
        self.assertEqual(lines[1], ["MDAC", "6.3.9600.16384", "latest"])
        files = [line for line in lines[3:] if not line[0].startswith("class")]
        self.assertEqual([line[3] for line in files], ["matches"] * sum(1 for _, _, listed in e2e.CATALOGUE if listed), files)
        self.assertEqual(code, 0)
        wizard = self.walk_to_repair_page("win10")
        self.repair(wizard, "win10")
        self.still_problems_to_file_page(wizard, REPAIR_INSTRUCTIONS)
        self.check_rows(wizard, scenario)
        wizard.click("cmdAbbrechen")
        self.check_final(wizard.wait_page("pic5"))
        wizard.click("cmdAbbrechen")
        self.assertGone(wizard)


class German(CommandLineChecks, Walks):
    language = "de"
    file_page_scenario = "missing-hidpi"

    def test_a_new_prefix_repairs_without_a_box_and_lists_no_check_mark_without_a_version(self):
        # Wine's own classes are there, Jet's is not: nothing counts as broken.
        wizard = self.walk_to_repair_page("fresh")
        self.repair(wizard, "fresh")
        self.still_problems_to_file_page(wizard, REPAIR_INSTRUCTIONS)
        self.check_rows(wizard, SCENARIOS["fresh"])
        wizard.click("cmdAbbrechen")
        self.check_final(wizard.wait_page("pic5"))
        wizard.click("cmdAbbrechen")
        self.assertGone(wizard)


class OnWindows64(InventoryChecks, CommandLineChecks, Walks):
    """The 32-bit program in a 64-bit prefix, as most users run it (WoW64):
    the components of 32-bit database programs lie in the 32-bit folders
    (Program Files (x86), SysWOW64 behind the system directory) and their MDAC
    version in the registry's 32-bit view, while the 64-bit view says otherwise."""

    language = "en"
    kind = "wow64"
    common_files = r"C:\Program Files (x86)\Common Files"

    def test_reads_and_repairs_the_32_bit_components(self):
        # The 32-bit fixture tool places "current" where 32-bit programs look.
        prefix = self.prefix("current")
        for path in ("Program Files (x86)/Common Files/System/ado/MSADO15.DLL", "windows/syswow64/msjet40.dll"):
            self.assertIsNotNone(self.version_of(prefix, path), path)
        # Wine's own 64-bit msado15 has no version information.
        for path in ("Program Files/Common Files/System/ado/MSADO15.DLL", "windows/system32/msjet40.dll"):
            self.assertIsNone(self.version_of(prefix, path), path)
        prefix.wine("reg", "add", r"HKLM\Software\Microsoft\DataAccess", "/v", "FullInstallVer", "/d",
                    "2.80.1022.0", "/f", "/reg:64")
        prefix.stop_server()
        query = prefix.wine("reg", "query", r"HKLM\Software\Wow6432Node\Microsoft\DataAccess", "/v",
                            "FullInstallVer", capture=True)
        self.assertIn("2.81.1117.0", query.stdout.decode(errors="replace"))
        prefix.stop_server()

        wizard = self.walk_to_repair_page("current")  # MDAC 2.81 and Jet 4.0.8618: both current
        self.repair(wizard, "current")  # registers the 32-bit copies, in catalogue order
        wizard.click("cmdWeiter")
        self.check_final(wizard.wait_page("pic5"))
        wizard.click("cmdAbbrechen")
        self.assertGone(wizard)

        # The Jet provider's ProgID is seen from both views, its class only
        # from the 32-bit one: the 32-bit program can create it.
        code, _, output, _ = self.run_program(prefix, "/check")
        classes = {line[1]: line for line in (row.split("\t") for row in output.split("\r\n")) if line[0] == "class"}
        jet = classes["Microsoft.Jet.OLEDB.4.0"]
        self.assertEqual(jet[3], "ready", jet)
        self.assertTrue(jet[2].lower().endswith(r"\syswow64\msjetoledb40.dll") or jet[2].lower().endswith(
            r"\system32\msjetoledb40.dll"), jet)
        self.assertEqual(code, 0, output)

    @staticmethod
    def version_of(prefix, relative):
        """Whether drive C holds the file (names compared as Windows compares
        them) with a version resource: its contents, or None."""
        here = prefix.existing("C:\\" + relative.replace("/", "\\"))
        if here is None:
            return None
        with open(here, "rb") as file:
            contents = file.read()
        return contents if "VS_VERSION_INFO".encode("utf-16-le") in contents else None


def load_tests(loader, standard_tests, pattern):
    wanted = os.environ.get("WIZARD_E2E_LANGUAGE", "")
    suite = unittest.TestSuite()
    for case in (English, German):
        if not wanted or case.language == wanted:
            suite.addTests(loader.loadTestsFromTestCase(case))
    # The 32-bit program under 64-bit Windows: once, in English.
    if os.environ.get("WIZARD_ARCH") == "x86" and wanted in ("", "en"):
        suite.addTest(OnWindows64("test_reads_and_repairs_the_32_bit_components"))
        suite.addTest(OnWindows64("test_check_reads_both_views_and_answers_for_the_program_that_fails"))
    return suite


if __name__ == "__main__":
    unittest.main(verbosity=2)
