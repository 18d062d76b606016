#!/usr/bin/python3
"""The page's first paint in headless Chromium: RUNS loads of URL, each in a
fresh profile (nothing cached), the login form being what is painted.
Prints each load's first-contentful-paint (ms), then their median.

  web_paint.py URL RUNS
"""
import statistics
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

url, runs = sys.argv[1], int(sys.argv[2])
paints = []
for _ in range(runs):
    with tempfile.TemporaryDirectory() as profile:
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for argument in ("--headless=new", "--no-sandbox", "--disable-gpu",
                         "--disable-dev-shm-usage", f"--user-data-dir={profile}"):
            options.add_argument(argument)
        options.set_capability("acceptInsecureCerts", True)
        driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
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
