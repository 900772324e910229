#pragma once

#include <QString>

// The family the system picks for sans-serif text in Simplified Chinese, whatever the
// locale: the interface is Chinese, and under another locale the default face lacks the
// simplified-only characters, which would then come from another face mid-word. Empty
// when no installed face covers Simplified Chinese.
QString simplifiedChineseFamily();
