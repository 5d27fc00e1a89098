#!/usr/bin/env python3
"""Tools for the X/Open message catalog sources (.msg) of the suite.

  msgtool.py pseudo <english.msg> <out.msg>
      Writes a test catalog whose every text starts with "[<set>.<number>] ",
      keeping the rest of the text (and so its printf conversions) as it is.
      Tests run with the pseudo language and match texts by set and number.

  msgtool.py check <root> [<root> ...]
      Every <root>/<lang>/<base>.msg of a language other than English must
      give each text the same printf argument sequence as the English text of
      the same set and number (in <root>/en/<family>eng.msg, or en/<base>.msg
      for a catalog without a language suffix), must have no text English
      lacks, no %n conversion and no number outside 1..999. Exit 1 with one
      line per fault, 0 when all is well.

The .msg syntax is gencat's: "$set n", "$delset n", "$quote c", "$ comment",
"<number> <text>" with a trailing backslash continuing a text on the next line.
"""

import os
import re
import sys

LANGUAGE_SUFFIXES = ("deu", "spn", "frn", "itn")
PSEUDO_LANGUAGE = "xx"
MAX_NUMBER = 999  # string ids are set * 1000 + number

ESCAPES = {"n": "\n", "t": "\t", "v": "\v", "b": "\b", "r": "\r", "f": "\f", "\\": "\\"}

CONVERSION = re.compile(
    r"%(?:(?P<pos>[1-9][0-9]*)\$)?"
    r"(?P<flags>[-+ #0']*)"
    r"(?P<width>\*(?:[1-9][0-9]*\$)?|[0-9]+)?"
    r"(?:\.(?P<prec>\*(?:[1-9][0-9]*\$)?|[0-9]*))?"
    r"(?P<length>hh|h|ll|l|L|q|j|z|t)?"
    r"(?P<conv>[diouxXeEfFgGaAcspnm%]|.|$)")


class MsgError(Exception):
    pass


class Message:
    """One text: its set, number, the physical lines it came from (first line
    first) and where the text starts in the first line."""

    def __init__(self, set_no, number, lines, text_start, quote, path, line_no):
        self.set_no = set_no
        self.number = number
        self.lines = lines
        self.text_start = text_start
        self.quote = quote
        self.path = path
        self.line_no = line_no

    def raw_text(self):
        text = self.lines[0][self.text_start:]
        for line in self.lines[1:]:
            text = text[:-1] + line  # drop the continuing backslash
        return text

    def text(self):
        """The text as gencat stores it: quotes and escapes resolved."""
        raw = self.raw_text()
        if self.quote:
            # A quoted text ends at its closing quote; an unquoted one at the
            # first quote character, as gencat reads it.
            if raw.startswith(self.quote):
                raw = raw[1:]
            end = _find_unescaped(raw, self.quote)
            raw = raw if end < 0 else raw[:end]
        return _unescape(raw)


def _find_unescaped(text, char):
    i = 0
    while i < len(text):
        if text[i] == "\\":
            i += 2
            continue
        if text[i] == char:
            return i
        i += 1
    return -1


def _unescape(text):
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if c != "\\" or i + 1 >= len(text):
            out.append(c)
            i += 1
            continue
        n = text[i + 1]
        if n in ESCAPES:
            out.append(ESCAPES[n])
            i += 2
        elif n in "01234567":
            j = i + 1
            while j < len(text) and j < i + 4 and text[j] in "01234567":
                j += 1
            out.append(chr(int(text[i + 1:j], 8)))
            i = j
        else:
            out.append(n)
            i += 2
    return "".join(out)


def _continues(line):
    trailing = len(line) - len(line.rstrip("\\"))
    return trailing % 2 == 1


def parse(path):
    """Returns (lines, messages): every physical line of the file, and the
    messages in order (later definitions of an id replace earlier ones)."""
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        lines = f.read().split("\n")
    messages = {}
    set_no = 1
    quote = ""
    i = 0
    while i < len(lines):
        line = lines[i]
        line_no = i + 1
        if line.startswith("$"):
            words = line[1:].split()
            # "$" followed by a blank, or alone, is a comment.
            directive = words[0] if words and line[1:2] not in (" ", "\t") else ""
            if directive == "set":
                if len(words) < 2 or not words[1].isdigit():
                    raise MsgError(f"{path}:{line_no}: $set without a number")
                set_no = int(words[1])
            elif directive == "delset":
                if len(words) >= 2 and words[1].isdigit():
                    messages = {k: v for k, v in messages.items() if k[0] != int(words[1])}
            elif directive == "quote":
                rest = line[len("$quote"):].lstrip(" \t")
                quote = rest[:1]
            i += 1
            continue
        if line.strip() == "":
            i += 1
            continue
        match = re.match(r"([0-9]+)([ \t]?)", line)
        if not match:
            raise MsgError(f"{path}:{line_no}: not a message line: {line!r}")
        number = int(match.group(1))
        if match.group(2) == "" and match.end() == len(line):
            messages.pop((set_no, number), None)  # "<number>" alone deletes
            i += 1
            continue
        if match.group(2) == "":
            raise MsgError(f"{path}:{line_no}: no blank after the number")
        group = [line]
        while _continues(group[-1]) and i + 1 < len(lines):
            i += 1
            group.append(lines[i])
        messages[(set_no, number)] = Message(set_no, number, group, match.end(), quote, path,
                                             line_no)
        i += 1
    return lines, list(messages.values())


