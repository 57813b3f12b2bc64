#!/usr/bin/env python3
"""Takes a PNG of every page state of the wizard, in English and German.

Usage: take_screenshots.py OUTDIR [--dpi N] [--languages en,de] [--fonts marlett.ttf,...]
Writes OUTDIR/en/*.png and OUTDIR/de/*.png. The wizard is walked from outside
as in the end-to-end walks, in prefixes set up so that each page shows what
matters: an up-to-date system, and one that needs updates and whose file list
mixes current, older and missing files.
"""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wizard_e2e as e2e  # noqa: E402


def scenarios(dpi):
    current = e2e.Scenario("current", mdac="2.81.1117.0", jet="4.0.8618.0", components="2.81.1117.0", dpi=dpi)
    # The list's first rows show a current, an older, a newer and a missing file.
    outdated = e2e.Scenario("outdated", mdac="2.80.1022.0", jet="4.0.2927.0", components="2.80.1022.0",
                            missing={"MSADOX.DLL", "MSDAORA.DLL"},
                            older={"MSADOR15.DLL": "2.71.9030.0", "MSADRH15.DLL": "2.81.1117.0"}, dpi=dpi)
    return current, outdated


class Camera:
    def __init__(self, wizard, folder):
        self.wizard = wizard
        self.folder = folder

    def shoot(self, name):
        wizard = self.wizard
        # The pointer rests on the button bar, away from links and buttons.
        left, top, right, bottom = wizard.state.window["rect"]
        wizard.display.move(left + 12, bottom - 12)
        time.sleep(0.4)  # let the page paint
        wizard.snapshot()
        path = os.path.join(self.folder, name + ".png")
        wizard.screenshot(path)
        print(path, flush=True)


def walk(language, display, root, out, dpi, fonts):
    folder = os.path.join(out, language)
    os.makedirs(folder, exist_ok=True)
    base = e2e.Prefix(os.path.join(root, language + "-base"), language, display, fonts=fonts)
    base.stop()
    current, outdated = scenarios(dpi)

    prefix = e2e.Prefix(os.path.join(root, language + "-current"), language, display, base=base.path)
    prefix.prepare(current)
    wizard = prefix.start_wizard()
    camera = Camera(wizard, folder)
    wizard.wait_for(lambda s: s.focus == "cmdWeiter", 5, "the focus on Next")
    camera.shoot("1-welcome")
    wizard.click("cmdWeiter")
    wizard.wait_page("pic2")
    camera.shoot("2-versions-current")
    wizard.click("cmdAbbrechen")
    if not wizard.wait_gone(10):
        raise RuntimeError("the wizard did not end")
    prefix.stop()

    prefix = e2e.Prefix(os.path.join(root, language + "-outdated"), language, display, base=base.path)
    prefix.prepare(outdated)
    wizard = prefix.start_wizard()
    camera = Camera(wizard, folder)
    wizard.wait_for(lambda s: s.focus == "cmdWeiter", 5, "the focus on Next")
    wizard.click("cmdWeiter")
    wizard.wait_page("pic2")
    camera.shoot("3-versions-updates")
    wizard.click("cmdWeiter")
    wizard.wait_page("pic3")
    wizard.wait_for(lambda s: s.focus == "cmdRepairMDAC", 5, "the focus on the repair button")
    camera.shoot("4-repair")
    wizard.click("cmdRepairMDAC")
    # Mid-run: the file being registered is about halfway down the catalogue.
    wizard.wait_for(lambda s: "MSADDS.DLL" in s.text("Label2"), 30, "the run to reach the middle")
    wizard.screenshot(os.path.join(folder, "5-repair-running.png"))
    print(os.path.join(folder, "5-repair-running.png"), flush=True)
    wizard.wait_for(lambda s: s.enabled("cmdWeiter"), 30, "the end of the run")
    camera.shoot("6-repair-done")
    wizard.click("optFurtherProblems")
    wizard.click("cmdWeiter")
    wizard.wait_page("pic4")
    camera.shoot("7-file-versions")
    wizard.click("cmdWhichPrograms")
    inventory = wizard.wait_inventory(lambda s: s.present and s.enabled("cmdCopyReport"), 60, "the inventory read")
    left, top, right, bottom = inventory.window["rect"]
    wizard.display.move(right - 12, bottom - 4)
    time.sleep(0.4)
    path = os.path.join(folder, "9-which-programs.png")
    wizard.display.screenshot(path, inventory.window["rect"])
    print(path, flush=True)
    wizard.key_in(inventory.window["rect"], "Escape")
    wizard.wait_inventory(lambda s: not s.present, 10, "the window closed")
    wizard.click("cmdAbbrechen")
    wizard.wait_page("pic5")
    camera.shoot("8-final")
    wizard.click("cmdAbbrechen")
    if not wizard.wait_gone(10):
        raise RuntimeError("the wizard did not end")
    prefix.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out")
    parser.add_argument("--dpi", type=int, default=None)
    parser.add_argument("--languages", default="en,de")
    parser.add_argument("--fonts", default=None,
                        help="comma-separated TrueType files of Wine's fonts to install (default: all)")
    args = parser.parse_args()
    root = e2e.work_root("screenshots")
    display = e2e.Display()
    try:
        for language in args.languages.split(","):
            walk(language, display, root, args.out, args.dpi, args.fonts.split(",") if args.fonts else None)
    finally:
        display.stop()


if __name__ == "__main__":
    main()
