#include "cli/TerminalProgress.h"

#include <unistd.h>

#include <cstdio>

namespace pelmora::cli {

TerminalProgress::TerminalProgress() : enabled_(isatty(STDERR_FILENO) == 1) {}

TerminalProgress::~TerminalProgress() {
  if (enabled_ && drawn_) std::fputs("\r\033[K", stderr);
}

void TerminalProgress::SetRange(int lo, int hi) {
  std::lock_guard lock(mutex_);
  lo_ = lo;
  hi_ = hi > lo ? hi : lo + 1;
}

void TerminalProgress::SetPosition(int pos) {
  std::lock_guard lock(mutex_);
  if (pos == pos_) return;
  pos_ = pos;
  Draw();
}

void TerminalProgress::SetStatus(const std::string& text) {
  std::lock_guard lock(mutex_);
  status_ = text;
  Draw();
}

void TerminalProgress::Draw() {
  if (!enabled_) return;
  constexpr int kWidth = 30;
  const double frac = static_cast<double>(pos_ - lo_) / (hi_ - lo_);
  const int filled = static_cast<int>(frac * kWidth + 0.5);
  std::string bar(static_cast<size_t>(filled < 0 ? 0 : filled > kWidth ? kWidth : filled), '#');
  bar.resize(kWidth, '.');
  std::fprintf(stderr, "\r\033[K[%s] %3d%%  %s", bar.c_str(), static_cast<int>(frac * 100.0), status_.c_str());
  std::fflush(stderr);
  drawn_ = true;
}

}  // namespace pelmora::cli
