"""The soak run's programs and faults: the roster of stand-ins, what each may
suffer, and how every fault is injected (a command file for a stand-in, a
control line for the card simulator, a script for the mail server)."""
import os

ALIVE, WINDOW = "alive", "window"
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


class FaultInjection:
    """Injects the faults; mixed into the soak run, whose folders, random
    generator and busy times it uses."""

    def inject_program_fault(self, program, kind, now):
        fault = Fault(kind, program, now)
        # A damaged program is also made to hang, so that the server restarts it and runs its recovery.
        word = {"damage": "hang" if program.kind == ALIVE else "freeze"}.get(kind, kind)
        if kind == "damage":
            with open(os.path.join(self.base, "apps", program.name, "data.txt"), "w") as f:
                f.write("damaged\r\n")
        fault.word = word
        self.send_command(program, word)
        program.pending = fault
        self.faults.append(fault)
        return fault

    def send_command(self, program, word):
        # Written aside and renamed, so that the stand-in never reads half a command.
        tmp = os.path.join(self.base, "ctl", program.name + ".tmp")
        with open(tmp, "w") as f:
            f.write(word + "\n")
        os.replace(tmp, os.path.join(self.base, "ctl", program.name + ".cmd"))

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
            self.rotation = self.new_rotation()
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

    def new_rotation(self):
        rotation = ["card-silent", "modem-hang", "mail-silent", "mail-refuse"]
        self.random.shuffle(rotation)
        # For trying one kind quickly: SOAK_GLOBAL_ORDER=card-silent,mail-silent runs those first.
        # The first fault is a card silence: the failure window it opens (a thread and a dialog that
        # stay until someone closes them) then exists before the resource figures are measured.
        first = [k for k in os.environ.pop("SOAK_GLOBAL_ORDER", "card-silent").split(",") if k in rotation]
        return first + [k for k in rotation if k not in first]

    def inject_something(self, now):
        free = self.free_programs(now)
        if not free:
            return None
        program = self.random.choice(free)
        return self.inject_program_fault(program, self.random.choice(program.faults()), now)
