#!/usr/bin/env python3
"""Kill trials: the Access engine's rollback journal under real SIGKILLs.

Each trial copies a real Access file, runs `pelmora-access exec COPY` on a long
statement stream fed over a few seconds (as rows arrive from a server, so that
several 500 ms lazy commits happen), kills it with SIGKILL at a random moment, opens the copy once
through our engine (which plays back a journal left behind), and then demands:
`pelmora-access check` finds nothing, mdbtools and mdb-reader read every table
(with --no-mdbtools, our engine's export and mdb-reader),
the file's own tables are unchanged, no lock file or journal remains, and all
our tables together hold exactly the rows of the first N statements for one N,
and exactly the indexes those N statements made (as our engine's `schema` and
mdbtools' `mdb-schema` list them; `check` compares every index with the rows).
The stream has keys and indexes: a quarter of the way in, CREATE INDEX on the
populated KillA (Text DESC and Double, duplicates and NULLs); halfway KillB is
dropped and created again with a PRIMARY KEY and a two-column UNIQUE
constraint; three quarters of the way in ALTER TABLE ... ADD CONSTRAINT puts a
UNIQUE constraint on the populated KillC, and seven eighths of the way in
KillB gets a CREATE UNIQUE INDEX ... WITH DISALLOW NULL on its rows; every
INSERT into those tables then maintains their indexes.
--no-keys runs the stream without them.
At the end it measures what the journal costs: the stream without keys (the
inserts that dominate a conversion; INSERTs into indexed tables are still far
slower) with and without `exec --no-journal`.

Usage (from the repository root, after building pelmora-access):
  tests/crash/kill_trials.py [--trials 200] [--bin build/bin] [--seed S]
      [--fixture FILE] [--work DIR] [--statements N] [--pace SECONDS] [--trial K]
      [--throughput-runs 3] [--throughput-statements N] [--password P]
      [--no-mdbtools] [--no-keys]
--password goes to every pelmora-access run and to mdb-reader; with a password
and an .accdb fixture mdbtools is left out by itself (it cannot read encrypted
.accdb files).
A damaged trial keeps its file as the kill left it (with its journal) in the
work folder and names the --seed and --trial that repeat it.
Exit status 0 when no trial found a damaged file, 1 otherwise, 2 when a tool or
the fixture is missing.
"""

import argparse
import bisect
import csv
import datetime
import io
import json
import os
import random
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
TABLES = ("KillA", "KillB", "KillC")
COLUMNS = "id LONG, name TEXT(50), amount DOUBLE, stamp DATETIME, note MEMO"
JOURNAL_MAGIC = b"PelmJrnl"
EPOCH = datetime.datetime(2001, 1, 1)


def fail_setup(message):
    print(f"kill_trials: {message}", file=sys.stderr)
    sys.exit(2)


# ---------------------------------------------------------------- the stream

