// A main window for tests of its logic: keeps what it was told, answers the
// dialogs of device selection from a script, and logs every call in order.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "keeper/app/discovered_devices.h"
#include "keeper/app/main_view.h"

namespace keeper {

class FakeMainView final : public MainView {
 public:
  // State as last told.
  desktop::UiText status;
  std::optional<bool> connection_icon;
  std::string address;
  bool window_shown = true;
  bool closed = false;
  int connecting_open = 0;  // how many connection dialogs are open
  int connecting_shown = 0;  // how many were opened
  int wait_cursor = 0;
  std::optional<MenuState> menu;
  Page page = Page::kBackup;
  int refreshes = 0;
  int disconnected = 0;
  int about = 0;
  std::vector<Page> jobs;
  std::vector<std::string> log;

  // Answers of the device-not-found dialog; empty answers OK.
  std::deque<NotFoundChoice> not_found_answers;
  int not_found_shown = 0;
  // Runs the discovered-device list: the row to choose and whether OK is
  // pressed; nullopt cancels. Without a script the dialog is cancelled.
  std::function<bool(DiscoveredDeviceList&)> device_list;

  void SetStatusText(const desktop::UiText& text) override {
    status = text;
    log.push_back("status " + std::to_string(text.id));
  }
  void SetConnectionIcon(bool connected) override {
    connection_icon = connected;
  }
  void SetAddress(const std::string& a) override {
    address = a;
    log.push_back("address " + a);
  }
  void SetWaitCursor(bool on) override { wait_cursor += on ? 1 : -1; }
  void ShowConnecting(bool shown) override {
    connecting_open += shown ? 1 : -1;
    if (shown) ++connecting_shown;
    log.push_back(shown ? "connecting" : "connected");
  }
  void ShowMainWindow(bool shown) override {
    window_shown = shown;
    log.push_back(shown ? "show" : "hide");
  }
  void RefreshPages() override {
    ++refreshes;
    log.push_back("refresh");
  }
  void EnterDisconnected() override {
    ++disconnected;
    connection_icon = false;
    log.push_back("disconnected");
  }
  void ApplyMenuState(const MenuState& state) override { menu = state; }
  Page CurrentPage() const override { return page; }
  NotFoundChoice ShowDeviceNotFound() override {
    ++not_found_shown;
    log.push_back("not found");
    if (not_found_answers.empty()) return NotFoundChoice::kOk;
    NotFoundChoice c = not_found_answers.front();
    not_found_answers.pop_front();
    return c;
  }
  bool RunDiscoveredDeviceList(DiscoveredDeviceList& list) override {
    log.push_back("device list");
    return device_list ? device_list(list) : false;
  }
  void ShowAbout() override { ++about; }
  void RunPageJob(Page p) override { jobs.push_back(p); }
  void CloseWindow() override { closed = true; }
};

}  // namespace keeper