def arguments(text):
    """The printf argument sequence of a text: one type name per argument, in
    argument order. Raises MsgError on a conversion printf does not know."""
    positional = {}
    sequential = []

    def add(position, kind):
        if position:
            positional[int(position)] = kind
        else:
            sequential.append(kind)

    for m in CONVERSION.finditer(text):
        conv = m.group("conv")
        if conv == "%":
            if m.group(0) != "%%":
                raise MsgError(f"bad conversion {m.group(0)!r}")
            continue
        if conv == "" or conv not in "diouxXeEfFgGaAcspnm":
            raise MsgError(f"bad conversion {m.group(0)!r}")
        for star in (m.group("width"), m.group("prec")):
            if star and star.startswith("*"):
                add(star[1:-1] if star.endswith("$") else None, "int")
        length = m.group("length") or ""
        if conv in "di":
            kind = length + "int"
        elif conv in "ouxX":
            kind = length + "unsigned"
        elif conv in "eEfFgGaA":
            kind = ("long " if length == "L" else "") + "double"
        elif conv == "c":
            kind = length + "char"
        elif conv == "s":
            kind = length + "string"
        elif conv == "p":
            kind = "pointer"
        elif conv == "n":
            raise MsgError("%n conversion")
        else:  # %m takes no argument
            continue
        add(m.group("pos"), kind)
    if positional and sequential:
        raise MsgError("positional and plain conversions mixed")
    if positional:
        if sorted(positional) != list(range(1, len(positional) + 1)):
            raise MsgError("positional arguments with a gap")
        return [positional[k] for k in sorted(positional)]
    return sequential


def english_base(base):
    for suffix in LANGUAGE_SUFFIXES:
        if len(base) > len(suffix) and base.endswith(suffix):
            return base[:-len(suffix)] + "eng"
    return base


def pseudo(source, target, prefix_format="[{set}.{number}] "):
    lines, messages = parse(source)
    for message in messages:
        prefix = prefix_format.format(set=message.set_no, number=message.number)
        first = message.lines[0]
        at = message.text_start
        if message.quote and first[at:].startswith(message.quote):
            at += 1
        lines[message.line_no - 1] = first[:at] + prefix + first[at:]
    os.makedirs(os.path.dirname(os.path.abspath(target)), exist_ok=True)
    with open(target, "w", encoding="utf-8", errors="surrogateescape") as f:
        f.write("$ Generated from " + os.path.basename(source) + " with pseudo-language\n")
        f.write("$ prefixes; do not edit.\n")
        f.write("\n".join(lines))


def catalog_files(roots):
    """{(lang, base): path} of every <root>/<lang>/<base>.msg; the first root
    that has a file wins."""
    found = {}
    for root in roots:
        for lang in sorted(os.listdir(root)):
            directory = os.path.join(root, lang)
            if not os.path.isdir(directory) or not re.fullmatch(r"[a-z]{2,3}", lang):
                continue
            for name in sorted(os.listdir(directory)):
                if name.endswith(".msg"):
                    found.setdefault((lang, name[:-4]), os.path.join(directory, name))
    return found


def check(roots):
    faults = []
    files = catalog_files(roots)
    parsed = {}

    def load(key):
        if key not in parsed:
            parsed[key] = {}
            try:
                for m in parse(files[key])[1]:
                    parsed[key][(m.set_no, m.number)] = m
            except MsgError as e:
                faults.append(str(e))
        return parsed[key]

    def sequence(message):
        try:
            return arguments(message.text())
        except MsgError as e:
            faults.append(f"{message.path}:{message.line_no}: "
                          f"{message.set_no}.{message.number}: {e}")
            return None

    for key in sorted(files):
        lang, base = key
        messages = load(key)
        for (set_no, number), m in sorted(messages.items()):
            if not 1 <= number <= MAX_NUMBER or set_no < 1:
                faults.append(f"{m.path}:{m.line_no}: {set_no}.{number}: "
                              f"number outside 1..{MAX_NUMBER}")
        if lang == "en":
            for m in messages.values():
                sequence(m)
            continue
        english_key = ("en", english_base(base))
        if english_key not in files:
            faults.append(f"{files[key]}: no English catalog en/{english_key[1]}.msg")
            continue
        english = load(english_key)
        for id_, m in sorted(messages.items()):
            theirs = sequence(m)
            if id_ not in english:
                faults.append(f"{m.path}:{m.line_no}: {id_[0]}.{id_[1]}: "
                              f"no such text in {files[english_key]}")
                continue
            ours = arguments_or_none(english[id_])
            if theirs is not None and ours is not None and theirs != ours:
                faults.append(f"{m.path}:{m.line_no}: {id_[0]}.{id_[1]}: arguments "
                              f"({', '.join(theirs)}) differ from English ({', '.join(ours)})")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


def arguments_or_none(message):
    try:
        return arguments(message.text())
    except MsgError:
        return None  # reported with the English file


def main(argv):
    if len(argv) == 4 and argv[1] == "pseudo":
        pseudo(argv[2], argv[3])
        return 0
    if len(argv) >= 3 and argv[1] == "check":
        return check(argv[2:])
    return usage()


def usage():
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv))
    except (MsgError, OSError) as e:
        print(f"msgtool: {e}", file=sys.stderr)
        sys.exit(1)
