"""Makes one accident-report workbook through LibreOffice Calc.

The viewer feeds this script to Debian's /usr/bin/python3 on stdin:

    python3 -I - [--soffice PATH] [--connect-timeout S] --profile DIR
              TEMPLATE PICTURE LEFT TOP WIDTH HEIGHT OUTPUT

It starts its own headless soffice (own user installation in DIR, a pipe
name of its own, a process group of its own), opens TEMPLATE, puts PICTURE
on the first sheet at the rectangle LEFT TOP WIDTH HEIGHT (points from the
sheet's top-left corner) and stores the workbook as "MS Excel 97" at OUTPUT.

Standard output, one line each:
    office PGID FILE...   soffice started: its process group and the pipe
                          files it may leave behind when it is killed
    step NAME             started, connected, loaded, picture, stored
    error REASON          why the exit status is not 0

Exit status: 0 stored; 2 bad arguments; 3 no LibreOffice or no uno module;
4 soffice did not answer; 5 template not loaded; 6 picture not inserted;
7 workbook not stored; 8 stopped by a signal. Whatever happens, soffice's
process group is ended and its pipe files are removed before the exit.
"""

import argparse
import hashlib
import os
import shutil
import signal
import subprocess
import sys
import threading
import time
import uuid

EXIT_OK = 0
EXIT_USAGE = 2
EXIT_NO_OFFICE = 3
EXIT_NO_ANSWER = 4
EXIT_NOT_LOADED = 5
EXIT_NO_PICTURE = 6
EXIT_NOT_STORED = 7
EXIT_STOPPED = 8

POINT = 2540.0 / 72.0  # 1/100 mm per point
PIPE_FOLDERS = ("/tmp", "/var/tmp")  # where LibreOffice's pipe sockets live
QUIT_WAIT = 5.0  # seconds soffice gets to end after terminate, then SIGTERM
KILL_WAIT = 2.0  # seconds after SIGTERM before SIGKILL


class Failure(Exception):
    def __init__(self, status, reason):
        super().__init__(reason)
        self.status = status
        self.reason = reason


def say(*words):
    print(*words, flush=True)


def system_reason(error, path=None):
    text = error.strerror or str(error)
    return "%s: %s" % (text, path) if path else text


def import_uno():
    try:
        import uno  # noqa: F401
        return uno
    except ImportError as error:
        raise Failure(EXIT_NO_OFFICE, "Python module uno: %s" % error)


def prop(name, value):
    from com.sun.star.beans import PropertyValue
    return PropertyValue(Name=name, Value=value)


class Office:
    """One private headless soffice, reached through a named pipe."""

    def __init__(self, soffice, profile, connect_timeout, announce=True, keep_profile=False):
        self.soffice = soffice
        self.profile = os.path.abspath(profile)
        self.profile_url = "file://" + self.profile
        self.keep_profile = keep_profile
        self.connect_timeout = connect_timeout
        self.announce = announce
        self.pipe = "hxreport_%d_%s" % (os.getpid(), uuid.uuid4().hex[:12])
        self.process = None
        self.desktop = None
        self.context = None
        # Held while soffice is being started, so that a stop from the main
        # thread never misses a process that is just being created.
        self.lock = threading.Lock()
        self.closed = False

    def start(self):
        uno = import_uno()
        command = [self.soffice, "-env:UserInstallation=" + self.profile_url,
                   "--headless", "--invisible", "--norestore", "--nologo",
                   "--nodefault", "--nolockcheck",
                   "--accept=pipe,name=%s;urp;StarOffice.ComponentContext" % self.pipe]
        with self.lock:
            if self.closed:
                raise Failure(EXIT_STOPPED, "stopped")
            try:
                # A session of its own, so that the whole group can be ended
                # together: soffice is a shell script starting further programs.
                self.process = subprocess.Popen(command, start_new_session=True,
                                                stdin=subprocess.DEVNULL,
                                                stdout=subprocess.DEVNULL,
                                                stderr=subprocess.DEVNULL)
            except OSError as error:
                raise Failure(EXIT_NO_OFFICE, system_reason(error, self.soffice))
        if self.announce:
            say("office", self.process.pid, *self.pipe_files())
        self.connect(uno)

    def connect(self, uno):
        from com.sun.star.connection import NoConnectException
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext(
            "com.sun.star.bridge.UnoUrlResolver", local)
        url = "uno:pipe,name=%s;urp;StarOffice.ComponentContext" % self.pipe
        deadline = time.monotonic() + self.connect_timeout
        while True:
            try:
                self.context = resolver.resolve(url)
                break
            except NoConnectException:
                pass
            status = self.process.poll()
            if status is not None:
                raise Failure(EXIT_NO_ANSWER, "soffice ended with status %d before answering" % status)
            if time.monotonic() > deadline:
                raise Failure(EXIT_NO_ANSWER, "soffice did not answer within %g s" % self.connect_timeout)
            time.sleep(0.1)
        self.desktop = self.context.ServiceManager.createInstanceWithContext(
            "com.sun.star.frame.Desktop", self.context)

    def create(self, service):
        return self.context.ServiceManager.createInstanceWithContext(service, self.context)

    def pipe_files(self):
        uid = os.getuid()
        # The single-instance pipe is named after an MD5 of the user
        # installation URL, each byte in hex without leading zero.
        digest = hashlib.md5(self.profile_url.encode("utf-16-le")).digest()
        single = "SingleOfficeIPC_" + "".join("%x" % byte for byte in digest)
        names = ["OSL_PIPE_%d_%s" % (uid, self.pipe), "OSL_PIPE_%d_%s" % (uid, single)]
        return [os.path.join(folder, name) for folder in PIPE_FOLDERS for name in names]

    def stop(self):
        """Ends soffice however far it got, and removes its pipe files."""
        if self.process is None:
            return
        if self.desktop is not None:
            try:
                self.desktop.terminate()
            except Exception:
                pass
            self.desktop = None
            self.wait(QUIT_WAIT)
        self.end_group()

    def end_group(self):
        with self.lock:
            self.closed = True
        if self.process is None:
            return
        for sig, wait in ((signal.SIGTERM, KILL_WAIT), (signal.SIGKILL, KILL_WAIT)):
            try:
                os.killpg(self.process.pid, sig)
            except ProcessLookupError:
                break
            if self.wait(wait) and not self.group_alive():
                break
        self.process = None
        for path in self.pipe_files():
            try:
                os.unlink(path)
            except OSError:
                pass
        # Removed here rather than by the viewer, whose interface would wait
        # for the thousand files of a user installation to go.
        if not self.keep_profile:
            shutil.rmtree(self.profile, ignore_errors=True)

    def wait(self, seconds):
        try:
            self.process.wait(seconds)
            return True
        except subprocess.TimeoutExpired:
            return False

    def group_alive(self):
        try:
            os.killpg(self.process.pid, 0)
            return True
        except ProcessLookupError:
            return False


