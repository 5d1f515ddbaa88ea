#!/usr/bin/env python3
"""Writes the event log's message table: for every kind the server reports
to the Windows event log, its text from the string table with each printf
conversion turned into a numbered insert (%1, %2, ...), so that Event Viewer
shows the message in the system's own way, arguments filled in.

  make_message_table.py resource_ids.h mrwd.rc log_event_table.inc out.bin
"""
import re
import struct
import sys

RC_ESCAPES = {"r": "\r", "n": "\n", "t": "\t", "\\": "\\", '"': '"', "0": "\0"}


def string_numbers(header):
    numbers = {}
    for name, value in re.findall(r"^#define\s+(IDS_\w+)\s+(\d+)", header, re.M):
        numbers[name] = int(value)
    return numbers


def rc_strings(script):
    table = script[script.index("STRINGTABLE"):]
    strings = {}
    for name, literal in re.findall(r'^\s*(IDS_\w+)\s*,\s*"((?:[^"]|"")*)"\s*$', table, re.M):
        text = literal.replace('""', '"')
        strings[name] = re.sub(r"\\(.)", lambda m: RC_ESCAPES.get(m.group(1), m.group(0)), text)
    return strings


def windows_log_kinds(table):
    return re.findall(r"^LOG_EVENT\((IDS_\w+),\s*\w+,\s*WindowsLog,", table, re.M)


def message_text(printf_format):
    """The format with numbered inserts (all of them strings: the event log
    is given each argument rendered); every other '%' doubled, as the message
    table's own escapes want it."""
    number = 0

    def replace(match):
        nonlocal number
        if match.group(1) is None or match.group(1) == "%":
            return "%%"
        number += 1
        # Spelled with its format, so that a '!' after it stays text.
        return "%" + str(number) + "!s!"

    return re.sub(r"%(%|[-+ #0]*[0-9]*(?:\.[0-9]+)?(?:hh|h|ll|l|z|j|t)?[diouxXcs])?", replace, printf_format)


def entry(text):
    data = (text + "\0").encode("utf-16-le")
    data += b"\0" * (-(len(data) + 4) % 4)
    return struct.pack("<HH", len(data) + 4, 1) + data  # 1: the text is Unicode


def message_table(messages):
    """MESSAGE_RESOURCE_DATA: one block per run of consecutive ids."""
    ids = sorted(messages)
    runs = []
    for number in ids:
        if runs and runs[-1][-1] + 1 == number:
            runs[-1].append(number)
        else:
            runs.append([number])
    offset = 4 + 12 * len(runs)
    blocks, entries = b"", b""
    for run in runs:
        blocks += struct.pack("<III", run[0], run[-1], offset + len(entries))
        for number in run:
            entries += entry(messages[number])
    return struct.pack("<I", len(runs)) + blocks + entries


def main(ids_path, rc_path, table_path, out_path):
    numbers = string_numbers(open(ids_path, encoding="utf-8").read())
    strings = rc_strings(open(rc_path, encoding="utf-8").read())
    messages = {}
    for name in windows_log_kinds(open(table_path, encoding="utf-8").read()):
        if name not in numbers or name not in strings:
            sys.exit(f"make_message_table: {name} has no number or no text")
        messages[numbers[name]] = message_text(strings[name])
    if not messages:
        sys.exit("make_message_table: no kinds for the Windows event log")
    with open(out_path, "wb") as out:
        out.write(message_table(messages))


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    main(*sys.argv[1:])
