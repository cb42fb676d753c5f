// keeper: backs up and restores the document boxes of a networked
// multifunction printer. It reads no command line.
#include <QApplication>

#include "keeper/ui/keeper_app.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("keeper");
  QApplication::setDesktopFileName("keeper");
  keeper::CTARNBackupRestoreApp keeper;
  return keeper.Run();
}
