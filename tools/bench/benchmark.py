#!/usr/bin/env python3
"""Measures the wizard under Wine on a private Xvfb display and writes the
figures as a Markdown table.

Usage: benchmark.py OUTPUT.md --runs N --launcher EXE --empty EXE --empty-libraries EXE
Needs the environment of the end-to-end walks (WIZARD_PROGRAM,
WIZARD_FIXTURE_TOOL, WIZARD_WINDOW_INSPECTOR, WIZARD_STAND_IN, WIZARD_STAND_IN_FAILING,
WIZARD_STAND_IN_CRASHES) and
WIZARD_PROGRAM_X86 for the size of the 32-bit program.
"""

import argparse
import datetime
import os
import platform
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import wizard_e2e as e2e  # noqa: E402

FLOOR_MS = 31 * 200  # every catalogue entry waits 50 + 150 ms
# A page change may cost what reading its files costs, once more: showing the
# page and filling its controls.
TRANSITION_TARGET = 2.0
COMMON_FILES = r"C:\Program Files\Common Files"
SYSTEM = r"C:\windows\system32"


def launcher(prefix, exe, *args):
    result = prefix.wine(exe, *args, capture=True, check=False)
    values = {}
    for line in result.stdout.decode(errors="replace").splitlines():
        name, _, value = line.strip().partition("=")
        values[name] = value
    if result.returncode != 0 or "error" in values:
        raise RuntimeError("launcher %s failed: %r" % (" ".join(args), values))
    return values


def imports(exe):
    output = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", exe], capture_output=True, text=True).stdout
    return sorted({line.split("DLL Name:")[1].strip().lower() for line in output.splitlines() if "DLL Name:" in line})


def crowded_registry(path, classes=5000, sources=300):
    """Class keys and data sources beyond any prefix's, for the inventory to enumerate."""
    lines = ["Windows Registry Editor Version 5.00", ""]
    for index in range(classes):
        key = r"HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{BE4C0000-0000-4000-8000-%012X}" % index
        lines += ["[%s]" % key, '@="Benchmark class %d"' % index, "",
                  "[%s\\InprocServer32]" % key, '@="C:\\\\windows\\\\system32\\\\bench%d.dll"' % index, ""]
    odbc = r"HKEY_CURRENT_USER\Software\ODBC\ODBC.INI"
    lines += ["[%s\\ODBC Data Sources]" % odbc]
    lines += ['"Benchmark source %d"="SQL Server"' % index for index in range(sources)]
    lines.append("")
    for index in range(sources):
        lines += ['[%s\\Benchmark source %d]' % (odbc, index), '"Server"="db%d"' % index, ""]
    with open(path, "w", encoding="utf-16") as out:
        out.write("\r\n".join(lines))


def timed(prefix, *command):
    started = time.monotonic()
    prefix.wine(*command, check=False)
    return (time.monotonic() - started) * 1000.0


def cpu_name():
    try:
        with open("/proc/cpuinfo") as info:
            for line in info:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


