#pragma once

#include <functional>

class QWidget;

// Fades a top-level window's opacity from `from` to `to` in `ms` milliseconds, then runs
// `then`. A fade started while another runs on the same window replaces it (the replaced
// one's `then` never runs), so a window restored during its fade-out stays visible.
void fadeWindow(QWidget *window, double from, double to, int ms,
                const std::function<void()> &then = {});
