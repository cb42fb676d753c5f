// keeper: backs up and restores the document boxes of a networked
// multifunction printer. It reads no command line.
#include <QApplication>

#include "keeper/ui/keeper_app.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("keeper");
  // The desktop entry it is started from (packaging/, ZELT_APP_ID).
  QApplication::setDesktopFileName("org.tarnkeeper.keeper");
  keeper::CTARNBackupRestoreApp keeper;
  return keeper.Run();
}