def wine_version():
    return subprocess.run([e2e.WINE, "--version"], capture_output=True, text=True).stdout.strip()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("output")
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--empty", required=True)
    parser.add_argument("--empty-libraries", required=True)
    parser.add_argument("--command", default="./tools/benchmark.sh")
    args = parser.parse_args()

    wizard = e2e.built("WIZARD_PROGRAM")
    wizard_x86 = os.environ.get("WIZARD_PROGRAM_X86", "")
    root = e2e.work_root("benchmark")
    display = e2e.Display()
    base = e2e.Prefix(os.path.join(root, "base"), "en", display)
    base.stop()
    prefix = e2e.Prefix(os.path.join(root, "current"), "en", display, base=base.path)
    # MDAC 2.81 with every component: the run registers 24 stand-in DLLs.
    scenario = e2e.Scenario("current", mdac="2.81.1117.0", jet="4.0.8618.0", components="2.81.1117.0")
    prefix.prepare(scenario)
    # The same at 200 % scaling, where the welcome page has its largest picture.
    scaled = e2e.Prefix(os.path.join(root, "scaled"), "en", display, base=base.path)
    scaled.prepare(e2e.Scenario("scaled", mdac="2.81.1117.0", jet="4.0.8618.0", components="2.81.1117.0", dpi=192))
    # The same once more with 5,000 class keys and 300 data sources more, for
    # the inventory of /check to read.
    crowded = e2e.Prefix(os.path.join(root, "crowded"), "en", display, base=prefix.path)
    crowded_reg = os.path.join(root, "crowded.reg")
    crowded_registry(crowded_reg)
    crowded.wine("regedit", "/S", e2e.windows_path(crowded_reg))
    crowded.stop_server()
    # A broken PC: one component crashes when registered and one refuses, one
    # file is gone, and five classes lose their registration before each run.
    broken = e2e.Prefix(os.path.join(root, "broken"), "en", display, base=prefix.path)
    for relative, variant in ((r"System\ado\MSADOX.DLL", "WIZARD_STAND_IN_CRASHES"),
                              (r"System\ado\MSJRO.DLL", "WIZARD_STAND_IN_FAILING")):
        shutil.copy(e2e.built(variant), broken.existing(COMMON_FILES + "\\" + relative))
    os.remove(broken.existing(COMMON_FILES + r"\System\msadc\MSADDS.DLL"))
    broken.stop_server()
    unregister = []
    for index in (1, 2, 3, 4, 8):
        unregister += ["delete", r"HKCR\CLSID\{5AE1C0DE-0000-4000-8000-0000000000%02X}" % index]
    # Each prefix's server stays up from here to the end: a run in one prefix
    # would otherwise find the other's server gone and pay for its start and
    # for reading its registry, which the crowded one has more of.
    # The services it starts come up with the first program and keep its
    # output open: that program prints nothing, so that a measured one's
    # output ends with it.
    for each in (prefix, scaled, crowded, broken):
        subprocess.run([e2e.WINESERVER, "-p"], env=each.env, check=True)
        each.wine("cmd", "/c", "exit", check=False)
    run = lambda *a: launcher(prefix, args.launcher, *a)  # noqa: E731
    run_scaled = lambda *a: launcher(scaled, args.launcher, *a)  # noqa: E731
    wizard_path, empty_path = e2e.windows_path(wizard), e2e.windows_path(args.empty)
    libraries_path = e2e.windows_path(args.empty_libraries)
    def windows(path):
        return path.replace("%common%", COMMON_FILES).replace("%system%", SYSTEM)
    registered = [windows(path) for path, register, _ in e2e.CATALOGUE if register]
    # The loop an administrator would write instead of /repair.
    with open(prefix.drive_c("regsvr32-loop.cmd"), "w", encoding="ascii") as loop:
        loop.write("@echo off\r\n" + "".join('regsvr32 /s "%s"\r\n' % path for path in registered))
    # What the two page changes read: the Jet file's version, then every catalogue entry's.
    jet = windows(e2e.JET_FILES[0])
    listed = [windows(path) for path, _, _ in e2e.CATALOGUE]

    # One of each first, so that every measured run finds warm caches.
    run("startup", empty_path)
    run("startup", libraries_path)
    run("startup", wizard_path)
    run_scaled("startup", empty_path)
    run_scaled("startup", wizard_path)
    timed(prefix, wizard, "/check")
    timed(crowded, wizard, "/check")
    timed(broken, wizard, "/check")
    samples = {name: [] for name in ("empty_startup", "libraries_startup", "wizard_startup", "empty_peak",
                                     "wizard_peak", "check_versions", "fill_list", "repair", "wizard_peak_after", "register",
                                     "read_jet", "read_listed", "wizard_shown", "empty_shown",
                                     "empty_scaled", "wizard_scaled", "check", "check_crowded", "unattended_repair",
                                     "regsvr32_loop", "check_broken", "repair_broken")}
    for index in range(args.runs):
        empty = run("startup", empty_path)
        samples["empty_startup"].append(float(empty["startup_ms"]))
        samples["empty_shown"].append(float(empty["shown_ms"]))
        samples["empty_peak"].append(int(empty["peak_working_set_startup"]))
        samples["libraries_startup"].append(float(run("startup", libraries_path)["startup_ms"]))
        walk = run("walk", wizard_path)
        samples["wizard_startup"].append(float(walk["startup_ms"]))
        samples["wizard_shown"].append(float(walk["shown_ms"]))
        samples["wizard_peak"].append(int(walk["peak_working_set_startup"]))
        samples["check_versions"].append(float(walk["check_versions_ms"]))
        samples["fill_list"].append(float(walk["fill_file_version_list_ms"]))
        samples["repair"].append(float(walk["repair_run_ms"]))
        samples["wizard_peak_after"].append(int(walk["peak_working_set_after_run"]))
        samples["register"].append(float(run("register", *registered)["register_ms"]))
        samples["read_jet"].append(float(run("click", empty_path, jet)["click_ms"]))
        samples["read_listed"].append(float(run("click", empty_path, *listed)["click_ms"]))
        samples["empty_scaled"].append(float(run_scaled("startup", empty_path)["startup_ms"]))
        samples["wizard_scaled"].append(float(run_scaled("startup", wizard_path)["startup_ms"]))
        samples["check"].append(timed(prefix, wizard, "/check"))
        samples["check_crowded"].append(timed(crowded, wizard, "/check"))
        samples["unattended_repair"].append(timed(prefix, wizard, "/repair"))
        samples["regsvr32_loop"].append(timed(prefix, "cmd", "/c", r"C:\regsvr32-loop.cmd"))
        broken.fixture(*unregister)
        samples["check_broken"].append(timed(broken, wizard, "/check", "/json"))
        broken.fixture(*unregister)
        samples["repair_broken"].append(timed(broken, wizard, "/repair", "/json"))
        print("run %d of %d done" % (index + 1, args.runs), flush=True)
    prefix.stop()
    crowded.stop()
    broken.stop()
    scaled.stop()
    display.stop()

    m = {name: statistics.median(values) for name, values in samples.items()}
    spread = {name: (min(values), max(values)) for name, values in samples.items()}
    startup_ratio = m["wizard_startup"] / m["empty_startup"]
    scaled_ratio = m["wizard_scaled"] / m["empty_scaled"]
    version_ratio = m["check_versions"] / m["read_jet"]
    list_ratio = m["fill_list"] / m["read_listed"]
    overhead = (m["repair"] - FLOOR_MS - m["register"]) / FLOOR_MS
    crowded_ratio = m["check_crowded"] / m["check"]
    loop_ratio = m["regsvr32_loop"] / m["unattended_repair"]
    sizes = [("MdacRepair.exe, x86", wizard_x86), ("MdacRepair.exe, x64", wizard), ("empty window, x64", args.empty)]

    def yes(ok):
        return "met" if ok else "**not met**"

    def ms(name):
        low, high = spread[name]
        return "%.0f ms (%.0f–%.0f)" % (m[name], low, high)

    def mib(name):
        return "%.1f MiB" % (m[name] / 1048576.0)

    lines = [
        "# Benchmark",
        "",
        "Figures of one run of `%s` on %s: %s, %d cores; %s; Xvfb without a window"
        " manager. Each figure is the median of %d runs, measured side by side in the"
        " same Wine prefix (range in brackets); the x64 programs run, as the 32-bit Wine"
        " here runs under processor emulation, whose times would say nothing about"
        " Windows. From one run to the next the same program's start-up varies by half"
        " or more, so that a start-up ratio moves by a tenth or more between runs of"
        " the benchmark." % (args.command, datetime.date.today().isoformat(), cpu_name(),
                                    os.cpu_count() or 0, wine_version(), args.runs),
        "",
        "Times are taken from outside by a launcher program: start-up from"
        " `CreateProcess` until the window is visible and the process is idle again"
        " (`WaitForInputIdle`). The empty window is measured twice: as it is, and built to"
        " import the wizard's system DLLs and use version 6 of the common controls"
        " through the wizard's manifest, so that the difference between the two is what"
        " those cost and the rest of the wizard's start-up is its own work (OLE and the"
        " shell the wizard loads when first used, after its start-up). The start-up is"
        " measured once more in a prefix at 192 dpi, where the wizard shows its 200 %"
        " pictures."
        " Page transitions are timed from the mouse click on Next until the next page"
        " is in front; their yardstick is the empty window answering a click, timed the"
        " same way, by reading the same files' versions (the Jet file for the version"
        " page; all 31 catalogue files, which the file list shows, for the repair page)"
        " in a process that has not read them before, as the wizard's walk has not."
        " The repair run is timed from the click on the repair button until Next is"
        " enabled again. The prefix holds MDAC 2.81 with every component (stand-in"
        " DLLs), so the run registers 24 files; the registration's yardstick is a"
        " process of the launcher's own that starts, registers the same files and"
        " ends, as the wizard's worker process does. `/check` and `/repair` are timed"
        " from outside, from the start of the Wine process to its end, with each"
        " prefix's Wine server kept running throughout, so that no run pays for"
        " starting one; the crowded prefix is the standard one with the extra keys, the"
        " broken one the standard one with the faults named in its rows.",
        "",
        "| Figure | Wizard | Yardstick | Ratio or overhead | Target | |",
        "|---|---|---|---|---|---|",
        "| Start-up until shown and idle (yardstick: the empty window) | %s | %s | %.2f× | within 1.25× | %s |"
        % (ms("wizard_startup"), ms("empty_startup"), startup_ratio, yes(startup_ratio <= 1.25)),
        "| Start-up at 200 %% scaling, 192 dpi (yardstick: the empty window there) | %s | %s | %.2f× | within 1.25× | %s |"
        % (ms("wizard_scaled"), ms("empty_scaled"), scaled_ratio, yes(scaled_ratio <= 1.25)),
        "| Start-up of the empty window with the wizard's DLLs and common controls 6 | | %s | %.2f× | | |"
        % (ms("libraries_startup"), m["libraries_startup"] / m["empty_startup"]),
        "| Peak working set after start-up | %s | %s | %.2f× | | |"
        % (mib("wizard_peak"), mib("empty_peak"), m["wizard_peak"] / m["empty_peak"]),
        "| Peak working set after the repair run | %s | | | | |" % mib("wizard_peak_after"),
        "| Next to the version page (yardstick: a click that reads the Jet file) | %s | %s | %.2f× | within %.1f× | %s |"
        % (ms("check_versions"), ms("read_jet"), version_ratio, TRANSITION_TARGET,
           yes(version_ratio <= TRANSITION_TARGET)),
        "| Next to the repair page (yardstick: a click that reads the 31 files) | %s | %s | %.2f× | within %.1f× | %s |"
        % (ms("fill_list"), ms("read_listed"), list_ratio, TRANSITION_TARGET, yes(list_ratio <= TRANSITION_TARGET)),
        "| Repair run, wall time | %s | floor 31 × 200 ms = %d ms | | | |" % (ms("repair"), FLOOR_MS),
        "| Registration of the 24 files in a process of its own | | %s | | | |" % ms("register"),
        "| Repair run above floor and registration | %.0f ms | | %.2f %% | under 3 %% | %s |"
        % (m["repair"] - FLOOR_MS - m["register"], overhead * 100, yes(overhead < 0.03)),
        "| `/check`, process start to end | %s | | | | |" % ms("check"),
        "| `/check` with 5,000 class keys and 300 data sources more (yardstick: `/check` above) | %s | %s | %.2f× |"
        " within 1.2× | %s |" % (ms("check_crowded"), ms("check"), crowded_ratio, yes(crowded_ratio <= 1.2)),
        "| `/repair`, process start to end (yardstick: a `regsvr32 /s` loop over the same 24 files) | %s | %s |"
        " %.1f× faster | 5× faster | %s |" % (ms("unattended_repair"), ms("regsvr32_loop"), loop_ratio,
                                              yes(loop_ratio >= 5)),
        "| `/check /json` on a broken PC: five classes unregistered, a file gone, a component that crashes"
        " and one that refuses | %s | | | | |" % ms("check_broken"),
        "| `/repair /json` on that PC | %s | | | | |" % ms("repair_broken"),
    ]
    lines += ["", "| Program | Size | Imported DLLs | Target | |", "|---|---|---|---|---|"]
    for name, path in sizes:
        if not path or not os.path.exists(path):
            continue
        size = os.path.getsize(path)
        target = "under 300 KB" if "x86" in name else ""
        verdict = yes(size < 300 * 1024) if target else ""
        lines.append("| %s | %d bytes (%.0f KB) | %s | %s | %s |"
                     % (name, size, size / 1024.0, ", ".join(imports(path)), target, verdict))
    lines.append("")
    with open(args.output, "w", encoding="utf-8") as out:
        out.write("\n".join(lines))
    print("\n".join(lines))


if __name__ == "__main__":
    main()
