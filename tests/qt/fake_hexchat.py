#!/usr/bin/python3
"""Stands in for HexChat's remote control on the session bus, for the link's tests.

Owns org.hexchat.service with /org/hexchat/Remote, writes each call it gets to --log, one per
line (method and arguments separated by tabs), prints "ready <bus address>" once the name is
owned, and exits when its standard input closes, so it never outlives the test that started it.
"""
import argparse
import os
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

SERVICE = "org.hexchat.service"
CONNECTION = "org.hexchat.connection"
PLUGIN = "org.hexchat.plugin"
CONTEXT_ID = 7


class Log:
    def __init__(self, path):
        self.file = open(path, "a", encoding="utf-8")

    def write(self, *fields):
        self.file.write("\t".join(str(f) for f in fields) + "\n")
        self.file.flush()


class Client(dbus.service.Object):
    """The object a client gets from Connect."""

    def __init__(self, bus, path, log, options):
        super().__init__(bus, path)
        self.log = log
        self.options = options

    @dbus.service.method(PLUGIN, in_signature="ss", out_signature="u")
    def FindContext(self, server, channel):
        self.log.write("FindContext", server, channel)
        return dbus.UInt32(CONTEXT_ID)

    @dbus.service.method(PLUGIN, in_signature="u", out_signature="b")
    def SetContext(self, context):
        self.log.write("SetContext", int(context))
        return not self.options.refuse_context

    @dbus.service.method(PLUGIN, in_signature="s", out_signature="",
                         async_callbacks=("reply", "error"))
    def Command(self, command, reply, error):
        self.log.write("Command", command)
        if not self.options.hang:
            reply()

    @dbus.service.method(CONNECTION, in_signature="", out_signature="")
    def Disconnect(self):
        self.log.write("Disconnect")
        self.remove_from_connection()


class Remote(dbus.service.Object):
    def __init__(self, bus, log, options):
        super().__init__(bus, "/org/hexchat/Remote")
        self.bus = bus
        self.log = log
        self.options = options
        self.clients = 0

    @dbus.service.method(CONNECTION, in_signature="ssss", out_signature="s")
    def Connect(self, filename, name, desc, version):
        self.log.write("Connect", filename, name, desc, version)
        self.clients += 1
        path = "/org/hexchat/Remote/%d" % self.clients
        Client(self.bus, path, self.log, self.options)
        return "no such path" if self.options.bad_path else path


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--log", required=True)
    parser.add_argument("--hang", action="store_true", help="never answer Command")
    parser.add_argument("--refuse-context", action="store_true",
                        help="answer SetContext with false, as for a closed tab")
    parser.add_argument("--bad-path", action="store_true",
                        help="answer Connect with text that is not an object path")
    parser.add_argument("--no-name", action="store_true",
                        help="stay on the bus without owning the service name")
    options = parser.parse_args()

    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    log = Log(options.log)
    loop = GLib.MainLoop()
    if not options.no_name:
        name = dbus.service.BusName(SERVICE, bus, do_not_queue=True)  # noqa: F841 (kept alive)
        Remote(bus, log, options)

    def on_stdin(fd, condition):
        if condition & (GLib.IO_HUP | GLib.IO_ERR) or not os.read(fd, 4096):
            loop.quit()
            return False
        return True

    GLib.io_add_watch(sys.stdin.fileno(), GLib.IO_IN | GLib.IO_HUP | GLib.IO_ERR, on_stdin)
    print("ready", os.environ["DBUS_SESSION_BUS_ADDRESS"], flush=True)
    loop.run()


if __name__ == "__main__":
    main()
