#!/usr/bin/env python3
"""The team view in a real browser (Debian's chromium driven by chromium-driver and selenium)
against the real console offscreen, with three velmora-carsim cars on loopback:
  - a request without the right key gets 403, nothing else;
  - each lap shows on the page within 1 s of the console telling the car;
  - the page catches up by itself after the server dropped every connection, after the link
    went silent (the console frozen), and after the console was killed and started again (it
    notices the restart);
  - a renewed key closes the page opened with the old one;
  - the page renders at 390x844 (phone) and 1920x1080 (TV); with --shots DIR both
    screenshots are written there.
usage: team_view_browser_test.py CONSOLE CARSIM [--shots DIR]"""
import os
import shutil
import signal
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import team_view_rig as rig  # noqa: E402

SKIP = 77
LAPS = 4
LAP_DELAY_MS = 1000

# Records when each lap row first shows on the page (by the page's own clock, which is the
# machine's wall clock like the test's).
RECORDER = """
window.__seen = window.__seen || {};
const mark = () => {
  for (const row of document.querySelectorAll('section.car tr[data-lap]')) {
    const k = row.closest('section.car').dataset.slot + ':' + row.dataset.lap;
    if (!(k in window.__seen)) window.__seen[k] = Date.now();
  }
};
new MutationObserver(mark).observe(document.getElementById('cars'), {childList: true, subtree: true});
mark();
"""


def browser():
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
    except ImportError:
        return None
    chromium = shutil.which("chromium")
    driver = shutil.which("chromedriver")
    if not chromium or not driver:
        return None
    opts = webdriver.ChromeOptions()
    opts.binary_location = chromium
    profile = tempfile.mkdtemp(prefix="velmora_chromium_")
    for a in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
              "--disable-background-networking", "--disable-component-update", "--disable-sync",
              "--disable-dev-shm-usage", f"--user-data-dir={profile}", "--window-size=390,844",
              "--lang=ja"]:
        opts.add_argument(a)
    d = webdriver.Chrome(service=Service(driver), options=opts)
    d.__profile = profile
    return d


def viewport(d, w, h, mobile):
    d.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                      {"width": w, "height": h, "deviceScaleFactor": 1, "mobile": mobile})


def wait(pred, timeout, step=0.05):
    end = time.time() + timeout
    while time.time() < end:
        v = pred()
        if v:
            return v
        time.sleep(step)
    return pred()


def js(d, script):
    return d.execute_script(script)


