#!/usr/bin/python3
"""Where a running process's memory goes, from /proc/PID/smaps.

usage: memory_breakdown.py PID [PID ...]

Per process: VmHWM and VmRSS, then the resident set by kind: anonymous
mappings of 8 MiB or more (screen-sized pictures), the heap and the other
anonymous mappings, shared memory (memfd, SysV and /dev/shm segments: the
window system's buffers), and file-backed pages (the program and its
libraries), each in MiB, the largest mappings named. Run by hand while a
capture is on the screen; it reads, never changes, the process.
"""
import sys

MIB = 1024.0 * 1024.0
BIG = 8 * 1024 * 1024


def mappings(pid):
    with open("/proc/%s/smaps" % pid) as f:
        head = None
        fields = {}
        for line in f:
            parts = line.split()
            if parts and "-" in parts[0] and not parts[0].endswith(":"):
                if head:
                    yield head, fields
                head, fields = parts, {}
            elif len(parts) >= 2 and parts[0].endswith(":"):
                try:
                    fields[parts[0][:-1]] = int(parts[1]) * 1024
                except ValueError:
                    pass
        if head:
            yield head, fields


def kind(head, size):
    path = " ".join(head[5:]) if len(head) > 5 else ""
    if path.startswith("/memfd:") or path.startswith("/SYSV") or path.startswith("/dev/shm"):
        return "shared memory", path
    if path == "[heap]":
        return "heap", path
    if path == "" or path.startswith("["):
        return ("anonymous >= 8 MiB" if size >= BIG else "other anonymous"), path or "anon"
    return "files", path


def status(pid):
    out = {}
    with open("/proc/%s/status" % pid) as f:
        for line in f:
            if line.startswith(("VmHWM", "VmRSS", "RssAnon", "RssFile", "RssShmem")):
                k, v = line.split(":", 1)
                out[k] = int(v.split()[0]) * 1024
    return out


def report(pid):
    totals, big = {}, []
    for head, fields in mappings(pid):
        lo, hi = (int(x, 16) for x in head[0].split("-"))
        k, name = kind(head, hi - lo)
        rss = fields.get("Rss", 0)
        totals[k] = totals.get(k, 0) + rss
        if rss >= BIG // 2:
            big.append((rss, k, name, hi - lo))
    st = status(pid)
    print("pid %s: VmHWM %.1f MiB, VmRSS %.1f MiB (anon %.1f, file %.1f, shmem %.1f)" % (
        pid, st.get("VmHWM", 0) / MIB, st.get("VmRSS", 0) / MIB, st.get("RssAnon", 0) / MIB,
        st.get("RssFile", 0) / MIB, st.get("RssShmem", 0) / MIB))
    for k in ("anonymous >= 8 MiB", "heap", "other anonymous", "shared memory", "files"):
        print("  %-20s %7.1f MiB" % (k, totals.get(k, 0) / MIB))
    for rss, k, name, size in sorted(big, reverse=True):
        print("    %7.1f MiB resident of %7.1f MiB  %s (%s)" % (rss / MIB, size / MIB, name, k))


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__.strip())
    for p in sys.argv[1:]:
        report(p)
