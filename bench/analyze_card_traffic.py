#!/usr/bin/env python3
"""Heartbeat timing from the card simulator's traffic log.

  analyze_card_traffic.py TRAFFIC periods FROM TO   heartbeat period (time
        between successive "T" commands) between two wall-clock marks
  analyze_card_traffic.py TRAFFIC reset             time from the last "T"
        command to the first card reset after it
  analyze_card_traffic.py TRAFFIC gap FROM TO [NAME]  longest time between two
        "T" commands between two marks
Marks are "HH:MM:SS.mmm" as the log writes them. With --machine, "periods"
also prints one line "result heartbeat-period <ms> ms" per period, and "gap"
one line "result NAME <ms> ms", for bench/report.
"""
import statistics
import sys


def ms(stamp):
    h, m, s = stamp.split(":")
    return (int(h) * 3600 + int(m) * 60) * 1000 + round(float(s) * 1000)


def events(path):
    with open(path) as log:
        for line in log:
            stamp, _, rest = line.rstrip("\n").partition(" ")
            yield ms(stamp), rest


def heartbeats(path, start=None, end=None):
    return [t for t, what in events(path)
            if what.startswith("card command T") and (start is None or start <= t <= end)]


def main():
    args = [a for a in sys.argv[1:] if a != "--machine"]
    machine = len(args) != len(sys.argv) - 1
    path, mode = args[0], args[1]
    if mode == "periods":
        beats = heartbeats(path, ms(args[2]), ms(args[3]))
        periods = [b - a for a, b in zip(beats, beats[1:])]
        if len(periods) < 2:
            sys.exit(f"only {len(beats)} heartbeats between the marks: no period to measure")
        q = statistics.quantiles(periods, n=20)
        print(f"heartbeats: {len(beats)}; period ms: median {statistics.median(periods):.0f}, "
              f"min {min(periods)}, max {max(periods)}, 5-95% {q[0]:.0f}-{q[-1]:.0f}, "
              f"stdev {statistics.pstdev(periods):.1f}")
        if machine:
            for period in periods:
                print(f"result heartbeat-period {period} ms")
    elif mode == "reset":
        last = None
        for t, what in events(path):
            if what.startswith("card command T"):
                last = t
            elif what.startswith("card reset") and last is not None:
                print(f"last heartbeat to reset: {t - last} ms ({what})")
                return
        sys.exit("no reset after a heartbeat")
    elif mode == "gap":
        beats = heartbeats(path, ms(args[2]), ms(args[3]))
        if len(beats) < 2:
            sys.exit(f"only {len(beats)} heartbeats between the marks: no gap to measure")
        longest = max(b - a for a, b in zip(beats, beats[1:]))
        print(f"longest gap between heartbeats: {longest} ms")
        if machine and len(args) > 4:
            print(f"result {args[4]} {longest} ms")


if __name__ == "__main__":
    main()
