#!/usr/bin/env python3
"""The sample course end to end in headless Chromium.

The built player serves a temporary copy of the course (as a folder or as a
package); a driver page added to that copy walks it in a same-origin frame as a
person would. The learner's walk: log in, take a test, change one answer,
review the feedback, read the result; the test checks what the driver saw
against the course's own question index and grade bands, and checks
answers.xml, which must hold one record per answer with the running totals.
The administrator's walk: add a group, see the statistics of the empty group,
add a learner in it (after one refusal), and log in as that learner; the test
checks the page's words and the tables written. The stopped walk: the test
stops the player while an answer is chosen; the page must say so and keep the
answer on screen. The full walk: the course lies on a small disk of its own,
which the test fills in the middle of a test; the page must say that the
result was not recorded, and answers.xml must keep what it held. The
browser's DOM dump carries what the driver saw.

Exit status: 0 passed, 1 failed, 77 skipped (no chromium, or no small disk
can be mounted for the full walk).
"""

import argparse
import configparser
import datetime
import html
import json
import os
import re
import selectors
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import urllib.parse
import xml.etree.ElementTree as ET

SKIPPED = 77
# Limits for a player or browser that is broken, not one that is slow
# (AddressSanitizer on a busy machine): a run takes a few seconds.
PLAYER_START_SECONDS = 120
BROWSER_SECONDS = 420
PLAYER_STOP_SECONDS = 120
# Browser clock the driver may use. Fetches pause it, but it runs on while a
# frame waits for its page, as fast as the wall clock: on a busy machine the
# pages of a walk can take a minute or more. The driver blanks its frame when
# done, so that nothing runs on and the browser ends at once.
VIRTUAL_TIME_BUDGET_MS = 360000

CHROMIUM_FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--disable-dev-shm-usage", "--no-proxy-server",
]


class Failure(Exception):
    pass


def find_chromium():
    for name in (os.environ.get("VARNEL_CHROMIUM"), "chromium", "chromium-browser"):
        if name:
            path = shutil.which(name)
            if path:
                return path
    return None


def tail(path, lines=25):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            kept = [line for line in f if "dbus" not in line.lower()]
        return "".join(kept[-lines:])
    except OSError:
        return ""


def code_page_text(field):
    return urllib.parse.unquote_to_bytes(field).decode("cp1252")


# ---- What the course's files say -------------------------------------------

def load_questions(course, subject):
    """Question text -> list of (answer text, score) of the non-empty answers."""
    questions = {}
    with open(os.path.join(course, "PresentationsIndex_questions_%s.csv" % subject), "rb") as f:
        for line in f.read().decode("ascii").splitlines():
            if not line:
                continue
            fields = line.split(";")
            texts = [code_page_text(t) for t in fields[1:6]]
            scores = [int(s) for s in fields[6:11]]
            questions[code_page_text(fields[0])] = [(t, s) for t, s in zip(texts, scores) if t]
    return questions


def load_bands(course, subject):
    ini = configparser.ConfigParser(interpolation=None)
    ini.read(os.path.join(course, "project.ini"), encoding="cp1252")
    section = ini["Subject_%s" % subject]
    return [(int(section["Low_%d" % i]), int(section["High_%d" % i]), section["Grade_%d" % i])
            for i in range(int(section["OverallFeedbacks"]))]


def right_answers(questions):
    """Question text -> the text of an answer that scores the question's maximum."""
    return {question: max(answers, key=lambda answer: answer[1])[0] for question, answers in questions.items()}


def full_name(course, login):
    with open(os.path.join(course, "all.users.csv"), "rb") as f:
        for line in f.read().decode("cp1252").splitlines():
            fields = line.split(";")
            if fields[0] == login:
                return fields[4]
    raise Failure("the course has no learner %r" % login)


def grade_of(bands, answered, maximum):
    percentage = answered * 100 // maximum if maximum > 0 else 0
    for low, high, grade in bands:
        if low <= percentage <= high:
            return grade
    return ""


# ---- Running the player and the browser ------------------------------------

