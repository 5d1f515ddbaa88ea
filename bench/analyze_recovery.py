#!/usr/bin/env python3
"""Recovery latency from a stand-in record file (lines "<pid> <event> <ms>").

Every copy registers once and then never beats again, so its interval runs
out at its registration time + the interval. The latency of a recovery is the
time from that moment to the registration of the copy started in its place.
"""
import statistics
import sys


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: analyze_recovery.py RECORD INTERVAL_MS")
    interval = int(sys.argv[2])
    registrations = []  # (ms, pid) of each copy's first alive message, in order
    seen = set()
    with open(sys.argv[1]) as record:
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


if __name__ == "__main__":
    main()
