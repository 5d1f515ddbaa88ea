"""The soak run's verdict: after the server has been stopped, checks that every
fault was answered and nothing else happened, that the mails, starts and modem
lines add up, that the log parses, that the card had its heartbeats and that
every program runs with its copies, and writes the report that says so."""
import glob
import os
import time

from soak_faults import WINDOW
from soak_log import card_heartbeats
from soak_resources import out_resources

BEAT_GAP_LIMIT = 10.0        # s the card may go without a heartbeat
KINDS = ["hang", "freeze", "damage", "crash", "exit-silent", "exit-clean", "card-silent", "modem-hang",
         "mail-silent", "mail-refuse"]
# Lines that need no fault: modem checks and mail attempts, and the outbox's own bookkeeping.
ROUTINE = (54, 56, 81, 82, 309, 310, 311, 312, 313)
OUTBOX_KEPT, OUTBOX_GONE = (309,), (310, 311, 312, 313)
MODEM_LINES = (54, 56, 59, 47, 48, 49, 45)


def judge(soak, copies, started, fault_start, stop_time):
    """(passed, report lines) of a finished soak run."""
    lines, problems = [], []
    out = lines.append
    unexplained = unexplained_events(soak, fault_start, stop_time)
    # Every check runs, in the report's order, even after one has failed.
    passed = [fault_table(soak.faults, unexplained, out, problems),
              mail_accounting(soak, out, problems),
              stand_in_starts(soak, out, problems),
              modem_outcomes(soak.log.events, out, problems),
              log_parses(soak.log, out, problems),
              server_unloaded(soak.log.events, problems),
              heartbeats(soak, started, stop_time, out, problems),
              copies_at_end(soak, copies, out, problems)]
    ok = all(passed)
    out("")
    out_resources(soak.sampler_rows(), soak.linux_samples, soak.fault_start, out)
    out("")
    out("RESULT: " + ("PASS" if ok else "FAIL"))
    for p in problems:
        out("  " + p)
    return ok, lines


def unexplained_events(soak, fault_start, stop_time):
    """Fault kind (or "other") -> the log events no injected fault claimed."""
    unexplained = {k: [] for k in KINDS + ["other"]}
    window_programs = {p.name for p in soak.programs if p.kind == WINDOW}
    for e in soak.log.events:
        if e.claimed is not None or e.number in ROUTINE:
            continue
        # Loading and unloading belong to the start and the stop, not to a fault.
        if e.number in (27, 36, 37, 28) and (e.when >= stop_time - 1 or e.when <= fault_start):
            continue
        kind = event_kind(soak, e, window_programs)
        if kind is not None:
            unexplained[kind].append(e)
    return unexplained


def event_kind(soak, e, window_programs):
    """The fault kind an unclaimed event would have needed, or None when it needs none."""
    if e.number == 31:
        return "freeze" if e.program() in window_programs else "hang"
    if e.number == 42:
        return "crash"
    if e.number in (23, 24):
        return "exit-clean"
    if e.number in (8, 10):
        return "card-silent"
    if e.number in (45, 47, 48, 49, 53, 59):
        return "modem-hang"
    if e.number == 78:
        return None if mail_failure_explained(soak, e) else "mail-silent"
    return "other"


def mail_failure_explained(soak, e):
    """A failed mail inside (or just after) a mail fault, or a retry of a mail the outbox kept from one."""
    inside = any(a <= e.when <= b + 45 for a, b in soak.mail_windows)
    kept = sum(1 for k in soak.log.events if k.number in OUTBOX_KEPT and k.when < e.when)
    gone = sum(1 for k in soak.log.events if k.number in OUTBOX_GONE and k.when < e.when)
    return inside or kept > gone


def fault_table(faults, unexplained, out, problems):
    out(f"{'fault kind':<13}| {'injected':>8} | {'answered as the rules say':>25} | {'unexplained':>11}")
    out("-" * 13 + "+" + "-" * 10 + "+" + "-" * 27 + "+" + "-" * 12)
    ok = True
    for k in KINDS + ["other"]:
        these = [f for f in faults if f.kind == k]
        answered = sum(1 for f in these if f.answered)
        out(f"{k:<13}| {len(these):>8} | {answered:>25} | {len(unexplained[k]):>11}")
        if answered != len(these) or unexplained[k]:
            ok = False
    for f in faults:
        if not f.answered:
            problems.append(f"{f.kind} {f.program.name if f.program else ''} at "
                            f"{time.strftime('%H:%M:%S', time.localtime(f.t0))}: {f.why}")
    for k, events in unexplained.items():
        for e in events:
            problems.append(f"unexplained ({k}): {e.describe()}")
    return ok


