// The CGIs the simulated web server answers, in one table that every CGI
// file adds to at start-up:
//
//   // devsim/web/box_cgis.cc
//   #include "devsim/web/cgi_table.h"
//   namespace devsim::web {
//   namespace {
//   CgiAnswer GetBoxList(CgiContext& ctx) {
//     if (!ctx.SessionValid()) return ctx.Reply(kResultBadSession);
//     return ctx.Reply(0, "<Boxes NumOfBoxes=\"0\"></Boxes>");
//   }
//   }  // namespace
//   DEVSIM_WEB_CGI(boxnwGetBoxList, "/TarnBox/Admin/boxnwGetBoxList", GetBoxList);
//   }  // namespace devsim::web
//
// The server records the request, applies the faults armed for the CGI,
// and calls the handler with the request's parameters (query of a GET or
// body of a POST, already split and percent-decoded). See docs/devsim-web.md.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace devsim {
class Device;
}

namespace devsim::web {

class WebService;

// Result code for a request whose SID names no open web session.
inline constexpr int kResultBadSession = 3;

struct CgiAnswer {
  int status = 200;
  std::string body;
  std::string content_type = "text/xml";
};

struct CgiContext {
  Device& device;
  WebService& web;
  std::string name;    // the CGI's name, e.g. "boxnwConnect"
  std::string method;  // "GET" or "POST"
  std::string raw;     // the query text as it arrived (GET) or the body (POST)
  std::multimap<std::string, std::string> params;  // decoded, in order

  // The first value of a parameter, or nullopt-like empty with *found false.
  std::string Param(std::string_view key, bool* found = nullptr) const;
  bool Has(std::string_view key) const;
  // SID names a web session the device opened and has not closed.
  bool SessionValid() const;
  uint32_t Sid() const;

  // A BoxNwLib reply: Header/Version from the profile, Message/Result, and
  // `message_xml` after Result inside Message.
  CgiAnswer Reply(int result, std::string_view message_xml = "") const;
};

using CgiHandler = std::function<CgiAnswer(CgiContext&)>;

struct CgiEntry {
  std::string name;  // fault point "web.<name>"
  std::string path;
  CgiHandler handler;
};

// Adding a path twice replaces the earlier entry.
void RegisterCgi(CgiEntry entry);
// Null when no CGI serves that path.
const CgiEntry* FindCgi(std::string_view path);
std::vector<std::string> RegisteredCgiPaths();

// Text escaped for XML element content.
std::string XmlEscape(std::string_view text);
// "a=1&b=%41" -> {a:1, b:A}; '+' stays '+'.
std::multimap<std::string, std::string> ParseParams(std::string_view text);

namespace internal {
struct CgiRegistration {
  CgiRegistration(const char* name, const char* path, CgiHandler handler) {
    RegisterCgi({name, path, std::move(handler)});
  }
};
}  // namespace internal

}  // namespace devsim::web

#define DEVSIM_WEB_CGI(name, path, handler)                                  \
  static const ::devsim::web::internal::CgiRegistration                      \
      devsim_web_cgi_##name(#name, path, handler)
