#!/usr/bin/env python3
"""Runs the libFuzzer targets built by build.sh, each until it has used a
budget of CPU time (wall time would shrink under a loaded machine), two
targets at a time, and prints executions, CPU seconds and crashes per target.

  tests/fuzz/fuzz.py --cpu-seconds 600                  # every target
  tests/fuzz/fuzz.py --cpu-seconds 60 sql_exec_fuzz

Seeds: tests/fuzz/corpus_sql for the SQL targets, the small Access files of
../shared/fixtures/access (when present) for the file reader. Findings are
written to build-fuzz/artifacts/<target>/; the exit status is 1 when any
target crashed, timed out or ran out of memory.
"""
import argparse
import os
import pathlib
import re
import shutil
import subprocess
import sys
import threading

ROOT = pathlib.Path(__file__).resolve().parents[2]
TARGETS = {
    "sql_fuzz": {"seeds": "sql", "args": ["-max_len=4096"]},
    "sql_exec_fuzz": {"seeds": "sql", "args": ["-max_len=8192"]},
    "open_read_fuzz": {"seeds": "access", "args": ["-max_len=1048576"]},
}
CHUNK_SECONDS = 120


def seed_corpus(name, out):
    corpus = out / "corpus" / name
    corpus.mkdir(parents=True, exist_ok=True)
    kind = TARGETS[name]["seeds"]
    if kind == "sql":
        for seed in (ROOT / "tests/fuzz/corpus_sql").iterdir():
            shutil.copy(seed, corpus / seed.name)
    else:
        shared = pathlib.Path(os.environ.get("PELMORA_SHARED", ROOT.parent / "shared"))
        fixtures = shared / "fixtures/access"
        if fixtures.is_dir():
            for seed in fixtures.iterdir():
                if seed.suffix in (".mdb", ".accdb") and seed.stat().st_size < 400 * 1024:
                    shutil.copy(seed, corpus / seed.name)
        else:
            print(f"{name}: {fixtures} is absent; starting from an empty corpus", file=sys.stderr)
    return corpus


def run_target(name, out, budget, results):
    binary = out / name
    corpus = seed_corpus(name, out)
    artifacts = out / "artifacts" / name
    artifacts.mkdir(parents=True, exist_ok=True)
    log_path = out / f"{name}.log"
    extra = []
    if TARGETS[name]["seeds"] == "sql":
        extra.append(f"-dict={ROOT / 'tests/fuzz/sql.dict'}")
    cpu = 0.0
    executions = 0
    findings = []
    with open(log_path, "w") as log:
        while cpu < budget and not findings:
            chunk = max(10, min(CHUNK_SECONDS, int(budget - cpu) + 1))
            command = [str(binary), str(corpus), f"-max_total_time={chunk}", "-timeout=10",
                       "-rss_limit_mb=2048", "-print_final_stats=1",
                       f"-artifact_prefix={artifacts}/", *TARGETS[name]["args"], *extra]
            log.flush()
            child = subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT)
            # wait4 gives the child's own user and system time.
            _, status, usage = os.wait4(child.pid, 0)
            cpu += usage.ru_utime + usage.ru_stime
            log.flush()
            findings = sorted(p.name for p in artifacts.iterdir())
            if os.waitstatus_to_exitcode(status) != 0 and not findings:
                findings = [f"exit status {os.waitstatus_to_exitcode(status)} (see {log_path})"]
    stats = re.findall(r"stat::number_of_executed_units:\s*(\d+)", log_path.read_text(errors="replace"))
    executions = sum(int(n) for n in stats)
    results[name] = (executions, cpu, findings)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cpu-seconds", type=float, default=600)
    parser.add_argument("--out", default=os.environ.get("PELMORA_FUZZ_DIR", ROOT / "build-fuzz"))
    parser.add_argument("targets", nargs="*", default=list(TARGETS))
    args = parser.parse_args()
    out = pathlib.Path(args.out)
    for name in args.targets:
        if name not in TARGETS:
            parser.error(f"unknown target {name}; known: {', '.join(TARGETS)}")
        if not (out / name).exists():
            parser.error(f"{out / name} is missing: run tests/fuzz/build.sh first")

    results = {}
    pending = list(args.targets)
    while pending:
        batch, pending = pending[:2], pending[2:]
        threads = [threading.Thread(target=run_target, args=(name, out, args.cpu_seconds, results)) for name in batch]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()

    print(f"{'target':<16} {'executions':>12} {'cpu s':>8}  crashes")
    failed = False
    for name in args.targets:
        executions, cpu, findings = results[name]
        failed |= bool(findings)
        print(f"{name:<16} {executions:>12} {cpu:>8.0f}  {len(findings)} {' '.join(findings)}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
