# A small IBus engine with a fixed candidate table, for the tests that type into the game
# through a real ibus-daemon. "k" starts a word; "ka" opens the list of its candidates; Space
# or Down selects the next one, Return commits the selected one (or the typed letters),
# Escape drops the word. Every other key, and every key while no word is typed, is passed on.
# The engine shows the list again whenever its context gets the focus back.
# Run by the system python: python3 test_engine.py READY_FILE. READY_FILE is written once the
# engine is the global engine, so that clients made from then on use it.
import sys

import gi

gi.require_version("IBus", "1.0")
from gi.repository import GLib, GObject, IBus  # noqa: E402

TABLE = {"ka": ["か", "カ", "蚊"]}
NAME = "kestrin-test"


class TestEngine(IBus.Engine):
    __gtype_name__ = "KestrinTestEngine"

    def __init__(self, **kwargs):
        super().__init__(**kwargs)
        self.typed = ""
        self.table = IBus.LookupTable.new(5, 0, True, True)

    def candidates(self):
        return TABLE.get(self.typed, [])

    def show(self):
        self.update_preedit_text(IBus.Text.new_from_string(self.typed), len(self.typed), bool(self.typed))
        if self.candidates():
            self.update_lookup_table(self.table, True)
        else:
            self.hide_lookup_table()

    def set_typed(self, typed):
        self.typed = typed
        self.table.clear()
        for word in self.candidates():
            self.table.append_candidate(IBus.Text.new_from_string(word))
        self.show()

    def commit(self):
        words = self.candidates()
        text = words[self.table.get_cursor_pos()] if words else self.typed
        self.set_typed("")
        self.commit_text(IBus.Text.new_from_string(text))

    def do_process_key_event(self, keyval, keycode, state):
        if state & IBus.ModifierType.RELEASE_MASK:
            return False
        if not self.typed:
            if keyval == IBus.KEY_k and not state & IBus.ModifierType.MODIFIER_MASK:
                self.set_typed("k")
                return True
            return False
        if self.candidates() and keyval in (IBus.KEY_space, IBus.KEY_Down):
            self.table.cursor_down()
            self.show()
        elif keyval == IBus.KEY_Return:
            self.commit()
        elif keyval == IBus.KEY_Escape:
            self.set_typed("")
        elif keyval == IBus.KEY_BackSpace:
            self.set_typed(self.typed[:-1])
        elif IBus.KEY_a <= keyval <= IBus.KEY_z:
            self.set_typed(self.typed + chr(keyval))
        else:
            return False
        return True

    def do_focus_in(self):
        if self.typed:
            self.show()


def main():
    ready_file = sys.argv[1]
    IBus.init()
    bus = IBus.Bus()
    loop = GLib.MainLoop()
    engines = []

    def create_engine(factory, name):
        path = "/org/freedesktop/IBus/Engine/Kestrin/%d" % len(engines)
        engine = TestEngine(engine_name=name, object_path=path, connection=bus.get_connection())
        engines.append(engine)
        return engine

    def start(*_):
        factory = IBus.Factory.new(bus.get_connection())
        factory.connect("create-engine", create_engine)
        component = IBus.Component.new(
            "org.kestrin.TestEngine", "Kestrin test engine", "1", "MIT", "Kestrin", "", "", "")
        component.add_engine(IBus.EngineDesc.new(
            NAME, "Kestrin test", "Kestrin test", "ja", "MIT", "Kestrin", "", "us"))
        bus.register_component(component)
        select()

    def select():
        # The daemon asks this process for the engine while it sets it: the call must not block.
        bus.set_global_engine_async(NAME, -1, None, selected)

    def selected(source, result):
        try:
            done = bus.set_global_engine_async_finish(result)
        except GLib.Error:
            done = False
        engine = bus.get_global_engine() if done else None
        if engine is None or engine.get_name() != NAME:
            # The component may not be in yet: ask again.
            GLib.timeout_add(20, lambda: select() and False)
            return
        with open(ready_file, "w") as out:
            out.write("ready\n")

    bus.connect("disconnected", lambda *_: loop.quit())
    if bus.is_connected():
        start()
    else:
        bus.connect("connected", start)
    loop.run()


main()
