#!/usr/bin/env python3
"""zlk-printer-app's web interface in a real browser: headless Chromium driven
through chromedriver's WebDriver HTTP interface against the built server on a
private port and state folder. Adds a printer, changes a vendor default,
prints the test page, reads the pages in English and Japanese, and looks for a
job's passcode in every page. Screenshots go to --screens.

Exit 77 (skipped) when chromium or chromedriver is not installed."""

import argparse
import base64
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

SKIPPED = 77
ELEMENT = "element-6066-11e4-a52e-4f735466cecb"
PASSCODE = "58207316"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port, process, seconds=30):
    end = time.time() + seconds
    while time.time() < end:
        if process.poll() is not None:
            return False
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1):
                return True
        except OSError:
            time.sleep(0.1)
    return False



def poll(read, done, seconds=30):
    """read() until done(value) holds or the time is up; the last value."""
    end = time.time() + seconds
    value = read()
    while not done(value) and time.time() < end:
        time.sleep(0.2)
        value = read()
    return value

class PpdTitles:
    """The titles of one PPD option and its choices, as the PPD spells them."""

    def __init__(self, path, option):
        with open(path, "rb") as f:
            raw = f.read()
        encoding = "latin-1"
        for line in raw.splitlines():
            if line.startswith(b"*LanguageEncoding:"):
                name = line.split(b":", 1)[1].strip().decode()
                encoding = {"JIS83-RKSJ": "cp932", "UTF-8": "utf-8"}.get(name, "latin-1")
        text = raw.decode(encoding)
        self.title = None
        self.choices = []  # (choice, title) in PPD order
        for line in text.splitlines():
            if line.startswith(f"*OpenUI *{option}/"):
                self.title = line.split("/", 1)[1].rsplit(":", 1)[0]
            elif line.startswith(f"*{option} ") and "/" in line.split(":", 1)[0]:
                choice, title = line[len(option) + 2:].split(":", 1)[0].split("/", 1)
                self.choices.append((choice, title))


class Browser:
    """One chromedriver session of headless Chromium."""

    def __init__(self, driver_url, chromium, profile, language):
        args = ["--headless=new", "--disable-gpu", "--window-size=1200,1800", f"--lang={language}",
                f"--user-data-dir={profile}", "--no-first-run"]
        if os.geteuid() == 0:
            args.append("--no-sandbox")  # Chromium refuses to run as root otherwise
        options = {"binary": chromium, "args": args, "prefs": {"intl.accept_languages": language}}
        self.url = driver_url
        reply = self.call("POST", "/session", {"capabilities": {"alwaysMatch": {
            "browserName": "chrome", "goog:chromeOptions": options}}})
        self.session = f"/session/{reply['sessionId']}"

    def call(self, method, path, body=None):
        data = json.dumps(body).encode() if body is not None else None
        request = urllib.request.Request(self.url + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=120) as response:
                return json.loads(response.read())["value"]
        except urllib.error.HTTPError as error:
            raise RuntimeError(f"WebDriver {method} {path}: {error.read().decode(errors='replace')}") from None

    def do(self, method, path, body=None):
        return self.call(method, self.session + path, body)

    def go(self, url):
        self.do("POST", "/url", {"url": url})

    def source(self):
        return self.do("GET", "/source")

    def current_url(self):
        return self.do("GET", "/url")

    def wait_for_url(self, wanted):
        """The page's address once wanted(address) holds, or the last one seen:
        a form's answer may still be on its way when a click returns."""
        return poll(self.current_url, wanted)

    def bare_labels(self):
        """Labels of the page that are attribute names nobody translated."""
        labels = self.script("return Array.from(document.querySelectorAll('th')).map(t => t.innerText);")
        return [label for label in labels if label.startswith("zlk-")]

    def find_all(self, css):
        found = self.do("POST", "/elements", {"using": "css selector", "value": css})
        return [next(iter(e.values())) if ELEMENT not in e else e[ELEMENT] for e in found]

    def find(self, css):
        found = self.find_all(css)
        if not found:
            raise RuntimeError(f"no element {css} on {self.current_url()}")
        return found[0]

    def text(self, element):
        return self.do("GET", f"/element/{element}/text")

    def prop(self, element, name):
        return self.do("GET", f"/element/{element}/property/{name}")

    def click(self, element):
        self.do("POST", f"/element/{element}/click", {})

    def type(self, element, text):
        self.do("POST", f"/element/{element}/value", {"text": text})

    def script(self, code, *args):
        return self.do("POST", "/execute/sync", {"script": code, "args": list(args)})

    def screenshot(self, path):
        with open(path, "wb") as f:
            f.write(base64.b64decode(self.do("GET", "/screenshot")))

    def quit(self):
        try:
            self.call("DELETE", self.session)
        except Exception:  # the browser may be gone already
            pass