def make_report(office, args):
    uno = import_uno()
    from com.sun.star.awt import Point, Size

    try:
        with open(args.template, "rb"):
            pass
    except OSError as error:
        raise Failure(EXIT_NOT_LOADED, system_reason(error, args.template))
    try:
        with open(args.picture, "rb"):
            pass
    except OSError as error:
        raise Failure(EXIT_NO_PICTURE, system_reason(error, args.picture))

    office.start()
    say("step connected")

    try:
        document = office.desktop.loadComponentFromURL(
            uno.systemPathToFileUrl(os.path.abspath(args.template)), "_blank", 0,
            (prop("Hidden", True),))
    except Exception as error:
        raise Failure(EXIT_NOT_LOADED, "%s: %s" % (error, args.template))
    if document is None or not hasattr(document, "Sheets"):
        raise Failure(EXIT_NOT_LOADED, "not a workbook: %s" % args.template)
    say("step loaded")

    try:
        sheet = document.Sheets.getByIndex(0)
        provider = office.create("com.sun.star.graphic.GraphicProvider")
        graphic = provider.queryGraphic(
            (prop("URL", uno.systemPathToFileUrl(os.path.abspath(args.picture))),))
        if graphic is None:
            raise Failure(EXIT_NO_PICTURE, "not a picture: %s" % args.picture)
        shape = document.createInstance("com.sun.star.drawing.GraphicObjectShape")
        shape.Graphic = graphic
        shape.Name = "report_picture"
        sheet.DrawPage.add(shape)
        shape.Position = Point(round(args.left * POINT), round(args.top * POINT))
        shape.Size = Size(round(args.width * POINT), round(args.height * POINT))
    except Failure:
        raise
    except Exception as error:
        raise Failure(EXIT_NO_PICTURE, "%s: %s" % (error, args.picture))
    say("step picture")

    try:
        # Opening the file first gives the system's own reason when the
        # folder refuses it, which LibreOffice reports only as an error code.
        # LibreOffice then makes the file anew, with the usual permissions.
        with open(args.output, "wb"):
            pass
        os.unlink(args.output)
        document.storeToURL(uno.systemPathToFileUrl(os.path.abspath(args.output)),
                            (prop("FilterName", "MS Excel 97"), prop("Overwrite", True)))
    except OSError as error:
        raise Failure(EXIT_NOT_STORED, system_reason(error, args.output))
    except Exception as error:
        raise Failure(EXIT_NOT_STORED, "%s: %s" % (error, args.output))
    if not os.path.isfile(args.output) or os.path.getsize(args.output) == 0:
        raise Failure(EXIT_NOT_STORED, "nothing written: %s" % args.output)
    say("step stored")
    try:
        document.close(True)
    except Exception:
        pass


class Stopped(Exception):
    pass


def on_signal(number, frame):
    raise Stopped()


def parse(argv):
    parser = argparse.ArgumentParser(prog="make_report")
    parser.add_argument("--soffice", default="soffice")
    parser.add_argument("--connect-timeout", type=float, default=30.0)
    parser.add_argument("--profile", required=True)
    parser.add_argument("template")
    parser.add_argument("picture")
    parser.add_argument("left", type=float)
    parser.add_argument("top", type=float)
    parser.add_argument("width", type=float)
    parser.add_argument("height", type=float)
    parser.add_argument("output")
    return parser.parse_args(argv)


def main(argv):
    try:
        args = parse(argv)
    except SystemExit:
        return EXIT_USAGE
    office = Office(args.soffice, args.profile, args.connect_timeout)
    outcome = {"status": EXIT_OK, "reason": ""}

    def job():
        try:
            make_report(office, args)
        except Failure as failure:
            outcome.update(status=failure.status, reason=failure.reason)
        except Exception as error:
            outcome.update(status=EXIT_NOT_STORED, reason=str(error))

    # The work runs on a thread so that the main thread stays free to take
    # a signal even while a call into soffice blocks.
    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(number, on_signal)
    say("step started")
    worker = threading.Thread(target=job, daemon=True)
    try:
        worker.start()
        while worker.is_alive():
            worker.join(0.1)
        office.stop()
    except Stopped:
        for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            signal.signal(number, signal.SIG_IGN)
        office.end_group()
        say("error stopped")
        # Not sys.exit: the worker may be stuck in a call into the soffice
        # just ended, and the interpreter would wait for it.
        os._exit(EXIT_STOPPED)
    finally:
        office.end_group()
    if outcome["status"] != EXIT_OK:
        say("error", outcome["reason"])
    return outcome["status"]


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
