// What the box CGIs of the simulated device share: reading their fields,
// checking passwords, writing reply elements.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "devsim/core/box_store.h"
#include "devsim/web/cgi_table.h"

namespace devsim::web {

// Result codes these CGIs answer with, besides kResultBadSession.
inline constexpr int kResultOk = 0;
inline constexpr int kResultBadPassword = 2;
inline constexpr int kResultBadRequest = 3;
inline constexpr int kResultNoSuchPath = 101;
inline constexpr int kResultBusy = 203;

// "F0000005" (with prefix 'F'), "5" -> 5; nullopt for anything else.
std::optional<uint32_t> FieldNumber(std::string_view text, char prefix = 0);

// "<name>escaped value</name>".
std::string Tag(std::string_view name, std::string_view value);
std::string Tag(std::string_view name, uint64_t value);

std::string Extra(const CgiContext& ctx, const std::string& key,
                  std::string fallback = "");

// The restricted web session (connect Result 4) has id 1.
bool Restricted(const CgiContext& ctx);

// PWD as the administrator's: plain, its digest form, or the service
// password. A device without an administrator password takes anything, and
// so does the restricted session, which sends none.
bool AdminPasswordOk(const CgiContext& ctx);

// The box named by BNO whose password PWD gives (its own or the
// administrator's); *result says why not.
std::optional<BoxInfo> RequestedBox(const CgiContext& ctx, int* result);

// A folder field: empty is the top level; a number in either form; or a
// top-level folder's name (the storage layout names its items).
std::optional<uint32_t> FolderOf(BoxStore& store, uint32_t box,
                                 std::string_view text);
std::optional<uint32_t> DocumentOf(BoxStore& store, uint32_t box,
                                   uint32_t folder, std::string_view text);

// The device clock, in seconds since 1970, from the platform clock.
uint32_t DeviceNow();

// The engines that keep last backup dates: the storage generation and the
// "Series" engines before it.
bool ReportsLastBackupDate(const Profile& profile);

}  // namespace devsim::web