def start_player(player, content, env, work):
    errors = open(os.path.join(work, "player.err"), "wb")
    process = subprocess.Popen([player, "--serve", content], stdout=subprocess.PIPE, stderr=errors, env=env,
                               start_new_session=True)
    with selectors.DefaultSelector() as selector:
        selector.register(process.stdout, selectors.EVENT_READ)
        if not selector.select(timeout=PLAYER_START_SECONDS):
            stop(process)
            raise Failure("the player printed no URL within %d s" % PLAYER_START_SECONDS)
    line = process.stdout.readline().decode("ascii", "replace").strip()
    if not re.fullmatch(r"http://127\.0\.0\.1:[0-9]+/", line):
        stop(process)
        raise Failure("the player's first line is not its URL: %r" % line)
    return process, line


def stop(process):
    """SIGTERM, then the exit status; a player that does not stop is killed."""
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
    try:
        return process.wait(timeout=PLAYER_STOP_SECONDS)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        raise Failure("the player did not stop within %d s of SIGTERM" % PLAYER_STOP_SECONDS)


def run_browser(chromium, url, env, work):
    command = [chromium] + CHROMIUM_FLAGS + [
        "--user-data-dir=" + os.path.join(work, "chromium"),
        "--virtual-time-budget=%d" % VIRTUAL_TIME_BUDGET_MS,
        "--dump-dom", url,
    ]
    with open(os.path.join(work, "chromium.err"), "wb") as errors:
        process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=errors, env=env, start_new_session=True)
        try:
            dom, _ = process.communicate(timeout=BROWSER_SECONDS)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.communicate()
            raise Failure("chromium did not finish within %d s" % BROWSER_SECONDS)
    if process.returncode != 0:
        raise Failure("chromium exited with status %d" % process.returncode)
    found = re.search(r'<pre id="verdict">(.*?)</pre>', dom.decode("utf-8", "replace"), re.S)
    if not found:
        raise Failure("the dumped page holds no verdict")
    try:
        return json.loads(html.unescape(found.group(1)))
    except ValueError:
        raise Failure("the driver never finished: %r" % html.unescape(found.group(1))[:200])


# ---- Checks ----------------------------------------------------------------

class Checks:
    def __init__(self):
        self.failures = []

    def equal(self, what, seen, expected):
        if seen != expected:
            self.failures.append("%s: got %r, expected %r" % (what, seen, expected))

    def true(self, what, condition):
        if not condition:
            self.failures.append(what)


def read_answers(path):
    with open(path, "rb") as f:
        raw = f.read()
    # The file is in the code page although its declaration names utf-8.
    text = raw.decode("cp1252")
    text = re.sub(r"^<\?xml[^>]*\?>", "", text).strip()
    return raw, [{child.tag: (child.text or "") for child in record} for record in ET.fromstring(text)]


