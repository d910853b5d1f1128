"""Runs the two start-up programs in turn and compares them."""
import http.server
import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import table  # noqa: E402

START_GOAL = 1.00
MEMORY_GOAL = 0.80

PAGE = b"""<!DOCTYPE html><html><head><title>Home</title>
<style>body{font-family:sans-serif;margin:2em}</style></head>
<body><h1>Home page</h1><p>""" + b"Some text on the page. " * 200 + b"""</p>
<ul>""" + b"".join(b"<li><a href='#%d'>link %d</a></li>" % (i, i) for i in range(50)) + b"""</ul></body></html>"""


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(PAGE)))
        self.end_headers()
        self.wfile.write(PAGE)

    def log_message(self, *args):
        pass


def run(program, url, home, size=()):
    """Start to loaded in seconds, (resident kB, processes), and the view's
    size: the one the program tells, else the one it was given."""
    env = dict(os.environ, XDG_DATA_HOME=home, XDG_CACHE_HOME=home, XDG_CONFIG_HOME=home)
    start = time.monotonic()
    process = subprocess.Popen([program, url, *size], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env,
                               text=True)
    loaded = None
    rss = None
    for line in process.stdout:
        if line.startswith("loaded") and loaded is None:
            loaded = time.monotonic() - start
        elif line.startswith("size"):
            size = tuple(line.split()[1:])
        elif line.startswith("rss"):
            _, kb, count = line.split()
            rss = (int(kb), int(count))
    process.wait(timeout=60)
    if loaded is None or rss is None:
        sys.exit(f"{program} did not report (exit {process.returncode})")
    return loaded, rss, size


def main():
    folder, rounds = sys.argv[1], int(sys.argv[2])
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = f"http://127.0.0.1:{server.server_address[1]}/"
    programs = {"tvrn2": os.path.join(folder, "browser_startup_tvrn2"), "bare": os.path.join(folder, "browser_startup_bare")}
    results = {name: [] for name in programs}
    # The bare window is given the size of the program's view: the same page
    # drawn over the same area.
    for _ in range(rounds):
        for name, program in programs.items():
            with tempfile.TemporaryDirectory() as home:
                size = results["tvrn2"][-1][2] if name == "bare" else ()
                results[name].append(run(program, url, home, size))
    summary = {}
    for name, runs in results.items():
        start = statistics.median(r[0] for r in runs) * 1000
        memory = statistics.median(r[1][0] for r in runs) / 1024
        processes = runs[0][1][1]
        summary[name] = (start, memory)
        print(f"{name:6} start {start:7.1f} ms   rss {memory:7.1f} MB over {processes} processes"
              f"   ({rounds} runs, medians; view {'x'.join(runs[0][2])})")
    start_ratio = summary["tvrn2"][0] / summary["bare"][0]
    memory_ratio = summary["tvrn2"][1] / summary["bare"][1]
    start_met, memory_met = start_ratio <= START_GOAL, memory_ratio <= MEMORY_GOAL
    print(f"ratio  start {start_ratio:.2f} (goal <= {START_GOAL:.2f}: {'met' if start_met else 'NOT met'})"
          f"   memory {memory_ratio:.2f} (goal <= {MEMORY_GOAL:.2f}: {'met' if memory_met else 'NOT met'})")
    table.row(f"process start to home page loaded, median of {rounds}", f"{summary['tvrn2'][0]:.0f} ms",
              f"bare WebKitGTK window: {summary['bare'][0]:.0f} ms", f"{start_ratio:.2f}",
              f"≤ {START_GOAL:.2f}", start_met)
    table.row(f"resident memory, UI + web + network processes, median of {rounds}",
              f"{summary['tvrn2'][1]:.1f} MB", f"bare WebKitGTK window: {summary['bare'][1]:.1f} MB",
              f"{memory_ratio:.2f}", f"≤ {MEMORY_GOAL:.2f}", memory_met)
    server.shutdown()


main()
