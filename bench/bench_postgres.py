"""The PostgreSQL table of bench.py (--postgres): the same audit database on a
throw-away PostgreSQL cluster (scripts/pg-cluster.sh) beside the SQLite file.

Measured always: the copy of the large file into PostgreSQL (auditlog-copydb),
and each database alone, psql beside the sqlite3 shell, writing the rows of
the same statement to a file: first rows, the sorts, the 100,000-entry report
SELECT, the purge of about half the large table. Measured through the program
when it can use a PostgreSQL database (the connection given in DATABASE_ENV,
probed before the cases): start-up to first rows, the sorts, the unattended
text report and the start-up purge, each on both backends.
"""
import datetime
import os
import shutil
import statistics
import subprocess

from bench import inner_seconds, machine_text, print_table, run_child

# The environment variable with which the program takes a PostgreSQL
# connection instead of <root>/SYSTEM/Audit.mdb.
DATABASE_ENV = "AUDITLOG_DATABASE"
# Entries older than this many days are purged (the demo spreads its entries
# over 120 days, so about half).
PURGE_DAYS = 60
REPORT_SQLITE = ("SELECT Audit.* FROM Audit WHERE ((`Level` = 0) OR (`Level` = 1) OR "
                 "(`Level` = 2) OR (`Level` = 3)) ORDER BY [When], [User], [AutoIndex];")
REPORT_PG = ('SELECT audit.* FROM audit WHERE ((level = 0) OR (level = 1) OR (level = 2) OR '
             '(level = 3)) ORDER BY "when", "user", autoindex;')


class Row:
    """One case: times on SQLite and on PostgreSQL, or why one is missing."""

    def __init__(self, name, what):
        self.name, self.what = name, what
        self.sqlite, self.pg, self.mem = [], [], []
        self.note = ""

    def cells(self):
        s = statistics.median(self.sqlite) if self.sqlite else None
        p = statistics.median(self.pg) if self.pg else None
        return [self.name, "%.3f" % s if s is not None else "-",
                "%.3f" % p if p is not None else "-",
                "%.2f" % (p / s) if s and p is not None else "-",
                "%.0f" % max(self.mem) if self.mem else "-", self.what + self.note]


