#!/usr/bin/python3
"""Medians and ratios from one run of the shared anchors harness.

    ratios.py OUTDIR --after NAME [--before NAME] [--ref flameshot-cold]

OUTDIR holds the harness's 1920x1080/ and 3840x2160/ folders (run_all.sh).
For each size: exec to veil painted, the overlay process's peak memory before
the copy (VmHWM) and including the copy, as medians over the runs, then
after / reference and after / before. Prints a markdown table."""
import argparse, json, os, statistics, sys


def figures(path):
    """Per run: exec to veil (ms), VmHWM before the copy and peak with it (MiB)."""
    try:
        runs = json.load(open(path))["runs"]
    except (OSError, ValueError, KeyError):
        return None
    veil, before, peak = [], [], []
    for r in runs:
        t = r.get("startup", {}).get("t_veil_ms", -1)
        if t is not None and t >= 0:
            veil.append(t)
        pid = str(r.get("overlay_pid"))
        hwm = r.get("mem_before_copy", {}).get(pid, {}).get("VmHWM")
        if hwm:
            before.append(hwm / 1024)
        if r.get("overlay_peak_hwm_kB"):
            peak.append(r["overlay_peak_hwm_kB"] / 1024)
    med = lambda v: statistics.median(v) if v else None
    return {"veil": med(veil), "before": med(before), "peak": med(peak), "runs": len(runs)}


def cell(v, unit):
    return "n/a" if v is None else f"{v:.1f} {unit}"


def ratio(a, b):
    return "n/a" if a is None or b is None or b == 0 else f"{a / b:.2f}x"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("outdir")
    ap.add_argument("--after", required=True)
    ap.add_argument("--before")
    ap.add_argument("--ref", default="flameshot-cold")
    a = ap.parse_args()
    head = ["what", a.after]
    if a.before:
        head.insert(1, a.before)
    head += [a.ref, "after / " + a.ref] + (["after / before"] if a.before else [])
    print("| " + " | ".join(head) + " |")
    print("|" + "---|" * len(head))
    rows = [("exec to veil painted", "veil", "ms"), ("peak memory before the copy (VmHWM)", "before", "MiB"),
            ("peak memory including the copy", "peak", "MiB")]
    for size in ("1920x1080", "3840x2160"):
        got = {n: figures(os.path.join(a.outdir, size, n, "result.json")) for n in filter(None, (a.before, a.after, a.ref))}
        if got.get(a.after) is None:
            print(f"no runs of {a.after} at {size}", file=sys.stderr)
            continue
        for label, key, unit in rows:
            val = {n: (f[key] if f else None) for n, f in got.items()}
            row = [f"{label}, {size}"]
            if a.before:
                row.append(cell(val[a.before], unit))
            row += [cell(val[a.after], unit), cell(val[a.ref], unit), ratio(val[a.after], val[a.ref])]
            if a.before:
                row.append(ratio(val[a.after], val[a.before]))
            print("| " + " | ".join(row) + " |")


if __name__ == "__main__":
    main()