def mail_accounting(soak, out, problems):
    """One attempt per restart of a program that asks for mail, each with one outcome,
    and as many delivered mails as the log calls sent."""
    events = soak.log.events
    notify = {p.name: p for p in soak.programs if p.notify}
    wanted = sum(1 for e in events if e.number == 31 and e.program() in notify
                 and int(e.groups[0]) >= notify[e.program()].notify_after)
    attempts = sum(1 for e in events if e.number == 81)
    sent = sum(1 for e in events if e.number == 82)
    failed = sum(1 for e in events if e.number == 78)
    delivered = delivered_mails(soak.mail_dir)
    out(f"mail: {wanted} wanted, {attempts} attempted, {sent} sent, {failed} failed, "
        f"{delivered} delivered to the server")
    if not (wanted == attempts == sent + failed and sent == delivered):
        problems.append("mail accounting does not add up (a mail or its log line went missing)")
        return False
    return True


def delivered_mails(mail_dir):
    """The SMTP sessions the mail server kept that carried a whole message."""
    delivered = 0
    for path in glob.glob(os.path.join(mail_dir, "smtp-*.bin")):
        data = open(path, "rb").read()
        if b"\r\nDATA\r\n" in data and b"\r\n.\r\n" in data.split(b"\r\nDATA\r\n", 1)[1]:
            delivered += 1
    return delivered


def stand_in_starts(soak, out, problems):
    """Every start of a stand-in is one the server logged (copy start or restart) or the bench made."""
    starts = [r for r in soak.records.events if r[3] == "started" and r[1] != "recovery"]
    logged = sum(1 for e in soak.log.events if e.number in (31, 42) and e.program() in soak.by_name)
    out(f"stand-in starts: {len(starts)} seen, {logged} logged by the server + {len(soak.bench_starts)} by the bench")
    if len(starts) != logged + len(soak.bench_starts):
        problems.append("stand-in starts and logged restarts differ (a restart not logged, or a line lost)")
        return False
    return True


def modem_outcomes(events, out, problems):
    """Every modem check ends in a verdict line, and every reset in its outcome."""
    modem = [e for e in events if e.number in MODEM_LINES]
    broken = []
    for a, b in zip(modem, modem[1:] + [None]):
        if a.number == 54 and (b is None or b.number not in (56, 59, 47)):
            broken.append(a)
        if a.number == 47 and (b is None or b.number not in (49, 48, 45)):
            broken.append(a)
    out(f"modem: {sum(1 for e in modem if e.number == 54)} checks, "
        f"{sum(1 for e in modem if e.number == 47)} resets, {len(broken)} without their outcome line")
    problems += [f"modem line without its outcome: {e.describe()}" for e in broken]
    return not broken


def log_parses(log, out, problems):
    out(f"log: {log.lines} lines, {len(log.events)} events, {len(log.garbled)} not parsed")
    problems += [f"log: {g}" for g in log.garbled[:20]]
    return not log.garbled


def server_unloaded(events, problems):
    if any(e.number == 28 for e in events):
        return True
    problems.append("the server did not log its unloading after /k")
    return False


def in_silence(a, b, silences):
    """Whether the gap from a to b touches an injected card silence (with 5 s either side)."""
    return any(s - 5 <= b and a <= t + 5 for s, t in silences)


def heartbeats(soak, started, stop_time, out, problems):
    beats = card_heartbeats(os.path.join(soak.card_dir, "traffic.log"), started)
    beats = [b for b in beats if b <= stop_time]
    gaps = [(a, b) for a, b in zip(beats, beats[1:]) if b - a > BEAT_GAP_LIMIT]
    lost = [(a, b) for a, b in gaps if not in_silence(a, b, soak.card_silences)]
    longest = max((b - a for a, b in zip(beats, beats[1:]) if not in_silence(a, b, soak.card_silences)), default=0)
    out(f"card: {len(beats)} heartbeats, longest gap outside injected silences {longest:.1f} s, "
        f"{len(lost)} gaps over {BEAT_GAP_LIMIT:.0f} s")
    for a, b in lost:
        problems.append(f"card went {b - a:.1f} s without a heartbeat: "
                        f"{time.strftime('%H:%M:%S', time.localtime(a))} to "
                        f"{time.strftime('%H:%M:%S', time.localtime(b))}")
    return not lost


def copies_at_end(soak, copies, out, problems):
    short = {n: c for n, c in copies.items() if c != soak.by_name[n].copies}
    out(f"at the end: {sum(copies.values())} stand-in processes running, "
        f"{len(short)} programs without their configured copies")
    if short:
        problems.append(f"programs not running with their copies at the end: {short}")
        return False
    return True