def row_for(i):
    """The row statement i inserts, as the readers should give it back."""
    name = f"row {i}" + (" caf\u00e9" if i % 7 == 0 else "") + (" O'Neil" if i % 11 == 0 else "")
    amount = None if i % 97 == 0 else (i % 40000) * 0.25 - 5000.0
    stamp = (EPOCH + datetime.timedelta(seconds=i * 37)).strftime("%Y-%m-%d %H:%M:%S")
    if i % 13 == 0:
        note = None
    elif i % 400 == 0:  # a few kB: long-value pages
        length = 2000 + (i * 7919) % 4000
        note = (f"memo {i} " * (length // 8 + 1))[:length]
    else:
        note = f"n{i}"
    return (i, name, amount, stamp, note)


def sql_text(value):
    if value is None:
        return "NULL"
    if isinstance(value, float):
        return repr(value)
    return "'" + value.replace("'", "''") + "'"


def statements(count, keys=True):
    """The stream's statements as (kind, table, made, SQL): three CREATE TABLEs,
    then INSERTs spread over the tables, each row carrying its statement index
    as id; halfway one table is dropped and created again. With keys, the table
    made again has a primary key and a UNIQUE constraint, and indexes are built
    on tables that hold rows: at a quarter (CREATE INDEX), three quarters (ALTER
    TABLE ... ADD CONSTRAINT) and seven eighths (CREATE UNIQUE INDEX ... WITH
    DISALLOW NULL, beside the primary key), and at fifteen sixteenths a
    relationship (ALTER TABLE ... ADD CONSTRAINT ... FOREIGN KEY). `made` is the
    row an INSERT inserts, the (index name, primary) a CREATE or an index
    statement makes (primary None: a relationship)."""
    rng = random.Random(20240611)
    for t in TABLES:
        yield "create", t, (), f"CREATE TABLE {t} ({COLUMNS})"
    index_at = {
        count // 4: ("KillA", ("KillA_name", False), "CREATE INDEX KillA_name ON KillA (name DESC, amount)"),
        3 * count // 4: ("KillC", ("KillC_id", False), "ALTER TABLE KillC ADD CONSTRAINT KillC_id UNIQUE (id)"),
        7 * count // 8: ("KillB", ("KillB_stamp", False),
                         "CREATE UNIQUE INDEX KillB_stamp ON KillB (stamp DESC) WITH DISALLOW NULL"),
        # A relationship of the table with itself: every row is its own parent.
        15 * count // 16: ("KillB", ("KillB_self", None),
                           "ALTER TABLE KillB ADD CONSTRAINT KillB_self FOREIGN KEY (id) REFERENCES KillB (id) "
                           "ON DELETE CASCADE"),
    } if keys else {}
    i = len(TABLES)
    while i < count:
        if i == count // 2:
            yield "drop", "KillB", None, "DROP TABLE KillB"
            if keys:
                yield "create", "KillB", (("KillB_pk", True), ("KillB_name_stamp", False)), (
                    f"CREATE TABLE KillB ({COLUMNS}, CONSTRAINT KillB_pk PRIMARY KEY (id), "
                    "CONSTRAINT KillB_name_stamp UNIQUE (name, stamp))")
            else:
                yield "create", "KillB", (), f"CREATE TABLE KillB ({COLUMNS})"
            i += 2
            continue
        if i in index_at:
            t, made, sql = index_at[i]
            yield "index", t, (made,), sql
            i += 1
            continue
        t = TABLES[rng.randrange(3)]
        row = row_for(i)
        _, name, amount, stamp, note = row
        yield "insert", t, row, (f"INSERT INTO {t} (id, name, amount, stamp, note) VALUES "
                                 f"({i}, {sql_text(name)}, {sql_text(amount)}, #{stamp}#, {sql_text(note)})")
        i += 1


def write_statements(path, count, keys=True):
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        for _, _, _, line in statements(count, keys):
            f.write(line + "\n")


