#!/usr/bin/env python3
"""The soak run's driver (started by bench/soak, which builds and makes the
Wine prefix). The programs and how faults are injected are in soak_faults.py,
how each fault's answer is followed in soak_answers.py, the verdict in
soak_verdict.py; what it reads back is parsed by soak_log.py and the resource
figures are judged by soak_resources.py.

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
import shutil
import subprocess
import sys
import time

import soak_verdict
from soak_answers import FaultAnswers
from soak_faults import ALIVE, SETTLE, WINDOW, FaultInjection, roster
from soak_log import LogReader, Records
from soak_resources import linux_sample, read_sampler_rows

WINE = os.environ.get("WINE", "/usr/lib/wine/wine64")
CARD_PORT, MODEM_PORT = 5, 6


class Soak(FaultInjection, FaultAnswers):
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


    # ------------------------------------------------------------ run
    def run(self):
        self.lay_out()
        self.start_services()
        self.log = LogReader(os.path.join(self.base, "Logs"))
        self.records = Records(os.path.join(self.base, "rec"))
        started = time.time()
        self.wine("mrwd.exe", cwd=self.base, wait=False)
        self.wine(os.path.join(self.base, "process_sampler.exe"), "mrwd.exe", r"C:\soak\samples.txt",
                  r"C:\soak\sampler.stop", "10000", cwd=self.base, wait=False)
        self.wait_for_start_up(started)
        self.claim_start_up()
        fault_start = self.inject_faults()
        copies, stop_time = self.stop_server()
        return self.judge(copies, started, fault_start, stop_time)

    def wait_for_start_up(self, started):
        """Until the server has started every program with its copies."""
        want = {p.name: p.copies for p in self.programs}
        deadline = started + 90
        while True:
            self.poll()
            starts = {}
            for e in self.log.events:
                if e.number == 42 and e.program() in want:
                    starts[e.program()] = starts.get(e.program(), 0) + 1
            if starts == want:
                return
            if time.time() > deadline:
                sys.exit(f"soak: the server did not start every program: {starts}")
            time.sleep(0.5)

    def claim_start_up(self):
        """What the server logs and the stand-ins record while starting up needs no fault."""
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

    def inject_faults(self):
        """Injects faults for the run's minutes and follows them until all are settled
        (or four minutes more have gone); returns when the faults began."""
        args = self.args
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
            self.follow_faults(now)
            if now >= next_report:
                next_report = now + 60
                self.report_progress(now, fault_start)
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
        return fault_start

    def follow_faults(self, now):
        for fault in self.faults:
            if fault.answered is None:
                if fault.program is not None:
                    self.advance(fault, now)
                else:
                    self.advance_global(fault, now)
                if fault.answered is None and now > fault.deadline:
                    self.settle(fault, False, f"not answered in time (state {fault.state})")

    def report_progress(self, now, fault_start):
        done = [f for f in self.faults if f.answered is not None]
        print(f"  {(now - fault_start) / 60:.0f} min: {len(self.faults)} faults injected, "
              f"{sum(1 for f in done if f.answered)} answered, {sum(1 for f in done if not f.answered)} not",
              flush=True)

    def stop_server(self):
        """Counts the copies left running, stops the sampler and the server (/k) and waits for
        its unloading line; returns the copies and when the stop began."""
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
        return copies, stop_time

    def judge(self, copies, started, fault_start, stop_time):
        return soak_verdict.judge(self, copies, started, fault_start, stop_time)



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
