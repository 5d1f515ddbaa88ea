#!/usr/bin/env python3
"""The soak run's driver and its verdict (started by bench/soak, which builds
and makes the Wine prefix). What it reads back is parsed by soak_log.py; the
resource figures are judged by soak_resources.py.

It lays out 20 stand-ins under C:\\soak in the prefix, stores their records
and the server's settings, starts the card simulator, the scripted SMTP
server, mrwd.exe and the Windows-side sampler, injects faults at random for
the run's duration, stops the server with /k and judges:
  - every injected fault was answered as the server's rules say, and no
    restart, registration, card or modem event, or mail error happened that
    no fault explains;
  - every line of the log parses (Windows-1251, time stamp, a known message);
  - the card never went 10 s without a heartbeat, outside injected silences;
  - every stand-in runs with its configured copies at the end;
  - the server's resource figures have no slope above their noise.
"""
import argparse
import glob
import os
import random
import re
import subprocess
import sys
import time

from soak_log import LogReader, Records, card_heartbeats
from soak_resources import linux_sample, out_resources, read_sampler_rows

WINE = os.environ.get("WINE", "/usr/lib/wine/wine64")
CARD_PORT, MODEM_PORT = 5, 6
ALIVE, WINDOW = "alive", "window"
BEAT_GAP_LIMIT = 10.0        # s the card may go without a heartbeat
SETTLE = 15.0                # s a program rests after each answered fault
ANSWER_TIME = 90.0           # s a program fault may take to be answered
QUIET_AFTER_CLEAN_EXIT = 12.0  # s in which an announced exit must stay alone


class Program:
    def __init__(self, name, kind, copies=1, recovery=False, only_different=0, notify=0, notify_after=1,
                 reboot_after=0):
        self.name, self.kind, self.copies = name, kind, copies
        self.recovery, self.only_different = recovery, only_different
        self.notify, self.notify_after, self.reboot_after = notify, notify_after, reboot_after
        self.busy_until = 0.0
        self.pending = None

    @property
    def exe(self):
        return f"soak-{self.name}.exe"

    @property
    def win_path(self):
        return rf"C:\soak\apps\{self.name}\{self.exe}"

    def faults(self):
        kinds = ["hang" if self.kind == ALIVE else "freeze", "crash", "exit-silent"]
        if self.kind == ALIVE and self.copies == 1:
            kinds.append("exit-clean")
        if self.recovery:
            kinds.append("damage")
        return kinds


def roster():
    programs = [Program(f"a0{i}", ALIVE) for i in range(1, 9)]
    programs[0].notify = 1
    programs[1].notify, programs[1].notify_after = 1, 2
    programs += [Program("a09", ALIVE, copies=2), Program("a10", ALIVE, copies=2)]
    programs += [Program(f"w0{i}", WINDOW) for i in range(1, 6)]
    programs += [Program("w06", WINDOW, copies=2)]
    programs += [Program("r01", ALIVE, recovery=True, notify=1),
                 Program("r02", ALIVE, recovery=True, only_different=1),
                 Program("r03", WINDOW, recovery=True)]
    programs += [Program("b01", ALIVE, reboot_after=1000)]
    return programs


# ------------------------------------------------------------------ faults

class Fault:
    def __init__(self, kind, program, now):
        self.kind, self.program, self.t0 = kind, program, now
        self.state = "claim"
        self.pid = None
        self.deadline = now + ANSWER_TIME
        self.answered = None  # True / False when settled
        self.why = ""
        self.claimed = []
        self.extra = {}


