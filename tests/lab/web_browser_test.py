#!/usr/bin/python3
"""Korvane's page in a real browser (headless Chromium driven by
chromidriver through Selenium), against a serving "korvane --planificateur"
of the lab; web_browser_test.sh sets the lab up and checks the hosts after.

  web_browser_test.py URL PASSWORD WAKE_ENTRY OFF_ENTRY CAPTURES

WAKE_ENTRY is asleep and its ON wakes it; OFF_ENTRY goes down through its
smbd; the administrator then makes a "réveil seulement" token for WAKE_ENTRY
on the page, and its user logs in. Screenshots at a phone's and a desktop's
size go to CAPTURES. Exits non-zero on the first fault.
"""
import json
import ssl
import sys
import tempfile
import urllib.error
import urllib.request

import headless_chromium

from selenium.webdriver.common.by import By
from selenium.webdriver.support import expected_conditions
from selenium.webdriver.support.ui import WebDriverWait

url, password, wake, off, captures = sys.argv[1:6]


def browser(profile):
    return headless_chromium.start(profile)


def screen(driver, width, height, phone):
    """The page's viewport at that size (a window can't be narrower than 500 px)."""
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
        "width": width, "height": height, "deviceScaleFactor": 1, "mobile": phone})


def card(driver, name):
    for item in driver.find_elements(By.CSS_SELECTOR, "#carte li"):
        if item.find_element(By.CLASS_NAME, "nom").text == name:
            return item
    return None


def state(driver, name):
    item = card(driver, name)
    return None if item is None else ("on" if "on" in item.get_attribute("class").split() else "off")


def buttons(driver, name):
    return [b.text for b in card(driver, name).find_elements(By.TAG_NAME, "button")]


def press(driver, name, label):
    for button in card(driver, name).find_elements(By.TAG_NAME, "button"):
        if button.text == label:
            return button.click()
    raise AssertionError(f"pas de bouton {label} pour {name}")


def log_in(driver, secret):
    driver.get(url)
    wait = WebDriverWait(driver, 20)
    wait.until(lambda d: d.find_element(By.ID, "secret").is_displayed())
    driver.find_element(By.ID, "secret").send_keys(secret)
    driver.find_element(By.CSS_SELECTOR, "#connexion button[type=submit]").click()
    wait.until(lambda d: d.find_elements(By.CSS_SELECTOR, "#carte li"))


def make_wake_token(driver, texts):
    driver.find_element(By.ID, "jeton-nom").send_keys("téléphone d'Anne")
    driver.find_element(By.CSS_SELECTOR, "#jeton-role option[value=reveil]").click()
    driver.find_element(By.ID, "jeton-entrees").send_keys(wake)
    driver.find_element(By.CSS_SELECTOR, "#nouveau-jeton button[type=submit]").click()
    WebDriverWait(driver, 20).until(lambda d: "krv_" in d.find_element(By.ID, "jeton-cree").text)
    shown = driver.find_element(By.ID, "jeton-cree").text
    check(shown.startswith(texts["jeton_affiche_une_fois"]), f"le jeton est montré une fois : {shown[:40]}…")
    return shown.split()[-1]


def api_off_with_token(wake_token):
    request = urllib.request.Request(f"{url}api/entrees/{wake}/off", method="POST",
                                     headers={"Authorization": f"Bearer {wake_token}"})
    try:
        with urllib.request.urlopen(request, context=ssl._create_unverified_context()) as answer:
            return answer.status, json.load(answer)
    except urllib.error.HTTPError as error:
        return error.code, json.load(error)


def check(condition, what):
    if not condition:
        raise AssertionError(what)
    print("ok :", what, flush=True)


with tempfile.TemporaryDirectory() as profile:
    driver = browser(profile)
    try:
        screen(driver, 390, 844, True)
        log_in(driver, password)
        texts = driver.execute_script("return etat.textes")
        entries = {li.find_element(By.CLASS_NAME, "nom").text
                   for li in driver.find_elements(By.CSS_SELECTOR, "#carte li")}
        check(state(driver, off) == "on" and state(driver, wake) == "off",
              f"la carte montre {off} allumé et {wake} éteint ({len(entries)} entrées)")
        check(buttons(driver, off)[:2] == [texts["on"], texts["off"]], "l'administrateur a ON et OFF")
        driver.save_screenshot(f"{captures}/page-telephone-390x844.png")

        press(driver, wake, texts["on"])
        WebDriverWait(driver, 60, 1).until(lambda d: state(d, wake) == "on")
        check(True, f"ON a réveillé {wake}, la carte le montre allumé")

        press(driver, off, texts["off"])
        WebDriverWait(driver, 5).until(expected_conditions.alert_is_present())
        confirm = driver.switch_to.alert
        check(off in confirm.text, f"OFF demande confirmation : {confirm.text}")
        confirm.accept()
        WebDriverWait(driver, 60, 1).until(lambda d: state(d, off) == "off")
        check(True, f"OFF a arrêté {off}, la carte le montre éteint")
        verdict = texts["verdict"] + " : "
        WebDriverWait(driver, 180, 1).until(lambda d: (lambda m: m.startswith(off + " — ") and verdict in m)(
            d.find_element(By.ID, "message").text))
        message = driver.find_element(By.ID, "message").text
        check("Sans verdict" not in message, f"le constat du suivi est montré : {message}")

        screen(driver, 1280, 800, False)
        driver.save_screenshot(f"{captures}/page-bureau-1280x800.png")
        wake_token = make_wake_token(driver, texts)
        driver.find_element(By.ID, "deconnexion").click()

        log_in(driver, wake_token)
        entries = [li.find_element(By.CLASS_NAME, "nom").text
                   for li in driver.find_elements(By.CSS_SELECTOR, "#carte li")]
        check(entries == [wake], f"le jeton « réveil seulement » ne voit que {entries}")
        check(buttons(driver, wake) == [texts["on"]], "et n'a que ON")
        check(all(not e.is_displayed() for e in driver.find_elements(By.CLASS_NAME, "admin")),
              "ni incidents, ni appareils, ni jetons")
    finally:
        driver.quit()

status, answer = api_off_with_token(wake_token)
check(status == 403 and answer.get("erreur"), f"l'API refuse OFF à ce jeton : {status} {answer}")
