#!/usr/bin/python3
"""Exec to screen read, for any capture program over xcb, under a private Xvfb.

    exec_to_read.py --display :91 --size 1920x1080 --runs 7 NAME=COMMAND... [NAME=COMMAND...]

Each program is started RUNS times, in rotation, with bench/read_trace.so
preloaded, through bench/exec_timed, which notes the time just before exec
in the same process. The read is complete at the
last GetImage reply of the first burst (replies less than 50 ms apart). The
program is then stopped (SIGTERM, then SIGKILL) with every process it started.
Prints the median, min and max per program as a markdown table."""
import argparse, os, shutil, signal, statistics, subprocess, sys, tempfile, time

HERE = os.path.dirname(os.path.abspath(__file__))


def wait_for(ready, timeout, every=0.01):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if ready():
            return True
        time.sleep(every)
    return False


def one_run(argv, env, trace):
    if os.path.exists(trace):
        os.unlink(trace)
    time.sleep(0.5)  # the server settles after the last run
    p = subprocess.Popen([os.path.join(HERE, "out", "exec_timed")] + argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    def burst_done():
        try:
            lines = open(trace).read().splitlines()
            t0 = int(lines[0].split()[1])
            ts = [int(l) - t0 for l in lines[1:]]
        except (OSError, ValueError, IndexError):
            return None
        if not ts:
            return None
        last = ts[0]
        for t in ts[1:]:
            if t - last > 50_000_000:
                break
            last = t
        # The burst is over once 50 ms passed without a reply.
        return last if time.clock_gettime_ns(time.CLOCK_MONOTONIC) - t0 - last > 50_000_000 else None
    got = []
    wait_for(lambda: got.append(burst_done()) or got[-1] is not None or p.poll() is not None, 10)
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(p.pid, sig)
        except ProcessLookupError:
            break
        try:
            p.wait(2)
            break
        except subprocess.TimeoutExpired:
            pass
    return got[-1] / 1e6 if got and got[-1] is not None else None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--display", required=True)
    ap.add_argument("--size", required=True)
    ap.add_argument("--runs", type=int, default=7)
    ap.add_argument("tools", nargs="+")
    a = ap.parse_args()
    lock = "/tmp/.X%s-lock" % a.display.lstrip(":")
    if os.path.exists(lock):
        sys.exit("display %s is in use (%s)" % (a.display, lock))
    so = os.path.join(HERE, "out", "read_trace.so")
    os.makedirs(os.path.dirname(so), exist_ok=True)
    subprocess.check_call(["gcc", "-O2", "-shared", "-fPIC", "-o", so, os.path.join(HERE, "read_trace.c"), "-ldl"])
    subprocess.check_call(["gcc", "-O2", "-o", os.path.join(HERE, "out", "exec_timed"), os.path.join(HERE, "exec_timed.c")])
    tmp = tempfile.mkdtemp(prefix="exec-to-read-")
    xvfb = subprocess.Popen(["Xvfb", a.display, "-screen", "0", a.size + "x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        if not wait_for(lambda: subprocess.call(["xdpyinfo", "-display", a.display], stdout=subprocess.DEVNULL,
                                                stderr=subprocess.DEVNULL) == 0, 10, 0.05):
            sys.exit("Xvfb did not start")
        tools = [t.split("=", 1) for t in a.tools]
        times = {name: [] for name, _ in tools}
        for run in range(a.runs):
            for name, cmd in tools:
                home = os.path.join(tmp, "%s-%d" % (name, run))
                os.makedirs(home + "/run", mode=0o700)
                env = dict(os.environ, DISPLAY=a.display, HOME=home, XDG_RUNTIME_DIR=home + "/run",
                           XDG_CONFIG_HOME=home + "/.config", LD_PRELOAD=so,
                           READ_TRACE_FILE=os.path.join(tmp, "trace"))
                env.pop("WAYLAND_DISPLAY", None)
                ms = one_run(cmd.split(), env, os.path.join(tmp, "trace"))
                if ms is not None:
                    times[name].append(ms)
        print("| %s | runs | exec to screen read ms, median (min-max) |" % a.size)
        print("|---|---|---|")
        for name, _ in tools:
            v = times[name]
            cell = "%.1f (%.1f-%.1f)" % (statistics.median(v), min(v), max(v)) if v else "n/a"
            print("| %s | %d/%d | %s |" % (name, len(v), a.runs, cell))
    finally:
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
