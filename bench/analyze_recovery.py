#!/usr/bin/env python3
"""Recovery latency from a stand-in record file (lines "<pid> <event> <ms>").

Every copy registers once and then never beats again, so its interval runs
out at its registration time + the interval. The latency of a recovery is the
time from that moment to the registration of the copy started in its place.
With --machine, also one line "result recovery-latency <ms> ms" per recovery,
for bench/report.
"""
import statistics
import sys


def main():
    args = [a for a in sys.argv[1:] if a != "--machine"]
    machine = len(args) != len(sys.argv) - 1
    if len(args) != 2:
        sys.exit("usage: analyze_recovery.py [--machine] RECORD INTERVAL_MS")
    interval = int(args[1])
    registrations = []  # (ms, pid) of each copy's first alive message, in order
    seen = set()
    with open(args[0]) as record:
        for line in record:
            parts = line.split()
            if len(parts) >= 3 and parts[1] == "alive" and parts[0] not in seen:
                seen.add(parts[0])
                registrations.append(int(parts[2]))
    latencies = [b - (a + interval) for a, b in zip(registrations, registrations[1:])]
    if not latencies:
        sys.exit("no recovery recorded")
    print(f"recoveries: {len(latencies)}")
    print(f"latency ms: median {statistics.median(latencies):.0f}, max {max(latencies)}, min {min(latencies)}")
    print("each:", " ".join(str(x) for x in latencies))
    if machine:
        for latency in latencies:
            print(f"result recovery-latency {latency} ms")


if __name__ == "__main__":
    main()
