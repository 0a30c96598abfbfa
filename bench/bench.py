#!/usr/bin/python3
"""Benchmarks of the viewer and the reports against the sqlite3 shell.

Makes demo databases of 100,000 and 1,000,000 entries, runs every case several
times beside its baseline (the sqlite3 shell doing the same database work and
writing its rows to a file), and prints a table of median times, peak memory
and ratios. Each run is a separate process, so its peak memory is its own.

    scripts/bench.sh [--repeat N] [--rows-large N] [--rows-small N] [--work DIR]
                     [--markdown FILE] [--cases NAME,...] [--rows-huge N] [--postgres]

With --rows-huge N it makes a database of N entries as well and prints instead
the scale table: the cases whose cost should follow the work, not the table,
on the large and the huge database side by side, with the growth between them.

With --postgres it prints instead the PostgreSQL table (bench_postgres.py):
the same databases copied into a throw-away PostgreSQL cluster, beside SQLite.
"""
import argparse
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
# The SELECT of an unattended report of every level at any age, sorted by
# default (When, User, AutoIndex), in SQLite's dialect.
ALL_LEVELS_SELECT = ("SELECT Audit.* FROM Audit WHERE ((`Level` = 0) OR (`Level` = 1) OR "
                  "(`Level` = 2) OR (`Level` = 3)) ORDER BY [When], [User], [AutoIndex];")
ROOT = os.path.dirname(HERE)


def run_child(argv, env=None, out_file=None):
    """Runs a process with wait4 so that its own peak memory is known.
    Returns (wall seconds, peak MB, stdout)."""
    out = open(out_file, "wb") if out_file else subprocess.PIPE
    start = time.perf_counter()
    proc = subprocess.Popen(argv, env=env, stdout=out, stderr=subprocess.PIPE)
    captured = b""
    if out is subprocess.PIPE:
        captured = proc.stdout.read()
    err = proc.stderr.read()
    _, status, usage = os.wait4(proc.pid, 0)
    elapsed = time.perf_counter() - start
    if out_file:
        out.close()
    code = os.waitstatus_to_exitcode(status)
    if code != 0:
        raise RuntimeError("%s failed (%d): %s" % (" ".join(argv), code,
                                                    err.decode(errors="replace")[-600:]))
    return elapsed, usage.ru_maxrss / 1024.0, captured.decode(errors="replace")


def inner_seconds(text):
    """The time a bench case measured itself ("seconds=..." on its output)."""
    for line in text.splitlines():
        if line.startswith("seconds="):
            return float(line.split("=", 1)[1])
    raise RuntimeError("no seconds= line in: " + text[-300:])


def printed(text, key):
    """The value of a "key=..." line a bench case printed."""
    for line in text.splitlines():
        if line.startswith(key + "="):
            return line.split("=", 1)[1]
    raise RuntimeError("no %s= line in: %s" % (key, text[-300:]))


def machine_text():
    """nproc, CPU model and memory of this machine."""
    cpu = "unknown CPU"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    memory = "unknown memory"
    with open("/proc/meminfo") as f:
        for line in f:
            if line.startswith("MemTotal:"):
                memory = "%.1f GB RAM" % (int(line.split()[1]) / 1024.0 / 1024.0)
                break
    return "nproc %d, %s, %s" % (len(os.sched_getaffinity(0)), cpu, memory)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port):
    for _ in range(100):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
            return
        except OSError:
            time.sleep(0.05)
    raise RuntimeError("no SMTP server on port %d" % port)


def smtp_sink(build):
    """Postfix's smtp-sink as scripts/bench.sh unpacks it into the build folder
    (no MTA installed): its command line and its library folder, or None."""
    root = os.path.join(build, "smtp-sink", "usr")
    path = os.path.join(root, "sbin", "smtp-sink")
    if not os.access(path, os.X_OK):
        return None
    # As root it must be told whose rights to run with.
    argv = [path, "-u", "nobody"] if os.geteuid() == 0 else [path]
    return argv, os.path.join(root, "lib", "postfix")


