#include "platform/messages.h"

#include <algorithm>
#include <iterator>

namespace platform {
namespace {

struct Message {
  uint32_t code;
  const char* text;
};

// Sorted by code. Our own concise wording of what each code means in the
// system error space, plus the codes of the HTTP/FTP client layer and the
// socket layer that the library passes on.
constexpr Message kMessages[] = {
    {0, "The operation completed successfully."},
    {1, "Incorrect function."},
    {2, "The file could not be found."},
    {3, "The path could not be found."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough memory is available to complete the operation."},
    {11, "The data has an incorrect format."},
    {12, "The access code is invalid."},
    {13, "The data is invalid."},
    {18, "There are no more files."},
    {32, "The file is being used by another process."},
    {39, "The disk is full."},
    {50, "The request is not supported."},
    {58, "The server cannot perform the requested operation."},
    {80, "The file already exists."},
    {82, "The directory or file cannot be created."},
    {87, "The parameter is incorrect."},
    {100, "No more semaphores can be created."},
    {112, "There is not enough space on the disk."},
    {123, "The file name, folder name or volume label syntax is incorrect."},
    {126, "The specified module could not be found."},
    {127, "The specified procedure could not be found."},
    {161, "The path name is invalid."},
    {170, "The requested resource is in use."},
    {183, "A file with that name already exists."},
    {206, "The name or request is too long to be sent whole."},
    {223, "The file size exceeds the limit allowed."},
    {234, "The answer is longer than the client accepts."},
    {257, "The connection was reset by the remote side."},
    {259, "No more data is available."},
    {995, "The operation was cancelled."},
    {1216, "The password format is invalid."},
    {1244, "The operation requires an authenticated user."},
    {1260, "Access is disabled by policy."},
    {1279, "The operation ended on the remote side."},
    {1314, "A required privilege is not held."},
    {1325, "The password does not meet the password policy."},
    {1327, "Account restrictions prevent this sign-in."},
    {1330, "The password has expired."},
    {1359, "An internal error occurred."},
    {1371, "The operation is not allowed for this special account."},
    {1392, "The file or directory is corrupted and unreadable."},
    {1460, "The operation timed out."},
    {1462, "The document size is not supported."},
    {1605, "The product is not known."},
    {1907, "The password must be changed before signing in."},
    {1909, "The account is locked out."},
    {2250, "The network connection does not exist."},
    {4319, "The device is not available."},
    {4351, "The remote storage service is not active."},
    {8260, "A limit of the device was exceeded."},
    {10053, "The connection was aborted by the local host."},
    {10054, "The connection was reset by the peer."},
    {10060, "The connection attempt timed out."},
    {10061, "The connection was refused."},
    {12001, "No more internet handles could be allocated."},
    {12002, "The request has timed out."},
    {12003, "The server returned extended error information."},
    {12004, "An internal error occurred in the internet client."},
    {12005, "The URL is invalid."},
    {12006, "The URL scheme is not supported."},
    {12007, "The server name could not be resolved."},
    {12013, "The user name is incorrect."},
    {12014, "The password is incorrect."},
    {12015, "The login failed."},
    {12017, "The operation was cancelled before it completed."},
    {12018, "The handle type is wrong for this operation."},
    {12029, "A connection with the server could not be established."},
    {12030, "The connection with the server was terminated abnormally."},
    {12031, "The connection with the server was reset."},
    {12037, "The server certificate has expired or is not yet valid."},
    {12038, "The server certificate name does not match the host."},
    {12044, "The server asks for a client certificate."},
    {12045, "The server certificate was issued by an unknown authority."},
    {12110, "A transfer is already in progress on this connection."},
    {12111, "The FTP connection was dropped."},
    {12152, "The server response could not be parsed."},
    {12157, "The secure channel failed."},
};

static_assert(std::is_sorted(std::begin(kMessages), std::end(kMessages),
                             [](const Message& a, const Message& b) {
                               return a.code < b.code;
                             }));

}  // namespace

std::optional<std::string> SystemMessageText(uint32_t code) {
  auto it = std::lower_bound(
      std::begin(kMessages), std::end(kMessages), code,
      [](const Message& m, uint32_t c) { return m.code < c; });
  if (it == std::end(kMessages) || it->code != code) return std::nullopt;
  return std::string(it->text) + "\n";
}

}  // namespace platform
