// How the gallery draws a window as a user sees it: laid out and settled,
// under a plain title bar of its own (the offscreen platform draws none),
// and a dialog over its dimmed window.
#pragma once

#include <QLabel>
#include <QPixmap>
#include <QWidget>

#include <memory>

namespace keeper::gallery {

// Lets the event loop run for `ms`: layouts, timers, background loads.
void Settle(int ms = 150);
// The widget's picture under a title bar with its window title.
QPixmap Framed(QWidget* widget);
// The window dimmed, with the dialog framed in its middle, as one widget
// the gallery shoots under the window's title.
std::unique_ptr<QLabel> Over(QWidget* window, QWidget* dialog);

}  // namespace keeper::gallery
