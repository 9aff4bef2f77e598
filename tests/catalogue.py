"""The installer's texts, read from skinsetup/messages.h, their one source:
{"kSuccess": "Installazione effettuata correttamente", ...}, code page 1252
decoded."""

import ast
import os
import re

HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..",
                      "skinsetup", "messages.h")


def read():
    with open(HEADER, encoding="utf-8") as f:
        source = f.read()
    texts = {}
    for name, literals in re.findall(
            r'inline constexpr char (k\w+)\[\] =\s*((?:"(?:[^"\\]|\\.)*"\s*)+);',
            source):
        raw = b"".join(ast.literal_eval("b" + literal) for literal in
                       re.findall(r'"(?:[^"\\]|\\.)*"', literals))
        texts[name] = raw.decode("cp1252")
    return texts


TEXTS = read()


def failure(text, code):
    """A fatal error's box text."""
    return "%s CODICE ERRORE:%d" % (TEXTS[text], code)
