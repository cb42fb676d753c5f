// Pictures of the Backup and Restore pages for the gallery: both pages
// empty and filled, a backup and a restore at about 40 % over the main
// window, the messages of the pages' checks and every result message.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace desktop {
class LanguageLibrary;
}

namespace keeper {

// shoot(widget, name) renders one picture named
// keeper-<window>-<state>-<language>.
using ShootFn = std::function<void(QWidget*, const QString&)>;

void ShootPages(const ShootFn& shoot, const desktop::LanguageLibrary& lang,
                const QString& language);

}  // namespace keeper
