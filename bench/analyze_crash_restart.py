#!/usr/bin/env python3
"""Crash-to-replacement times from a stand-in record file.

Lines are "<pid> <event> <ms> ...". Every copy crashes some time after its
start ("ending crash"); the time counted is from that line to the first alive
message of the next copy to start (the one the server started in its place).
Prints "crash-restart LABEL median MS p95 MS n COUNT".
"""
import statistics
import sys


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(fraction * (len(ordered) - 1))))]


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: analyze_crash_restart.py RECORD LABEL")
    crashes = []  # ms of each "ending crash", in order
    first_alive = []  # (ms, pid) of each copy's first alive message, in order
    seen = set()
    with open(sys.argv[1], errors="replace") as record:
        for line in record:
            parts = line.split()
            if len(parts) < 3:
                continue
            if parts[1] == "ending" and parts[3:4] == ["crash"]:
                crashes.append(int(parts[2]))
            elif parts[1] == "alive" and parts[0] not in seen:
                seen.add(parts[0])
                first_alive.append(int(parts[2]))
    times = []
    for crash in crashes:
        later = [t for t in first_alive if t >= crash]
        if later:
            times.append(later[0] - crash)
    if not times:
        sys.exit("no restart after a crash recorded")
    label = sys.argv[2]
    print(f"{label}: each: " + " ".join(str(t) for t in times))
    print(f"crash-restart {label} median {statistics.median(times):.0f} p95 {percentile(times, 0.95)} n {len(times)}")


if __name__ == "__main__":
    main()
