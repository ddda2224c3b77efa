#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Stands in for clang-tidy under run-clang-tidy: a file whose preprocessed text, flags and checks
# already passed is not checked again, as the build does not compile an unchanged file again.
# CLANG_TIDY names the real tool, TIDY_CACHE the folder that keeps a mark per passed key.
import hashlib
import json
import os
import shlex
import subprocess
import sys

tidy = os.environ["CLANG_TIDY"]
cache = os.environ["TIDY_CACHE"]
args = sys.argv[1:]
source = os.path.realpath(args[-1])
database = next(a[len("-p="):] for a in args if a.startswith("-p="))


def preprocessed(entry):
    words = shlex.split(entry["command"]) if "command" in entry else list(entry["arguments"])
    kept, skip = [], False
    for word in words:
        if skip:
            skip = False
        elif word in ("-o", "-MF", "-MT", "-MQ"):
            skip = True
        elif word not in ("-c", "-MD", "-MMD"):
            kept.append(word)
    result = subprocess.run(kept + ["-E", "-o", "-"], cwd=entry["directory"],
                            capture_output=True, check=False)
    return result.stdout if result.returncode == 0 else None


def key():
    with open(os.path.join(database, "compile_commands.json"), encoding="utf-8") as file:
        entries = [e for e in json.load(file)
                   if os.path.realpath(os.path.join(e["directory"], e["file"])) == source]
    text = preprocessed(entries[0]) if len(entries) == 1 else None
    if text is None:
        return None
    digest = hashlib.sha256()
    version = subprocess.run([tidy, "--version"], capture_output=True, check=True).stdout
    config = subprocess.run([tidy, "--dump-config", source], capture_output=True,
                            check=True).stdout
    for part in (version, config, " ".join(args).encode(), entries[0]["command"].encode(), text):
        digest.update(hashlib.sha256(part).digest())
    return digest.hexdigest()


mark = key()
if mark and os.path.exists(os.path.join(cache, mark)):
    sys.exit(0)
code = subprocess.run([tidy] + args, check=False).returncode
if code == 0 and mark:
    os.makedirs(cache, exist_ok=True)
    open(os.path.join(cache, mark), "w", encoding="utf-8").close()
sys.exit(code)
