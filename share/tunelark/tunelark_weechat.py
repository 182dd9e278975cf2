# /np for WeeChat: says in the current buffer what Tunelark plays now, as the player's own link
# would say it. It reads the player's Line over the session bus with busctl (package systemd), in a
# process of its own, so WeeChat never waits on the player.
import json
import shutil

import weechat

ASK = ["busctl", "--user", "--json=short", "--timeout=3", "--auto-start=no", "get-property",
       "org.tunelark.Player", "/org/tunelark/Player", "org.tunelark.Player", "Line"]
WAIT_MS = 5000
NOTHING = "Tunelark: сейчас ничего не играет."
NOT_RUNNING = "Tunelark не запущен или не отвечает: сказать нечего."
NO_TOOL = "Tunelark: нет программы busctl (пакет systemd), спросить не получилось."

outputs = {}  # what each question's busctl printed so far
asked = 0


def as_the_fifo_sends(line):
    # A line break would run what follows as a command of its own.
    return line.replace("\r", " ").replace("\n", " ").replace("\0", " ")


def buffer_open(buffer):
    hdata = weechat.hdata_get("buffer")
    return weechat.hdata_check_pointer(hdata, weechat.hdata_get_list(hdata, "gui_buffers"), buffer)


def line_of(output):
    try:
        value = json.loads(output)
    except ValueError:
        return None
    if not isinstance(value, dict) or value.get("type") != "s" or not isinstance(value.get("data"), str):
        return None
    return value["data"]


def answered(data, command, rc, out, err):
    outputs[data] = outputs.get(data, "") + out
    if rc == weechat.WEECHAT_HOOK_PROCESS_RUNNING:
        return weechat.WEECHAT_RC_OK
    output = outputs.pop(data, "")
    buffer = data.split(" ", 1)[0]
    if not buffer_open(buffer):
        return weechat.WEECHAT_RC_OK
    # Not 0: no player on the bus, or none answered in time.
    line = line_of(output) if rc == 0 else None
    if line is None:
        weechat.prnt(buffer, NOT_RUNNING)
    elif not line.strip():
        weechat.prnt(buffer, NOTHING)
    else:
        # As the player's fifo link: a line that begins with "/" runs as that command ("/me"
        # makes an action), any other is said as text.
        weechat.command(buffer, as_the_fifo_sends(line))
    return weechat.WEECHAT_RC_OK


def np(data, buffer, args):
    global asked
    if not shutil.which(ASK[0]):
        weechat.prnt(buffer, NO_TOOL)
        return weechat.WEECHAT_RC_OK
    asked += 1
    options = {"arg%d" % (i + 1): arg for i, arg in enumerate(ASK[1:])}
    weechat.hook_process_hashtable(ASK[0], options, WAIT_MS, "answered", "%s %d" % (buffer, asked))
    return weechat.WEECHAT_RC_OK


if weechat.register("tunelark_np", "Tunelark", "1.0", "MIT",
                    "/np: что играет в Tunelark, в текущий канал", "", ""):
    weechat.hook_command("np", "сказать в текущий канал, что играет в Tunelark", "", "", "", "np", "")
