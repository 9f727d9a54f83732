#pragma once
// The procedures an error report names. When a step fails, the user sees
//
//   <what failed>
//   in Tavrix2021/08/31.<procedure> at line <step>
//   Please email screenshot of this message to <support>
//
// and support finds the action from the procedure and the point in it from
// the step. Both are the names and line numbers of the program's first
// release, which screenshots and support's notes use, so they never change:
// a procedure keeps its designer name ("Form1.PushButton7_Click" is "Start
// Converting") and each step's number stands beside its code, trap(140, ...),
// numbered in steps of two in the order the procedure runs them.

namespace report::procedures {

// The main window ("Form1").
inline constexpr const char* kMainWindowLoad = "Form1.Form_Load";            // start-up: skin, pointer, settings
inline constexpr const char* kMainWindowUnload = "Form1.Form_Unload";        // closing the window
inline constexpr int kMainWindowUnloadClose = 100;                           //   its one step: the last commit
inline constexpr const char* kTestConnection = "Form1.PushButton1_Click";    // "Test Connection"
inline constexpr const char* kLoginHint = "Form1.PushButton2_Click";         // the login hint
inline constexpr const char* kChooseTargetFile = "Form1.PushButton3_Click";  // choosing the Access file
inline constexpr const char* kLoadSample = "Form1.PushButton4_Click";        // "Load Sample/Example Database"
inline constexpr const char* kTransferNotes = "Form1.PushButton5_Click";     // the notes on what is transferred
inline constexpr const char* kStartConverting = "Form1.PushButton7_Click";   // "Start Converting": the whole run
inline constexpr const char* kListSourceTables = "PostgreSQL.AddTablesToPostgreSQLListbox";  // the run's source list

// The SQL Preview window ("Form2").
inline constexpr const char* kPreviewLoad = "Form2.Form_Load";
inline constexpr const char* kPreviewExecute = "Form2.PushButton1_Click";     // "Execute SQL"
inline constexpr const char* kPreviewCopySql = "Form2.PushButton2_Click";
inline constexpr const char* kPreviewFindReplace = "Form2.PushButton3_Click";
inline constexpr const char* kPreviewCopyError = "Form2.PushButton4_Click";
inline constexpr const char* kPreviewBack = "Form2.PushButton5_Click";
inline constexpr const char* kPreviewJumpToError = "Form2.PushButton6_Click";
inline constexpr const char* kPreviewDatatypes = "Form2.PushButton7_Click";
inline constexpr const char* kPreviewEmailError = "Form2.PushButton8_Click";
inline constexpr const char* kPreviewSkipTable = "Form2.PushButton9_Click";
inline constexpr const char* kPreviewStatementClicked = "Form2.ListView1_Click";

// The Find/Replace window ("Form3").
inline constexpr const char* kFindReplaceLoad = "Form3.Form_Load";
inline constexpr const char* kFindReplaceCancel = "Form3.PushButton1_Click";
inline constexpr const char* kFindReplaceReplace = "Form3.PushButton2_Click";

// The Edit Line window ("Form4").
inline constexpr const char* kEditLineLoad = "Form4.Form_Load";
inline constexpr const char* kEditLineCancel = "Form4.PushButton1_Click";
inline constexpr const char* kEditLineConfirm = "Form4.PushButton2_Click";

// The Datatypes Conversion window ("Form5").
inline constexpr const char* kDatatypesLoad = "Form5.Form_Load";
inline constexpr const char* kDatatypesBack = "Form5.PushButton5_Click";

// pelmora-convert's own (no window has it).
inline constexpr const char* kVerify = "pelmora-convert.Verify";

}  // namespace report::procedures