def check_run(checks, verdict, questions, bands, name, subject, answers_path, today):
    checks.true("the driver stopped early: %s" % verdict.get("error"), verdict.get("ok"))
    checks.equal("script errors on the course's pages", verdict.get("pageErrors"), [])
    checks.true("the welcome %r names %r" % (verdict.get("welcome"), name), name in verdict.get("welcome", ""))
    if not verdict.get("ok"):
        return

    submissions = verdict["submissions"]
    count = verdict["questionCount"]
    checks.equal("answers given", len(submissions), count + 1 if count >= 2 else count)
    checks.true("question 1 showed its earlier answer when the learner came back", verdict.get("firstAnswerKept", count < 2))

    # Each question's score by the course's own index.
    def score(question, answer):
        for text, points in questions[question]:
            if text == answer:
                return points
        raise Failure("answer %r is not one of question %r" % (answer, question))

    for s in submissions:
        checks.true("question %r is not in the subject's index" % s["question"], s["question"] in questions)
    if checks.failures:
        return
    maxima = {q: max([0] + [p for _, p in questions[q]]) for q in {s["question"] for s in submissions}}
    checks.equal("questions answered", len(maxima), count)
    maximum = sum(maxima.values())

    chosen = {}
    running = []
    for s in submissions:
        chosen[s["question"]] = s["answer"]
        answered = sum(score(q, a) for q, a in chosen.items())
        running.append((answered, grade_of(bands, answered, maximum)))
    answered, grade = running[-1]
    wrong = [q for q, a in chosen.items() if score(q, a) != maxima[q]]

    checks.equal("score on the result page", verdict["score"], "%d/%d" % (answered, maximum))
    checks.equal("grade on the result page", verdict["grade"], grade)
    checks.true("the result page shows the grade's text", verdict["performanceText"])
    checks.equal("review of wrong answers offered", verdict["wrongReviewOffered"], bool(wrong))
    checks.true("review of all answers offered", verdict["allReviewOffered"])
    checks.equal("answers reviewed", sorted((r["question"], r["answer"]) for r in verdict["reviewed"]),
                 sorted(chosen.items()))
    for r in verdict["reviewed"]:
        checks.equal("points shown for %r" % r["question"], r["points"],
                     "%d/%d" % (score(r["question"], r["answer"]), maxima[r["question"]]))
        checks.true("feedback text shown for %r" % r["question"], r["feedback"])
    if wrong:
        checks.equal("wrong answers reviewed", sorted(r["question"] for r in verdict["reviewedWrong"]), sorted(wrong))

    links = verdict["links"]
    checks.equal("search link", links.get("search"), "search.html")
    checks.equal("statistics link", links.get("stats"), "stats.html")
    for key, kind in (("printQuestion", "question=1"), ("printFeedback", "feedback=1"), ("printResult", "perfomance=1")):
        link = links.get(key, "")
        checks.true("%s link %r prints through the player" % (key, link),
                    link.startswith("/?action=print_script&" + kind) and "sessionid=" in link)

    if not os.path.exists(answers_path):
        checks.failures.append("no answers file at " + answers_path)
        return
    raw, records = read_answers(answers_path)
    checks.true("answers.xml ends with its closing tag", raw.endswith(b"</Dataset>"))
    checks.equal("records in answers.xml", len(records), len(submissions))
    for i, (record, (answered_then, grade_then)) in enumerate(zip(records, running), 1):
        where = "record %d of answers.xml" % i
        checks.equal(where + " test id", record.get("Testid"), records[0].get("Testid"))
        checks.equal(where + " date (yyyy-dd-mm)", record.get("Date") in today, True)
        checks.equal(where + " subject", record.get("Subject"), subject)
        checks.equal(where + " maximum score", record.get("MaxScore"), str(maximum))
        checks.equal(where + " answered score", record.get("AnsweredScore"), str(answered_then))
        checks.equal(where + " grade", record.get("Grade"), grade_then)
        checks.equal(where + " usage", record.get("Usage"), "1")


# ---- The stopped, full and administrator's walks -----------------------------

class RequestChannel:
    """A loopback listener the driver asks, once, to have something done (the
    player stopped, its disk filled); it answers when that is done, and keeps
    what the action gave."""

    def __init__(self, action):
        self.action = action
        self.status = None
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.url = "http://127.0.0.1:%d/do" % self.listener.getsockname()[1]
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        try:
            connection, _ = self.listener.accept()
        except OSError:
            return
        with connection:
            connection.recv(4096)
            try:
                self.status = self.action()
            except (Failure, OSError) as error:
                self.status = "not done: %s" % error
            connection.sendall(b"HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n")

    def close(self):
        self.listener.close()
        self.thread.join(timeout=PLAYER_STOP_SECONDS)


ADMIN_LEARNER = {"group": "Night watch", "name": "Nia Watch", "password": "knot"}


