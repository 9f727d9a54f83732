#include "tools/access_create.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <utility>

#include "platform/jet/public/create.h"

namespace {

using jet::BlankFormat;

constexpr std::pair<const char*, BlankFormat> kFormats[] = {
    {"2000", BlankFormat::kAccess2000}, {"2003", BlankFormat::kAccess2003}, {"2007", BlankFormat::kAccess2007},
    {"2010", BlankFormat::kAccess2010}, {"2016", BlankFormat::kAccess2016}, {"2019", BlankFormat::kAccess2019}};

std::optional<BlankFormat> FormatNamed(const std::string& name) {
  for (const auto& [text, format] : kFormats)
    if (name == text) return format;
  return std::nullopt;
}

constexpr std::pair<const char*, jet::AccdbEncryption> kEncryptions[] = {
    {"agile", jet::AccdbEncryption::kAgile},
    {"rc4-cryptoapi", jet::AccdbEncryption::kRc4CryptoApi},
    {"standard-aes", jet::AccdbEncryption::kStandardAes},
    {"cryptoapi-aes", jet::AccdbEncryption::kCryptoApiAes}};

std::optional<jet::AccdbEncryption> EncryptionNamed(const std::string& name) {
  for (const auto& [text, scheme] : kEncryptions)
    if (name == text) return scheme;
  return std::nullopt;
}

int Refuse(const std::string& message) {
  fmt::print(stderr, "pelmora-access: {}\n", message);
  return 1;
}

}  // namespace

int RunCreateCommand(const std::string& file, const std::string& format, const std::string& password,
                     const std::string& encryption) {
  std::string extension = std::filesystem::path(file).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return std::tolower(c); });
  const bool accdb = extension == ".accdb";
  std::optional<BlankFormat> chosen = format.empty() ? (accdb ? BlankFormat::kAccess2016 : BlankFormat::kAccess2000)
                                                     : FormatNamed(format);
  if (!chosen) return Refuse(fmt::format("unknown format \"{}\"; use 2000 or 2003 (.mdb), 2007, 2010, 2016 or "
                                         "2019 (.accdb)", format));
  if (accdb != jet::IsAccdbFormat(*chosen))
    return Refuse(accdb ? fmt::format("format {} makes an .mdb file; use 2007, 2010, 2016 or 2019 for \"{}\"", format, file)
                        : fmt::format("format {} makes an .accdb file; name the new file \"{}\"", format,
                                      std::filesystem::path(file).replace_extension(".accdb").string()));
  std::optional<jet::AccdbEncryption> scheme =
      encryption.empty() ? jet::AccdbEncryption::kAgile : EncryptionNamed(encryption);
  if (!scheme)
    return Refuse(fmt::format("unknown encryption \"{}\"; use agile, rc4-cryptoapi, standard-aes or cryptoapi-aes",
                              encryption));
  if (!encryption.empty() && (!accdb || password.empty()))
    return Refuse("--encryption chooses how the --password encrypts an .accdb; give both, for an .accdb");
  if (auto done = jet::CreateBlankDatabase(file, {.format = *chosen, .password = password, .encryption = *scheme}); !done)
    return Refuse(done.error().message);
  return 0;
}
