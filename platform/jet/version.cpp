namespace jet {
const char* EngineName() { return "Pelmora Access file engine"; }
}  // namespace jet
