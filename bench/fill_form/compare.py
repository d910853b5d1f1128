"""Form filling through the browser object against the same work through
WebDriver, and the element walk on a large page.

Serves the pages from loopback, runs fill_form_bench of the build for our
side, and drives WebKitWebDriver (webkit2gtk-driver, with its MiniBrowser)
over the W3C HTTP API on one kept-alive connection for the other. Only the
filling is timed on both sides; both read the form back afterwards and stop
on any wrong value.
"""
import http.client
import http.server
import json
import os
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import table  # noqa: E402

FIELDS = 200
BOXES = 20
WALK_GROUPS = 500  # ten elements each

FIELD_GOAL_MS = 0.25  # per field, at most
FASTER_GOAL = 100  # times WebDriver's speed, at least
TRACKING_GOAL = 0.05  # the cost of leak tracking, at most
WALK_GOAL_MS = 10  # GetElementQ over the walk page, at most

# Names and values as fill_form_bench writes them.
FIELD_NAME = "field%03d"
FIELD_VALUE = "value %03d"
BOX_NAME = "box%02d"


def form_page():
    rows = [f"<div><label>Field {i} <input type='text' name='{FIELD_NAME % i}'></label></div>" for i in range(FIELDS)]
    rows += [f"<div><label><input type='checkbox' name='{BOX_NAME % i}'> Box {i}</label></div>" for i in range(BOXES)]
    return ("<!DOCTYPE html><html><head><meta charset='utf-8'><title>Form</title></head><body>"
            "<form name='entry' action='/sent'>" + "".join(rows) + "<button>Send</button></form></body></html>")


def walk_page():
    # Each group: a div, a label, a text input, a check box, a list with two
    # options, a text area, a button and a link.
    groups = []
    for i in range(WALK_GROUPS):
        g = f"g{i:04d}"
        groups.append(
            f"<div id='{g}'><label id='{g}l'>Item {i}</label><input id='{g}t' name='{g}t' value='text {i}'>"
            f"<input id='{g}c' type='checkbox' name='{g}c'{' checked' if i % 2 else ''}>"
            f"<select id='{g}s' name='{g}s'><option value='a'>A</option><option value='b' selected>B</option></select>"
            f"<textarea id='{g}a' name='{g}a'>area {i}</textarea><button id='{g}b' name='{g}b'>Go</button>"
            f"<a id='{g}h' href='#{g}'>link {i}</a></div>")
    return ("<!DOCTYPE html><html><head><meta charset='utf-8'><title>Walk</title></head><body>"
            "<form name='big'>" + "".join(groups) + "</form></body></html>")


PAGES = {"/form": form_page().encode(), "/walk": walk_page().encode()}


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        body = PAGES.get(self.path.split("?")[0])
        if body is None:
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def expected_form(filled):
    lines = [f"{FIELD_NAME % i}={FIELD_VALUE % i if filled else ''}" for i in range(FIELDS)]
    lines += [f"{BOX_NAME % i}={'true' if filled else 'false'}" for i in range(BOXES)]
    return "\n".join(lines)


READ_FORM = ("return Array.from(document.querySelectorAll('input')).map(e => e.name + '=' +"
             " (e.type === 'checkbox' ? String(e.checked) : e.value)).join('\\n');")


class WebDriver:
    """The few W3C WebDriver commands the fill needs, on one connection."""

    ELEMENT = "element-6066-11e4-a52e-4f735466cecf"

    def __init__(self, home):
        self.port = free_port()
        env = dict(os.environ, XDG_DATA_HOME=home, XDG_CACHE_HOME=home, XDG_CONFIG_HOME=home)
        self.process = subprocess.Popen(["WebKitWebDriver", f"--port={self.port}"], env=env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 30
        while True:
            try:
                self.connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=60)
                self.command("GET", "/status")
                break
            except OSError:
                if time.monotonic() > deadline:
                    sys.exit("WebKitWebDriver did not start")
                time.sleep(0.1)
        options = {"args": ["--automation"]}
        self.session = self.command("POST", "/session", {
            "capabilities": {"alwaysMatch": {"webkitgtk:browserOptions": options}}})["sessionId"]

    def command(self, method, path, body=None):
        data = None if body is None else json.dumps(body)
        self.connection.request(method, path, body=data, headers={"Content-Type": "application/json"})
        response = self.connection.getresponse()
        answer = json.loads(response.read() or b"null")
        if response.status != 200:
            raise RuntimeError(f"{method} {path}: {response.status} {answer}")
        return answer["value"]

    def session_command(self, method, path, body=None):
        return self.command(method, f"/session/{self.session}{path}", body)

    def navigate(self, url):
        self.session_command("POST", "/url", {"url": url})

    def find_by_name(self, name):
        found = self.session_command("POST", "/element", {"using": "css selector", "value": f'[name="{name}"]'})
        return found[self.ELEMENT]

    def script(self, source):
        return self.session_command("POST", "/execute/sync", {"script": source, "args": []})

    def fill(self):
        for i in range(FIELDS):
            element = self.find_by_name(FIELD_NAME % i)
            self.session_command("POST", f"/element/{element}/clear", {})
            self.session_command("POST", f"/element/{element}/value", {"text": FIELD_VALUE % i})
        for i in range(BOXES):
            element = self.find_by_name(BOX_NAME % i)
            self.session_command("POST", f"/element/{element}/click", {})

    def timed_fill(self, url, round):
        """One round: the page loaded afresh, filled (timed) and checked."""
        self.navigate(url)
        if self.script(READ_FORM) != expected_form(False):
            sys.exit(f"WebDriver: the form was not blank before round {round}")
        start = time.perf_counter()
        self.fill()
        elapsed = (time.perf_counter() - start) * 1000
        if self.script(READ_FORM) != expected_form(True):
            sys.exit(f"WebDriver: the form does not hold the values after round {round}")
        return elapsed

    def close(self):
        try:
            self.command("DELETE", f"/session/{self.session}")
        finally:
            self.connection.close()
            self.process.terminate()
            self.process.wait(timeout=30)


