"""The soak run's resource judge: reads the Windows-side sampler's rows and
takes the server's figures from Linux /proc, then fits every counter's slope
after the warm-up and flags those that rise above their noise.
"""
import math
import os
import time

WARM_UP = 120.0              # s of faults before the resource figures count


def read_sampler_rows(path):
    """The rows process_sampler.exe has written so far (11 integers each)."""
    rows = []
    try:
        with open(path) as f:
            for line in f:
                parts = line.split()
                if len(parts) == 11:
                    rows.append([int(x) for x in parts])
    except FileNotFoundError:
        pass
    return rows


def linux_sample(pid):
    """(time, private bytes, resident bytes, open fds, threads, CPU ms) of a Linux process, or None."""
    try:
        private = 0
        with open(f"/proc/{pid}/smaps_rollup") as f:
            for line in f:
                if line.startswith(("Private_Clean:", "Private_Dirty:")):
                    private += int(line.split()[1])
        status = dict(line.split(":", 1) for line in open(f"/proc/{pid}/status"))
        rss = int(status["VmRSS"].split()[0])
        threads = int(status["Threads"])
        fds = len(os.listdir(f"/proc/{pid}/fd"))
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        cpu_ms = (int(fields[11]) + int(fields[12])) * 1000 // os.sysconf("SC_CLK_TCK")
    except (OSError, KeyError, ValueError):
        return None
    return time.time(), private * 1024, rss * 1024, fds, threads, cpu_ms


def fit(points):
    """Least-squares slope per hour, its standard error, and the residuals' spread."""
    n = len(points)
    if n < 3:
        return None
    xs = [(t - points[0][0]) / 3600 for t, _ in points]
    ys = [v for _, v in points]
    mx, my = sum(xs) / n, sum(ys) / n
    sxx = sum((x - mx) ** 2 for x in xs)
    if sxx == 0:
        return None
    slope = sum((x - mx) * (y - my) for x, y in zip(xs, ys)) / sxx
    residuals = [y - (my + slope * (x - mx)) for x, y in zip(xs, ys)]
    sse = sum(r * r for r in residuals)
    se = math.sqrt(sse / (n - 2) / sxx)
    spread = math.sqrt(sse / (n - 2))
    return slope, se, spread, ys[0], ys[-1]


def out_resources(win, linux_samples, fault_start, out):
    warm = fault_start + WARM_UP
    series = []
    names = ["private bytes", "handles", "GDI objects", "USER objects", "threads"]
    for column, name in zip(range(2, 7), names):
        points = [(r[0] / 1000, r[column]) for r in win if r[0] / 1000 >= warm and r[column] >= 0]
        series.append((f"{name} (Windows)", points))
    for column, name in ((9, "handles, system table"), (10, "windows")):
        points = [(r[0] / 1000, r[column]) for r in win if r[0] / 1000 >= warm and r[column] >= 0]
        series.append((f"{name} (Windows)", points))
    cpu = [(r[0] / 1000, r[7]) for r in win if r[0] / 1000 >= warm and r[7] >= 0]
    series.append(("CPU ms per s (Windows)", rates(cpu)))
    linux = [s for s in linux_samples if s[0] >= warm]
    for column, name in zip(range(1, 5), ["private bytes", "resident bytes", "open fds", "threads"]):
        series.append((f"{name} (Linux /proc)", [(s[0], s[column]) for s in linux]))
    series.append(("CPU ms per s (Linux /proc)", rates([(s[0], s[5]) for s in linux])))
    out(f"resources, every 10 s after the first {WARM_UP:.0f} s of faults ({len(win)} Windows samples, "
        f"{len(linux)} Linux samples); slope per hour with its standard error, the residuals' spread, "
        f"and the slope over the second half alone")
    out(f"{'counter':<31}| {'first':>12} | {'last':>12} | {'slope/hour':>12} | {'std error':>10} | "
        f"{'spread':>10} | {'2nd half':>12} | flag")
    for name, points in series:
        result = fit(points)
        if result is None:
            out(f"{name:<31}| {'no data':>12} |")
            continue
        slope, se, spread, first, last = result
        if all(v == 0 for _, v in points):
            out(f"{name:<31}| {'0 (Wine gives no figure)':>27} |")
            continue
        half = fit(points[len(points) // 2:])
        half_slope = half[0] if half else float("nan")
        # Above noise: clearly positive over the run (3 standard errors), and still rising in its second half.
        flag = "ABOVE NOISE" if slope > 0 and slope > 3 * se and half and half_slope > 3 * half[1] else ""
        out(f"{name:<31}| {first:>12.0f} | {last:>12.0f} | {slope:>12.1f} | {se:>10.1f} | {spread:>10.1f} | "
            f"{half_slope:>12.1f} | {flag}")


def rates(points):
    return [((a[0] + b[0]) / 2, (b[1] - a[1]) / (b[0] - a[0])) for a, b in zip(points, points[1:]) if b[0] > a[0]]
