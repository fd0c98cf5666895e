#!/usr/bin/env python3
# Fills a tolvane-server database with made-up runs, without playing them, for the load
# scripts: RUNS runs of PLAYERS players, scores with many ties, sent over the last 60
# days. The database must have the server's schema already (start the server on it once).
# Nothing checks these figures against a game, and they have no replays; do not point
# this at a real table.
#   bench/fill_runs.py FILE|postgresql://... [--runs 100000] [--players 20000] [--seed 1]
import argparse, hashlib, random, subprocess, sys, time

ap = argparse.ArgumentParser()
ap.add_argument("db")
ap.add_argument("--runs", type=int, default=100000)
ap.add_argument("--players", type=int, default=20000)
ap.add_argument("--seed", type=int, default=1)
a = ap.parse_args()
if a.runs < 1 or a.players < 1:
    sys.exit("fill_runs.py: --runs and --players must be at least 1")
rnd = random.Random(a.seed)
now = int(time.time() * 1000)
day = 86400000
hexof = lambda s: hashlib.sha256(s.encode()).hexdigest()

players = [(hexof("fill player %d" % i), "fill%d" % i, "fill%d" % i, now - 60 * day) for i in range(a.players)]
runs = []
for i in range(a.runs):
    # Whole-thousand scores: many runs share one, so ties are decided by the order sent.
    score = rnd.randrange(0, 300) * 1000
    # time_left is the run's number: no two runs are identical in every figure.
    runs.append((hexof("fill run %d" % i), players[rnd.randrange(a.players)][0], 11000, 10999, score,
                 rnd.randrange(1, 30), rnd.randrange(0, 400), rnd.randrange(0, 900), 0, rnd.randrange(0, 9000),
                 i, now - rnd.randrange(0, 60 * day)))
# In the order sent, as the server would have stored them.
runs.sort(key=lambda r: r[-1])
run_columns = ("id, player, frames, end_frame, score, level, max_chain, total_contacts, time_bonus, "
               "final_bonus, time_left, submitted_at")

if a.db.startswith("postgres"):
    def copy(table, columns, rows):
        data = "".join("\t".join(str(v) for v in r) + "\n" for r in rows)
        subprocess.run(["psql", "-q", "-v", "ON_ERROR_STOP=1", a.db, "-c",
                        "COPY %s (%s) FROM STDIN" % (table, columns)], input=data.encode(), check=True)
    copy("players", "key, name, name_fold, created_at", players)
    copy("runs", run_columns, runs)
    subprocess.run(["psql", "-q", a.db, "-c", "ANALYZE"], check=True)
else:
    import sqlite3
    c = sqlite3.connect(a.db)
    if not c.execute("SELECT name FROM sqlite_master WHERE name = 'runs'").fetchall():
        sys.exit("fill_runs.py: %s has no runs table; start tolvane-server on it once first" % a.db)
    with c:
        c.executemany("INSERT INTO players (key, name, name_fold, created_at) VALUES (?, ?, ?, ?)", players)
        c.executemany("INSERT INTO runs (%s) VALUES (%s)" % (run_columns, ", ".join("?" * 12)), runs)
    c.execute("ANALYZE")
    c.close()
print("fill_runs.py: %d runs of %d players" % (a.runs, a.players))