def check_admin(checks, verdict, login, data_folder):
    checks.true("the driver stopped early: %s" % verdict.get("error"), verdict.get("ok"))
    checks.equal("script errors on the course's pages", verdict.get("pageErrors"), [])
    if not verdict.get("ok"):
        return
    group, name, password = ADMIN_LEARNER["group"], ADMIN_LEARNER["name"], ADMIN_LEARNER["password"]
    checks.equal("words after adding the group", verdict["groupAdded"], "The group \u201c%s\u201d was added." % group)
    checks.equal("words after adding it again", verdict["groupRefused"], "A group with this title already exists.")
    checks.equal("figures of a group without members shown", verdict["emptyGroupFiguresShown"], False)
    checks.equal("words after a learner with a taken login", verdict["userRefused"],
                 "A user with this login name already exists.")
    checks.equal("words after adding the learner", verdict["userAdded"],
                 "The learner \u201c%s\u201d was saved." % login)
    checks.equal("the learner's row", verdict["userRow"], "%s: %s" % (name, group))
    checks.true("the welcome %r names %r" % (verdict.get("welcome"), name), name in verdict.get("welcome", ""))
    with open(os.path.join(data_folder, "all.groups.csv"), "rb") as f:
        groups = f.read().decode("cp1252").splitlines()
    checks.equal("groups named %r in the table" % group, len([g for g in groups if g.endswith(";" + group)]), 1)
    with open(os.path.join(data_folder, "all.users.csv"), "rb") as f:
        users = [u.split(";") for u in f.read().decode("cp1252").splitlines()]
    added = [u for u in users if u[0] == login]
    checks.equal("the learner's record", [(u[1], u[4]) for u in added], [(password, name)])


def mount_small_disk(folder, size_kb):
    """A tmpfs of its own at folder; False where mounting is not allowed."""
    command = ["mount", "-t", "tmpfs", "-o", "size=%dk,mode=0755" % size_kb, "tmpfs", folder]
    return subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


def fill_disk(folder):
    """Takes every free block of the disk at folder, so the next write fails."""
    with open(os.path.join(folder, ".filler"), "wb", buffering=0) as filler:
        for size in (1 << 16, 1):
            try:
                while True:
                    filler.write(b"\0" * size)
            except OSError:
                pass
    return "filled"


def check_full(checks, verdict, answers_before, answers_path, work):
    checks.true("the driver stopped early: %s" % verdict.get("error"), verdict.get("ok"))
    checks.equal("script errors on the course's pages", verdict.get("pageErrors"), [])
    if not verdict.get("ok"):
        return
    checks.true("the page says the result was not recorded: %r" % verdict["fullMessage"],
                verdict["fullMessage"].startswith("Your answer was taken, but your result could not be recorded: "
                                                  "No space left on device."))
    with open(answers_path, "rb") as f:
        checks.equal("answers.xml after the disk filled", f.read(), answers_before.get("bytes"))
    checks.true("the player said so on standard error",
                "A test result could not be recorded: " in tail(os.path.join(work, "player.err"), 100))


