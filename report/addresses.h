#pragma once
// Every outside address the program shows or opens, in one place. The maker's
// own addresses use a reserved domain so that no stranger receives our users' mail.

namespace addresses {

inline constexpr const char* kSupportEmail = "support@halvex.example";
inline constexpr const char* kHomePage = "https://www.halvex.example/";
inline constexpr const char* kContactPage = "https://www.halvex.example/contact";
inline constexpr const char* kPgAdminDownload = "https://www.pgadmin.org/download/";
inline constexpr const char* kAccessEngine2010Download =
    "https://www.microsoft.com/en-us/download/details.aspx?id=13255";
inline constexpr const char* kAccessEngine2016Download =
    "https://www.microsoft.com/en-us/download/details.aspx?id=54920";

}  // namespace addresses
