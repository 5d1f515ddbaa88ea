"""Follows every injected fault to its answer: the log lines the server must
write for it, the stand-ins' records of what they did, and the files a
recovery must bring back. Mixed into the soak run, whose readers and
bookkeeping (failure counts, starts already matched) it uses."""
import os
import time

from soak_faults import ALIVE, QUIET_AFTER_CLEAN_EXIT, SETTLE

# Where each program fault goes once a stand-in has taken its command.
AFTER_CLAIM = {"hang": "restart", "freeze": "restart", "damage": "restart", "crash": "copy",
               "exit-silent": "copy", "exit-clean": "ended"}


class FaultAnswers:
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

    # ------------------------------------------------------- program faults
    def advance(self, fault, now):
        """Moves a program fault on as far as what has been seen allows; each step
        says whether it reached a state whose step may run at once."""
        steps = {"claim": self.claimed_by_stand_in, "restart": self.restart_logged,
                 "replaced": self.replacement_started, "copy": self.copy_logged,
                 "copy-started": self.copy_started, "ended": self.exit_logged,
                 "quiet": self.stayed_quiet, "registered": self.registered_again}
        while fault.state in steps and steps[fault.state](fault, now):
            pass

    def claimed_by_stand_in(self, fault, now):
        p = fault.program
        rec = self.records.find(p.name, "command-" + fault.word, fault.t0)
        if rec is None:
            if now > fault.t0 + 10:
                left = os.listdir(os.path.join(self.base, "ctl"))
                self.settle(fault, False, f"no running copy took the command (control folder: {left})")
            return False
        fault.pid, fault.t_claim = rec[2], rec[0]
        self.records.events.remove(rec)
        fault.state = AFTER_CLAIM[fault.kind]
        return True

    def restart_logged(self, fault, now):
        p = fault.program
        line = self.take(fault, lambda e: e.number == 31 and e.program() == p.name, fault.t_claim)
        if line is None:
            return False
        fault.line31 = line
        n = int(line.groups[0])
        # The server counts the failures of each running copy; its restart number must follow on.
        expected = self.failures.get(fault.pid)
        fault.extra["n"] = n
        if expected is not None and n != expected + 1:
            fault.extra["numbering"] = f"restart number {n}, expected {expected + 1}"
        fault.state = "replaced"
        return True

    def replacement_started(self, fault, now):
        p = fault.program
        rec = self.records.find(p.name, "started", fault.line31.when,
                                pred=lambda r: id(r) not in self.used_starts)
        if rec is None:
            return False
        self.used_starts.add(id(rec))
        self.failures[rec[2]] = fault.extra["n"]
        problems = []
        if "numbering" in fault.extra:
            problems.append(fault.extra["numbering"])
        if p.recovery:
            problems += self.recovery_problems(fault, rec)
        self.settle(fault, not problems, "; ".join(problems))
        return False

    def recovery_problems(self, fault, started):
        """What went wrong with the recovery of a restarted program: its recovery program must have
        run between the restart line and the new copy's start, and its files must be the backup's."""
        p = fault.program
        problems = []
        run = [r for r in self.records.events if r[1] == "recovery" and r[3] == "started"
               and f"recover-{p.name}.exe" in r[4].lower() and fault.line31.when - 1 <= r[0] <= started[0] + 1
               and not r[4].endswith(" used")]
        if not run:
            problems.append("recovery program not run")
        else:
            # Marked, so that one run of the recovery program answers one restart only.
            self.records.events[self.records.events.index(run[0])] = run[0][:4] + (run[0][4] + " used",)
        if not self.files_restored(p):
            problems.append("files not restored")
        return problems

    def copy_logged(self, fault, now):
        p = fault.program
        line = self.take(fault, lambda e: e.number == 42 and e.program() == p.name, fault.t_claim)
        if line is None:
            return False
        fault.new_pid = int(line.groups[0])
        self.failures[fault.new_pid] = 0
        fault.state = "copy-started"
        return True

    def copy_started(self, fault, now):
        # The copy the server named is the one that started.
        rec = self.records.find(fault.program.name, "started", fault.t_claim, pid=fault.new_pid,
                                pred=lambda r: id(r) not in self.used_starts)
        if rec is None:
            return False
        self.used_starts.add(id(rec))
        self.settle(fault, fault.new_pid != fault.pid, "" if fault.new_pid != fault.pid else "same pid")
        return False

    def exit_logged(self, fault, now):
        line = self.take(fault, lambda e: e.number == 24 and int(e.groups[0]) == fault.pid, fault.t_claim)
        if line is None:
            return False
        fault.t_ended = line.when
        fault.state = "quiet"
        return True

    def stayed_quiet(self, fault, now):
        if now < fault.t_ended + QUIET_AFTER_CLEAN_EXIT:
            return False
        # Left alone: now the bench starts it again, as an operator would.
        p = fault.program
        folder = os.path.join(self.base, "apps", p.name)
        params = rf"--record C:\soak\rec\{p.name}.txt --control C:\soak\ctl\{p.name}.cmd --interval 10"
        self.wine(p.win_path, *params.split(), cwd=folder, wait=False)
        self.bench_starts.append((now, p.name))
        fault.t_restart = now
        fault.state = "registered"
        return True

    def registered_again(self, fault, now):
        p = fault.program
        line = self.take(fault, lambda e: e.number == 23 and e.program() == p.name, fault.t_restart)
        if line is None:
            return False
        rec = self.records.find(p.name, "started", fault.t_restart, pid=int(line.groups[0]))
        if rec is not None:
            self.used_starts.add(id(rec))
        self.failures[int(line.groups[0])] = 0
        self.settle(fault, True)
        return False

    # ------------------------------------------------ card, modem and mail faults
    def advance_global(self, fault, now):
        if fault.kind == "card-silent":
            self.follow_card_silence(fault, now)
        elif fault.kind == "modem-hang":
            self.follow_modem_hang(fault)
        elif fault.kind.startswith("mail-"):
            self.follow_mail_fault(fault, now)

    def follow_card_silence(self, fault, now):
        if fault.state == "silent" and now >= fault.t0 + fault.extra["length"]:
            self.card_control("card fault none")
            fault.t_end = now
            self.card_silences.append((fault.t0, now))
            fault.state = "back"
        if fault.state != "back":
            return
        # Answered once the server has shown its failure window and found the card again.
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

    def follow_modem_hang(self, fault):
        if fault.state == "hung":
            if self.take(fault, lambda e: e.number == 47, fault.t0):
                fault.state = "reset"
        if fault.state == "reset":
            if self.take(fault, lambda e: e.number == 49, fault.t0):
                self.settle(fault, True)

    def follow_mail_fault(self, fault, now):
        if fault.state == "faulty":
            # A restart of a program that asks for mail, so that the faulty server gets a mail to fail on.
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
