# /np for HexChat: says in the current tab what Tunelark plays now, as the player's own link would
# say it. It reads the player's Line over the session bus with busctl (package systemd), in a
# process of its own, and looks for its answer on a timer, so HexChat never waits on the player.
import json
import subprocess
import time

import hexchat

__module_name__ = "tunelark_np"
__module_version__ = "1.0"
__module_description__ = "/np: что играет в Tunelark, в текущий канал"

ASK = ["busctl", "--user", "--json=short", "--timeout=3", "--auto-start=no", "get-property",
       "org.tunelark.Player", "/org/tunelark/Player", "org.tunelark.Player", "Line"]
WAIT_S = 5
POLL_MS = 50
NOTHING = "Tunelark: сейчас ничего не играет."
NOT_RUNNING = "Tunelark не запущен или не отвечает: сказать нечего."
NO_TOOL = "Tunelark: нет программы busctl (пакет systemd), спросить не получилось."


def as_the_bus_link_sends(line):
    # A line break would run what follows as a command of its own.
    line = line.replace("\r", " ").replace("\n", " ").replace("\0", " ")
    # As the player's link: a line that begins with "/" is that command ("/me" makes an action),
    # any other is said.
    return line[1:] if line.startswith("/") else "say " + line


def line_of(output):
    try:
        value = json.loads(output.decode("utf-8"))
    except ValueError:
        return None
    if not isinstance(value, dict) or value.get("type") != "s" or not isinstance(value.get("data"), str):
        return None
    return value["data"]


def np(word, word_eol, userdata):
    where = {"server": hexchat.get_info("server"), "channel": hexchat.get_info("channel")}
    try:
        process = subprocess.Popen(ASK, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL)
    except OSError:
        hexchat.prnt(NO_TOOL)
        return hexchat.EAT_ALL
    deadline = time.monotonic() + WAIT_S

    def look(userdata):
        if process.poll() is None and time.monotonic() < deadline:
            return True  # asked again on the next tick
        if process.poll() is None:
            process.kill()
            process.wait()
        output = process.stdout.read()
        process.stdout.close()
        context = hexchat.find_context(**where)
        if context is None:
            return False  # the tab was closed meanwhile
        line = line_of(output) if process.returncode == 0 else None
        if line is None:
            context.prnt(NOT_RUNNING)
        elif not line.strip():
            context.prnt(NOTHING)
        else:
            context.command(as_the_bus_link_sends(line))
        return False

    hexchat.hook_timer(POLL_MS, look)
    return hexchat.EAT_ALL


hexchat.hook_command("np", np, help="/np: сказать в текущий канал, что играет в Tunelark")
