"""What the soak run reads back while it runs: the server's day logs (every
line parsed against the messages it may log), the stand-ins' record files,
and the card simulator's traffic (the heartbeats the card was sent).
"""
import glob
import os
import re
import time

STAMP = re.compile(r"^(\d\d):(\d\d):(\d\d)\.(\d\d\d) (.*)$")
MESSAGES = [
    (8, r"Ошибка запуска контроллера перезагрузки!"),
    (10, r"Контроллер перезагрузки запущен на COM\d+!"),
    (23, r"Зарегистрировался для контроля процесс (\d+), (.+)!"),
    (24, r"Закончен контроль процесса (\d+), (.+)!"),
    (27, r"Watchdog сервер загружен\."),
    (28, r"Watchdog сервер выгружен\."),
    (29, r"Watchdog сервер уже выполняется!"),
    (30, r"Перезагрузка компьютера! Зависание системы\."),
    (31, r"Перезапуск номер (\d+), программы (.+)\."),
    (32, r"Перезагрузка компьютера! Зависание программы (.+)\."),
    (36, r'Программа запущена! Командная строка: "(.*)"\.'),
    (37, r"Выгрузка Watchdog Server из памяти\.\.\."),
    (42, r"Начат контроль процесса (\d+), (.+)!"),
    (45, r"Модем не подключен или не работает!"),
    (47, r"Обнаружено зависание модема\. Сброс!"),
    (48, r"Возникла ошибка при сбросе модема!"),
    (49, r"Сброс модема произведён успешно\."),
    (53, r"Принудительный сброс модема\.\.\."),
    (54, r"Проверка модема\.\.\."),
    (56, r"Модем работает на СОМ-порте № (\d+)\."),
    (59, r"СОМ-порт № (\d+) занят\."),
    (62, r"Файл (.+) не найден!"),
    (78, r"Ошибка уведомления!"),
    (81, r"Отправка уведомления на адрес (.+)\."),
    (82, r"Уведомление успешно отправлено\."),
    (86, r"Отправка файла журнала за прошедшие сутки\."),
    (309, r"Уведомление сохранено в папке Outbox и будет отправлено позже\."),
    (310, r"Отправлено уведомление из папки Outbox\."),
    (311, r"Уведомление старше 7 дней удалено из папки Outbox\."),
    (312, r"Папка Outbox переполнена, удалено самое старое уведомление\."),
    (313, r"Сервер отказался принять уведомление, оно удалено из папки Outbox\."),
    (1000, r"Сообщение от Marotel ZedevUdo Server:"),  # a mailed body logged whole
]
MESSAGES = [(n, re.compile("^" + p + "$")) for n, p in MESSAGES]
# The lines that follow a failed notification's first line: the error, then the body.
CONTINUATION = [re.compile(p) for p in (
    r"^Описание ошибки: .*$", r"^Текст сообщения: Сообщение от Marotel ZedevUdo Server:$", r"^$",
    r"^\t(Перезапуск номер \d+, программы .+|Перезагрузка .+|Была произведена .+)$", r"^--$",
    r"^Техническая поддержка:\tmailto:\S+$")]
BODY_CONTINUATION = CONTINUATION[2:]


def complete_lines(offsets, path, end_of_line):
    """The lines `path` has completed since the last call; `offsets` keeps how far each file was read."""
    with open(path, "rb") as f:
        f.seek(offsets.get(path, 0))
        data = f.read()
    end = data.rfind(end_of_line)
    if end < 0:
        return []
    offsets[path] = offsets.get(path, 0) + end + len(end_of_line)
    return data[:end].split(end_of_line)


class LogEvent:
    def __init__(self, when, number, groups, text, file, line_no):
        self.when, self.number, self.groups, self.text = when, number, groups, text
        self.file, self.line_no = file, line_no
        self.claimed = None
        self.continuation = []

    def program(self):
        """The stand-in named in the line, if any."""
        m = re.search(r"soak-(\w+)\.exe", self.text, re.IGNORECASE)
        return m.group(1).lower() if m else None

    def describe(self):
        return f"{os.path.basename(self.file)}:{self.line_no}: {self.text}"


