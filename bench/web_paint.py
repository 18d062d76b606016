#!/usr/bin/python3
"""The page's first paint in headless Chromium: RUNS loads of URL, each in a
fresh profile (nothing cached), the login form being what is painted.
Prints each load's first-contentful-paint (ms), then their median.

  web_paint.py URL RUNS
"""
import os
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "lab"))
import headless_chromium  # noqa: E402

url, runs = sys.argv[1], int(sys.argv[2])
paints = []
for _ in range(runs):
    with tempfile.TemporaryDirectory() as profile:
        driver = headless_chromium.start(profile)
        try:
            driver.get(url)
            # The load event may come before the paint is reported.
            for _ in range(50):
                entries = dict(driver.execute_script(
                    "return performance.getEntriesByType('paint')"
                    ".map(e => [e.name, e.startTime])"))
                if "first-contentful-paint" in entries:
                    break
                time.sleep(0.1)
            paints.append(entries["first-contentful-paint"])
        finally:
            driver.quit()
print(" ".join(f"{p:.0f}" for p in paints), "; médiane", f"{statistics.median(paints):.0f}")
