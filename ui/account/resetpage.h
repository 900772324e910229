#pragma once

#include <QUrl>

#include <functional>

class QWidget;

// Opens the password-reset page in the web browser. Without a browser that takes it, a
// message shows the address with its text selectable, so the user can copy it.
// Returns true when the browser took it. `opener` replaces the browser in tests.
bool openPasswordResetPage(QWidget *parent,
                           const std::function<bool(const QUrl &)> &opener = nullptr);

// The text of that message.
QString resetPageMessage(const QUrl &page);