class WebUiTest:
    def __init__(self, args, root):
        self.args = args
        self.root = root
        self.failures = []
        self.out = os.path.join(root, "out")
        os.makedirs(self.out)
        os.makedirs(os.path.join(root, "tmp"))
        os.makedirs(args.screens, exist_ok=True)
        self.port = free_port()
        self.base = f"http://localhost:{self.port}"
        self.env = {"PATH": "/usr/bin:/bin", "HOME": root, "TMPDIR": os.path.join(root, "tmp")}

    def check(self, ok, what):
        print(("ok      " if ok else "FAILED  ") + what, flush=True)
        if not ok:
            self.failures.append(what)
        return ok

    def log(self):
        try:
            with open(os.path.join(self.root, "state", "zlk-printer-app.log"), errors="replace") as f:
                return f.read()[-4000:]
        except OSError:
            return "(no log)"

    def ipptool(self, path, test_file, variables, document=None):
        command = [self.args.ipptool, "-t"]
        for name, value in variables.items():
            command += ["-d", f"{name}={value}"]
        if document:
            command += ["-f", document]
        command += [f"ipp://localhost:{self.port}{path}", test_file]
        return subprocess.run(command, env=self.env, capture_output=True, text=True, timeout=120)

    def printer_attribute(self, printer, name):
        test = os.path.join(self.root, "get-attribute.test")
        with open(test, "w") as f:
            f.write("{\n OPERATION Get-Printer-Attributes\n GROUP operation-attributes-tag\n"
                    " ATTR charset attributes-charset utf-8\n"
                    " ATTR naturalLanguage attributes-natural-language en\n"
                    " ATTR uri printer-uri $uri\n"
                    f" ATTR keyword requested-attributes {name}\n STATUS successful-ok\n DISPLAY {name}\n}}\n")
        result = self.ipptool(f"/ipp/print/{printer}", test, {})
        for line in result.stdout.splitlines():
            if line.strip().startswith(f"{name} ("):
                return line.split("=", 1)[1].strip()
        return None

    def shot(self, browser, name):
        path = os.path.join(self.args.screens, name)
        browser.screenshot(path)
        print(f"        screenshot {path}")

    def vendor_row(self, browser, attribute):
        """The label and the option texts and values of a vendor attribute's row."""
        return browser.script(
            "const field = document.querySelector(`[name='${arguments[0]}']`);"
            "if (!field) return null;"
            "const row = field.closest('tr');"
            "return {label: row.querySelector('th').innerText,"
            "        options: Array.from(field.options || []).map(o => [o.value, o.text]),"
            "        value: field.value};", attribute)

    def run(self, browser_en, browser_ja):
        a = self.args
        printer = "webui"
        c4500 = PpdTitles(os.path.join(a.ppd_dir, "zelko-mfp-c4500.ppd"), "ZLKStaple")
        c3500j = PpdTitles(os.path.join(a.ppd_dir, "zelko-mfp-c3500j.ppd"), "ZLKStaple")

        # (i) Add Printer, on PAPPL's page (which would end the server where no
        # avahi-daemon runs, were it not for the program's device list).
        device = "file://" + self.out
        self.add_printer_in_browser(browser_en, printer, device)
        model = self.printer_attribute(printer, "printer-make-and-model")
        self.check(model == "Zelko MFP C4500", f"the printer exists over IPP: {model}")

        # (ii) Printing Defaults: the Staple row as the English PPD titles it.
        browser_en.go(f"{self.base}/{printer}/printing")
        row = self.vendor_row(browser_en, "zlk-staple")
        self.shot(browser_en, "en-printing-defaults.png")
        if self.check(row is not None, "Printing Defaults has a zlk-staple field (the model's vendor attributes)"):
            self.check(row["label"].rstrip(":") == c4500.title, f"its label is the PPD's: {row['label']!r}")
            texts = [text for _, text in row["options"]]
            self.check(texts == [title for _, title in c4500.choices],
                       f"its values are the PPD's choice titles: {texts}")
            wanted = next((value for value, _ in row["options"] if value != row["value"]), None)
            browser_en.click(browser_en.find(f"select[name=zlk-staple] option[value='{wanted}']"))
            browser_en.click(browser_en.find("form input[type=submit]"))
            self.shot(browser_en, "en-printing-defaults-saved.png")
            default = poll(lambda: self.printer_attribute(printer, "zlk-staple-default"), lambda v: v == wanted)
            self.check(default == wanted, f"zlk-staple-default is now {wanted}: {default}")
        raw = browser_en.bare_labels()
        self.check(not raw, f"no English label is a bare attribute name: {raw}")

        # (iii) Print Test Page, from the printer's page.
        browser_en.go(f"{self.base}/{printer}/")
        self.shot(browser_en, "en-printer.png")
        button = browser_en.find_all("form:has(input[value=print-test-page]) input[type=submit]")
        if self.check(bool(button), "the printer's page has Print Test Page (the driver's testpage_cb)"):
            browser_en.click(button[0])
            self.shot(browser_en, "en-printer-test-page.png")
            stream, report = self.wait_for_stream()
            self.check(stream is not None, f"the test page reached the device and zlk-inspect takes it: {report}")

        # A job with a passcode: no page may show it.
        for name in os.listdir(self.out):
            os.remove(os.path.join(self.out, name))
        printed = self.ipptool(f"/ipp/print/{printer}", os.path.join(a.ipp_tests, "print-job.test"),
                               {"format": "application/pdf", "sides": "one-sided", "account": "ACC9",
                                "password": PASSCODE}, a.sample_pdf)
        self.check("job-state (enum) = completed" in printed.stdout,
                   f"a job with job-password printed: {printed.stdout[-300:]}")
        seen = self.crawl(browser_en, ["/", f"/{printer}/", f"/{printer}/jobs", f"/{printer}/printing"])
        shown = [page for page, source in seen.items() if PASSCODE in source]
        self.check(not shown, f"no page of {len(seen)} shows the passcode: {shown}")
        browser_en.go(f"{self.base}/{printer}/jobs")
        self.shot(browser_en, "en-jobs.png")

        # (iv) The same page for a Japanese browser: the Japanese PPD's titles.
        browser_ja.go(f"{self.base}/{printer}/printing")
        self.shot(browser_ja, "ja-printing-defaults.png")
        row = self.vendor_row(browser_ja, "zlk-staple")
        if self.check(row is not None, "the Japanese page has the zlk-staple field"):
            self.check(row["label"].rstrip(":") == c3500j.title,
                       f"its label is the Japanese PPD's {c3500j.title!r}: {row['label']!r}")
            japanese = dict(c3500j.choices)
            expected = [japanese.get(choice, title) for choice, title in c4500.choices]
            texts = [text for _, text in row["options"]]
            self.check(texts == expected, f"its values are the Japanese choice titles: {texts}")
        raw = browser_ja.bare_labels()
        self.check(not raw, f"no Japanese label is a bare attribute name: {raw}")
        browser_ja.go(f"{self.base}/{printer}/")
        self.shot(browser_ja, "ja-printer.png")

    def add_printer_in_browser(self, browser, printer, device):
        # The device list only offers discovered devices and "socket" with a
        # host name: the form has no field for another URI but takes what the
        # list sends, so the file device joins the list as a found one would.
        browser.go(self.base + "/addprinter")
        drivers = browser.script(
            "return Array.from(document.querySelector('select[name=driver_name]').options).map(o => o.value);")
        self.check("zelko_mfp_c4500" in drivers, f"Add Printer lists the driver zelko_mfp_c4500: {drivers}")
        browser.script(
            "const list = document.querySelector('select[name=device_uri]');"
            "list.add(new Option('Test output folder', arguments[0]));", device)
        browser.type(browser.find("input[name=printer_name]"), printer)
        browser.click(browser.find(f"select[name=device_uri] option[value='{device}']"))
        browser.click(browser.find("select[name=driver_name] option[value=zelko_mfp_c4500]"))
        self.shot(browser, "en-add-printer.png")
        browser.click(browser.find("form input[type=submit]"))
        landed = browser.wait_for_url(lambda url: url.rstrip("/").endswith("/" + printer))
        self.check(landed.rstrip("/").endswith("/" + printer), f"the new printer's page follows: {landed}")

    def wait_for_stream(self, seconds=120):
        """The job stream on the file device once zlk-inspect takes it whole."""
        end = time.time() + seconds
        report = "nothing reached the device"
        while time.time() < end:
            for name in os.listdir(self.out):
                path = os.path.join(self.out, name)
                result = subprocess.run([self.args.inspect, "--key", self.args.key, path],
                                        capture_output=True, text=True, env=self.env)
                if result.returncode == 0:
                    return path, result.stdout.strip().splitlines()[0] if result.stdout.strip() else ""
                report = result.stderr.strip()
            time.sleep(0.5)
        return None, report + "\n" + self.log()

    def crawl(self, browser, start):
        """Every page of the server reachable by links from start, by source."""
        seen, queue = {}, list(start)
        while queue and len(seen) < 60:
            page = queue.pop(0)
            if page in seen:
                continue
            browser.go(self.base + page)
            seen[page] = browser.source()
            links = browser.script("return Array.from(document.querySelectorAll('a[href]')).map(a => a.href);")
            for link in links:
                for prefix in (self.base, f"http://127.0.0.1:{self.port}"):
                    if link.startswith(prefix):
                        path = link[len(prefix):].split("#")[0] or "/"
                        # Pages that change things are not followed.
                        skip = ["delete", "cancel", "logout"]
                        if not any(word in path for word in skip):
                            queue.append(path)
        return seen