class LogReader:
    """Reads the day files as they grow; keeps every parsed event and every line that does not parse."""

    def __init__(self, folder):
        self.folder = folder
        self.offsets = {}
        self.events = []
        self.garbled = []
        self.lines = 0
        self.last = {}

    def poll(self):
        for path in sorted(glob.glob(os.path.join(self.folder, "*.txt"))):
            for raw in complete_lines(self.offsets, path, b"\r\n"):
                self._line(path, raw)

    def _line(self, path, raw):
        self.lines += 1
        number = self.lines
        try:
            text = raw.decode("cp1251")
        except UnicodeDecodeError:
            self.garbled.append(f"{os.path.basename(path)}: undecodable bytes {raw!r}")
            return
        if "\r" in text or "\n" in text or "\0" in text:
            self.garbled.append(f"{os.path.basename(path)}: stray control characters {text!r}")
            return
        m = STAMP.match(text)
        previous = self.last.get(path)
        if not m:
            allowed = []
            if previous is not None and previous.number == 78:
                allowed = CONTINUATION
            elif previous is not None and 309 <= previous.number <= 313:
                allowed = CONTINUATION[1:]  # the outbox's lines carry the mail's text
            elif previous is not None and previous.number == 1000:
                allowed = BODY_CONTINUATION
            if any(p.match(text) for p in allowed):
                previous.continuation.append(text)
            else:
                self.garbled.append(f"{os.path.basename(path)}: not a log line {text!r}")
            return
        day, month, year = (int(x) for x in os.path.basename(path)[:-4].split("-"))
        h, mi, s, ms = (int(x) for x in m.groups()[:4])
        when = time.mktime((2000 + year, month, day, h, mi, s, 0, 0, -1)) + ms / 1000
        message = m.group(5)
        for n, pattern in MESSAGES:
            mm = pattern.match(message)
            if mm:
                event = LogEvent(when, n, mm.groups(), message, path, number)
                self.events.append(event)
                self.last[path] = event
                return
        self.garbled.append(f"{os.path.basename(path)}: unknown message {text!r}")


class Records:
    """The stand-ins' record files: "<pid> <event> <ms since 1970>[ detail]"."""

    def __init__(self, folder):
        self.folder = folder
        self.offsets = {}
        self.events = []  # (when, name, pid, event, detail)

    def poll(self):
        for path in glob.glob(os.path.join(self.folder, "*.txt")):
            name = os.path.basename(path)[:-4]
            for raw in complete_lines(self.offsets, path, b"\n"):
                parts = raw.decode("cp1251", "replace").strip().split(" ", 3)
                if len(parts) < 3 or parts[1] == "alive":
                    continue
                self.events.append((int(parts[2]) / 1000, name, int(parts[0]), parts[1],
                                    parts[3] if len(parts) > 3 else ""))

    def find(self, name, event, after, pid=None, pred=None):
        for rec in self.events:
            if rec[1] == name and rec[3] == event and rec[0] >= after - 1 and (pid is None or rec[2] == pid) \
                    and (pred is None or pred(rec)):
                return rec
        return None


def card_heartbeats(path, since):
    beats = []
    base = time.localtime(since)
    day0 = time.mktime((base.tm_year, base.tm_mon, base.tm_mday, 0, 0, 0, 0, 0, -1))
    offset = 0
    last = None
    with open(path) as f:
        for line in f:
            stamp, _, what = line.rstrip("\n").partition(" ")
            if not what.startswith("card command T"):
                continue
            h, m, s = stamp.split(":")
            t = day0 + offset + int(h) * 3600 + int(m) * 60 + float(s)
            if last is not None and t < last - 3600:
                offset += 86400
                t += 86400
            last = t
            if t >= since:
                beats.append(t)
    return beats