class Stream:
    """The statements and, for every N, the state they leave after the first N."""

    def __init__(self, count, keys=True):
        self.lines = []
        self.inserts = {t: [] for t in TABLES}  # statement indexes, ascending
        self.rows = {}  # statement index -> the row it inserts
        # [statement index of CREATE, of DROP or None, [(statement index, index name, primary)]]
        self.creates = {t: [] for t in TABLES}
        for kind, t, made, line in statements(count, keys):
            i = len(self.lines)
            self.lines.append(line)
            if kind == "create":
                self.creates[t].append([i, None, [(i, name, primary) for name, primary in made]])
            elif kind == "drop":
                self.creates[t][-1][1] = i
            elif kind == "index":  # no rows change
                self.creates[t][-1][2].extend((i, name, primary) for name, primary in made)
            else:
                self.inserts[t].append(i)
                self.rows[i] = made
        self.all_inserts = sorted(i for t in TABLES for i in self.inserts[t])

    def __len__(self):
        return len(self.lines)

    def slices(self, count):
        """The stream as `count` pieces of standard input, for a paced feed."""
        step = -(-len(self.lines) // count)
        return ["".join(line + "\n" for line in self.lines[k:k + step]).encode("utf-8")
                for k in range(0, len(self.lines), step)]

    def expected_ids(self, n):
        """Table -> ids it holds after the first n statements (absent tables left out)."""
        state = {}
        for t in TABLES:
            for created, dropped, _ in self.creates[t]:
                if created < n and (dropped is None or dropped >= n):
                    ids = self.inserts[t]
                    state[t] = ids[bisect.bisect_right(ids, created):bisect.bisect_left(ids, n)]
        return state

    def expected_indexes(self, n):
        """Table -> the (index name, primary) it has after the first n statements, sorted."""
        state = {}
        for t in TABLES:
            for created, dropped, indexes in self.creates[t]:
                if created < n and (dropped is None or dropped >= n):
                    state[t] = sorted((name, primary) for made, name, primary in indexes if made < n)
        return state

    def candidates(self, highest):
        """The N a state whose highest id is `highest` (-1: no rows) can be after."""
        k = bisect.bisect_right(self.all_inserts, highest)
        upper = self.all_inserts[k] if k < len(self.all_inserts) else len(self.lines)
        return range(highest + 1, upper + 1)


# ---------------------------------------------------------------- the readers

def run(args, **kw):
    return subprocess.run(args, capture_output=True, **kw)


def password_args(password):
    return ["--password", password] if password is not None else []


def engine_tables(tool, path, password):
    r = run([tool, "tables"] + password_args(password) + [path], text=True)
    if r.returncode != 0:
        raise Damage(f"pelmora-access tables failed: {r.stderr.strip()}")
    return [line for line in r.stdout.splitlines() if line]


def engine_export(tool, path, table, password):
    r = run([tool, "export"] + password_args(password) + [path, table])
    if r.returncode != 0:
        raise Damage(f"pelmora-access export {table} failed: {r.stderr.decode(errors='replace').strip()}")
    return r.stdout.decode("utf-8")


def mdbtools_tables(path):
    r = run(["mdb-tables", "-1", path], text=True)
    if r.returncode != 0:
        raise Damage(f"mdb-tables failed: {r.stderr.strip()}")
    return [line for line in r.stdout.splitlines() if line]


def mdbtools_export(path, table):
    r = run(["mdb-export", "-D", "%Y-%m-%d %H:%M:%S", "-T", "%Y-%m-%d %H:%M:%S", path, table])
    if r.returncode != 0:
        raise Damage(f"mdb-export {table} failed: {r.stderr.decode(errors='replace').strip()}")
    return r.stdout.decode("utf-8")


def engine_indexes(tool, path, password):
    """Table -> the names of its indexes and relationships, as `pelmora-access
    schema` prints them (CONSTRAINT [n] PRIMARY KEY in the CREATE TABLE, CREATE
    [UNIQUE] INDEX [n] ON [t], ALTER TABLE [t] ADD CONSTRAINT [n] FOREIGN KEY)."""
    r = run([tool, "schema"] + password_args(password) + [path], text=True)
    if r.returncode != 0:
        raise Damage(f"pelmora-access schema failed: {r.stderr.strip()}")
    out = {}
    for line in r.stdout.splitlines():
        table = re.match(r"CREATE TABLE \[([^\]]+)\]", line)
        if table:
            out[table.group(1)] = re.findall(r"CONSTRAINT \[([^\]]+)\] (?:PRIMARY KEY|UNIQUE)", line)
            continue
        index = re.match(r"CREATE (?:UNIQUE )?INDEX \[([^\]]+)\] ON \[([^\]]+)\]", line)
        if index:
            out.setdefault(index.group(2), []).append(index.group(1))
        relationship = re.match(r"ALTER TABLE \[([^\]]+)\] ADD CONSTRAINT \[([^\]]+)\] FOREIGN KEY", line)
        if relationship:
            out.setdefault(relationship.group(1), []).append(relationship.group(2))
    return {t: sorted(names) for t, names in out.items()}


def mdbtools_indexes(path):
    """Table (lower case) -> its indexes as mdb-schema's postgres dialect names
    them: "t_pkey" for the primary key, "t_name_idx" for the others."""
    r = run(["mdb-schema", "--indexes", path, "postgres"], text=True)
    if r.returncode != 0:
        raise Damage(f"mdb-schema failed: {r.stderr.strip()}")
    out = {}
    for line in r.stdout.splitlines():
        index = re.match(r'CREATE (?:UNIQUE )?INDEX "([^"]+)" ON "([^"]+)"', line)
        if index:
            out.setdefault(index.group(2), []).append(index.group(1))
        key = re.match(r'ALTER TABLE "([^"]+)" ADD CONSTRAINT "([^"]+)" PRIMARY KEY', line)
        if key:
            out.setdefault(key.group(1), []).append(key.group(2))
    return {t: sorted(names) for t, names in out.items()}


def mdbtools_index_names(table, indexes):
    """What mdb-schema names the indexes; it shows no index for a relationship."""
    return sorted(f"{table}_pkey".lower() if primary else f"{table}_{name}_idx".lower()
                  for name, primary in indexes if primary is not None)


def mdb_reader_dump(path, password):
    r = run(["node", str(REPO / "tests/readers/dump.mjs"), path] + password_args(password))
    if r.returncode != 0:
        raise Damage(f"mdb-reader failed: {r.stderr.decode(errors='replace').strip()}")
    return {t["name"]: t for t in json.loads(r.stdout)["tables"]}


def rows_from_csv(text):
    rows = list(csv.reader(io.StringIO(text)))[1:]
    out = []
    for id_, name, amount, stamp, note in rows:
        out.append((int(id_), name, float(amount) if amount else None, stamp, note or None))
    return out


def rows_from_json(table):
    return [(int(r[0]), r[1], None if r[2] is None else float(r[2]), r[3], r[4]) for r in table["rows"]]


class Damage(Exception):
    pass


# ---------------------------------------------------------------- one check

class Checker:
    def __init__(self, tool, password, mdbtools, stream, fixture_tables, fixture_csv, fixture_json):
        self.tool = tool
        self.password = password
        self.mdbtools = mdbtools  # False: our engine's export stands in for mdb-export
        self.stream = stream
        self.fixture_tables = fixture_tables
        self.fixture_csv = fixture_csv
        self.fixture_json = fixture_json

    def states(self, observed):
        """Every N whose state equals `observed` (table -> rows): ids and tables only."""
        highest = max((r[0] for rows in observed.values() for r in rows), default=-1)
        found = set()
        for n in self.stream.candidates(highest):
            expected = self.stream.expected_ids(n)
            if set(expected) == set(observed) and all(
                    sorted(r[0] for r in observed[t]) == ids for t, ids in expected.items()):
                found.add(n)
        return found

    def compare_values(self, observed, reader):
        expected = self.stream.rows
        for t, rows in observed.items():
            for row in rows:
                want = expected.get(row[0])
                if row != want:
                    raise Damage(f"{reader}: {t} row {row[0]} reads {row!r}, not {want!r}")

    def check(self, path):
        """Raises Damage; returns N, the statements the file holds."""
        db = str(path)
        engine_listed = engine_tables(self.tool, db, self.password)
        ours = [t for t in engine_listed if t in TABLES]
        r = run([self.tool, "check"] + password_args(self.password) + [db], text=True)
        if r.returncode != 0 or r.stdout.strip() != "ok":
            raise Damage(f"pelmora-access check: {(r.stdout + r.stderr).strip()}")
        for left in (db + "-journal", str(path.with_suffix(".ldb"))):
            if os.path.exists(left):
                raise Damage(f"{os.path.basename(left)} remains after our engine closed the file")

        if self.mdbtools:
            listed, lister, export = mdbtools_tables(db), "mdbtools", mdbtools_export
        else:
            listed, lister = engine_listed, "our engine"
            export = lambda path, table: engine_export(self.tool, path, table, self.password)
        if sorted(listed) != sorted(self.fixture_tables + ours):
            raise Damage(f"{lister} lists {listed}, not the file's own tables and ours "
                         f"{self.fixture_tables + ours}")
        dump = mdb_reader_dump(db, self.password)
        if sorted(dump) != sorted(listed):
            raise Damage(f"mdb-reader lists {sorted(dump)}, {lister} {sorted(listed)}")
        for t in self.fixture_tables:
            if export(db, t) != self.fixture_csv[t]:
                raise Damage(f"{lister}: the file's own table {t} changed")
            if dump[t] != self.fixture_json[t]:
                raise Damage(f"mdb-reader: the file's own table {t} changed")

        by_tools = {t: rows_from_csv(export(db, t)) for t in ours}
        by_mdb_reader = {t: rows_from_json(dump[t]) for t in ours}
        for t in ours:
            if len(dump[t]["rows"]) != dump[t]["rowCount"]:
                raise Damage(f"mdb-reader: {t} has {len(dump[t]['rows'])} rows, its definition says "
                             f"{dump[t]['rowCount']}")
        by_reader = self.states(by_mdb_reader)
        by_other = self.states(by_tools)
        if not by_reader or not by_other or not by_reader & by_other:
            counts = {t: (len(by_mdb_reader[t]), len(by_tools[t])) for t in ours}
            raise Damage("the tables are not the state after any one prefix of the statements "
                         f"(rows by mdb-reader, {lister}: {counts})")
        self.compare_values(by_mdb_reader, "mdb-reader")
        self.compare_values(by_tools, lister)

        # The indexes, by name, must be those of one of the N the rows allow.
        listed = engine_indexes(self.tool, db, self.password)
        by_engine = {t: listed.get(t, []) for t in ours}
        by_mdbtools = None
        if self.mdbtools:
            listed = mdbtools_indexes(db)
            by_mdbtools = {t: listed.get(t.lower(), []) for t in ours}
        found = set()
        for n in by_reader & by_other:
            expected = self.stream.expected_indexes(n)
            if by_engine == {t: sorted(name for name, _ in made) for t, made in expected.items()} and (
                    by_mdbtools is None or
                    by_mdbtools == {t: mdbtools_index_names(t, made) for t, made in expected.items()}):
                found.add(n)
        if not found:
            n = max(by_reader & by_other)
            raise Damage(f"the indexes are not those of the statements the rows are after (after {n} statements "
                         f"expected {self.stream.expected_indexes(n)}; our engine lists {by_engine}"
                         + (f", mdbtools {by_mdbtools})" if by_mdbtools is not None else ")"))
        return max(found)


# ---------------------------------------------------------------- running

def fresh_copy(fixture, path):
    for p in (path, Path(str(path) + "-journal"), path.with_suffix(".ldb")):
        if p.exists():
            p.unlink()
    shutil.copyfile(fixture, path)


def run_exec(tool, password, path, stream_file, no_journal=False):
    """Runs the whole stream as fast as exec reads it; seconds taken."""
    args = [tool, "exec"] + password_args(password) + (["--no-journal"] if no_journal else []) + [str(path)]
    with open(stream_file, "rb") as stdin:
        start = time.monotonic()
        r = subprocess.run(args, stdin=stdin, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        elapsed = time.monotonic() - start
    if r.returncode != 0:
        fail_setup(f"the uninterrupted run failed: {r.stderr.decode(errors='replace').strip()}")
    return elapsed


def paced_exec(tool, password, path, slices, pace, errors, kill_at=None):
    """Feeds the slices evenly over `pace` seconds (as rows arrive from a
    server), and kills exec with SIGKILL `kill_at` seconds after its start.
    Returns (seconds until it ended, whether it was killed)."""
    with open(errors, "wb") as stderr:
        proc = subprocess.Popen([tool, "exec"] + password_args(password) + [str(path)], stdin=subprocess.PIPE,
                                stdout=subprocess.DEVNULL, stderr=stderr)
    start = time.monotonic()

    def feed():
        try:
            for k, piece in enumerate(slices):
                wait = start + pace * k / len(slices) - time.monotonic()
                if wait > 0:
                    time.sleep(wait)
                proc.stdin.write(piece)
                proc.stdin.flush()
            proc.stdin.close()
        except (BrokenPipeError, ValueError, OSError):
            pass

    feeder = threading.Thread(target=feed, daemon=True)
    feeder.start()
    killed = False
    try:
        proc.wait(timeout=kill_at)
    except subprocess.TimeoutExpired:
        proc.send_signal(signal.SIGKILL)
        proc.wait()
        killed = True
    elapsed = time.monotonic() - start
    feeder.join()
    if not killed and proc.returncode != 0:
        raise Damage(f"exec failed by itself (status {proc.returncode}): "
                     f"{Path(errors).read_text(errors='replace').strip()}")
    return elapsed, killed


def journal_state(path):
    journal = Path(str(path) + "-journal")
    if not journal.exists():
        return "none"
    with open(journal, "rb") as f:
        return "hot" if f.read(len(JOURNAL_MAGIC)) == JOURNAL_MAGIC else "spent"


def main():
    shared = os.environ.get("PELMORA_SHARED") or str(REPO.parent / "shared")
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--trials", type=int, default=200)
    ap.add_argument("--bin", default=str(REPO / "build/bin"), help="folder holding pelmora-access")
    ap.add_argument("--fixture", default=os.path.join(shared, "fixtures/access/content-2000.mdb"))
    ap.add_argument("--seed", type=int, default=None, help="kill moments (default: from the clock)")
    ap.add_argument("--work", default=None, help="scratch folder (default: a new temporary one)")
    ap.add_argument("--statements", type=int, default=150000)
    ap.add_argument("--pace", type=float, default=3.0,
                    help="seconds over which the stream is fed to a trial (0: as fast as exec reads)")
    ap.add_argument("--trial", type=int, default=None, help="run only this trial (with the same --seed)")
    ap.add_argument("--throughput-runs", type=int, default=3)
    ap.add_argument("--throughput-statements", type=int, default=1000000,
                    help="the stream without keys, run as fast as exec reads it, with and without the journal")
    ap.add_argument("--no-keys", action="store_true",
                    help="the trials' stream without primary keys, UNIQUE constraints and indexes")
    ap.add_argument("--password", default=None, help="the fixture's database password")
    ap.add_argument("--no-mdbtools", action="store_true",
                    help="judge by our engine and mdb-reader only (the default with a password and an .accdb)")
    a = ap.parse_args()
    mdbtools = not a.no_mdbtools
    if mdbtools and a.password is not None and a.fixture.lower().endswith(".accdb"):
        mdbtools = False
        print("the trials are judged by our engine and mdb-reader only: mdbtools cannot read encrypted .accdb files")

    tool = os.path.join(a.bin, "pelmora-access")
    if not os.access(tool, os.X_OK):
        fail_setup(f"{tool} is missing: build pelmora-access, or name its folder with --bin")
    if not os.path.isfile(a.fixture):
        fail_setup(f"the fixture {a.fixture} is absent (set PELMORA_SHARED or --fixture)")
    for needed in (("mdb-tables", "mdb-export", "mdb-schema") if mdbtools else ()) + ("node",):
        if not shutil.which(needed):
            fail_setup(f"{needed} is not installed")
    if not (REPO / "tests/readers/node_modules/mdb-reader").is_dir():
        r = subprocess.run(["npm", "install", "--no-audit", "--no-fund"], cwd=REPO / "tests/readers",
                           stdout=subprocess.DEVNULL)
        if r.returncode != 0:
            fail_setup("npm install in tests/readers failed")
    seed = a.seed if a.seed is not None else int(time.time()) % 1000000
    work = Path(a.work) if a.work else Path(tempfile.mkdtemp(prefix="kill-trials-"))
    work.mkdir(parents=True, exist_ok=True)

    stream = Stream(a.statements, keys=not a.no_keys)
    if mdbtools:
        fixture_tables = mdbtools_tables(a.fixture)
        fixture_csv = {t: mdbtools_export(a.fixture, t) for t in fixture_tables}
    else:
        fixture_tables = engine_tables(tool, a.fixture, a.password)
        fixture_csv = {t: engine_export(tool, a.fixture, t, a.password) for t in fixture_tables}
    fixture_json = mdb_reader_dump(a.fixture, a.password)
    checker = Checker(tool, a.password, mdbtools, stream, fixture_tables, fixture_csv, fixture_json)
    print(f"seed {seed}, {len(stream)} statements {'without' if a.no_keys else 'with'} keys, "
          f"fixture {a.fixture}, work {work}")

    slices = stream.slices(200)
    copy = work / "trial.mdb"
    fresh_copy(a.fixture, copy)
    try:
        duration, _ = paced_exec(tool, a.password, copy, slices, a.pace, work / "exec.err")
        n = checker.check(copy)
    except Damage as e:
        print(f"the uninterrupted run failed: {e}")
        return 1
    if n != len(stream):
        print(f"the uninterrupted run holds {n} of {len(stream)} statements")
        return 1
    print(f"uninterrupted run: {duration:.2f} s (fed over {a.pace:g} s); checked")

    damaged, hot, spent, finished = [], 0, 0, 0
    trials = [a.trial] if a.trial is not None else range(a.trials)
    for k in trials:
        rng = random.Random(f"{seed}-{k}")
        delay = rng.uniform(0.0, duration)
        fresh_copy(a.fixture, copy)
        before, journal = work / "before-recovery.mdb", "?"
        for stale in (before, Path(str(before) + "-journal")):
            if stale.exists():
                stale.unlink()
        try:
            _, killed = paced_exec(tool, a.password, copy, slices, a.pace, work / "exec.err", kill_at=delay)
            journal = journal_state(copy)
            shutil.copyfile(copy, before)
            if journal != "none":
                shutil.copyfile(str(copy) + "-journal", str(before) + "-journal")
            hot += journal == "hot"
            spent += journal == "spent"
            finished += not killed
            n = checker.check(copy)
            print(f"trial {k:3d}: {'killed' if killed else 'ended '} at {delay:5.2f} s, journal {journal:5s}, "
                  f"holds {n} statements")
        except Damage as e:
            kept = work / f"damaged-{k}.mdb"
            shutil.copyfile(before if before.exists() else copy, kept)
            if os.path.exists(str(before) + "-journal"):
                shutil.copyfile(str(before) + "-journal", str(kept) + "-journal")
            damaged.append(k)
            print(f"trial {k:3d}: DAMAGED (killed at {delay:.2f} s, journal {journal}): {e}; "
                  f"file before recovery kept as {kept}; rerun with --seed {seed} --trial {k}")
        sys.stdout.flush()

    stream_file = work / "throughput.sql"
    # Without keys: what a conversion's INSERTs are, and what the journal's cost has always been measured on.
    write_statements(stream_file, a.throughput_statements, keys=False)
    rates = {False: [], True: []}
    for _ in range(a.throughput_runs):
        for no_journal in (False, True):
            fresh_copy(a.fixture, copy)
            seconds = run_exec(tool, a.password, copy, stream_file, no_journal)
            rates[no_journal].append(a.throughput_statements / seconds)
    with_journal, without = statistics.median(rates[False]), statistics.median(rates[True])
    cost = (without - with_journal) / without * 100

    print()
    print(f"trials:                          {len(trials)} (seed {seed}; {finished} ended before the kill)")
    print(f"damaged files:                   {len(damaged)} (goal 0){'  trials ' + str(damaged) if damaged else ''}")
    print(f"kills that found a journal:      {hot} played back" + (f", {spent} already past the commit point"
                                                                     if spent else ""))
    print(f"throughput with the journal:     {with_journal:,.0f} statements/s "
          f"(median of {a.throughput_runs} runs of {a.throughput_statements:,} statements without keys)")
    print(f"throughput without the journal:  {without:,.0f} statements/s")
    print(f"the journal's cost:              {cost:.1f} % (goal under 15 %)")
    if damaged:
        print(f"the damaged files are in {work}")
        return 1
    if not a.work:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