def main():
    parser = argparse.ArgumentParser()
    for name in ("app", "filter", "inspect", "key", "ppd-dir", "testpage", "ipptool", "ipp-tests", "sample-pdf",
                 "screens"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--chromium", default="/usr/bin/chromium")
    parser.add_argument("--chromedriver", default="/usr/bin/chromedriver")
    args = parser.parse_args()

    missing = [p for p in (args.chromium, args.chromedriver) if not os.access(p, os.X_OK)]
    if missing:
        print(f"SKIPPED: {', '.join(missing)} not installed (Debian packages chromium, chromium-driver)")
        return SKIPPED
    if not os.access(args.ipptool, os.X_OK):
        print(f"SKIPPED: ipptool ({args.ipptool}) not installed (cups-ipp-utils)")
        return SKIPPED

    root = tempfile.mkdtemp(prefix="zlk-webui-")
    test = WebUiTest(args, root)
    env = dict(test.env, ZLK_PRINTER_APP_PPD_DIR=args.ppd_dir, ZLK_PRINTER_APP_FILTER=args.filter,
               ZLK_PRINTER_APP_TESTPAGE=args.testpage)
    server = subprocess.Popen([args.app, "server", "-o", f"server-port={test.port}", "-o",
                               "listen-hostname=localhost", "-o", f"state-directory={root}/state", "-o",
                               "log-level=info"], env=env)
    driver_port = free_port()
    driver = subprocess.Popen([args.chromedriver, f"--port={driver_port}"], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    browsers = []
    try:
        if not wait_for_port(test.port, server):
            print("FAILED  zlk-printer-app does not listen:\n" + test.log())
            return 1
        if not wait_for_port(driver_port, driver):
            print("FAILED  chromedriver does not listen")
            return 1
        url = f"http://127.0.0.1:{driver_port}"
        browsers.append(Browser(url, args.chromium, os.path.join(root, "profile-en"), "en-US"))
        browsers.append(Browser(url, args.chromium, os.path.join(root, "profile-ja"), "ja"))
        try:
            test.run(*browsers)
        except Exception as error:  # a step that cannot go on ends the run
            test.check(False, f"{type(error).__name__}: {error}")
    finally:
        for browser in browsers:
            browser.quit()
        driver.terminate()
        driver.wait()
        server.terminate()
        server.wait()
    if test.failures:
        print(f"\n{len(test.failures)} failed; server log:\n{test.log()}")
        print(f"(state kept in {root})")
        return 1
    shutil.rmtree(root, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