def ours(program, args):
    with tempfile.TemporaryDirectory() as home:
        env = dict(os.environ, XDG_DATA_HOME=home, XDG_CACHE_HOME=home, XDG_CONFIG_HOME=home)
        done = subprocess.run([program] + args, env=env, capture_output=True, text=True, timeout=900)
    if done.returncode != 0:
        sys.exit(f"{program} {args[0]} failed ({done.returncode}): {done.stderr.strip()[-2000:]}")
    return done.stdout.splitlines()


def spread(times):
    return f"median {statistics.median(times):8.1f} ms  (min {min(times):.1f}, max {max(times):.1f})"


def main():
    folder, rounds = sys.argv[1], int(sys.argv[2])
    program = os.path.join(folder, "fill_form_bench")
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = f"http://127.0.0.1:{server.server_address[1]}"

    # The two sides take turns, round by round, so that load on the machine
    # falls on both alike. The first round of each warms up and is not
    # counted: ours runs a process of two rounds per turn, WebDriver keeps
    # its session.
    ours_times, peer_times = [], []
    with tempfile.TemporaryDirectory() as home:
        driver = WebDriver(home)
        try:
            driver.timed_fill(base + "/form", 0)
            for round in range(1, rounds + 1):
                lines = ours(program, ["fill", base + "/form", "2", str(FIELDS), str(BOXES)])
                ours_times.append([float(line.split()[1]) for line in lines if line.startswith("round ")][1])
                peer_times.append(driver.timed_fill(base + "/form", round))
        finally:
            driver.close()

    work = FIELDS + BOXES
    ours_field = statistics.median(ours_times) / work
    peer_field = statistics.median(peer_times) / work
    print(f"fill {FIELDS} text inputs by name and tick {BOXES} check boxes; {rounds} rounds after a warm-up")
    print(f"  browser object  {spread(ours_times)}   per field {ours_field:.3f} ms")
    print(f"  WebDriver       {spread(peer_times)}   per field {peer_field:.3f} ms")
    ratio = peer_field / ours_field
    fill_met = ours_field <= FIELD_GOAL_MS and ratio >= FASTER_GOAL
    print(f"  ratio per field (WebDriver / ours): {ratio:.1f} (goal: at most {FIELD_GOAL_MS} ms per field and"
          f" >= {FASTER_GOAL}: {'met' if fill_met else 'NOT met'})")
    table.row(f"fill {FIELDS} text inputs and tick {BOXES} check boxes by name, per field, median of {rounds}",
              f"{ours_field:.3f} ms", f"WebDriver: {peer_field:.2f} ms", f"{ratio:.0f}× faster",
              f"≤ {FIELD_GOAL_MS} ms, ≥ {FASTER_GOAL}× faster", fill_met)

    # Leak tracking of the program's heap, as the program runs it: same work, rounds interleaved
    # with the plain build so that load on the machine falls on both alike.
    plain_times, tracked_times = [], []
    for _ in range(rounds):
        for name, times in (("fill_form_bench", plain_times), ("fill_form_bench_tracked", tracked_times)):
            lines = ours(os.path.join(folder, name), ["fill", base + "/form", "3", str(FIELDS), str(BOXES)])
            times.extend([float(line.split()[1]) for line in lines if line.startswith("round ")][1:])
    cost = statistics.median(tracked_times) / statistics.median(plain_times) - 1
    print(f"the same filling with leak tracking of the program's heap on; {2 * rounds} rounds each")
    print(f"  without         {spread(plain_times)}")
    print(f"  with            {spread(tracked_times)}")
    print(f"  cost            {100 * cost:+.1f} % (goal <= {100 * TRACKING_GOAL:.0f} %:"
          f" {'met' if cost <= TRACKING_GOAL else 'NOT met'})")
    table.row("the same filling with leak tracking of the program's heap, per round",
              f"{statistics.median(tracked_times):.1f} ms", f"untracked: {statistics.median(plain_times):.1f} ms",
              f"{1 + cost:.2f}", f"≤ {1 + TRACKING_GOAL:.2f}", cost <= TRACKING_GOAL)

    lines = ours(program, ["walk", base + "/walk", str(rounds + 1)])
    rounds_seen = [line.split() for line in lines if line.startswith("round ")][1:]
    walk_times = [float(r[1]) for r in rounds_seen]
    rows = rounds_seen[0][2]
    figures = {line.split()[0]: line.split()[1:] for line in lines if not line.startswith("round ")}
    print(f"GetElementQ, all tags, into a queue, on a page of {figures['elements'][0]} elements:"
          f" {rows} rows; {rounds} rounds after a warm-up")
    print(f"  time            {spread(walk_times)}")
    walk_ms = statistics.median(walk_times)
    table.row(f"GetElementQ, all tags, into a queue, page of {int(figures['elements'][0]):,} elements",
              f"{walk_ms:.1f} ms", "—", "—", f"≤ {WALK_GOAL_MS} ms", walk_ms <= WALK_GOAL_MS)
    self_before, self_after = (int(v) / 1024 for v in figures["peak-self"])
    web_before, web_after = (int(v) / 1024 for v in figures["peak-web"])
    print(f"  peak memory     program {self_before:.1f} -> {self_after:.1f} MB,"
          f" web process {web_before:.1f} -> {web_after:.1f} MB (before -> after the walks)")
    server.shutdown()


main()