class Soak:
    def __init__(self, args):
        self.args = args
        self.root, self.work, self.keep = args.root, args.work, args.keep
        self.prefix = os.path.join(self.work, "prefix")
        self.base = os.path.join(self.prefix, "drive_c", "soak")
        self.random = random.Random(args.seed)
        self.programs = roster()
        self.by_name = {p.name: p for p in self.programs}
        self.faults = []
        self.failures = {}      # pid -> failure count the server carries for it
        self.used_starts = set()  # ids of start records already matched to a start
        self.bench_starts = []  # (when, name)
        self.children = []
        self.card_silences = []  # (from, to)
        self.mail_windows = []   # (from, to)
        self.hardware_busy_until = 0.0
        self.mail_busy_until = 0.0
        self.linux_samples = []
        self.rotation = []
        self.server_linux_pid = None

    # ------------------------------------------------------------ set-up
    def env(self):
        env = dict(os.environ)
        env["MRWD_STANDIN_ARGS"] = "--no-alive --exit-after 300 --exit silent"
        env["MRWD_STANDIN_RECORD"] = r"C:\soak\rec\recovery.txt"
        return env

    def wine(self, *argv, cwd=None, wait=True):
        cmd = [WINE] + list(argv)
        if wait:
            return subprocess.run(cmd, cwd=cwd, env=self.env(), stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
        child = subprocess.Popen(cmd, cwd=cwd, env=self.env(), stdin=subprocess.DEVNULL,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        self.children.append(child)
        return child

    def poke(self, *argv):
        if self.wine(self.bin("winpoke.exe"), *argv) != 0:
            sys.exit(f"soak: winpoke {' '.join(argv)} failed")

    def bin(self, name):
        return os.path.join(self.root, "build", "win", "bin", name)

    def lay_out(self):
        import shutil
        for sub in ("apps", "backup", "recover", "rec", "ctl"):
            os.makedirs(os.path.join(self.base, sub), exist_ok=True)
        shutil.copy(self.bin("mrwd.exe"), self.base)
        shutil.copy(self.bin("process_sampler.exe"), self.base)
        for p in self.programs:
            folder = os.path.join(self.base, "apps", p.name)
            os.makedirs(folder, exist_ok=True)
            shutil.copy(self.bin("standin.exe"), os.path.join(folder, p.exe))
            params = rf"--record C:\soak\rec\{p.name}.txt --control C:\soak\ctl\{p.name}.cmd"
            params += " --interval 10" if p.kind == ALIVE else " --no-alive --window"
            fields = [f"Parameters={params}", f"NoAliveSupport={int(p.kind == WINDOW)}", f"Copies={p.copies}",
                      "CheckInterval=10000", f"Notify={p.notify}", f"NotifyAfter={p.notify_after}",
                      f"RebootAfter={p.reboot_after}"]
            if p.recovery:
                backup = os.path.join(self.base, "backup", p.name)
                os.makedirs(os.path.join(backup, "sub"), exist_ok=True)
                content = "".join(f"{p.name} line {i}\r\n" for i in range(400))
                for target in (backup, folder):
                    with open(os.path.join(target, "data.txt"), "w") as f:
                        f.write(content)
                with open(os.path.join(backup, "sub", "more.txt"), "w") as f:
                    f.write(content[::-1])
                shutil.copy(self.bin("standin.exe"), os.path.join(self.base, "recover", f"recover-{p.name}.exe"))
                fields += [rf"RunPath=C:\soak\recover\recover-{p.name}.exe", "RunAfter=1", "CopyAfter=1",
                           rf"BackupFolder=C:\soak\backup\{p.name}", rf"RestoreFolder=C:\soak\apps\{p.name}",
                           f"CopyOnlyDifferent={p.only_different}", "CopySubfolders=1"]
            self.poke("store-module-fields", p.win_path, *fields)
        for name, value in (("Active", 1), ("Log", 1), ("Controller", 0), ("CustomControllerPort", 1),
                            ("ControllerPort", CARD_PORT), ("CheckContr", 1), ("RebootTimeout", 10),
                            ("HardReboot", 0), ("Modem", MODEM_PORT), ("ControlMdm", 0), ("MdmCheckTimeout", 1),
                            ("NotifyReboot", 1), ("SendLog", 0)):
            self.poke("set-dword", name, str(value))

    def start_services(self):
        card = os.path.join(self.work, "card")
        mail = os.path.join(self.work, "mail")
        os.makedirs(card)
        os.makedirs(mail)
        self.card_dir, self.mail_dir = card, mail
        self.children.append(subprocess.Popen(
            [os.path.join(self.root, "build", "win", "host", "cardsim"), "--prefix", self.prefix,
             "--card", str(CARD_PORT), "--modem", str(MODEM_PORT), "--dir", card],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        self.children.append(subprocess.Popen(
            ["/usr/bin/python3", os.path.join(self.root, "tests", "harness", "mailsim.py"), "--dir", mail],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        deadline = time.time() + 10
        while not (os.path.exists(os.path.join(card, "ready")) and os.path.exists(os.path.join(mail, "ready"))):
            if time.time() > deadline:
                sys.exit("soak: the card simulator or the mail server did not start")
            time.sleep(0.05)
        smtp_port = open(os.path.join(mail, "ports")).read().split()[0]
        self.poke("set-mail", smtp_port, "watchdog", "Pa55-w0rd")

    def card_control(self, line):
        with open(os.path.join(self.card_dir, "control"), "a") as f:
            f.write(line + "\n")

    def mail_script(self, text):
        tmp = os.path.join(self.mail_dir, "script.tmp")
        with open(tmp, "w") as f:
            f.write(text)
        os.replace(tmp, os.path.join(self.mail_dir, "script"))

    # ------------------------------------------------------- observation
    def poll(self):
        self.log.poll()
        self.records.poll()

    def sampler_rows(self):
        return read_sampler_rows(os.path.join(self.base, "samples.txt"))

    def my_processes(self):
        """Linux pid -> command line of every process of our prefix."""
        found = {}
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open(f"/proc/{entry}/environ", "rb") as f:
                    if b"WINEPREFIX=" + self.prefix.encode() + b"\0" not in f.read():
                        continue
                with open(f"/proc/{entry}/cmdline", "rb") as f:
                    found[int(entry)] = f.read().replace(b"\0", b" ").decode("utf-8", "replace").strip()
            except OSError:
                continue
        return found

    def running_copies(self):
        counts = {p.name: 0 for p in self.programs}
        for cmd in self.my_processes().values():
            m = re.search(r"soak-(\w+)\.exe", cmd, re.IGNORECASE)
            if m and m.group(1).lower() in counts and "recover" not in cmd.lower():
                counts[m.group(1).lower()] += 1
        return counts

    def sample_linux(self):
        if self.server_linux_pid is None:
            for pid, cmd in self.my_processes().items():
                if re.search(r"mrwd\.exe$", cmd):
                    self.server_linux_pid = pid
        pid = self.server_linux_pid
        if pid is None:
            return
        sample = linux_sample(pid)
        if sample is not None:
            self.linux_samples.append(sample)

    # -------------------------------------------------------- injecting
    def inject_program_fault(self, program, kind, now):
        fault = Fault(kind, program, now)
        word = {"damage": "hang" if program.kind == ALIVE else "freeze"}.get(kind, kind)
        if kind == "damage":
            with open(os.path.join(self.base, "apps", program.name, "data.txt"), "w") as f:
                f.write("damaged\r\n")
        fault.word = word
        tmp = os.path.join(self.base, "ctl", program.name + ".tmp")
        with open(tmp, "w") as f:
            f.write(word + "\n")
        os.replace(tmp, os.path.join(self.base, "ctl", program.name + ".cmd"))
        program.pending = fault
        self.faults.append(fault)
        return fault

    def inject_card_silence(self, now):
        fault = Fault("card-silent", None, now)
        fault.extra["length"] = self.random.uniform(15, 25)
        fault.extra["lines_before"] = max([r[8] for r in self.sampler_rows()] + [0])
        fault.state = "silent"
        fault.deadline = now + fault.extra["length"] + 60
        self.card_control("card fault silent")
        self.faults.append(fault)
        self.hardware_busy_until = fault.deadline
        return fault

    def inject_modem_hang(self, now):
        fault = Fault("modem-hang", None, now)
        fault.state = "hung"
        fault.deadline = now + 150
        self.card_control("modem hang on")
        self.faults.append(fault)
        self.hardware_busy_until = fault.deadline
        return fault

    def inject_mail_fault(self, now, mode):
        fault = Fault(f"mail-{mode}", None, now)
        fault.extra["length"] = 75
        fault.state = "faulty"
        fault.deadline = now + fault.extra["length"] + 75
        self.mail_script("mode silent\n" if mode == "silent" else "reply RCPT 550 5.1.1 mailbox unavailable\n")
        self.faults.append(fault)
        self.mail_busy_until = fault.deadline + 10
        return fault

    def free_programs(self, now, pred=lambda p: True):
        return [p for p in self.programs if p.pending is None and p.busy_until <= now and pred(p)]

    def inject_global(self, now):
        """The next card, modem or mail fault of a shuffled rotation, so that a run of ten minutes has each."""
        if not self.rotation:
            self.rotation = ["card-silent", "modem-hang", "mail-silent", "mail-refuse"]
            self.random.shuffle(self.rotation)
            # For trying one kind quickly: SOAK_GLOBAL_ORDER=card-silent,mail-silent runs those first.
            # The first fault is a card silence: the failure window it opens (a thread and a dialog that
            # stay until someone closes them) then exists before the resource figures are measured.
            first = [k for k in os.environ.pop("SOAK_GLOBAL_ORDER", "card-silent").split(",") if k in self.rotation]
            self.rotation = first + [k for k in self.rotation if k not in first]
        kind = self.rotation[0]
        if kind in ("card-silent", "modem-hang"):
            if now < self.hardware_busy_until:
                return None
            self.rotation.pop(0)
            return self.inject_card_silence(now) if kind == "card-silent" else self.inject_modem_hang(now)
        if now < self.mail_busy_until:
            return None
        self.rotation.pop(0)
        return self.inject_mail_fault(now, kind[5:])

    def inject_something(self, now):
        free = self.free_programs(now)
        if not free:
            return None
        program = self.random.choice(free)
        return self.inject_program_fault(program, self.random.choice(program.faults()), now)

    # -------------------------------------------------------- judging
    def take(self, fault, pred, after):
        """The first unclaimed log event after `after` that `pred` accepts, claimed for `fault`."""
        for event in self.log.events:
            if event.claimed is None and event.when >= after - 0.5 and pred(event):
                event.claimed = fault
                fault.claimed.append(event)
                return event
        return None

    def settle(self, fault, ok, why=""):
        fault.answered, fault.why = ok, why
        fault.settled_at = time.time()
        if fault.program is not None:
            fault.program.pending = None
            fault.program.busy_until = time.time() + SETTLE
        elif fault.kind in ("card-silent", "modem-hang"):
            self.hardware_busy_until = time.time() + 20
        else:
            self.mail_busy_until = time.time() + 10
        if not ok:
            print(f"  ! {fault.kind} {fault.program.name if fault.program else ''}: {why}", flush=True)

    def files_restored(self, program):
        a = open(os.path.join(self.base, "apps", program.name, "data.txt"), "rb").read()
        b = open(os.path.join(self.base, "backup", program.name, "data.txt"), "rb").read()
        return a == b

    def advance(self, fault, now):
        p = fault.program
        if fault.state == "claim":
            rec = self.records.find(p.name, "command-" + fault.word, fault.t0)
            if rec is None:
                if now > fault.t0 + 10:
                    left = os.listdir(os.path.join(self.base, "ctl"))
                    self.settle(fault, False, f"no running copy took the command (control folder: {left})")
                return
            fault.pid, fault.t_claim = rec[2], rec[0]
            self.records.events.remove(rec)
            fault.state = {"hang": "restart", "freeze": "restart", "damage": "restart", "crash": "copy",
                           "exit-silent": "copy", "exit-clean": "ended"}[fault.kind]
        if fault.state == "restart":
            line = self.take(fault, lambda e: e.number == 31 and e.program() == p.name, fault.t_claim)
            if line is None:
                return
            fault.line31 = line
            n = int(line.groups[0])
            expected = self.failures.get(fault.pid)
            fault.extra["n"] = n
            if expected is not None and n != expected + 1:
                fault.extra["numbering"] = f"restart number {n}, expected {expected + 1}"
            fault.state = "replaced"
        if fault.state == "replaced":
            rec = self.records.find(p.name, "started", fault.line31.when,
                                    pred=lambda r: id(r) not in self.used_starts)
            if rec is None:
                return
            self.used_starts.add(id(rec))
            self.failures[rec[2]] = fault.extra["n"]
            problems = []
            if "numbering" in fault.extra:
                problems.append(fault.extra["numbering"])
            if p.recovery:
                run = [r for r in self.records.events if r[1] == "recovery" and r[3] == "started"
                       and f"recover-{p.name}.exe" in r[4].lower() and fault.line31.when - 1 <= r[0] <= rec[0] + 1
                       and not r[4].endswith(" used")]
                if not run:
                    problems.append("recovery program not run")
                else:
                    self.records.events[self.records.events.index(run[0])] = run[0][:4] + (run[0][4] + " used",)
                if not self.files_restored(p):
                    problems.append("files not restored")
            self.settle(fault, not problems, "; ".join(problems))
            return
        if fault.state == "copy":
            line = self.take(fault, lambda e: e.number == 42 and e.program() == p.name, fault.t_claim)
            if line is None:
                return
            fault.new_pid = int(line.groups[0])
            self.failures[fault.new_pid] = 0
            fault.state = "copy-started"
        if fault.state == "copy-started":
            # The copy the server named is the one that started.
            rec = self.records.find(p.name, "started", fault.t_claim, pid=fault.new_pid,
                                    pred=lambda r: id(r) not in self.used_starts)
            if rec is None:
                return
            self.used_starts.add(id(rec))
            self.settle(fault, fault.new_pid != fault.pid, "" if fault.new_pid != fault.pid else "same pid")
            return
        if fault.state == "ended":
            line = self.take(fault, lambda e: e.number == 24 and int(e.groups[0]) == fault.pid, fault.t_claim)
            if line is None:
                return
            fault.t_ended = line.when
            fault.state = "quiet"
        if fault.state == "quiet":
            if now < fault.t_ended + QUIET_AFTER_CLEAN_EXIT:
                return
            # Left alone: now the bench starts it again, as an operator would.
            folder = os.path.join(self.base, "apps", p.name)
            params = rf"--record C:\soak\rec\{p.name}.txt --control C:\soak\ctl\{p.name}.cmd --interval 10"
            self.wine(p.win_path, *params.split(), cwd=folder, wait=False)
            self.bench_starts.append((now, p.name))
            fault.t_restart = now
            fault.state = "registered"
        if fault.state == "registered":
            line = self.take(fault, lambda e: e.number == 23 and e.program() == p.name, fault.t_restart)
            if line is None:
                return
            rec = self.records.find(p.name, "started", fault.t_restart, pid=int(line.groups[0]))
            if rec is not None:
                self.used_starts.add(id(rec))
            self.failures[int(line.groups[0])] = 0
            self.settle(fault, True)
            return

    def advance_global(self, fault, now):
        if fault.kind == "card-silent":
            if fault.state == "silent" and now >= fault.t0 + fault.extra["length"]:
                self.card_control("card fault none")
                fault.t_end = now
                self.card_silences.append((fault.t0, now))
                fault.state = "back"
            if fault.state == "back":
                lines = [r[8] for r in self.sampler_rows() if r[0] / 1000 > fault.t0]
                window = max(lines + [-1]) > fault.extra["lines_before"]
                restarted = self.take(fault, lambda e: e.number == 10, fault.t_end) if not fault.extra.get("10") \
                    else True
                if restarted:
                    fault.extra["10"] = True
                if window and restarted:
                    # The failed searches meanwhile belong to this episode.
                    while self.take(fault, lambda e: e.number == 8 and e.when <= now, fault.t0):
                        pass
                    self.settle(fault, True)
        elif fault.kind == "modem-hang":
            if fault.state == "hung":
                if self.take(fault, lambda e: e.number == 47, fault.t0):
                    fault.state = "reset"
            if fault.state == "reset":
                if self.take(fault, lambda e: e.number == 49, fault.t0):
                    self.settle(fault, True)
        elif fault.kind.startswith("mail-"):
            if fault.state == "faulty":
                if "program" not in fault.extra:
                    free = self.free_programs(now, lambda p: p.notify and p.notify_after == 1 and p.kind == ALIVE)
                    if free:
                        program = self.random.choice(free)
                        fault.extra["program"] = self.inject_program_fault(program, "hang", now)
                if now >= fault.t0 + fault.extra["length"]:
                    self.mail_script("")
                    fault.t_end = now
                    self.mail_windows.append((fault.t0, now))
                    fault.state = "back"
            if fault.state == "back":
                if self.take(fault, lambda e: e.number == 78, fault.t0):
                    self.settle(fault, True)

    # ------------------------------------------------------------ run
    def run(self):
        args = self.args
        self.lay_out()
        self.start_services()
        self.log = LogReader(os.path.join(self.base, "Logs"))
        self.records = Records(os.path.join(self.base, "rec"))
        started = time.time()
        self.wine("mrwd.exe", cwd=self.base, wait=False)
        self.wine(os.path.join(self.base, "process_sampler.exe"), "mrwd.exe", r"C:\soak\samples.txt",
                  r"C:\soak\sampler.stop", "10000", cwd=self.base, wait=False)
        # Start-up: every program started with its copies.
        want = {p.name: p.copies for p in self.programs}
        deadline = started + 90
        while True:
            self.poll()
            starts = {}
            for e in self.log.events:
                if e.number == 42 and e.program() in want:
                    starts[e.program()] = starts.get(e.program(), 0) + 1
            if starts == want:
                break
            if time.time() > deadline:
                sys.exit(f"soak: the server did not start every program: {starts}")
            time.sleep(0.5)
        for e in self.log.events:
            e.claimed = e.claimed or "start-up"
            if e.number == 42:
                self.failures[int(e.groups[0])] = 0
        time.sleep(12)  # past every program's first check interval
        self.poll()
        self.used_starts.update(id(r) for r in self.records.events if r[3] == "started")
        for e in self.log.events:
            if e.number in (10, 27, 36, 42):
                e.claimed = e.claimed or "start-up"
        # Faults.
        fault_start = self.fault_start = time.time()
        end = fault_start + args.minutes * 60
        print(f"soak: {args.minutes} min of faults, seed {args.seed}, 20 programs", flush=True)
        next_fault = fault_start + 3
        next_global = fault_start + 20
        next_sample = 0
        next_report = fault_start + 60
        while True:
            now = time.time()
            self.poll()
            if now >= next_sample:
                self.sample_linux()
                next_sample = now + 10
            for fault in self.faults:
                if fault.answered is None:
                    if fault.program is not None:
                        self.advance(fault, now)
                    else:
                        self.advance_global(fault, now)
                    if fault.answered is None and now > fault.deadline:
                        self.settle(fault, False, f"not answered in time (state {fault.state})")
            if now >= next_report:
                next_report = now + 60
                done = [f for f in self.faults if f.answered is not None]
                print(f"  {(now - fault_start) / 60:.0f} min: {len(self.faults)} faults injected, "
                      f"{sum(1 for f in done if f.answered)} answered, {sum(1 for f in done if not f.answered)} not",
                      flush=True)
            if now < end and now >= next_global and self.inject_global(now) is not None:
                next_global = now + self.random.uniform(60, 120)
            if now < end and now >= next_fault:
                self.inject_something(now)
                next_fault = now + self.random.uniform(4, 9)
            if now >= end and all(f.answered is not None for f in self.faults):
                break
            if now > end + 240:
                break
            time.sleep(0.3)
        time.sleep(SETTLE)
        self.poll()
        copies = self.running_copies()
        self.sample_linux()
        open(os.path.join(self.base, "sampler.stop"), "w").close()
        stop_time = time.time()
        self.wine("mrwd.exe", "/k", cwd=self.base)
        deadline = time.time() + 30
        while time.time() < deadline and not any(e.number == 28 for e in self.log.events):
            time.sleep(0.5)
            self.poll()
        time.sleep(1)
        self.poll()
        return self.judge(copies, started, fault_start, stop_time)

    # ------------------------------------------------------------ verdict
    def judge(self, copies, started, fault_start, stop_time):
        ok = True
        lines = []
        out = lines.append
        kinds = ["hang", "freeze", "damage", "crash", "exit-silent", "exit-clean", "card-silent", "modem-hang",
                 "mail-silent", "mail-refuse"]
        unexplained = {k: [] for k in kinds + ["other"]}
        window_programs = {p.name for p in self.programs if p.kind == WINDOW}
        for e in self.log.events:
            if e.claimed is not None or e.number in (54, 56, 81, 82, 309, 310, 311, 312, 313):
                continue
            if e.number in (27, 36, 37, 28) and (e.when >= stop_time - 1 or e.when <= fault_start):
                continue
            if e.number == 31:
                unexplained["freeze" if e.program() in window_programs else "hang"].append(e)
            elif e.number == 42:
                unexplained["crash"].append(e)
            elif e.number in (23, 24):
                unexplained["exit-clean"].append(e)
            elif e.number in (8, 10):
                unexplained["card-silent"].append(e)
            elif e.number in (45, 47, 48, 49, 53, 59):
                unexplained["modem-hang"].append(e)
            elif e.number == 78:
                inside = any(a <= e.when <= b + 45 for a, b in self.mail_windows)
                # A retry of a mail the outbox kept from an earlier mail fault.
                kept = sum(1 for k in self.log.events if k.number == 309 and k.when < e.when)
                gone = sum(1 for k in self.log.events if k.number in (310, 311, 312, 313) and k.when < e.when)
                if not inside and kept <= gone:
                    unexplained["mail-silent"].append(e)
            else:
                unexplained["other"].append(e)
        out(f"{'fault kind':<13}| {'injected':>8} | {'answered as the rules say':>25} | {'unexplained':>11}")
        out("-" * 13 + "+" + "-" * 10 + "+" + "-" * 27 + "+" + "-" * 12)
        for k in kinds + ["other"]:
            these = [f for f in self.faults if f.kind == k]
            answered = sum(1 for f in these if f.answered)
            out(f"{k:<13}| {len(these):>8} | {answered:>25} | {len(unexplained[k]):>11}")
            if answered != len(these) or unexplained[k]:
                ok = False
        problems = []
        for f in self.faults:
            if not f.answered:
                problems.append(f"{f.kind} {f.program.name if f.program else ''} at "
                                f"{time.strftime('%H:%M:%S', time.localtime(f.t0))}: {f.why}")
        for k, events in unexplained.items():
            for e in events:
                problems.append(f"unexplained ({k}): {e.describe()}")

        # Mail accounting: one attempt per restart of a program that asks for mail, each with one outcome,
        # and as many delivered mails as the log calls sent.
        notify = {p.name: p for p in self.programs if p.notify}
        wanted = sum(1 for e in self.log.events if e.number == 31 and e.program() in notify
                     and int(e.groups[0]) >= notify[e.program()].notify_after)
        attempts = sum(1 for e in self.log.events if e.number == 81)
        sent = sum(1 for e in self.log.events if e.number == 82)
        failed = sum(1 for e in self.log.events if e.number == 78)
        delivered = 0
        for path in glob.glob(os.path.join(self.mail_dir, "smtp-*.bin")):
            data = open(path, "rb").read()
            if b"\r\nDATA\r\n" in data and b"\r\n.\r\n" in data.split(b"\r\nDATA\r\n", 1)[1]:
                delivered += 1
        out(f"mail: {wanted} wanted, {attempts} attempted, {sent} sent, {failed} failed, "
            f"{delivered} delivered to the server")
        if not (wanted == attempts == sent + failed and sent == delivered):
            ok = False
            problems.append("mail accounting does not add up (a mail or its log line went missing)")

        # Every start of a stand-in is one the server logged (copy start or restart) or the bench made.
        starts = [r for r in self.records.events if r[3] == "started" and r[1] != "recovery"]
        logged = sum(1 for e in self.log.events if e.number in (31, 42) and e.program() in self.by_name)
        out(f"stand-in starts: {len(starts)} seen, {logged} logged by the server + {len(self.bench_starts)} by the bench")
        if len(starts) != logged + len(self.bench_starts):
            ok = False
            problems.append("stand-in starts and logged restarts differ (a restart not logged, or a line lost)")

        # Every modem check ends in a verdict line, and every reset in its outcome.
        modem = [e for e in self.log.events if e.number in (54, 56, 59, 47, 48, 49, 45)]
        broken = []
        for a, b in zip(modem, modem[1:] + [None]):
            if a.number == 54 and (b is None or b.number not in (56, 59, 47)):
                broken.append(a)
            if a.number == 47 and (b is None or b.number not in (49, 48, 45)):
                broken.append(a)
        out(f"modem: {sum(1 for e in modem if e.number == 54)} checks, "
            f"{sum(1 for e in modem if e.number == 47)} resets, {len(broken)} without their outcome line")
        if broken:
            ok = False
            problems += [f"modem line without its outcome: {e.describe()}" for e in broken]

        out(f"log: {self.log.lines} lines, {len(self.log.events)} events, {len(self.log.garbled)} not parsed")
        if self.log.garbled:
            ok = False
            problems += [f"log: {g}" for g in self.log.garbled[:20]]
        if not any(e.number == 28 for e in self.log.events):
            ok = False
            problems.append("the server did not log its unloading after /k")

        # Heartbeats.
        beats = card_heartbeats(os.path.join(self.card_dir, "traffic.log"), started)
        beats = [b for b in beats if b <= stop_time]
        gaps = [(a, b) for a, b in zip(beats, beats[1:]) if b - a > BEAT_GAP_LIMIT]
        explained = [(a, b) for a, b in gaps if any(s - 5 <= b and a <= t + 5 for s, t in self.card_silences)]
        lost = [g for g in gaps if g not in explained]
        longest = max((b - a for a, b in zip(beats, beats[1:])
                       if not any(s - 5 <= b and a <= t + 5 for s, t in self.card_silences)), default=0)
        out(f"card: {len(beats)} heartbeats, longest gap outside injected silences {longest:.1f} s, "
            f"{len(lost)} gaps over {BEAT_GAP_LIMIT:.0f} s")
        for a, b in lost:
            ok = False
            problems.append(f"card went {b - a:.1f} s without a heartbeat: "
                            f"{time.strftime('%H:%M:%S', time.localtime(a))} to "
                            f"{time.strftime('%H:%M:%S', time.localtime(b))}")

        short = {n: c for n, c in copies.items() if c != self.by_name[n].copies}
        out(f"at the end: {sum(copies.values())} stand-in processes running, "
            f"{len(short)} programs without their configured copies")
        if short:
            ok = False
            problems.append(f"programs not running with their copies at the end: {short}")

        out("")
        out_resources(self.sampler_rows(), self.linux_samples, self.fault_start, out)
        out("")
        out("RESULT: " + ("PASS" if ok else "FAIL"))
        for p in problems:
            out("  " + p)
        return ok, lines


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--keep", required=True)
    parser.add_argument("--minutes", type=float, default=10)
    parser.add_argument("--seed", type=int, default=20261207)
    args = parser.parse_args()
    soak = Soak(args)
    try:
        ok, lines = soak.run()
    finally:
        for child in soak.children:
            if child.poll() is None:
                child.terminate()
        import shutil
        for sub in ("rec", "ctl"):
            if os.path.isdir(os.path.join(soak.base, sub)):
                shutil.copytree(os.path.join(soak.base, sub), os.path.join(soak.keep, sub), dirs_exist_ok=True)
        for src in glob.glob(os.path.join(soak.base, "Logs", "*.txt")) + \
                [os.path.join(soak.base, "samples.txt"), os.path.join(soak.work, "card", "traffic.log")]:
            if os.path.exists(src):
                shutil.copy(src, soak.keep)
        with open(os.path.join(soak.keep, "faults.txt"), "w") as f:
            for fault in soak.faults:
                f.write(f"{time.strftime('%H:%M:%S', time.localtime(fault.t0))} {fault.kind} "
                        f"{fault.program.name if fault.program else '-'} pid={fault.pid} "
                        f"answered={fault.answered} {fault.why}\n")
        with open(os.path.join(soak.keep, "linux-samples.txt"), "w") as f:
            for s in soak.linux_samples:
                f.write(" ".join(str(x) for x in s) + "\n")
    text = "\n".join(lines)
    print(text)
    with open(os.path.join(args.keep, "report.txt"), "w") as f:
        f.write(text + "\n")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
