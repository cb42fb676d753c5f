// What the Backup and Restore pages need from the main window around them:
// the connection's state, the device's boxes, the modal run of a job in the
// progress dialog, and the few things a run's result changes in the window.
// The Qt main window supplies it; tests of the pages' logic script it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "desktop/screen.h"
#include "keeper/app/device_link.h"
#include "keeper/app/job_frame.h"

namespace keeper {

class PageHost {
 public:
  virtual ~PageHost() = default;

  // The connection as the main window knows it.
  virtual bool connected() const = 0;
  // The device runs an engine of the older generation: full backups only.
  virtual bool old_generation() const = 0;
  // The result of opening the session (1: a restricted session).
  virtual uint32_t open_result() const = 0;
  // The device's box list as last read.
  virtual std::vector<BoxEntry> boxes() const = 0;
  // The text of the device's row in the Backup page's list.
  virtual std::string device_row_text() const = 0;
  // The connected device's engine version string; empty when not
  // connected.
  virtual std::string engine_version() const = 0;
  // The device's address, for error texts.
  virtual std::string address() const = 0;
  // An automatic backup is set and waiting for its time.
  virtual bool automatic_pending() const { return false; }
  // The action button while an automatic backup is pending: it asks to
  // stop the schedule instead of starting a backup.
  virtual void StopAutomaticBackup() {}

  // The reconnection after a backup reuses the credential of the running
  // session (a restricted one).
  virtual void SetSkipBackup() = 0;
  // Runs the job in the progress dialog, modally; returns after clean-up.
  virtual JobResult RunJob(const JobRequest& request) = 0;
  // The message part of the main status bar.
  virtual void SetStatusText(const desktop::UiText& text) = 0;
  virtual void SetWaitCursor(bool on) = 0;
  // Refresh of the main window: reconnect, read the box list, fill the
  // pages again.
  virtual void Refresh() = 0;
  // A run lost the device: the window's disconnected state.
  virtual void EnterDisconnected() = 0;
  // After a restore: the box list read again and the Backup page filled
  // again (no Refresh).
  virtual void ReadBoxListAgain() = 0;
  // The device's storage type for a disk-full message; false when it
  // cannot be asked.
  virtual bool StorageType(uint32_t* type) = 0;
  // The last-access time given to restored documents, seconds since 1970.
  virtual int32_t RestoreTime() = 0;
};

}  // namespace keeper
