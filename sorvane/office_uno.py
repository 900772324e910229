# Run by libSorvane with Debian's python3 (-X utf8 -I -c): talks to the user's own running
# office suite through its named pipe, which it opens only after the user allowed it.
#
#   argv: PIPE writer|impress probe
#         PIPE writer|impress apply FAMILY STYLE BOLD(0|1) ITALIC(0|1)
#
# Prints one word a line as it gets further, so that the library can tell where it stopped:
# "missing" (no UNO bindings), "unreachable", "connected", "nodocument", "document", then,
# after applying, the font the application itself now reports for the selection:
#   family "…" / style "…" / bold true|false / italic true|false
import json
import os
import sys

KINDS = {
    "writer": "com.sun.star.text.TextDocument",
    "impress": "com.sun.star.presentation.PresentationDocument",
}


def say(*words):
    sys.stdout.write(" ".join(words) + "\n")
    sys.stdout.flush()


def is_kind(component, service):
    try:
        return (component is not None and component.supportsService(service)
                and component.getCurrentController() is not None)
    except Exception:
        return False


def current_document(desktop, service):
    # The document last used in the suite comes first; otherwise the first open one of
    # that kind, as the suite lists them.
    current = desktop.getCurrentComponent()
    if is_kind(current, service):
        return current
    components = desktop.getComponents().createEnumeration()
    while components.hasMoreElements():
        component = components.nextElement()
        if is_kind(component, service):
            return component
    return None


def main(argv):
    pipe, kind, mode = argv[1], argv[2], argv[3]
    try:
        import uno
        import unohelper
        from com.sun.star.beans import PropertyValue
        from com.sun.star.frame import XStatusListener
    except ImportError:
        say("missing")
        return

    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext(
        "com.sun.star.bridge.UnoUrlResolver", local)
    try:
        ctx = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
    except Exception:
        say("unreachable")
        return
    say("connected")

    smgr = ctx.ServiceManager
    desktop = smgr.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)
    doc = current_document(desktop, KINDS[kind])
    if doc is None:
        say("nodocument")
        return
    say("document")
    if mode != "apply":
        return
    family, style, bold, italic = argv[4], argv[5], argv[6] == "1", argv[7] == "1"

    # The same commands as the suite's own font box and buttons: they act on the selected
    # text, on selected shapes, or at the cursor, for the scripts the selection holds.
    frame = doc.getCurrentController().getFrame()
    transformer = smgr.createInstanceWithContext("com.sun.star.util.URLTransformer", ctx)

    def command(name):
        url = uno.createUnoStruct("com.sun.star.util.URL")
        url.Complete = name
        return transformer.parseStrict(url)[1]

    def arg(name, value):
        p = PropertyValue()
        p.Name = name
        p.Value = value
        return p

    def run(name, *args):
        url = command(name)
        dispatcher = frame.queryDispatch(url, "", 0)
        if dispatcher is None:
            raise RuntimeError(name + " is not available here")
        dispatcher.dispatch(url, tuple(args))

    class State(unohelper.Base, XStatusListener):
        value = None

        def statusChanged(self, event):
            self.value = event.State

        def disposing(self, event):
            pass

    def state(name):
        url = command(name)
        dispatcher = frame.queryDispatch(url, "", 0)
        if dispatcher is None:
            return None
        listener = State()
        dispatcher.addStatusListener(listener, url)  # answers at once with the state
        dispatcher.removeStatusListener(listener, url)
        return listener.value

    run(".uno:CharFontName", arg("CharFontName.FamilyName", family),
        arg("CharFontName.StyleName", style))
    run(".uno:Bold", arg("Bold", bold))
    run(".uno:Italic", arg("Italic", italic))

    font = state(".uno:CharFontName")
    say("family", json.dumps(getattr(font, "Name", ""), ensure_ascii=False))
    say("style", json.dumps(getattr(font, "StyleName", ""), ensure_ascii=False))
    for name in ("bold", "italic"):
        value = state(".uno:" + name.capitalize())
        if isinstance(value, bool):
            say(name, "true" if value else "false")


if __name__ == "__main__":
    try:
        main(sys.argv)
    except Exception as e:  # reported, never a traceback the library would have to read
        say("error", json.dumps(type(e).__name__, ensure_ascii=False))
    # The bindings can crash while the interpreter tears the bridge down; all is said by now.
    sys.stdout.flush()
    os._exit(0)
