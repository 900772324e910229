#pragma once

#include <QString>

// The system side of activation: registering a font file for the login session and
// telling running applications that fonts changed. The default forwards to the
// platform layer; tests put a counting or refusing one in its place.
class FontSystem
{
public:
    virtual ~FontSystem() = default;

    // Number of fonts added, 0 when the file is refused. Called from the start-up
    // activation thread too, so implementations must be thread-safe.
    virtual int registerFontFile(const QString &path);
    // True when the file is no longer registered.
    virtual bool unregisterFontFile(const QString &path);
    virtual void announceFontChange();

    // The platform's registration; stateless and shared.
    static FontSystem &platform();
};
