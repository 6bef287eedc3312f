// A progress bar with the phase text on standard error, for terminals.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "engine/CalcProgress.h"

namespace pelmora::cli {

class TerminalProgress final : public CalcProgress {
 public:
  // Draws nothing unless standard error is a terminal.
  TerminalProgress();
  ~TerminalProgress() override;
  void SetRange(int lo, int hi) override;
  void SetPosition(int pos) override;
  void SetStatus(const std::string& text) override;

 private:
  void Draw();
  bool enabled_;
  std::mutex mutex_;
  int lo_ = 0, hi_ = 1000, pos_ = 0;
  std::string status_;
  bool drawn_ = false;
};

}  // namespace pelmora::cli
