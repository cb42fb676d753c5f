// finder's windows in their typical states, for the screenshot gallery
// (keeper/ui's zelt_gallery). Each picture is handed to `shoot` with its
// name "finder-<window>-<state>-<language>".
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace desktop {
class LanguageLibrary;
}

namespace finder::ui {

using ShootFn = std::function<void(QWidget* window, const QString& name)>;

// Runs with a private registry of its own: nothing of the user's settings
// is read or written.
void ShootFinderWindows(const desktop::LanguageLibrary& lang, const ShootFn& shoot);

}  // namespace finder::ui