def check_stopped(checks, verdict):
    checks.true("the driver stopped early: %s" % verdict.get("error"), verdict.get("ok"))
    checks.equal("script errors on the course's pages", verdict.get("pageErrors"), [])
    if not verdict.get("ok"):
        return
    checks.true("the page says the player is not running: %r" % verdict["stopMessage"],
                verdict["stopMessage"].startswith("The player is not running, so this answer is not saved yet."))
    checks.true("the chosen answer %r stays on screen" % verdict["chosen"], verdict["answerKept"])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--player", required=True)
    parser.add_argument("--packer", required=True, help="vrn-pack, for --mode package")
    parser.add_argument("--course", required=True)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--mode", choices=("folder", "package"), default="folder")
    parser.add_argument("--user", default="sam")
    parser.add_argument("--password", default="bowline")
    parser.add_argument("--subject", default="1")
    parser.add_argument("--answers", choices=("in-turn", "right"), default="in-turn",
                        help="take the answers in turn, or put every answer right after one change")
    parser.add_argument("--walk", choices=("learner", "admin", "stop", "full"), default="learner",
                        help="the learner's walk, the administrator's (adding --user), a player stopped mid-test, "
                             "or a disk that fills mid-test (folder mode)")
    args = parser.parse_args()

    chromium = find_chromium()
    if not chromium:
        print("SKIPPED: chromium is not installed (apt-get install chromium, or set VARNEL_CHROMIUM)")
        return SKIPPED

    work = tempfile.mkdtemp(prefix="varnel-e2e-")
    keep = False
    disk = None
    try:
        course = os.path.join(work, "course")
        if args.walk == "full":
            disk = os.path.join(work, "disk")
            os.mkdir(disk)
            if not mount_small_disk(disk, 2048):
                disk = None
                print("SKIPPED: no small disk can be mounted here (the full walk needs root)")
                return SKIPPED
            course = os.path.join(disk, "course")
        shutil.copytree(args.course, course)
        shutil.copyfile(args.driver, os.path.join(course, "driver.html"))
        if args.mode == "package":
            package_folder = os.path.join(work, "package")
            os.mkdir(package_folder)
            content = os.path.join(package_folder, "knots.vrn")
            subprocess.run([args.packer, course, content], check=True, timeout=30, stdout=subprocess.DEVNULL)
            with open(os.path.join(course, "projectid.txt")) as f:
                data_folder = os.path.join(package_folder, f.read())
        else:
            content = data_folder = course
        answers_path = os.path.join(data_folder, "Sessions", args.user.lower(), "answers.xml")

        env = dict(os.environ)
        for name in ("HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"):
            env[name] = os.path.join(work, name.lower())
            os.mkdir(env[name])

        questions = load_questions(course, args.subject)
        checks = Checks()
        verdict = {}
        dates = set()
        player, url = start_player(args.player, content, env, work)
        answers_before = {}

        def fill():
            # What answers.xml held when the disk filled must stay.
            with open(answers_path, "rb") as f:
                answers_before["bytes"] = f.read()
            return fill_disk(disk)

        channel = None
        if args.walk == "stop":
            channel = RequestChannel(lambda: stop(player))
        elif args.walk == "full":
            channel = RequestChannel(fill)
        try:
            dates.add(datetime.date.today().strftime("%Y-%d-%m"))
            place = {"walk": args.walk, "user": args.user, "password": args.password, "subject": args.subject}
            if args.answers == "right":
                place["right"] = json.dumps(right_answers(questions))
            if args.walk == "admin":
                place["learner"] = json.dumps(ADMIN_LEARNER)
            if channel:
                place[args.walk] = channel.url
            driver_url = url + "driver.html#" + urllib.parse.urlencode(place)
            verdict = run_browser(chromium, driver_url, env, work)
            dates.add(datetime.date.today().strftime("%Y-%d-%m"))
        finally:
            status = stop(player)
            if channel:
                channel.close()
                if args.walk == "stop":
                    status = channel.status
        checks.equal("player's exit status after SIGTERM", status, 0)
        if args.walk == "admin":
            check_admin(checks, verdict, args.user, data_folder)
        elif args.walk == "stop":
            check_stopped(checks, verdict)
        elif args.walk == "full":
            check_full(checks, verdict, answers_before, answers_path, work)
        else:
            check_run(checks, verdict, questions, load_bands(course, args.subject),
                      full_name(course, args.user), args.subject, answers_path, dates)
        if checks.failures:
            raise Failure("\n  ".join(["%d check(s) failed:" % len(checks.failures)] + checks.failures) +
                          "\nverdict: " + json.dumps(verdict, indent=1))
        if args.walk == "learner":
            print("PASSED (%s mode): %s answered %d questions, score %s, grade %r, %d records in answers.xml" %
                  (args.mode, args.user, verdict["questionCount"], verdict["score"], verdict["grade"],
                   len(verdict["submissions"])))
        else:
            print("PASSED (%s mode, %s walk)" % (args.mode, args.walk))
        return 0
    except (Failure, subprocess.SubprocessError, OSError) as error:
        keep = os.environ.get("VARNEL_E2E_KEEP") == "1"
        print("FAILED (%s mode): %s" % (args.mode, error))
        for name in ("player.err", "chromium.err"):
            text = tail(os.path.join(work, name))
            if text:
                print("---- %s (last lines) ----\n%s" % (name, text))
        if keep:
            print("kept the run's files in " + work)
        return 1
    finally:
        if disk:
            subprocess.run(["umount", "-l", disk], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not keep:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
