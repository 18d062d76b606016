"""Debian's Chromium, headless, driven through chromedriver: the one way the
browser test and the page's benchmark start it (as root in a lab namespace,
hence no sandbox; a profile of the caller's, so nothing is shared)."""
from selenium import webdriver
from selenium.webdriver.chrome.service import Service


def start(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu",
                     "--disable-dev-shm-usage", f"--user-data-dir={profile}"):
        options.add_argument(argument)
    # The certificate Korvane made at its first start: nobody signed it.
    options.set_capability("acceptInsecureCerts", True)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
