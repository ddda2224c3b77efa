#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Deterministic synthetic source-tree generator for the watcher/scanner benchmarks.

usage: gen_tree.py OUT_DIR DIRS FILES [--seed N]
  or:  gen_tree.py OUT_DIR small|medium|large [--seed N]

Presets: small = 200 dirs / 2k files, medium = 5k / 50k, large = 50k / 200k.
DIRS counts every directory including OUT_DIR itself.  The tree is a random
recursive tree (each new dir picks a random existing parent), ~2% of
dirs are created hidden (".hid_N"; everything under them
is hidden too; new dirs go under hidden ones only 3% of the time), ~2% of files
are hidden (".name.ext").  Extensions: cpp 30%, h 25%, swift 15%, kt 15%,
txt 15%.  ~6% of files get 1-3 "TODO:"/"FIXME:" lines; some decoys that must
NOT match ("TODO " without colon, lower-case "todo:").  0.1% of files (at least
3) carry Latin-1 bytes (not valid UTF-8).  Same seed + sizes => identical tree.

Writes OUT_DIR.manifest.json (next to the tree, not inside it) with counts,
bytes and the expected number of matching lines per extension for
non-hidden paths, so scanners can be checked.
"""
import json, os, random, shutil, sys, time

PRESETS = {"small": (200, 2000), "medium": (5000, 50000), "large": (50000, 200000)}
EXTS = [("cpp", 30), ("h", 25), ("swift", 15), ("kt", 15), ("txt", 15)]

def line_pool(rng, ext, n=3000):
    idents = ["value", "count", "buffer", "index", "node", "result", "watcher",
              "path", "entry", "config", "item", "state", "offset", "size"]
    types = {"cpp": ["int", "std::string", "auto", "size_t", "double", "QString"],
             "h": ["int", "std::string", "size_t", "bool", "QStringList"],
             "swift": ["Int", "String", "Double", "Bool", "[String]"],
             "kt": ["Int", "String", "Double", "Boolean", "List<String>"],
             "txt": ["note", "item", "word"]}[ext]
    out = []
    for _ in range(n):
        a, b, t = rng.choice(idents), rng.choice(idents), rng.choice(types)
        k, ind = rng.randrange(12), " " * (4 * rng.randrange(4))
        if ext in ("cpp", "h"):
            s = [f"{t} {a}_{k} = {b}.size() + {k};", f"if ({a} != {b}) {{",
                 "}", f"for (auto& {a} : {b}s) {{ process({a}); }}",
                 f"// compute the {a} from {b} (step {k})", f"return {a} * {k};",
                 f"{t} get_{a}() const {{ return m_{a}; }}", "",
                 f"#include <{b}/{a}_{k}.h>", f"std::vector<{t}> {a}s_{k};"][rng.randrange(10)]
        elif ext == "swift":
            s = [f"let {a}{k}: {t} = {b}.count + {k}", f"if {a} != {b} {{", "}",
                 f"for {a} in {b}s {{ process({a}) }}", f"// compute {a} from {b}",
                 f"return {a} * {k}", f"func get{a.title()}() -> {t} {{ return {a} }}", "",
                 f"import {b.title()}Kit", f"var {a}s{k} = [{t}]()"][rng.randrange(10)]
        elif ext == "kt":
            s = [f"val {a}{k}: {t} = {b}.size + {k}", f"if ({a} != {b}) {{", "}",
                 f"for ({a} in {b}s) {{ process({a}) }}", f"// compute {a} from {b}",
                 f"return {a} * {k}", f"fun get{a.title()}(): {t} = {a}", "",
                 f"import org.example.{b}.{a.title()}", f"val {a}s{k} = mutableListOf<{t}>()"][rng.randrange(10)]
        else:
            s = f"{a} {b} {t} {k} lorem ipsum dolor sit amet"
        out.append(ind + s)
    return out

def main():
    import argparse
    ap = argparse.ArgumentParser(usage=__doc__)
    ap.add_argument("out"); ap.add_argument("size", nargs="+")
    ap.add_argument("--seed", type=int, default=12345)
    a = ap.parse_args()
    seed, out = a.seed, a.out
    if len(a.size) == 1 and a.size[0] in PRESETS:
        ndirs, nfiles = PRESETS[a.size[0]]
    elif len(a.size) == 2:
        ndirs, nfiles = int(a.size[0]), int(a.size[1])
    else:
        sys.exit(__doc__)
    out = os.path.abspath(out.rstrip("/"))
    if os.path.exists(out):
        shutil.rmtree(out)
    rng = random.Random(seed)
    t0 = time.time()
    pools = {e: line_pool(rng, e) for e, _ in EXTS}
    ext_names, ext_w = [e for e, _ in EXTS], [w for _, w in EXTS]

    # directories: (path, hidden, depth)
    dirs = [(out, False, 0)]
    os.makedirs(out)
    vis, hidl = [0], []  # indexes of visible / hidden dirs
    for i in range(1, ndirs):
        # parents: mostly visible dirs, so hidden subtrees stay small (like .git/)
        pool = hidl if (hidl and rng.random() < 0.03) else vis
        ppath, phid, pdep = dirs[pool[rng.randrange(len(pool))]]
        hid = rng.random() < 0.02
        name = f".hid_{i}" if hid else f"dir_{i}"
        p = os.path.join(ppath, name)
        os.mkdir(p)
        dirs.append((p, phid or hid, pdep + 1))
        (hidl if (phid or hid) else vis).append(i)

    n_latin1 = max(3, nfiles // 1000)
    latin1_idx = set(rng.sample(range(nfiles), min(n_latin1, nfiles)))
    stats = {"files": 0, "bytes": 0, "hidden_files": 0, "files_in_hidden_dirs": 0,
             "latin1_files": 0, "by_ext": {e: {"files": 0, "bytes": 0, "visible_files": 0,
                                               "visible_bytes": 0, "visible_match_lines": 0,
                                               "all_match_lines": 0} for e in ext_names}}
    for i in range(nfiles):
        dpath, dhid, _ = dirs[rng.randrange(len(dirs))]
        ext = rng.choices(ext_names, ext_w)[0]
        fhid = rng.random() < 0.02
        name = (".f" if fhid else "f") + f"{i}.{ext}"
        nlines = max(5, min(3000, int(rng.lognormvariate(4.4, 0.8))))  # median ~80 lines
        lines = rng.choices(pools[ext], k=nlines)
        matches = 0
        if rng.random() < 0.06:
            for _ in range(rng.randint(1, 3)):
                kw = rng.choice(["TODO", "FIXME"])
                lines.insert(rng.randrange(len(lines) + 1),
                             f"// {kw}: fix {rng.choice(['this', 'the watcher', 'leak', 'race'])} #{i}")
                matches += 1
        if rng.random() < 0.03:  # decoys
            lines.insert(rng.randrange(len(lines) + 1),
                         rng.choice(["// TODO later", "// todo: lower case", "// FIXME - no colon"]))
        data = ("\n".join(lines) + "\n").encode()
        if i in latin1_idx:
            data = "// caf\u00e9 na\u00efve r\u00e9sum\u00e9\n".encode("latin-1") + data
            stats["latin1_files"] += 1
        with open(os.path.join(dpath, name), "wb") as f:
            f.write(data)
        be = stats["by_ext"][ext]
        be["files"] += 1; be["bytes"] += len(data); be["all_match_lines"] += matches
        stats["files"] += 1; stats["bytes"] += len(data)
        stats["hidden_files"] += fhid; stats["files_in_hidden_dirs"] += dhid
        if not (fhid or dhid):
            be["visible_files"] += 1; be["visible_bytes"] += len(data)
            be["visible_match_lines"] += matches
    stats.update(root=out, seed=seed, dirs=ndirs,
                 hidden_dirs_total=sum(1 for d in dirs if d[1]),
                 max_depth=max(d[2] for d in dirs),
                 deepest_dir=max(dirs, key=lambda d: (d[2] if not d[1] else -1))[0],
                 gen_seconds=round(time.time() - t0, 2))
    with open(out + ".manifest.json", "w") as f:
        json.dump(stats, f, indent=1)
    print(json.dumps({k: stats[k] for k in ("root", "dirs", "files", "bytes", "max_depth",
                                             "hidden_dirs_total", "latin1_files", "gen_seconds")}))

if __name__ == "__main__":
    main()