class Case:
    def __init__(self, name, what, goal, limit=None, ratio_limit=None, mem_limit=None):
        self.name, self.what, self.goal = name, what, goal
        self.limit, self.ratio_limit, self.mem_limit = limit, ratio_limit, mem_limit
        self.times, self.base, self.mem = [], [], []

    def row(self):
        t = statistics.median(self.times)
        b = statistics.median(self.base) if self.base else None
        m = max(self.mem)
        ratio = t / b if b else None
        met = True
        if self.limit is not None and t > self.limit:
            met = False
        if self.ratio_limit is not None and ratio is not None and ratio > self.ratio_limit:
            met = False
        if self.mem_limit is not None and m > self.mem_limit:
            met = False
        return [self.name, "%.3f" % t, "%.3f" % b if b else "-",
                "%.2f" % ratio if ratio else "-", "%.0f" % m, self.goal, "yes" if met else "NO"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.environ.get("BUILD_DIR", os.path.join(ROOT, "build")))
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--rows-small", type=int, default=100000)
    parser.add_argument("--rows-large", type=int, default=1000000)
    parser.add_argument("--work", default=None, help="folder for the databases (kept)")
    parser.add_argument("--markdown", default=None, help="also write the table to this file")
    parser.add_argument("--cases", default=None,
                        help="run only these cases (comma-separated: open, sort, scroll, purge, "
                             "text, html, pdf, mail, run, text-large, find, filter)")
    parser.add_argument("--rows-huge", type=int, default=0,
                        help="scale table: the large database beside one of this many entries")
    parser.add_argument("--postgres", action="store_true",
                        help="PostgreSQL table: the databases on a throw-away cluster beside SQLite")
    args = parser.parse_args()
    wanted = set(args.cases.split(",")) if args.cases else None

    def runs(name):
        return wanted is None or name in wanted

    load_before = os.getloadavg()

    bin_dir = os.path.join(args.build, "bin")
    bench = os.path.join(bin_dir, "auditlog_bench")
    auditlog = os.path.join(bin_dir, "auditlog")
    makedemo = os.path.join(bin_dir, "makedemo")
    sqlite3 = shutil.which("sqlite3")
    work = args.work or tempfile.mkdtemp(prefix="auditlog-bench-")
    os.makedirs(work, exist_ok=True)

    # Settings of their own: no purge at start (the cases must see the same rows).
    config = os.path.join(work, "config")
    os.makedirs(os.path.join(config, "Velmora"), exist_ok=True)
    with open(os.path.join(config, "Velmora", "Audit Log Viewer.conf"), "w") as f:
        f.write("[General]\nAutoDeleteDays=999\n")
    runtime = os.path.join(work, "runtime")
    os.makedirs(runtime, mode=0o700, exist_ok=True)
    env = dict(os.environ, XDG_CONFIG_HOME=config, XDG_RUNTIME_DIR=runtime,
               QT_QPA_PLATFORM="offscreen")

    def make_db(rows, name):
        root = os.path.join(work, name)
        path = os.path.join(root, "SYSTEM", "Audit.mdb")
        if not os.path.exists(path):
            os.makedirs(os.path.dirname(path), exist_ok=True)
            print("making %s (%d entries)..." % (path, rows), flush=True)
            subprocess.run([makedemo, "--seed", "1", "--days", "120", path, str(rows)], check=True,
                           stdout=subprocess.DEVNULL)
        return root, path

    large_root, large = make_db(args.rows_large, "large")
    if args.rows_huge:
        huge_root, huge = make_db(args.rows_huge, "huge")
        scale_table(args, env, bin_dir, {"large": (large_root, large), "huge": (huge_root, huge)},
                    work)
        return 0
    small_root, small = make_db(args.rows_small, "small")
    if args.postgres:
        import bench_postgres
        bench_postgres.postgres_table(args, env, bin_dir, large_root, large, small_root, small,
                                      work)
        if not args.work:
            shutil.rmtree(work, ignore_errors=True)
        return 0

    out = os.path.join(work, "out")
    os.makedirs(out, exist_ok=True)
    # The report cases print the SQLite text of the SELECT they ran (sqlite=...);
    # the baselines run that same statement.

    def sqlite_to_file(db, sql, target):
        t, m, _ = run_child([sqlite3, db, sql], env=env, out_file=target)
        return t, m

    def fresh_copy(path, name):
        target = os.path.join(work, name)
        os.makedirs(os.path.join(target, "SYSTEM"), exist_ok=True)
        copy = os.path.join(target, "SYSTEM", "Audit.mdb")
        for suffix in ("-wal", "-shm"):
            if os.path.exists(copy + suffix):
                os.remove(copy + suffix)
        shutil.copyfile(path, copy)
        return copy

    cases = []

    if runs("open"):
        c = Case("open", "start-up to first rows, %d entries" % args.rows_large,
                 "< 0.3 s, < 150 MB", limit=0.3, mem_limit=150)
        for _ in range(args.repeat):
            t, m, text = run_child([bench, "open", large], env=env)
            c.times.append(inner_seconds(text)); c.mem.append(m)
            bt, _ = sqlite_to_file(large, "SELECT * FROM Audit ORDER BY AutoIndex DESC LIMIT 100;",
                                   os.path.join(out, "open.txt"))
            c.base.append(bt)
        cases.append(c)

    for column in ("When", "Description") if runs("sort") else ():
        c = Case("sort " + column, "heading click to first rows", "< 1 s", limit=1.0)
        for _ in range(args.repeat):
            t, m, text = run_child([bench, "sort", large, column], env=env)
            c.times.append(inner_seconds(text)); c.mem.append(m)
            bt, _ = sqlite_to_file(large, "SELECT * FROM Audit ORDER BY [%s], [AutoIndex] LIMIT 100;"
                                   % column, os.path.join(out, "sort.txt"))
            c.base.append(bt)
        cases.append(c)

    if runs("scroll"):
        c = Case("scroll", "first row to last row", "< 1 s", limit=1.0, mem_limit=150)
        for _ in range(args.repeat):
            t, m, text = run_child([bench, "scroll", large], env=env)
            c.times.append(inner_seconds(text)); c.mem.append(m)
        cases.append(c)

    if runs("find"):
        c = Case("find last row", "Find Next from the first row to the last of %d" % args.rows_large,
                 "< 1 s, < 150 MB", limit=1.0, mem_limit=150)
        for _ in range(args.repeat):
            t, m, text = run_child([bench, "find", large], env=env)
            c.times.append(inner_seconds(text)); c.mem.append(m)
            # The database doing the same search itself: a whole cell of every
            # grid column, newest first.
            needle = printed(text, "text").replace("'", "''")
            columns = ("AutoIndex", "Error", "Description", "Application", "[When]", "User",
                       "Details", "Path")
            where = " OR ".join("CAST(%s AS TEXT) = '%s'" % (col, needle) for col in columns)
            bt, _ = sqlite_to_file(large, "SELECT * FROM Audit WHERE %s ORDER BY AutoIndex DESC;"
                                   % where, os.path.join(out, "find.txt"))
            c.base.append(bt)
        cases.append(c)

    for name, criteria in ((("filter", ["2", "30", ""]), ("filter, no match", ["-1", "", "OBrien"]))
                           if runs("filter") else ()):
        c = Case(name, "Apply to first rows, %d entries" % args.rows_large, "< 1 s", limit=1.0)
        for _ in range(args.repeat):
            t, m, text = run_child([bench, "filter", large] + criteria, env=env)
            c.times.append(inner_seconds(text)); c.mem.append(m)
            bt, _ = sqlite_to_file(large, printed(text, "sqlite") + ";",
                                   os.path.join(out, "filter.txt"))
            c.base.append(bt)
        cases.append(c)

    if runs("purge"):
        c = Case("purge", "DeleteOldEntries, half of %d" % args.rows_large, "ratio < 1.5",
                 ratio_limit=1.5)
        for i in range(max(3, args.repeat // 2)):
            copy = fresh_copy(large, "purge")
            t, m, text = run_child([bench, "purge", copy], env=env)
            c.times.append(inner_seconds(text)); c.mem.append(m)
            statement = printed(text, "sqlite")
            copy = fresh_copy(large, "purge")
            bt, _ = sqlite_to_file(copy, statement, os.path.join(out, "purge.txt"))
            c.base.append(bt)
        cases.append(c)

    # Report cases: each against the sqlite3 shell writing the same SELECT's
    # rows to a file.
    def report_case(name, what, goal, ratio_limit, argv_of, db, mem_limit=None, case_env=None,
                    repeat=args.repeat):
        c = Case(name, what, goal, ratio_limit=ratio_limit, mem_limit=mem_limit)
        for _ in range(repeat):
            t, m, text = run_child(argv_of(), env=case_env or env)
            c.times.append(inner_seconds(text)); c.mem.append(m)
            select = printed(text, "sqlite")
            bt, _ = sqlite_to_file(db, select, os.path.join(out, "report.sql.txt"))
            c.base.append(bt)
        cases.append(c)
        return select

    small_note = "%d entries" % args.rows_small
    for kind in ("text", "html", "pdf"):
        if not runs(kind):
            continue
        limit = 6.0 if kind == "pdf" else 2.0
        target = os.path.join(out, "report." + kind)
        report_case(kind + " report", "ReportAudit of " + small_note, "ratio <= %.1f" % limit,
                    limit, lambda: [bench, kind, small, target], small)

    if runs("text-large"):
        target = os.path.join(out, "report-large.text")
        report_case("text report 1M", "ReportAudit of %d entries" % args.rows_large,
                    "ratio <= 2.0, < 150 MB", 2.0, lambda: [bench, "text", large, target], large,
                    mem_limit=150, repeat=max(1, args.repeat // 2))

    if runs("mail"):
        # The mailed report against two loopback servers: postfix's smtp-sink (C,
        # made to measure SMTP clients; scripts/bench.sh fetches it), which costs
        # next to nothing, and aiosmtpd (Python, as the tests use), which spends
        # about a line's worth of interpreter per base64 line on the same cores.
        servers = []
        sink = smtp_sink(args.build)
        if sink:
            servers.append(("mail", "smtp-sink", lambda port: sink[0] + ["127.0.0.1:%d" % port, "64"],
                            dict(env, LD_LIBRARY_PATH=sink[1])))
        servers.append(("mail, aiosmtpd", "aiosmtpd", lambda port: [
            "/usr/bin/python3", "-m", "aiosmtpd", "-n", "-l", "127.0.0.1:%d" % port, "-c",
            "aiosmtpd.handlers.Sink"], None))
        for name, server, argv, server_env in servers:
            port = free_port()
            smtp = subprocess.Popen(argv(port), env=server_env, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
            try:
                wait_for_port(port)
                mail_env = dict(env, ZLK_SMTP_URL="smtp://127.0.0.1:%d" % port)
                report_case(
                    name, "ReportAuditDetail of %s, zipped, loopback %s" % (small_note, server),
                    "ratio <= 2.5", 2.5, lambda: [bench, "mail", small, out], small,
                    case_env=mail_env, repeat=max(3, args.repeat // 2))
            finally:
                smtp.terminate()
                smtp.wait()

    if runs("run"):
        # The whole unattended /FILE run as a scheduler sees it: process start
        # to exit, with the start-up purge and the view query.
        c = Case("whole /FILE run", "auditlog /FILE of %s, process start to exit" % small_note,
                 "ratio <= 2.5", ratio_limit=2.5)
        run_select = ALL_LEVELS_SELECT
        for _ in range(args.repeat):
            target = os.path.join(out, "unattended.txt")
            t, m, _ = run_child([auditlog, "/STATUS", "/WARNING", "/ERROR", "/FATAL", "/FILE",
                                 target, "/SYSTEM", small_root, "/UNATTENDED"], env=env)
            c.times.append(t); c.mem.append(m)
            bt, _ = sqlite_to_file(small, run_select, os.path.join(out, "unattended.sql.txt"))
            c.base.append(bt)
        cases.append(c)

    header = ["case", "auditlog s", "sqlite3 s", "ratio", "peak MB", "goal", "met"]
    load_after = os.getloadavg()
    title = ("Median of %d runs (purge and mail: %d, text report 1M: %d); machine: %s; "
             "load average %.1f before, %.1f after" % (
                 args.repeat, max(3, args.repeat // 2), max(1, args.repeat // 2), machine_text(),
                 load_before[0], load_after[0]))
    print_table(title, header, [c.row() for c in cases], args.markdown)
    if not args.work:
        shutil.rmtree(work, ignore_errors=True)


class ScaleCase:
    """One case on the large and the huge database. growth_limit bounds the
    huge database's time over the large one's; limit and mem_limit bound the
    huge database's figures."""

    def __init__(self, name, goal, limit=None, mem_limit=None, growth_limit=None):
        self.name, self.goal = name, goal
        self.limit, self.mem_limit, self.growth_limit = limit, mem_limit, growth_limit
        self.times = {"large": [], "huge": []}
        self.mem = {"large": [], "huge": []}

    def row(self):
        if not all(self.times.values()):
            return [self.name, "-", "-", "-", "-", "-", self.goal, "-"]
        t = {k: statistics.median(v) for k, v in self.times.items()}
        m = {k: max(v) for k, v in self.mem.items()}
        growth = t["huge"] / t["large"] if t["large"] > 0 else None
        met = True
        if self.limit is not None and t["huge"] > self.limit:
            met = False
        if self.mem_limit is not None and m["huge"] > self.mem_limit:
            met = False
        if self.growth_limit is not None and (growth is None or growth > self.growth_limit):
            met = False
        return [self.name, "%.3f" % t["large"], "%.0f" % m["large"], "%.3f" % t["huge"],
                "%.0f" % m["huge"], "%.2f" % growth if growth else "-", self.goal,
                "yes" if met else "NO"]


def scale_table(args, env, bin_dir, dbs, work):
    """The cases whose cost should follow the work, on both databases."""
    bench = os.path.join(bin_dir, "auditlog_bench")
    auditlog = os.path.join(bin_dir, "auditlog")
    out = os.path.join(work, "out")
    os.makedirs(out, exist_ok=True)
    cases = [
        ScaleCase("open", "< 0.3 s, < 150 MB", limit=0.3, mem_limit=150),
        ScaleCase("sort When", "< 1 s", limit=1.0),
        ScaleCase("sort Description", "< 1 s", limit=1.0),
        ScaleCase("scroll", "< 1 s, < 150 MB", limit=1.0, mem_limit=150),
        ScaleCase("purge, nothing old", "< 0.1 s", limit=0.1),
        ScaleCase("newest 1,000 report", "growth < 1.3", growth_limit=1.3),
        ScaleCase("find last row", "< 150 MB", mem_limit=150),
        ScaleCase("filter", "< 1 s", limit=1.0),
    ]
    by_name = {c.name: c for c in cases}

    def bench_case(name, argv):
        t, m, text = run_child([bench] + argv, env=env)
        return inner_seconds(text), m

    for size, (root, db) in dbs.items():
        newest = int(subprocess.run(["sqlite3", db, "SELECT MAX(AutoIndex) FROM Audit;"],
                                    check=True, capture_output=True, text=True).stdout)
        runs = [("open", ["open", db]), ("sort When", ["sort", db, "When"]),
                ("sort Description", ["sort", db, "Description"]), ("scroll", ["scroll", db]),
                ("purge, nothing old", ["purge-nothing", db]), ("find last row", ["find", db]),
                ("filter", ["filter", db, "2", "30", ""])]
        for _ in range(args.repeat):
            for name, argv in runs:
                try:
                    t, m = bench_case(name, argv)
                except RuntimeError as failure:
                    print("%s, %s: %s" % (name, size, str(failure).splitlines()[-1]), flush=True)
                    continue
                by_name[name].times[size].append(t)
                by_name[name].mem[size].append(m)
            # Process start to exit, as a scheduler runs it.
            t, m, _ = run_child([auditlog, "/STATUS", "/WARNING", "/ERROR", "/FATAL", "/QUERY",
                                 "AutoIndex > %d" % (newest - 1000), "/FILE",
                                 os.path.join(out, "newest.txt"), "/SYSTEM", root, "/UNATTENDED"],
                                env=env)
            by_name["newest 1,000 report"].times[size].append(t)
            by_name["newest 1,000 report"].mem[size].append(m)

    header = ["case", "%d s" % args.rows_large, "MB", "%d s" % args.rows_huge, "MB", "growth",
              "goal", "met"]
    with open("/proc/loadavg") as f:
        load = " ".join(f.read().split()[:3])
    title = "Median of %d runs; machine: %s; load average at the end: %s" % (
        args.repeat, machine_text(), load)
    print_table(title, header, [c.row() for c in cases], args.markdown)


def print_table(title, header, rows, markdown):
    """Prints the rows as a Markdown table under the title, and writes it to
    the file markdown names, if any."""
    rows = [header] + rows
    widths = [max(len(r[i]) for r in rows) for i in range(len(header))]
    lines = ["| " + " | ".join(r[i].ljust(widths[i]) for i in range(len(header))) + " |"
             for r in rows]
    lines.insert(1, "|" + "|".join("-" * (w + 2) for w in widths) + "|")
    print()
    print(title)
    print("\n".join(lines))
    if markdown:
        with open(markdown, "w") as f:
            f.write(title + "\n\n" + "\n".join(lines) + "\n")


if __name__ == "__main__":
    sys.exit(main())
