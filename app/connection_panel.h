#pragma once
// The texts of the connection panel's helper buttons (Form1.PushButton2_Click
// to Form1.PushButton5_Click); the actions themselves are members of MainWindow.

#include <string>

namespace app {

// The login hint: both sentences, an empty line, and the pgAdmin download page
// as text.
inline constexpr const char* kLoginHintFirst = "If you can not connect, please try downloading pgAdmin III. ";
inline constexpr const char* kLoginHintSecond =
    "If you can not connect with that software, you know the login information you are providing here is "
    "incorrect.";
std::string LoginHintText();
// What the conversion transfers, and the maker's contact page.
std::string TransferNotesText();

inline constexpr const char* kAccessFileDialogTitle = "Select Access Database";
inline constexpr const char* kAccessFileFilter =
    "All Microsoft Databases (*.mdb,*.accdb)|*.*db|Microsoft Database (*.mdb)|*.mdb|"
    "Microsoft 2007 Database (*.accdb)|*.accdb|";
// OFN_READONLY | OFN_EXPLORER | OFN_LONGNAMES, as the dialog has always been opened.
inline constexpr unsigned long kAccessFileDialogFlags = 0x280001;
// Below the program folder.
inline constexpr const char* kSampleDatabase = "/Samples/sample.mdb";

}  // namespace app
