// Keeps the running program registered with the encryption driver for a scope: made, it
// registers the program on the device of a kind; ended (explicitly or when destroyed), it
// unregisters it with removal, once, and only when the registration had succeeded. When
// that unregistration fails, the program's event loop is ended (exit code 0).
#pragma once

namespace hrz {

class CKrnProcessGuard {
 public:
  explicit CKrnProcessGuard(int kind);
  ~CKrnProcessGuard();
  CKrnProcessGuard(const CKrnProcessGuard&) = delete;
  CKrnProcessGuard& operator=(const CKrnProcessGuard&) = delete;

  // Ends the registration now; later ends do nothing.
  void End();

 private:
  int kind_;
  bool registered_;
  bool remove_ = true;  // always set: ending removes the registration
};

}  // namespace hrz
