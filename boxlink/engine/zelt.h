// CZelt: what the backup and restore jobs share. The session and the
// caller's parameters, the progress record and its event, cancellation,
// the session keep-alive, the device layout and the transfer objects.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "boxlink.h"
#include "boxlink/engine/keep_alive.h"
#include "boxlink/engine/layout.h"
#include "boxlink/engine/zip_utility.h"
#include "boxlink/transfer/base_ftp.h"
#include "platform/library.h"

namespace boxlink {

class CZelt {
 public:
  CZelt();
  // Stops the keep-alive, releases the transfer, removes the BOX tree.
  virtual ~CZelt();
  CZelt(const CZelt&) = delete;
  CZelt& operator=(const CZelt&) = delete;

  virtual void PrepareBoxes() = 0;
  // Throws 995 when the cancel event is signalled.
  virtual void CheckCancel();

  // The common start; throws 1327 or 87 for the session's access mode and
  // 1359 when the keep-alive cannot start.
  void Begin(ZBSESSION* session, const char* password, const char* ftp_user,
             const char* work_folder, const char* archive_path,
             uint32_t box_count, const uint32_t* box_numbers,
             ZBEVENT cancel_event, ZBEVENT progress_event,
             BoxJobProgress* progress);

  // Loads the FTP wrapper from "ftpshim.dll" or a folder; a failure only
  // means the plain classes serve.
  void LoadTransferLibrary(const char* location);
  // Sets the layout from the engine version and hands it on.
  void ClassifyLayout();

  // A connected transfer object of the family the engine version calls
  // for; throws 8 when it cannot be made, or the connection's error.
  std::unique_ptr<CBaseFtp> OpenTransfer(bool for_box_transfer);

  // --- Progress.
  void Notify();
  void SetState(uint32_t state);
  void SetPercentFromItems();
  void ClearNames();

  // Seam for tests: replaces the keep-alive touch before Begin.
  void SetKeepAliveTouch(SessionKeepAlive::Touch touch) {
    keep_alive_touch_ = std::move(touch);
  }
  const std::string& password() const { return password_; }
  DeviceLayout layout() const { return layout_.layout; }
  const LayoutPaths& paths() const { return layout_; }
  bool transfer_library_loaded() const { return transfer_library_ != nullptr; }
  CZipUtility& zip() { return zip_; }

 protected:
  std::vector<ZBCOLLECTIONITEM> folder_list_;
  std::vector<ZBCOLLECTIONITEM> document_list_;
  ZBSESSION* session_ = nullptr;
  std::string password_;
  std::string ftp_user_;
  std::string work_folder_;
  std::string archive_path_;
  std::vector<uint32_t> box_numbers_;
  platform::Event* cancel_event_ = nullptr;
  platform::Event* progress_event_ = nullptr;
  BoxJobProgress* progress_ = nullptr;
  std::u16string archive_path_wide_;
  ZBENGINEINFO engine_info_{};
  uint32_t last_system_result_ = 0;
  uint32_t last_service_error_ = 0;
  std::vector<ZBBOXPROPERTY> box_properties_;
  SessionKeepAlive keep_alive_;
  SessionKeepAlive::Touch keep_alive_touch_;
  std::unique_ptr<CBaseFtp> transfer_;
  CZipUtility zip_;
  std::unique_ptr<platform::Library> transfer_library_;
  uint32_t items_done_ = 0;
  uint32_t items_total_ = 0;
  LayoutPaths layout_;
  float transfer_size_ = 0;
  uint32_t start_ticks_ = 0, end_ticks_ = 0;
  bool begun_ = false;
};

// Copies text into a progress name field, cut to fit.
void SetProgressName(char (&field)[512], std::string_view text);

}  // namespace boxlink
