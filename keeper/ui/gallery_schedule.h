// Pictures of the automatic backup for the gallery: the schedule dialog,
// the main window with a schedule set, and a run's result over it.
#pragma once

#include "keeper/ui/gallery_pages.h"

namespace keeper {

void ShootSchedule(const ShootFn& shoot, const desktop::LanguageLibrary& lang,
                   const QString& language);

}  // namespace keeper
