#pragma once
// Making a new, empty Access database, as the Access engine of each version
// lays one out (create/blank_database.h describes the pages). The file is
// written beside its path, synced and then linked into place: the path holds
// either nothing or the whole file, and an existing file is never replaced.
//
//   auto done = jet::CreateBlankDatabase("/data/new.accdb", {.format = jet::BlankFormat::kAccess2016});
//   if (!done) report(done.error().message);

#include <string>

#include "platform/jet/public/result.h"

namespace jet {

enum class BlankFormat { kAccess2000, kAccess2003, kAccess2007, kAccess2010, kAccess2016, kAccess2019 };

// True for the formats written as .accdb (the ACE engine's).
bool IsAccdbFormat(BlankFormat format);
// "Access 2016 (.accdb)", for messages.
std::string DescribeFormat(BlankFormat format);

// How an .accdb with a database password is encrypted.
enum class AccdbEncryption {
  kAgile,         // AES-256, SHA-512, 100,000 spins: current Access
  kRc4CryptoApi,  // RC4, 128-bit keys
  kStandardAes,   // AES-128, 50,000 spins
  kCryptoApiAes,  // AES-256 with the compatibility mode off
};

struct BlankOptions {
  BlankFormat format = BlankFormat::kAccess2000;
  // .mdb: the Jet 4 database password, at most 20 characters; .accdb: the
  // password that encrypts the pages. Empty for none.
  std::string password;
  // How an .accdb with a password is encrypted (ignored for an .mdb).
  AccdbEncryption encryption = AccdbEncryption::kAgile;
  double creation_date = 0;  // OLE date; 0 = now (local time)
};

// Writes a new database at `path`. Refuses an existing path (kAlreadyExists),
// a name whose extension does not fit the format (.accdb for Access 2007 and
// later, any other for Access 2000-2003; kInvalidValue), a password Jet 4
// cannot hold (kInvalidValue); a folder that cannot be written is kReadOnly.
Status CreateBlankDatabase(const std::string& path, const BlankOptions& options = {});

}  // namespace jet
