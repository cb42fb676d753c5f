// The box, folder and document queries: engine information, box list, box
// property, folder and document lists, disk space.
#include <cstring>

#include "boxlink.h"
#include "boxlink/client/box_replies.h"
#include "boxlink/client/cgi.h"
#include "boxlink/client/connection.h"
#include "boxlink/client/engine_cache.h"
#include "boxlink/base/logger.h"
#include "boxlink/client/query_texts.h"
#include "platform/last_error.h"

namespace boxlink {
namespace {

static_assert(sizeof(EngineInfoRecord) == sizeof(ZBENGINEINFO));
static_assert(offsetof(EngineInfoRecord, CurrentTime) ==
              offsetof(ZBENGINEINFO, CurrentTime));

constexpr CgiOptions kPlain{};

// The list CGIs fail the session's Alive flag when the connection is gone:
// the caller then knows not to wait for a device that will not answer.
template <typename Fn>
auto ClearingAliveOnLostConnection(ZBSESSION& session, Fn&& fn) {
  try {
    return fn();
  } catch (const BoxError& e) {
    MarkSessionLostOn(&session, e.code());
    throw;
  }
}

uint32_t FillEngineCache(ZBSESSION* session, const char* password,
                         EngineInfoRecord* info) {
  return zbBoxGetEngineInfo(session, password,
                            reinterpret_cast<ZBENGINEINFO*>(info));
}

// The version gate fills an empty engine cache through this export.
[[maybe_unused]] const bool kFillInstalled = [] {
  SetEngineInfoFill(&FillEngineCache);
  return true;
}();

std::string CallerPassword(const char* password) {
  return password ? std::string(password) : std::string();
}

ZBBLOCK CollectionExport(const char* name, ZBSESSION* session, uint32_t box,
                         const char* password, uint32_t folder,
                         uint32_t* count, ZBCOLLECTIONITEM** items,
                         const uint32_t* since, const char* folder_id) {
  return RunCgiHandleExport(name, session, [&](CgiCall& cgi) {
    if (!count || !items) Raise(ZB_ERR_INVALID_PARAMETER);
    const bool restricted = cgi.restricted();
    std::string pwd =
        restricted ? CallerPassword(password) : cgi.Password(password);
    CgiReply reply = cgi.Send(
        kCgiFolderDocList,
        FolderDocListQuery(cgi.sid(), box, pwd, folder, restricted,
                           folder_id ? folder_id : ""));
    platform::UniqueBlock block =
        ParseCollection(reply.doc(), restricted, since, count);
    *items = static_cast<ZBCOLLECTIONITEM*>(platform::BlockLock(block.get()));
    return block.release();
  });
}

}  // namespace
}  // namespace boxlink

using namespace boxlink;

ZB_API uint32_t zbBoxGetEngineInfo(ZBSESSION* session, const char* password,
                                   ZBENGINEINFO* info) {
  // No version gate here: this is what fills it. An empty cache reads as a
  // GET engine.
  if (!SessionIsOpen(session)) return ZB_ERR_INVALID_PARAMETER;
  return RunGuarded("zbBoxGetEngineInfo", [&] {
    if (!info) Raise(ZB_ERR_INVALID_PARAMETER);
    CgiCall cgi(session);
    std::string query;
    if (cgi.restricted()) {
      query = EngineInfoQuery(cgi.sid(), nullptr, true);
    } else if (!password) {
      query = EngineInfoQuery(cgi.sid(), nullptr, false);
    } else {
      query = EngineInfoQuery(cgi.sid(), cgi.Password(password).c_str(), false);
    }
    CgiReply reply = cgi.Send(kCgiEngineVersion, query, kPlain);
    // Read into a copy so that a reply missing a field leaves the record
    // (which may be the engine cache) as it was.
    ZBENGINEINFO fresh{};
    ParseEngineInfo(reply.doc(), &fresh);
    std::memcpy(info, &fresh, sizeof fresh);
  });
}

ZB_API ZBBLOCK zbBoxGetBoxList(ZBSESSION* session, uint32_t* count,
                               ZBBOX** list) {
  if (SessionIsOpen(session) && session->AccessMode == ZB_ACCESS_REFUSED) {
    CLogger::LogError("zbBoxGetBoxList", ZB_ERR_ACCOUNT_RESTRICTION);
    platform::SetLastError(ZB_ERR_ACCOUNT_RESTRICTION);
    return nullptr;
  }
  return RunCgiHandleExport("zbBoxGetBoxList", session, [&](CgiCall& cgi) {
    return ClearingAliveOnLostConnection(cgi.session(), [&] {
      if (!count || !list) Raise(ZB_ERR_INVALID_PARAMETER);
      CgiReply reply = cgi.Send(kCgiBoxList, BoxListQuery(cgi.sid()));
      platform::UniqueBlock block =
          ParseBoxList(reply.doc(), cgi.restricted(), count);
      *list = static_cast<ZBBOX*>(platform::BlockLock(block.get()));
      return block.release();
    });
  });
}

ZB_API uint32_t zbBoxGetBoxProperty(ZBSESSION* session, uint32_t boxNo,
                                    const char* password,
                                    ZBBOXPROPERTY* property) {
  return RunCgiExport("zbBoxGetBoxProperty", session, [&](CgiCall& cgi) {
    if (!property) Raise(ZB_ERR_INVALID_PARAMETER);
    std::string pwd =
        cgi.restricted() ? CallerPassword(password) : cgi.Password(password);
    CgiOptions options;
    options.no_encoding = true;
    CgiReply reply = cgi.Send(kCgiBoxProperty,
                              BoxPropertyQuery(cgi.sid(), boxNo, pwd), options);
    ParseBoxProperty(reply.bytes(), reply.doc(), cgi.restricted(), property);
  });
}

ZB_API ZBBLOCK zbBoxGetCollection(ZBSESSION* session, uint32_t boxNo,
                                  const char* password, uint32_t folderNo,
                                  uint32_t* count, ZBCOLLECTIONITEM** items,
                                  const char* folderIdText) {
  return CollectionExport("zbBoxGetCollection", session, boxNo, password,
                          folderNo, count, items, nullptr, folderIdText);
}

ZB_API ZBBLOCK zbBoxGetCollectionByTime(ZBSESSION* session, uint32_t boxNo,
                                        const char* password,
                                        uint32_t folderNo, uint32_t* count,
                                        ZBCOLLECTIONITEM** items,
                                        const uint32_t* since,
                                        const char* folderIdText) {
  // Without a time nothing is left out (rather than reading through null).
  return CollectionExport("zbBoxGetCollectionByTime", session, boxNo,
                          password, folderNo, count, items, since,
                          folderIdText);
}

ZB_API uint32_t zbBoxGetBoxDiskSpace(ZBSESSION* session, const char* password,
                                     uint32_t* capacity, uint32_t* available) {
  return RunCgiExport("zbBoxGetBoxDiskSpace", session, [&](CgiCall& cgi) {
    if (!capacity || !available) Raise(ZB_ERR_INVALID_PARAMETER);
    std::string pwd = cgi.restricted() ? std::string() : cgi.Password(password);
    CgiReply reply = cgi.Send(
        kCgiBoxDiskSpace, DiskSpaceQuery(cgi.sid(), pwd, cgi.restricted()));
    ParseDiskSpace(reply.doc(), capacity, available);
  });
}