def postgres_table(args, env, bin_dir, large_root, large, small_root, small, work):
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    cluster_script = os.path.join(root, "scripts", "pg-cluster.sh")
    cluster = os.path.join(work, "pg")
    os.makedirs(work, exist_ok=True)
    os.chmod(work, 0o755)  # the server may run as another user
    uri = subprocess.run([cluster_script, "start", cluster], check=True, capture_output=True,
                         text=True).stdout.strip()
    try:
        rows, missing = run_cases(args, env, bin_dir, uri, large_root, large, small_root, small,
                                  work)
    finally:
        subprocess.run([cluster_script, "stop", cluster], check=False)
    header = ["case", "SQLite s", "PostgreSQL s", "PG/SQLite", "PG peak MB", "what was measured"]
    with open("/proc/loadavg") as f:
        load = " ".join(f.read().split()[:3])
    title = "Median of %d runs (copy and purge: %d); machine: %s; load average at the end: %s" % (
        args.repeat, max(1, args.repeat // 2), machine_text(), load)
    print_table(title, header, [r.cells() for r in rows], args.markdown)
    if missing:
        print("\n" + missing)
        if args.markdown:
            with open(args.markdown, "a") as f:
                f.write("\n" + missing + "\n")


def run_cases(args, env, bin_dir, uri, large_root, large, small_root, small, work):
    bench = os.path.join(bin_dir, "auditlog_bench")
    auditlog = os.path.join(bin_dir, "auditlog")
    copydb = os.path.join(bin_dir, "auditlog-copydb")
    out = os.path.join(work, "out")
    os.makedirs(out, exist_ok=True)
    sqlite3 = shutil.which("sqlite3")
    psql = shutil.which("psql")
    few = max(1, args.repeat // 2)

    def db_uri(name):
        return uri.replace("/postgres?", "/%s?" % name)

    def admin(sql):
        subprocess.run([psql, "-X", "-q", "-v", "ON_ERROR_STOP=1", "-d", uri, "-c", sql],
                       check=True, stdout=subprocess.DEVNULL,
                       env=dict(env, PGOPTIONS="-c client_min_messages=warning"))

    def psql_to_file(name, sql, target):
        t, m, _ = run_child([psql, "-X", "-A", "-t", "-F", "|", "-v", "ON_ERROR_STOP=1",
                             "-d", db_uri(name), "-c", sql], env=env, out_file=target)
        return t, m

    def sqlite_to_file(db, sql, target):
        t, m, _ = run_child([sqlite3, db, sql], env=env, out_file=target)
        return t, m

    rows = []
    # The copy: the large file into a new database, indexes and statistics included.
    copy = Row("copy %d" % args.rows_large, "auditlog-copydb into an empty database")
    for i in range(few):
        admin("DROP DATABASE IF EXISTS large")
        admin("CREATE DATABASE large")
        t, m, _ = run_child([copydb, "--quiet", large, db_uri("large")], env=env)
        copy.pg.append(t); copy.mem.append(m)
    rows.append(copy)
    admin("DROP DATABASE IF EXISTS small")
    admin("CREATE DATABASE small")
    subprocess.run([copydb, "--quiet", small, db_uri("small")], check=True,
                   stdout=subprocess.DEVNULL)

    # Each database alone, its shell writing the rows to a file.
    alone = [
        ("first rows", "newest 100 of %d" % args.rows_large, "large", large,
         "SELECT * FROM Audit ORDER BY AutoIndex DESC LIMIT 100;",
         "SELECT * FROM audit ORDER BY autoindex DESC LIMIT 100;"),
        ("sort When", "first 100 by When", "large", large,
         "SELECT * FROM Audit ORDER BY [When], [AutoIndex] LIMIT 100;",
         'SELECT * FROM audit ORDER BY "when", autoindex LIMIT 100;'),
        ("sort Description", "first 100 by Description", "large", large,
         "SELECT * FROM Audit ORDER BY [Description], [AutoIndex] LIMIT 100;",
         "SELECT * FROM audit ORDER BY description, autoindex LIMIT 100;"),
        ("report SELECT", "the text report's SELECT, %d entries, to a file" % args.rows_small,
         "small", small, REPORT_SQLITE, REPORT_PG),
    ]
    for name, what, pg_name, db, sqlite_sql, pg_sql in alone:
        r = Row(name + ", shells", "sqlite3 and psql: " + what)
        for _ in range(args.repeat):
            t, _ = sqlite_to_file(db, sqlite_sql, os.path.join(out, "alone.txt"))
            r.sqlite.append(t)
            t, m = psql_to_file(pg_name, pg_sql, os.path.join(out, "alone.txt"))
            r.pg.append(t); r.mem.append(m)
        rows.append(r)

    cutoff = (datetime.date.today() - datetime.timedelta(days=PURGE_DAYS)).isoformat()
    purge = Row("purge, shells", "sqlite3 and psql: DELETE of entries older than %d days, "
                "about half of %d" % (PURGE_DAYS, args.rows_large))
    for _ in range(few):
        copy_path = fresh_file(large, os.path.join(work, "purge"))
        t, _ = sqlite_to_file(copy_path, "DELETE FROM Audit WHERE [When] < '%s 00:00:00' AND "
                              "Level <= 3;" % cutoff, os.path.join(out, "purge.txt"))
        purge.sqlite.append(t)
        admin("DROP DATABASE IF EXISTS purge")
        admin("CREATE DATABASE purge TEMPLATE large")
        t, m = psql_to_file("purge", "DELETE FROM audit WHERE \"when\" < '%s 00:00:00' AND "
                            "level <= 3;" % cutoff, os.path.join(out, "purge.txt"))
        purge.pg.append(t); purge.mem.append(m)
    rows.append(purge)

    # Through the program, when it takes the PostgreSQL connection.
    program = [Row("open", "auditlog_bench open: start-up to first rows"),
               Row("sort When", "auditlog_bench sort: heading click to first rows"),
               Row("sort Description", "auditlog_bench sort: heading click to first rows"),
               Row("text report", "auditlog /FILE of every level, %d entries, process start "
                   "to exit" % args.rows_small),
               Row("start-up purge", "auditlog, AutoDeleteDays=%d: about half of %d, process "
                   "start to exit" % (PURGE_DAYS, args.rows_large))]
    # A root whose database file is empty (auditlog_bench wants one to exist):
    # only the connection can lead to rows.
    empty_root = os.path.join(work, "pg-root")
    os.makedirs(os.path.join(empty_root, "SYSTEM"), exist_ok=True)
    empty_db = os.path.join(empty_root, "SYSTEM", "Audit.mdb")
    open(empty_db, "wb").close()

    def pg_env(name):
        return dict(env, **{DATABASE_ENV: db_uri(name)})

    probe = subprocess.run([auditlog, "/STATUS", "/QUERY", "AutoIndex < 0", "/FILE",
                            os.path.join(out, "probe.txt"), "/SYSTEM", empty_root, "/UNATTENDED"],
                           env=pg_env("small"), capture_output=True, text=True)
    if probe.returncode != 0:
        missing = ("PostgreSQL through the program not measured: the program does not take "
                   "%s yet (%s)" % (DATABASE_ENV,
                                    (probe.stderr.strip().splitlines() or ["no output"])[-1]))
        for r in program:
            r.note = " (PostgreSQL: not yet, see below)"
    else:
        missing = ""
    def on_pg(r, argv, case_env, inner):
        """Runs a case on PostgreSQL; a failure is noted on its row, which is not tried again."""
        if probe.returncode != 0 or r.note:
            return
        try:
            t, m, text = run_child(argv, env=case_env)
        except RuntimeError as failure:
            r.note = " (PostgreSQL: failed: %s)" % str(failure).strip().splitlines()[-1][-160:]
            return
        r.pg.append(inner_seconds(text) if inner else t)
        r.mem.append(m)

    for _ in range(args.repeat):
        for r, case in zip(program[:3], (["open"], ["sort", "When"], ["sort", "Description"])):
            _, _, text = run_child([bench, case[0], large] + case[1:], env=env)
            r.sqlite.append(inner_seconds(text))
            on_pg(r, [bench, case[0], empty_db] + case[1:], pg_env("large"), True)
        report = [auditlog, "/STATUS", "/WARNING", "/ERROR", "/FATAL", "/FILE",
                  os.path.join(out, "report.txt"), "/SYSTEM"]
        t, _, _ = run_child(report + [small_root, "/UNATTENDED"], env=env)
        program[3].sqlite.append(t)
        on_pg(program[3], report + [empty_root, "/UNATTENDED"], pg_env("small"), False)

    # The start-up purge: settings of its own, a fresh copy each time.
    purge_config = os.path.join(work, "purge-config")
    os.makedirs(os.path.join(purge_config, "Velmora"), exist_ok=True)
    with open(os.path.join(purge_config, "Velmora", "Audit Log Viewer.conf"), "w") as f:
        f.write("[General]\nAutoDeleteDays=%d\n" % PURGE_DAYS)
    purge_env = dict(env, XDG_CONFIG_HOME=purge_config)
    nothing = [auditlog, "/STATUS", "/QUERY", "AutoIndex < 0", "/FILE",
               os.path.join(out, "purge-run.txt"), "/SYSTEM"]
    for _ in range(few):
        copy_path = fresh_file(large, os.path.join(work, "purge"))
        t, _, _ = run_child(nothing + [os.path.dirname(os.path.dirname(copy_path)),
                                       "/UNATTENDED"], env=purge_env)
        program[4].sqlite.append(t)
        if probe.returncode == 0:
            admin("DROP DATABASE IF EXISTS purge")
            admin("CREATE DATABASE purge TEMPLATE large")
            on_pg(program[4], nothing + [empty_root, "/UNATTENDED"],
                  dict(purge_env, **{DATABASE_ENV: db_uri("purge")}), False)
    return rows + program, missing


def fresh_file(path, root):
    """A copy of an audit file at <root>/SYSTEM/Audit.mdb, without a stale journal."""
    copy = os.path.join(root, "SYSTEM", "Audit.mdb")
    os.makedirs(os.path.dirname(copy), exist_ok=True)
    for suffix in ("-wal", "-shm"):
        if os.path.exists(copy + suffix):
            os.remove(copy + suffix)
    shutil.copyfile(path, copy)
    return copy
