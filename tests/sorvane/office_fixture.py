# Documents in the private LibreOffice of the office test and bench: PIPE open | collapse |
# saved KIND PATH (prints the fonts the stored text is set in) | close KIND | quit
import re
import sys
import zipfile

import uno

SERVICES = {"writer": "com.sun.star.text.TextDocument",
            "impress": "com.sun.star.presentation.PresentationDocument"}


def documents(desktop, kind):
    e = desktop.getComponents().createEnumeration()
    every = [e.nextElement() for _ in iter(e.hasMoreElements, False)]
    return [c for c in every if c.supportsService(SERVICES[kind])]


def main(pipe, command, *rest):
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext(
        "com.sun.star.bridge.UnoUrlResolver", local)
    ctx = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
    desktop = ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)
    if command == "open":
        writer = desktop.loadComponentFromURL("private:factory/swriter", "_blank", 0, ())
        writer.getText().setString("Hello quick brown fox")
        cursor = writer.getCurrentController().getViewCursor()
        cursor.gotoStart(False)
        cursor.goRight(6, False)
        cursor.goRight(5, True)  # "quick"
        impress = desktop.loadComponentFromURL("private:factory/simpress", "_blank", 0, ())
        title = impress.getDrawPages().getByIndex(0).getByIndex(0)
        title.setString("Slide title")
        impress.getCurrentController().select(title)
    elif command == "collapse":  # nothing selected, the cursor before "quick"
        documents(desktop, "writer")[0].getCurrentController().getViewCursor().collapseToStart()
    elif command == "saved":
        kind, path = rest
        documents(desktop, kind)[0].storeToURL(uno.systemPathToFileUrl(path), ())
        content = zipfile.ZipFile(path).read("content.xml").decode("utf-8")
        for name in sorted(set(re.findall(r'style:font-name="([^"]*)"', content))):
            print(name)
    elif command == "close":
        for doc in documents(desktop, rest[0]):
            doc.close(True)
    elif command == "quit":
        desktop.terminate()
    print("done")


main(*sys.argv[1:])
