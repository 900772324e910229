#pragma once

class QWidget;

// Shows a window that may be minimised or behind others and asks for the focus. On Wayland,
// where a client can neither raise nor un-minimise itself, the window is mapped afresh,
// which compositors show on top.
void bringToFront(QWidget *window);