def main():
    args = sys.argv[1:]
    if len(args) < 2:
        print(__doc__)
        return 2
    console_exe, carsim_exe = args[0], args[1]
    shots = args[args.index("--shots") + 1] if "--shots" in args else None
    t = rig.Checks()
    d = browser()
    if d is None:
        print("skipped: chromium, chromedriver or python3-selenium is not installed")
        return SKIP
    with rig.scratch() as folder:
        rig.write_settings(folder)
        rig.write_masters(folder)
        console = rig.Console(console_exe, folder)
        cars = []
        try:
            # Only the right key opens anything, and the answer without it is a bare 403.
            for path, key in [("/", None), ("/", "wrong"), ("/api/state", None),
                              ("/api/state", rig.KEY[:-1]), ("/api/events", "x" * 22),
                              ("/nothing", None), ("/?k=" + rig.KEY + "&x=1", "second")]:
                status, body = rig.get(path, key)
                t.check(status == 403 and body == b"", f"403 and nothing else for {path} key={key}")
            t.check(rig.get("/api/state")[0] == 200, "the feed answers with the key")
            t.check(rig.get("/api/state", method="POST")[0] == 405, "the key does not allow POST")

            console.command("type Txt_Event 耐久レース 第3戦")
            console.command("type Txt_RunH 2")
            for s in range(3):
                console.command(f"setup {s} 127.0.0.1")
                console.command(f"choose Cmb_Car_{s} {s}")
                console.command(f"choose Cmb_Driver_{s} {s}")
            console.command("start")
            console.command("type Txt_OutMess_0 BOX")
            console.command("type Txt_AllOutMess 雨に注意")

            url = f"http://127.0.0.1:{rig.PORT}/?k={rig.KEY}"
            viewport(d, 390, 844, True)
            d.get(url)
            t.check(wait(lambda: js(d, "return document.getElementById('conn').dataset.state") == "online", 5),
                    "the page is connected")
            t.check(wait(lambda: js(d, "return document.querySelectorAll('section.car').length") == 3, 5),
                    "the page shows the three cars")
            js(d, RECORDER)
            t.check(wait(lambda: "BOX" in js(d, "return document.querySelector('section.car[data-slot=\"0\"] .msg').textContent"), 1),
                    "the message typed for car 1 is on its card within 1 s")

            cars = [rig.Car(carsim_exe, s, LAPS) for s in range(3)]
            # A message typed while car 2 is out goes with the reply that closes its lap.
            wait(lambda: 2 in cars[1].told, 30)
            time.sleep(0.8)
            console.command("type Txt_OutMess_1 給油します")
            for c in cars:
                c.wait()
            time.sleep(1.5)
            seen = js(d, "return window.__seen")
            worst = 0
            for c in cars:
                for lap, told_ms in sorted(c.told.items()):
                    shown = seen.get(f"{c.slot}:{lap}")
                    delay = (shown - told_ms) if shown is not None else None
                    worst = max(worst, delay if delay is not None else 10 ** 9)
                    t.check(delay is not None and delay <= LAP_DELAY_MS,
                            f"car {c.slot} lap {lap} on the page {delay} ms after the console told the car")
            print(f"worst delay {worst} ms", flush=True)
            t.check(js(d, "return document.getElementById('remaining').textContent").startswith("残り"),
                    "the remaining time is shown")
            told = [max(c.told) for c in cars]
            t.check("給油します" in js(d, "return document.querySelector('section.car[data-slot=\"1\"] .msg ul').textContent"),
                    "the message sent to car 2 is in its list")
            laps_shown = js(d, "return [...document.querySelectorAll('section.car .laps')].map(e => +e.textContent)")
            t.check(laps_shown == told, f"every car's lap count is on the page: {laps_shown}")
            stints = js(d, "return document.querySelectorAll('section.car table.log tr.stint').length")
            t.check(stints >= 3, f"every car's stint is in its driving record: {stints} rows")

            # The server drops every connection; what changes meanwhile reaches the page as soon
            # as it has connected again by itself.
            console.command("teamview drop")
            console.command("type Txt_AllOutMess ピットイン準備")
            t.check(wait(lambda: "ピットイン準備" in js(d, "return document.getElementById('allCars').textContent")
                         and js(d, "return document.getElementById('conn').dataset.state") == "online", 5),
                    "the page caught up within 5 s after the server dropped every connection")
            t.check(wait(lambda: console.teamview()["pages"] == "1", 5), "one page connected again")

            page_png = os.path.join(shots or folder, "team-view-phone.png")
            d.save_screenshot(page_png)
            fits = js(d, "return document.documentElement.scrollWidth <= window.innerWidth")
            t.check(fits, "nothing is wider than the phone's 390 px")
            viewport(d, 1920, 1080, False)
            time.sleep(0.5)
            d.save_screenshot(os.path.join(shots or folder, "team-view-tv.png"))
            console.command("teamview window")
            console.command("grab Frm_TeamView " + os.path.join(shots or folder, "screenshot-team-view.png"))
            cols = js(d, "return new Set([...document.querySelectorAll('section.car')].map(e => e.getBoundingClientRect().top)).size")
            t.check(cols == 1, "on a 1920x1080 screen the three cars stand side by side")
            viewport(d, 390, 844, True)

            # The link goes silent without breaking (the console frozen: its connections stay
            # open, nothing comes), as when the network is lost: 接続待ち, then back by itself.
            console.proc.send_signal(signal.SIGSTOP)
            t.check(wait(lambda: js(d, "return document.getElementById('conn').dataset.state") == "waiting", 8),
                    "the page says 接続待ち when nothing comes")
            console.proc.send_signal(signal.SIGCONT)
            back = time.time()
            t.check(wait(lambda: js(d, "return document.getElementById('conn').dataset.state") == "online", 5),
                    f"the page caught up by itself {time.time() - back:.1f} s after the link came back")

            # The console killed and started again: the page notices and loads the state anew.
            before = js(d, "return instance")
            console.kill()
            t.check(wait(lambda: js(d, "return document.getElementById('conn').dataset.state") == "waiting", 8),
                    "the page says 接続待ち while the console is down")
            t.check(js(d, "return document.getElementById('conn').textContent").endswith("接続待ち"),
                    "接続待ち in words")
            console.start()
            t.check(wait(lambda: js(d, "return document.getElementById('conn').dataset.state") == "online", 8),
                    "the page is back after the console restarted")
            t.check(js(d, "return instance") != before, "the page noticed the restart")
            t.check(wait(lambda: js(d, "return [...document.querySelectorAll('section.car .laps')].map(e => +e.textContent)") == told, 5),
                    "the restored laps are on the page")

            # A new key closes the page opened with the old one.
            console.command("teamview key")
            t.check(wait(lambda: js(d, "return document.getElementById('conn').dataset.state") == "revoked", 8),
                    "a page with the old key is closed and says so")
            t.check(rig.get("/api/state")[0] == 403, "the old key gets 403")
            new_key = console.teamview()["url"].split("k=")[1]
            t.check(rig.get("/api/state", key=new_key)[0] == 200, "the new key opens the feed")
        finally:
            for c in cars:
                c.stop()
            d.quit()
            shutil.rmtree(d.__profile, ignore_errors=True)
            console.end()
    return t.finish()


if __name__ == "__main__":
    sys.exit(main())
